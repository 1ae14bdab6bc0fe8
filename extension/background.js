// The add-on's background: one native-messaging host per browser window (that window's band),
// fed with the browser's events for the window's tabs, and a relay between the host, the band
// pages, the scrapbook pages and the content scripts that do the page work.
const api = globalThis.browser ?? globalThis.chrome;
const HOST = 'com.vellumite.vellumitebar';
const OWN_PAGES = api.runtime.getURL('');
const FOLLOWABLE = /^(https?|file):/i;

const bands = new Map(); // window id -> band
const windowOfTab = new Map(); // tab id -> window id

// Events reach a host in the order they happened, also when finding a tab's window waits.
let queue = Promise.resolve();
function inOrder(work) {
  queue = queue.then(work).catch((e) => console.warn('vellumite:', e));
}

async function windowOf(tabId) {
  if (windowOfTab.has(tabId)) return windowOfTab.get(tabId);
  const tab = await api.tabs.get(tabId);
  windowOfTab.set(tabId, tab.windowId);
  return tab.windowId;
}

function isOwnPage(url) {
  return !url || url.startsWith(OWN_PAGES);
}

// The band of a window: made on first use; the host's connection is its life.
function band(windowId) {
  let b = bands.get(windowId);
  if (b) return b;
  b = { windowId, views: new Set(), scrapbooks: new Map(), parts: new Map(), state: {}, currentTab: 0 };
  bands.set(windowId, b);
  try {
    b.port = api.runtime.connectNative(HOST);
  } catch (e) {
    b.error = String(e && e.message || e);
    return b;
  }
  b.port.onMessage.addListener((m) => fromHost(b, m));
  b.port.onDisconnect.addListener(() => {
    const reason = api.runtime.lastError?.message || 'the host ended';
    bands.delete(windowId);
    for (const view of b.views) view.postMessage({ type: 'hostGone', error: reason });
  });
  b.port.postMessage({ type: 'setSite', window: windowId });
  return b;
}

function toHost(b, message) {
  if (b.port) b.port.postMessage(message);
}

async function currentPageOf(windowId) {
  const [tab] = await api.tabs.query({ windowId, active: true });
  return tab;
}

// ---------------------------------------------------------------------------------------------
// What the host asks for

async function pageWork(b, m) {
  const reply = { type: 'reply', id: m.id };
  try {
    const answer = await api.tabs.sendMessage(m.tab,
      { op: m.op, term: m.term, wholeWord: m.wholeWord, colour: m.colour }, { frameId: 0 });
    if (!answer) throw new Error('no page to work in');
    Object.assign(reply, m.op === 'mark'
      ? { count: answer.count, interrupted: answer.interrupted }
      : { found: answer.found });
  } catch (e) {
    reply.error = String(e && e.message || e).slice(0, 1000);
  }
  toHost(b, reply);
}

async function focusEditor(address) {
  const tabs = await api.tabs.query({});
  const shown = tabs.find((t) => t.url && t.url.startsWith(address));
  if (shown) {
    await api.tabs.update(shown.id, { active: true });
    await api.windows.update(shown.windowId, { focused: true });
  } else {
    await api.tabs.create({ url: address });
  }
}

// Long texts come in parts; the whole is handed on when the last part is there.
function collect(b, m) {
  const key = `${m.type}:${m.tab}`;
  const parts = m.part === 0 ? [] : (b.parts.get(key) || []);
  parts.push(m.html);
  if (m.part + 1 < m.parts) {
    b.parts.set(key, parts);
    return null;
  }
  b.parts.delete(key);
  return { ...m, html: parts.join(''), part: undefined, parts: undefined };
}

function fromHost(b, m) {
  switch (m.type) {
    case 'request':
      pageWork(b, m);
      break;
    case 'removeMarks':
      api.tabs.sendMessage(m.tab, { op: 'clear' }, { frameId: 0 }).catch(() => {});
      break;
    case 'navigate': {
      if (!FOLLOWABLE.test(m.url)) break;
      const tab = m.tab || b.currentTab;
      if (tab) api.tabs.update(tab, { url: m.url }).catch((e) => console.warn('vellumite:', e));
      else api.tabs.create({ url: m.url, windowId: b.windowId });
      break;
    }
    case 'openScrapbook': {
      const url = api.runtime.getURL('scrapbook.html');
      if (b.currentTab) api.tabs.update(b.currentTab, { url, active: true });
      else api.tabs.create({ url, windowId: b.windowId });
      break;
    }
    case 'scrapbookPage':
    case 'saveCopy': {
      const whole = collect(b, m);
      const view = b.scrapbooks.get(m.tab);
      if (whole && view) view.postMessage(whole);
      break;
    }
    case 'focusEditor':
      focusEditor(m.address).catch((e) => console.warn('vellumite:', e));
      break;
    case 'error':
      console.warn('vellumitebar:', m.error);
      break;
    default:
      // The band window's own messages: kept for band pages opened later, and shown now.
      if (m.type === 'band' || m.type === 'bandInfo') b.state[m.type] = m;
      for (const view of b.views) view.postMessage(m);
  }
}

// ---------------------------------------------------------------------------------------------
// The browser's events

api.webNavigation.onBeforeNavigate.addListener((d) => {
  if (d.frameId !== 0 || d.tabId < 0) return;
  inOrder(async () => toHost(band(await windowOf(d.tabId)), { type: 'beforeNavigate', tab: d.tabId, url: d.url }));
});

api.tabs.onActivated.addListener(({ tabId, windowId }) => {
  windowOfTab.set(tabId, windowId);
  inOrder(async () => {
    const tab = await api.tabs.get(tabId);
    if (isOwnPage(tab.url) && !tab.url?.endsWith('/scrapbook.html')) return; // a band page shown as a tab
    const b = band(windowId);
    b.currentTab = tabId;
    toHost(b, { type: 'tabActivated', tab: tabId, url: tab.url || '' });
  });
});

api.tabs.onAttached.addListener((tabId, { newWindowId }) => windowOfTab.set(tabId, newWindowId));

api.tabs.onRemoved.addListener((tabId, { windowId }) => {
  windowOfTab.delete(tabId);
  inOrder(() => {
    const b = bands.get(windowId);
    if (b) toHost(b, { type: 'tabClosed', tab: tabId });
  });
});

api.windows.onRemoved.addListener((windowId) => {
  inOrder(() => {
    const b = bands.get(windowId);
    if (!b) return;
    bands.delete(windowId);
    toHost(b, { type: 'close' });
    b.port?.disconnect();
  });
});

// A content script says its document is complete.
api.runtime.onMessage.addListener((message, sender) => {
  const tab = sender.tab;
  if (!tab || sender.frameId !== 0 || message?.type !== 'documentComplete') return;
  windowOfTab.set(tab.id, tab.windowId);
  inOrder(async () => {
    const b = band(tab.windowId);
    if (!b.currentTab && tab.active) {
      b.currentTab = tab.id;
      toHost(b, { type: 'tabActivated', tab: tab.id, url: sender.url });
    }
    toHost(b, { type: 'documentComplete', tab: tab.id, url: sender.url });
  });
});

// ---------------------------------------------------------------------------------------------
// Band pages (the side panel, or the band page opened as a tab) and scrapbook pages

const FROM_BAND = new Set(['padlock', 'itemsOpen', 'itemsSave', 'itemsCancel', 'itemsLink',
  'menuOpen', 'menuChoose', 'about', 'drop']);

function connectBand(port) {
  let b = null;
  port.onMessage.addListener((m) => inOrder(async () => {
    if (m.type === 'hello') {
      b = band(m.window);
      b.views.add(port);
      if (b.error) port.postMessage({ type: 'hostGone', error: b.error });
      if (!b.currentTab) {
        const tab = await currentPageOf(m.window);
        if (tab && !isOwnPage(tab.url)) {
          b.currentTab = tab.id;
          toHost(b, { type: 'tabActivated', tab: tab.id, url: tab.url || '' });
        }
      }
      for (const kept of Object.values(b.state)) port.postMessage(kept);
      toHost(b, { type: 'show', visible: true });
      return;
    }
    if (!b || !FROM_BAND.has(m.type)) return;
    if (m.type === 'drop') {
      // The address of the page the band's window shows.
      const tab = b.currentTab ? await api.tabs.get(b.currentTab).catch(() => null) : null;
      m = { ...m, url: tab?.url || '' };
    }
    toHost(b, m);
  }));
  port.onDisconnect.addListener(() => inOrder(() => {
    if (!b) return;
    b.views.delete(port);
    if (b.views.size === 0 && bands.get(b.windowId) === b) toHost(b, { type: 'show', visible: false });
  }));
}

function connectScrapbook(port) {
  const tab = port.sender?.tab;
  if (!tab) return;
  const b = band(tab.windowId);
  b.scrapbooks.set(tab.id, port);
  port.onMessage.addListener((m) => inOrder(() => {
    if (m.type === 'show') toHost(b, { type: 'scrapbookShow', tab: tab.id });
    else if (m.type === 'link') toHost(b, { type: 'scrapbookLink', tab: tab.id, from: m.from, url: m.url });
  }));
  port.onDisconnect.addListener(() => {
    if (b.scrapbooks.get(tab.id) === port) b.scrapbooks.delete(tab.id);
  });
}

api.runtime.onConnect.addListener((port) => {
  if (port.sender?.id !== api.runtime.id) return;
  if (port.name === 'band') connectBand(port);
  else if (port.name === 'scrapbook') connectScrapbook(port);
});

// The toolbar button opens the band: Chromium's side panel, Firefox's sidebar.
if (api.sidePanel?.setPanelBehavior) {
  api.sidePanel.setPanelBehavior({ openPanelOnActionClick: true }).catch(() => {});
} else if (api.sidebarAction) {
  api.action.onClicked.addListener(() => api.sidebarAction.toggle());
}
