// The shell page's agent: applies the editor's operations to the panes and answers.
//
// The operation protocol
//
// The editor sends operations down the channel (POST channel, answered with a stream): one JSON
// object per line, named by `op`. The page sends events back (POST event) one at a time, in the
// order they happened, each tagged with the channel's id so that the editor drops the events of
// a page it has replaced.
//
// Operations on the window (sync, caption, order, modal, modalClose, openWindow, form,
// formSet, formCaption, formHide, formUnload, superseded) apply at once, in order of arrival.
// Operations on a pane (navigate, dom) go through that pane's lane: in order among themselves,
// and one on a document waits while that document or one above it is being navigated, because
// the editor always shows a page before it changes it. Nothing else waits, and nothing waits
// for an event that may not come: every navigation finishes, after LOAD_LIMIT at the latest.
//
// navigate {pane, frames, url, seq}: points the pane (frames []) or frame frames[0] of it, in
//   that frames[1], and so on, at url. seq counts the navigations of the pane, its frames
//   included; sync repeats the newest. A navigation has finished when
//   - its frame shows a new document at that address that has loaded. This is read from the
//     document itself, on every load event and on a short poll: a browser skips the load event
//     of a frame whose parent began to navigate while it loaded, so the event alone may never
//     come;
//   - or a later navigation of the same frame, or of one above it, replaces it;
//   - or it cannot be: there is no such frame ({type: 'error'} at once), the browser shows its
//     error page ({type: 'loadFailed', message} at once), or nothing new has come within
//     LOAD_LIMIT ({type: 'loadFailed', message} then).
//   Once every navigation of a pane up to seq has finished, the page sends
//   {type: 'loaded', pane, seq, top, url}; top when the pane's own document has loaded, url its
//   address. Until then the editor counts the pane busy.
// dom {id, pane, frames, name, args, read}: runs domOps[name] on that document. A read is
//   answered {type: 'reply', id, ok, value | error}; a write that fails sends
//   {type: 'error', message}.
// modal {id, kind, text, title, ...}: a question, shown over the panes until answered with
//   {type: 'modal', id, result}; modalClose {id} takes it away when the editor stops waiting.
// sync {channel, caption, order, panes, forms, modals}: the whole window, first on a channel;
//   every pane is loaded anew and reported as above.
//
// Page commands: a click on a link to a page command ("<$...$>") in a pane is not followed but
// sent as {type: 'command', url}. It reaches the editor on the same ordered stream as the
// answers, so an answer given just before it is handled first, and it starts no navigation that
// would cut short the loading of the frames below it. Everything else a page loads goes to the
// server, which asks the editor first.
'use strict';

(() => {
  const base = location.pathname.replace(/(index\.html)?$/, '');
  const paneBase = new URL(base + 'pane/', location.href).href;
  const panesEl = document.getElementById('panes');
  const formsEl = document.getElementById('forms');
  const modalEl = document.getElementById('modal');
  const noticeEl = document.getElementById('notice');
  const captionEl = document.getElementById('caption');
  const LOAD_LIMIT = 2000; // a navigation that has shown nothing new by then has failed
  const POLL_MS = 50;

  let channel = 0;
  let superseded = false;
  const panes = new Map(); // name -> { frame, open, received, reported }
  const modals = [];       // open modal requests, newest last
  const forms = new Map(); // name -> { el, model }
  const saved = new Map(); // saved selections
  let nextSaved = 1;

  // ---- Talking to the editor

  let sending = Promise.resolve();
  // Events go out one at a time, so the editor sees them in the order they happened.
  function post(event) {
    event.channel = channel;
    const body = JSON.stringify(event);
    sending = sending.then(() => fetch(base + 'event', {
      method: 'POST', body, headers: { 'Content-Type': 'application/json' }, cache: 'no-store',
    })).catch(() => {});
    return sending;
  }

  function messageOf(err) { return String((err && err.message) || err); }

  function receive(op) {
    try {
      apply(op);
    } catch (err) {
      post({ type: 'error', message: messageOf(err) });
    }
  }

  async function connect() {
    for (;;) {
      try {
        const response = await fetch(base + 'channel', { method: 'POST', cache: 'no-store' });
        if (!response.ok || !response.body) throw new Error('refused');
        showNotice('');
        const reader = response.body.getReader();
        const decoder = new TextDecoder();
        let buffer = '';
        for (;;) {
          const { value, done } = await reader.read();
          if (done) break;
          buffer += decoder.decode(value, { stream: true });
          let nl;
          while ((nl = buffer.indexOf('\n')) >= 0) {
            const line = buffer.slice(0, nl);
            buffer = buffer.slice(nl + 1);
            if (line) receive(JSON.parse(line));
          }
        }
      } catch (e) {
        // fall through to the retry
      }
      if (superseded) return;
      showNotice('The editor has stopped or is restarting. Trying again…');
      await new Promise((r) => setTimeout(r, 1500));
    }
  }

  function showNotice(text) {
    noticeEl.hidden = !text;
    document.getElementById('notice-text').textContent = text;
  }

  // ---- Panes, frames and their lanes

  function pane(name) {
    let p = panes.get(name);
    if (!p) {
      const frame = document.createElement('iframe');
      frame.name = name;
      frame.title = name;
      frame.addEventListener('load', () => hookTree(frame.contentWindow));
      panesEl.appendChild(frame);
      // open: seq of each navigation received and not finished; received: the newest seq;
      // reported: the newest seq the editor was told has finished.
      p = { frame, open: [], received: 0, reported: 0 };
      panes.set(name, p);
    }
    return p;
  }

  function frameWindow(paneName, path) {
    let win = pane(paneName).frame.contentWindow;
    for (const index of path) {
      const next = win && win.frames[index];
      if (!next) throw new Error(`The page in ${paneName} has no frame ${index}.`);
      win = next;
    }
    return win;
  }

  // The frame or iframe element that holds `win`, found from our side: a window of another
  // origin does not tell its own frameElement. Null when nothing of ours holds it.
  function elementOf(win) {
    try { return win.frameElement; } catch (e) { /* another origin */ }
    try {
      return Array.from(win.parent.document.querySelectorAll('iframe, frame')).find((f) => f.contentWindow === win) || null;
    } catch (e) { return null; }
  }

  function hrefOf(win) {
    try { return win.location.href; } catch (e) { return ''; }
  }

  let generation = 0; // a sync drops what the lanes still held for the page before
  const lanes = new Map(); // pane name -> the promise of its newest operation
  function inLane(paneName, work) {
    const mine = generation;
    const run = () => (mine === generation ? work() : undefined);
    const next = (lanes.get(paneName) || Promise.resolve()).then(run);
    lanes.set(paneName, next.catch((err) => post({ type: 'error', message: messageOf(err) })));
  }

  // ---- Navigations and how they finish

  const navigations = new Set(); // started and not finished

  function isPrefix(head, path) {
    return head.length <= path.length && head.every((index, i) => index === path[i]);
  }

  // Resolves once no navigation of the pane is under way for the document at `path` (when
  // `inclusive`) or for any document above it.
  async function settled(paneName, path, inclusive) {
    for (;;) {
      let blocking = null;
      for (const nav of navigations) {
        if (nav.pane === paneName && isPrefix(nav.frames, path) && (inclusive || nav.frames.length < path.length)) {
          blocking = nav;
          break;
        }
      }
      if (!blocking) return;
      await blocking.done;
    }
  }

  // Tells the editor how far the pane's navigations have finished (see the top of this file).
  function settle(paneName, seq, loadedTop) {
    const p = pane(paneName);
    const i = p.open.indexOf(seq);
    if (i >= 0) p.open.splice(i, 1);
    const upTo = p.open.length ? Math.min(...p.open) - 1 : p.received;
    if (upTo <= p.reported && !loadedTop) return;
    p.reported = Math.max(p.reported, upTo);
    post({ type: 'loaded', pane: paneName, seq: p.reported, top: loadedTop, url: loadedTop ? hrefOf(p.frame.contentWindow) : '' });
  }

  function finish(nav, how, message) {
    if (!navigations.delete(nav)) return;
    if (nav.element) nav.element.removeEventListener('load', nav.onLoad);
    if (how === 'loaded') hookTree(nav.window);
    if (message) post({ type: 'loadFailed', message });
    nav.resolve();
    settle(nav.pane, nav.seq, nav.frames.length === 0 && how === 'loaded');
  }

  function sameAddress(href, url) {
    try {
      const a = new URL(href);
      const b = new URL(url, location.href);
      a.hash = '';
      b.hash = '';
      return a.href === b.href;
    } catch (e) {
      return false;
    }
  }

  function sameOrigin(url) {
    try { return new URL(url, location.href).origin === location.origin; } catch (e) { return false; }
  }

  function shortName(url) {
    try { return decodeURIComponent(new URL(url, location.href).pathname.split('/').pop()); } catch (e) { return url; }
  }

  const tooLate = `it did not load within ${LOAD_LIMIT / 1000} seconds`;
  function notShown(url, why) {
    return `The page ${shortName(url)} could not be shown: ${why}.`;
  }

  // Looks at what the frame shows now; finishes the navigation when that settles it.
  function check(nav) {
    if (!navigations.has(nav)) return;
    let win;
    try { win = frameWindow(nav.pane, nav.frames); } catch (e) { win = null; }
    // The frame went with the document that held it: whatever replaced that came later.
    if (!win || elementOf(win) !== nav.element) return finish(nav, 'superseded');
    const late = performance.now() - nav.started > LOAD_LIMIT;
    let doc;
    let href;
    try {
      doc = win.document;
      href = win.location.href;
    } catch (e) {
      // Another origin's page: the one shown before (still there), the one asked for, or the
      // browser's own error page in place of one of ours.
      if (nav.before === null && !nav.sawLoad) {
        if (late) finish(nav, 'failed', notShown(nav.url, tooLate));
      } else if (sameOrigin(nav.url)) {
        finish(nav, 'failed', notShown(nav.url, 'the browser could not load it'));
      } else if (nav.sawLoad || late) {
        finish(nav, 'loaded');
      }
      return;
    }
    if (doc === nav.before && !nav.sawLoad) {
      if (late) finish(nav, 'failed', notShown(nav.url, tooLate));
      return;
    }
    if (doc.readyState !== 'loading') hookTree(win);
    if (doc.readyState === 'complete' || nav.sawLoad || late) {
      // A page that took the frame elsewhere (a form it sent) came after us.
      finish(nav, sameAddress(href, nav.url) ? 'loaded' : 'superseded');
    }
  }

  let polling = null;
  function poll() {
    if (polling || navigations.size === 0) return;
    polling = setTimeout(() => {
      polling = null;
      for (const nav of [...navigations]) check(nav);
      poll();
    }, POLL_MS);
  }

  // Points a pane or one of its frames at `url`. Runs in the pane's lane.
  async function navigate(paneName, frames, url, seq, quiet) {
    await settled(paneName, frames, false);
    for (const other of [...navigations]) {
      if (other.pane === paneName && isPrefix(frames, other.frames)) finish(other, 'superseded');
    }
    let win;
    try {
      win = frameWindow(paneName, frames);
    } catch (err) {
      // A frame the page does not have: said (unless the page was only being restored), and
      // the pane is not left busy.
      if (!quiet) post({ type: 'error', message: messageOf(err) });
      settle(paneName, seq, false);
      return;
    }
    const nav = { pane: paneName, frames, url, seq, window: win, element: elementOf(win), started: performance.now() };
    try { nav.before = win.document; } catch (e) { nav.before = null; }
    nav.done = new Promise((resolve) => { nav.resolve = resolve; });
    nav.onLoad = () => { nav.sawLoad = true; check(nav); };
    if (nav.element) nav.element.addEventListener('load', nav.onLoad);
    navigations.add(nav);
    try {
      win.location.replace(url);
    } catch (err) {
      if (frames.length === 0) pane(paneName).frame.src = url;
      else finish(nav, 'failed', notShown(url, messageOf(err)));
    }
    poll();
  }

  function navigateInLane(paneName, frames, url, seq, quiet) {
    const p = pane(paneName);
    p.open.push(seq);
    p.received = Math.max(p.received, seq);
    inLane(paneName, () => navigate(paneName, frames, url, seq, quiet));
  }

  // Shows what the editor had in a pane, when a page (re)connects.
  function loadPane(name, state) {
    const p = pane(name);
    p.open = [];
    p.received = state.seq;
    p.reported = 0;
    if (!state.url) {
      settle(name, state.seq, false);
      return;
    }
    navigateInLane(name, [], state.url, state.seq, false);
    // The page may have changed since its frames were shown: a frame it lacks is no news.
    for (const f of state.frames || []) navigateInLane(name, f.frames, f.url, state.seq, true);
  }

  function setOrder(order) {
    order.forEach((name, i) => { pane(name).frame.style.zIndex = String(i + 1); });
    const front = order[order.length - 1];
    for (const [name, p] of panes) p.frame.setAttribute('aria-hidden', name === front ? 'false' : 'true');
  }

  function setCaption(text) {
    document.title = text;
    captionEl.textContent = text;
  }

  // ---- Page commands

  function isCommandLink(href) {
    if (typeof href !== 'string' || !href.startsWith(paneBase)) return false;
    try {
      return decodeURIComponent(href.slice(paneBase.length).split('#')[0]).includes('<$');
    } catch (e) {
      return false;
    }
  }

  // Runs after the page's own handlers (a link a page script handled is left to it).
  function sendCommandClick(event) {
    if (event.defaultPrevented || event.button !== 0 || !channel || superseded) return;
    const target = event.target;
    const link = target && typeof target.closest === 'function' ? target.closest('a[href], area[href]') : null;
    if (!link || !isCommandLink(link.href)) return;
    event.preventDefault();
    post({ type: 'command', url: link.href });
  }

  // Remembers the text field last used in each document, for the selection tools: clicking a
  // link in the page takes the focus away from the field but leaves its selection. Also sends
  // the page commands clicked in it.
  function hookTree(win) {
    try {
      const doc = win.document;
      if (!doc.__vellumiteHooked) {
        doc.__vellumiteHooked = true;
        doc.addEventListener('click', sendCommandClick);
        doc.addEventListener('focusin', (e) => {
          const t = e.target;
          if (t && (t.tagName === 'TEXTAREA' || (t.tagName === 'INPUT' && /^(text|search|url|email)$/i.test(t.type)))) {
            doc.__vellumiteField = t;
          }
        });
      }
      for (let i = 0; i < win.frames.length; i++) {
        const child = win.frames[i];
        const element = elementOf(child);
        if (element && !element.__vellumiteHooked) {
          element.__vellumiteHooked = true;
          element.addEventListener('load', () => hookTree(child));
        }
        hookTree(child);
      }
    } catch (e) { /* another origin: nothing to remember */ }
  }

  // ---- Document operations

  function findForm(doc, ref) {
    const form = typeof ref === 'number' ? doc.forms[ref] : (doc.forms.namedItem(ref) || doc.getElementById(ref));
    if (!form || form.tagName !== 'FORM') {
      throw new Error(typeof ref === 'number' ? `The page has no form number ${ref}.` : `The page has no form "${ref}".`);
    }
    return form;
  }

  function findField(doc, args) {
    const form = findForm(doc, args.form);
    let field = form.elements.namedItem(args.field);
    if (field && !field.tagName && field.length) field = field[0];
    if (!field) throw new Error(`The form "${args.form}" has no field "${args.field}".`);
    return field;
  }

  function findElement(doc, name) {
    const el = doc.getElementById(name) || doc.getElementsByName(name)[0];
    if (!el) throw new Error(`The page has no element "${name}".`);
    return el;
  }

  function allElements(doc, name) {
    const list = [...doc.getElementsByName(name)];
    const byId = doc.getElementById(name);
    if (byId && !list.includes(byId)) list.unshift(byId);
    if (list.length === 0) throw new Error(`The page has no element "${name}".`);
    return list;
  }

  function cssName(property) {
    return property.includes('-') ? property : property.replace(/[A-Z]/g, (c) => '-' + c.toLowerCase());
  }

  function selectionOf(doc) {
    const field = doc.__vellumiteField;
    if (field && field.isConnected && field.selectionEnd > field.selectionStart) {
      return { field, start: field.selectionStart, end: field.selectionEnd };
    }
    const sel = doc.getSelection();
    if (sel && sel.rangeCount > 0 && !sel.isCollapsed) return { range: sel.getRangeAt(0).cloneRange() };
    if (field && field.isConnected) return { field, start: field.selectionStart || 0, end: field.selectionEnd || 0 };
    return null;
  }

  function selectionText(s) {
    if (!s) return { text: '', parentName: '' };
    if (s.field) return { text: s.field.value.slice(s.start, s.end), parentName: s.field.name || '' };
    let node = s.range.commonAncestorContainer;
    if (node.nodeType !== 1) node = node.parentElement;
    return { text: s.range.toString(), parentName: (node && node.getAttribute('name')) || '' };
  }

  function replaceIn(s, text) {
    if (!s) throw new Error('Nothing is selected.');
    if (s.field) {
      s.field.setRangeText(text, s.start, s.end, 'select');
      return;
    }
    const doc = s.range.startContainer.ownerDocument;
    s.range.deleteContents();
    const node = doc.createTextNode(text);
    s.range.insertNode(node);
    const sel = doc.getSelection();
    const r = doc.createRange();
    r.selectNode(node);
    sel.removeAllRanges();
    sel.addRange(r);
  }

  const domOps = {
    getValue: (doc, a) => findField(doc, a).value,
    setValue: (doc, a) => { findField(doc, a).value = a.value; },
    getChecked: (doc, a) => !!findField(doc, a).checked,
    setChecked: (doc, a) => { findField(doc, a).checked = !!a.checked; },
    formElements: (doc, a) => [...findForm(doc, a.form).elements].map((e) => ({
      name: e.name || '', type: e.type || e.tagName.toLowerCase(), value: e.value || '', checked: !!e.checked,
    })),
    resetForm: (doc, a) => { findForm(doc, a.form).reset(); },
    formCount: (doc) => doc.forms.length,
    hasElement: (doc, a) => !!(doc.getElementById(a.element) || doc.getElementsByName(a.element)[0]),
    setClass: (doc, a) => { findElement(doc, a.element).className = a.value; },
    setText: (doc, a) => { findElement(doc, a.element).textContent = a.value; },
    setHtml: (doc, a) => { findElement(doc, a.element).innerHTML = a.value; },
    setAttribute: (doc, a) => { for (const el of allElements(doc, a.element)) el.setAttribute(a.attribute, a.value); },
    setBodyHtml: (doc, a) => { doc.body.innerHTML = a.value; },
    scrollIntoView: (doc, a) => { findElement(doc, a.element).scrollIntoView({ block: 'nearest' }); },
    focus: (doc, a) => { findElement(doc, a.element).focus(); },
    getSelection: (doc) => selectionText(selectionOf(doc)),
    replaceSelection: (doc, a) => replaceIn(selectionOf(doc), a.value),
    saveSelection: (doc) => { const id = nextSaved++; saved.set(id, selectionOf(doc)); return id; },
    replaceSavedSelection: (doc, a) => {
      const s = saved.get(a.saved);
      saved.delete(a.saved);
      replaceIn(s, a.value);
    },
    setStyleRule: (doc, a) => {
      const sheet = doc.styleSheets[a.sheet];
      const rule = sheet && sheet.cssRules[a.rule];
      if (!rule) throw new Error(`The page has no style rule ${a.sheet}/${a.rule}.`);
      rule.style.setProperty(cssName(a.property), a.value);
    },
    styleSheetText: (doc, a) => {
      const sheet = doc.styleSheets[a.sheet];
      if (!sheet) throw new Error(`The page has no style sheet ${a.sheet}.`);
      return [...sheet.cssRules].map((r) => r.cssText).join('\n');
    },
  };

  // ---- One text field's selection, by position (the post box's formatting tools)

  // Line breaks compared without regard to their form: the editor reads them as CR LF.
  function sameText(a, b) {
    const plain = (t) => String(t).replace(/\r\n?/g, '\n');
    return plain(a) === plain(b);
  }

  function fieldSelection(doc, a) {
    const field = findField(doc, a);
    const start = field.selectionStart || 0;
    const end = field.selectionEnd || 0;
    return { text: field.value.slice(start, end), start, end };
  }

  function replaceFieldRange(doc, a) {
    const field = findField(doc, a);
    if (!sameText(field.value.slice(a.start, a.end), a.expected)) {
      throw new Error(`The text of "${a.field}" changed while it was being edited; nothing was replaced.`);
    }
    field.setRangeText(a.value, a.start, a.end, 'select');
    field.focus({ preventScroll: true });
  }

  function appendFieldText(doc, a) {
    const field = findField(doc, a);
    const { selectionStart, selectionEnd } = field;
    field.setRangeText(a.value, field.value.length, field.value.length, 'preserve');
    field.setSelectionRange(selectionStart, selectionEnd);
  }

  Object.assign(domOps, { fieldSelection, replaceFieldRange, appendFieldText });

  async function dom(op) {
    // A page that is still loading is waited for: the editor shows its pages before it
    // changes them.
    await settled(op.pane, op.frames, true);
    const win = frameWindow(op.pane, op.frames);
    hookTree(win);
    const fn = domOps[op.name];
    if (!fn) throw new Error(`unknown page operation ${op.name}`);
    return fn(win.document, op.args || {});
  }

  // ---- Modal dialogs

  function renderModal() {
    modalEl.replaceChildren();
    const m = modals[modals.length - 1];
    modalEl.hidden = !m;
    if (!m) return;
    const box = document.createElement('div');
    box.className = 'modal';
    box.setAttribute('role', 'dialog');
    box.setAttribute('aria-modal', 'true');
    const title = document.createElement('h2');
    title.textContent = m.title || 'Vellumite';
    box.appendChild(title);
    let input = null;
    if (m.kind === 'file') {
      const p = document.createElement('p');
      p.textContent = 'Type the full path of the file.';
      box.appendChild(p);
    } else {
      const p = document.createElement('p');
      p.textContent = m.text || '';
      box.appendChild(p);
    }
    if (m.kind === 'input' || m.kind === 'file') {
      const wrap = document.createElement('div');
      wrap.className = 'field';
      input = document.createElement('input');
      input.type = m.masked ? 'password' : 'text';
      input.value = m.initial || '';
      input.setAttribute('aria-label', m.kind === 'file' ? 'File' : (m.text || 'Answer'));
      wrap.appendChild(input);
      box.appendChild(wrap);
      if (m.kind === 'file' && m.text) {
        const hint = document.createElement('div');
        hint.className = 'hint';
        hint.textContent = m.text;
        box.appendChild(hint);
      }
    }
    const buttons = document.createElement('div');
    buttons.className = 'buttons';
    const answer = (result) => {
      const i = modals.indexOf(m);
      if (i >= 0) modals.splice(i, 1);
      renderModal();
      post({ type: 'modal', id: m.id, result });
    };
    const button = (label, result, primary) => {
      const b = document.createElement('button');
      b.className = 'action' + (primary ? ' primary' : '');
      b.textContent = label;
      b.dataset.result = label;
      b.addEventListener('click', () => answer(typeof result === 'function' ? result() : result));
      buttons.appendChild(b);
      return b;
    };
    let first;
    if (m.kind === 'message' && m.buttons === 'yesno') {
      first = button('Yes', 'yes', true);
      button('No', 'no', false);
      box.addEventListener('keydown', (e) => { if (e.key === 'Escape') answer('no'); });
    } else if (m.kind === 'message') {
      first = button('OK', 'ok', true);
      box.addEventListener('keydown', (e) => { if (e.key === 'Escape') answer('ok'); });
    } else {
      button('OK', () => ({ ok: true, text: input.value }), true);
      button('Cancel', { ok: false }, false);
      input.addEventListener('keydown', (e) => {
        if (e.key === 'Enter') answer({ ok: true, text: input.value });
      });
      box.addEventListener('keydown', (e) => { if (e.key === 'Escape') answer({ ok: false }); });
      first = input;
    }
    box.appendChild(buttons);
    modalEl.appendChild(box);
    first.focus();
  }

  // ---- Floating windows (forms)

  let cascade = 0;
  function renderForm(model) {
    let f = forms.get(model.name);
    if (!f) {
      const el = document.createElement('section');
      el.className = 'form-window';
      el.dataset.form = model.name;
      el.setAttribute('role', 'dialog');
      const offset = 60 + (cascade++ % 6) * 28;
      el.style.left = offset + 'px';
      el.style.top = offset / 2 + 'px';
      formsEl.appendChild(el);
      f = { el, model };
      forms.set(model.name, f);
    }
    f.model = model;
    const { el } = f;
    el.replaceChildren();
    el.classList.toggle('topmost', !!model.topMost);
    el.hidden = !model.visible;
    el.setAttribute('aria-label', model.caption);

    const title = document.createElement('div');
    title.className = 'form-title';
    const caption = document.createElement('span');
    caption.textContent = model.caption;
    const close = document.createElement('button');
    close.className = 'form-close';
    close.setAttribute('aria-label', 'Close');
    close.textContent = '×';
    close.addEventListener('click', () => {
      el.hidden = true;
      post({ type: 'form', form: model.name, control: '', event: 'close', props: {}, argument: '' });
    });
    title.append(caption, close);
    makeDraggable(el, title);
    el.appendChild(title);

    const body = document.createElement('div');
    body.className = 'form-body';
    let row = null;
    let rowKey;
    for (const c of model.controls) {
      const key = c.props.row;
      if (!row || key === undefined || key !== rowKey) {
        row = document.createElement('div');
        row.className = 'form-row';
        body.appendChild(row);
        rowKey = key;
      }
      row.appendChild(renderControl(model.name, c));
    }
    el.appendChild(body);
  }

  function send(formName, control, event, props, argument) {
    post({ type: 'form', form: formName, control, event, props: props || {}, argument: argument || '' });
  }

  // Sent in turn with the events, so a click after the choice reaches the editor after the file.
  function sendFile(formName, control, file, maxBytes) {
    const refused = (why) => post({ type: 'pickRefused', form: formName, control, name: file.name, ...why });
    if (maxBytes && file.size > maxBytes) {
      refused({ tooLarge: true, size: file.size });
      return;
    }
    const query = new URLSearchParams({ form: formName, control, name: file.name, channel: String(channel) });
    sending = sending.then(() => fetch(`${base}pick?${query}`, {
      method: 'POST', body: file, headers: { 'Content-Type': 'application/octet-stream' }, cache: 'no-store',
    }).then(async (r) => {
      if (!r.ok) refused({ reason: (await r.text()).trim() });
    }, (err) => refused({ reason: `${file.name} could not be sent to the editor: ${messageOf(err)}` })))
      .catch(() => {});
  }

  function renderControl(formName, c) {
    const p = c.props;
    let el;
    switch (c.kind) {
      case 'text':
      case 'password': {
        el = document.createElement('input');
        el.type = c.kind === 'password' ? 'password' : 'text';
        el.value = p.text || '';
        el.addEventListener('input', () => send(formName, c.name, 'change', { text: el.value }));
        if (p.label) el.setAttribute('aria-label', p.label);
        break;
      }
      case 'combo': {
        if (p.listOnly) {
          // Only an entry can be chosen; choosing it is a click on that entry.
          el = document.createElement('select');
          const none = document.createElement('option');
          none.value = '';
          none.textContent = p.placeholder || '';
          el.appendChild(none);
          for (const item of p.items || []) {
            const o = document.createElement('option');
            o.value = o.textContent = item;
            el.appendChild(o);
          }
          el.value = (p.items || []).includes(p.text) ? p.text : '';
          el.addEventListener('change', () => send(formName, c.name, 'click', { text: el.value }));
          if (p.label) el.setAttribute('aria-label', p.label);
          break;
        }
        el = document.createElement('input');
        el.type = 'text';
        el.value = p.text || '';
        const list = document.createElement('datalist');
        list.id = `${formName}-${c.name}-list`;
        for (const item of p.items || []) {
          const o = document.createElement('option');
          o.value = item;
          list.appendChild(o);
        }
        el.setAttribute('list', list.id);
        el.addEventListener('input', () => send(formName, c.name, 'change', { text: el.value }));
        const wrap = document.createElement('span');
        wrap.className = 'combo';
        wrap.append(el, list);
        wrap.dataset.control = c.name;
        applyCommon(wrap, p);
        el.disabled = p.enabled === false;
        return wrap;
      }
      case 'checkbox': {
        el = document.createElement('label');
        const box = document.createElement('input');
        box.type = 'checkbox';
        box.checked = !!p.checked;
        box.disabled = p.enabled === false;
        box.addEventListener('change', () => send(formName, c.name, 'click', { checked: box.checked }));
        el.append(box, document.createTextNode(' ' + (p.text || '')));
        break;
      }
      case 'button':
        el = document.createElement('button');
        el.className = 'action' + (p.primary ? ' primary' : '');
        el.textContent = p.text || '';
        el.addEventListener('click', () => send(formName, c.name, 'click'));
        break;
      case 'link':
        el = document.createElement('a');
        el.href = '#';
        el.textContent = p.text || '';
        el.addEventListener('click', (e) => { e.preventDefault(); send(formName, c.name, 'click'); });
        break;
      case 'file': {
        // The browser's own chooser; the file goes to the editor on a request of its own.
        el = document.createElement('span');
        const input = document.createElement('input');
        input.type = 'file';
        input.hidden = true;
        if (p.accept) input.accept = p.accept;
        const button = document.createElement('button');
        button.className = 'action';
        button.textContent = p.text || '';
        button.disabled = p.enabled === false;
        button.addEventListener('click', () => input.click());
        input.addEventListener('change', () => {
          if (input.files.length) sendFile(formName, c.name, input.files[0], p.maxBytes);
          input.value = '';
        });
        el.append(input, button);
        break;
      }
      case 'progress':
        el = document.createElement('progress');
        el.max = 100;
        el.value = Number(p.value) || 0;
        break;
      case 'browser':
        el = document.createElement('iframe');
        el.name = `${formName}.${c.name}`;
        if (p.address) el.src = p.address;
        break;
      default:
        el = document.createElement('span');
        el.textContent = p.text || '';
    }
    el.dataset.control = c.name;
    applyCommon(el, p);
    if (p.dragsWindow) dragHandle(formName, el);
    return el;
  }

  // A control marked "dragsWindow" moves its window, as the title bar does.
  function dragHandle(formName, el) {
    const f = forms.get(formName);
    if (!f) return;
    el.classList.add('drag-handle');
    makeDraggable(f.el, el);
  }

  function applyCommon(el, p) {
    el.hidden = p.visible === false;
    if (p.enabled === false && 'disabled' in el) el.disabled = true;
    if (p.enabled === false) el.setAttribute('aria-disabled', 'true');
    if (p.role) el.setAttribute('role', p.role);
    if (p.width) Object.assign(el.style, { width: p.width + 'em', minWidth: '0', flex: 'none' });
  }

  function makeDraggable(win, handle) {
    handle.addEventListener('pointerdown', (e) => {
      if (e.target.closest('button')) return;
      const startX = e.clientX - win.offsetLeft;
      const startY = e.clientY - win.offsetTop;
      handle.setPointerCapture(e.pointerId);
      const move = (ev) => {
        win.style.left = Math.max(0, ev.clientX - startX) + 'px';
        win.style.top = Math.max(0, ev.clientY - startY) + 'px';
      };
      const up = () => {
        handle.removeEventListener('pointermove', move);
        handle.removeEventListener('pointerup', up);
      };
      handle.addEventListener('pointermove', move);
      handle.addEventListener('pointerup', up);
    });
  }

  function setFormProperty(op) {
    const f = forms.get(op.form);
    if (!f) return;
    const control = f.model.controls.find((c) => c.name === op.control);
    if (!control) return;
    control.props[op.property] = op.value;
    // Redraw only that control, so a field being typed in elsewhere keeps its focus.
    const old = f.el.querySelector(`[data-control="${CSS.escape(op.control)}"]`);
    if (old) old.replaceWith(renderControl(op.form, control));
  }

  // ---- Panes disabled while a long run lasts (a publish): veiled and inert, forms stay usable

  function setPanesEnabled(enabled) {
    panesEl.inert = !enabled;
    panesEl.classList.toggle('veiled', !enabled);
    panesEl.setAttribute('aria-busy', enabled ? 'false' : 'true');
  }

  // ---- Applying the editor's operations

  async function runDom(op) {
    if (!op.read) {
      try {
        await dom(op);
      } catch (err) {
        post({ type: 'error', message: messageOf(err) });
      }
      return;
    }
    let reply;
    try {
      reply = { type: 'reply', id: op.id, ok: true, value: await dom(op) };
    } catch (err) {
      reply = { type: 'reply', id: op.id, ok: false, error: messageOf(err) };
    }
    post(reply);
  }

  function sync(op) {
    channel = op.channel;
    generation++;
    lanes.clear();
    for (const nav of [...navigations]) {
      navigations.delete(nav);
      if (nav.element) nav.element.removeEventListener('load', nav.onLoad);
      nav.resolve();
    }
    setCaption(op.caption);
    for (const name of op.order) pane(name);
    setOrder(op.order);
    setPanesEnabled(op.panesEnabled !== false);
    for (const f of op.forms) renderForm(f);
    for (const [name, f] of forms) if (!op.forms.some((m) => m.name === name)) { f.el.remove(); forms.delete(name); }
    modals.length = 0;
    modals.push(...op.modals);
    renderModal();
    for (const [name, state] of Object.entries(op.panes)) loadPane(name, state);
  }

  function apply(op) {
    switch (op.op) {
      case 'sync':
        sync(op);
        break;
      case 'navigate':
        navigateInLane(op.pane, op.frames, op.url, op.seq, false);
        break;
      case 'dom':
        inLane(op.pane, () => runDom(op));
        break;
      case 'order':
        setOrder(op.order);
        break;
      case 'caption':
        setCaption(op.text);
        break;
      case 'modal':
        modals.push(op);
        renderModal();
        break;
      case 'modalClose': {
        const i = modals.findIndex((m) => m.id === op.id);
        if (i >= 0) { modals.splice(i, 1); renderModal(); }
        break;
      }
      case 'openWindow': {
        const w = window.open(op.url, op.name);
        if (w && /^https?:/i.test(op.url) && !op.keepOpener) { try { w.opener = null; } catch (e) { /* gone */ } }
        break;
      }
      case 'form':
        renderForm(op.form);
        break;
      case 'formSet':
        setFormProperty(op);
        break;
      case 'formCaption': {
        const f = forms.get(op.form);
        if (f) { f.model.caption = op.caption; renderForm(f.model); }
        break;
      }
      case 'formHide': {
        const f = forms.get(op.form);
        if (f) { f.model.visible = false; f.el.hidden = true; }
        break;
      }
      case 'formUnload': {
        const f = forms.get(op.form);
        if (f) { f.el.remove(); forms.delete(op.form); }
        break;
      }
      case 'panesEnabled':
        setPanesEnabled(op.enabled);
        break;
      case 'superseded':
        superseded = true;
        showNotice('The editor is open in another browser tab or window. Use that one.');
        break;
      default:
        break;
    }
  }

  connect();
})();
