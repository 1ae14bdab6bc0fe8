// The band window: padlock, counter, items button and drop area, with the items dialog, the
// pop-up menu and the message boxes. It only shows what the host says and tells the host what
// the user did; the band's logic is the host's.
const api = globalThis.browser ?? globalThis.chrome;
const $ = (id) => document.getElementById(id);
const MAX_DROP_BYTES = 512 * 1024;

let port = null;
let linkColours = [];

function send(message) {
  if (port) port.postMessage(message);
}

function showBand({ padlock, counter, counterVisible }) {
  $('imgLogo').src = padlock === 'green' ? 'images/lock-green.svg' : 'images/lock-grey.svg';
  $('imgLogo').alt = padlock === 'green' ? 'Highlighting on' : 'Highlighting off';
  $('imgLogo').dataset.state = padlock;
  $('lblCounter').textContent = counter;
  $('lblCounter').hidden = !counterVisible;
}

function applyBandInfo({ minSize, actualSize }) {
  const band = $('band');
  band.style.minWidth = `${minSize.x}px`;
  band.style.width = `max(${actualSize.x}px, 100%)`; // grows with the panel: no maximum across
  band.style.height = `${actualSize.y}px`;
}

function paintLinks(hovered) {
  const colours = linkColours[hovered + 1];
  if (!colours) return;
  $('links').querySelectorAll('a').forEach((a, i) => { a.style.backgroundColor = colours[i]; });
}

function showItems({ lines, tooltip, links, linkColours: colours }) {
  const boxes = $('txtItems');
  boxes.replaceChildren();
  lines.forEach((line, i) => {
    const input = document.createElement('input');
    input.id = `txtItem${i + 1}`;
    input.value = line;
    input.title = tooltip;
    boxes.append(input);
  });
  linkColours = colours;
  $('links').replaceChildren(...links.map(({ control, caption }, i) => {
    const a = document.createElement('a');
    a.id = control;
    a.textContent = caption;
    a.addEventListener('mouseover', (e) => { e.stopPropagation(); paintLinks(i); });
    a.addEventListener('click', () => send({ type: 'itemsLink', link: control }));
    return a;
  }));
  paintLinks(-1);
  $('frmItemsList').hidden = false;
  boxes.firstChild?.focus();
}

function showMenu(items, x, y) {
  const menu = $('menu');
  menu.replaceChildren(...items.map(({ id, caption }) => {
    const li = document.createElement('li');
    if (!id) {
      li.className = 'separator';
      return li;
    }
    li.textContent = caption;
    li.dataset.item = id;
    li.setAttribute('role', 'menuitem');
    li.addEventListener('click', () => {
      menu.hidden = true;
      send({ type: 'menuChoose', item: id });
    });
    return li;
  }));
  menu.style.left = `${x}px`;
  menu.style.top = `${y}px`;
  menu.hidden = false;
}

function showMessage(text) {
  $('msgText').textContent = text;
  $('msgBox').hidden = false;
}

let menuAt = { x: 0, y: 0 };
function fromHost(m) {
  switch (m.type) {
    case 'band': showBand(m); break;
    case 'bandInfo': applyBandInfo(m); break;
    case 'itemsDialog': showItems(m); break;
    case 'itemsDialogClose': $('frmItemsList').hidden = true; break;
    case 'menu': showMenu(m.items, menuAt.x, menuAt.y); break;
    case 'about':
      $('version').textContent = m.version;
      $('frmAbout').hidden = false;
      break;
    case 'message': showMessage(m.text); break;
    case 'hostGone':
      $('hostGone').textContent = `The Vellumite toolbar program is not running (${m.error}). `
        + 'Install it with "vellumitebar install" and open this panel again.';
      $('hostGone').hidden = false;
      port = null;
      break;
    default: break;
  }
}

async function connect() {
  const current = await api.windows.getCurrent();
  port = api.runtime.connect({ name: 'band' });
  port.onMessage.addListener(fromHost);
  port.onDisconnect.addListener(() => { port = null; });
  port.postMessage({ type: 'hello', window: current.id });
}

// The padlock and the counter switch highlighting on and off.
$('imgLogo').addEventListener('click', () => send({ type: 'padlock' }));
$('lblCounter').addEventListener('click', () => send({ type: 'padlock' }));
$('imgManualItems').addEventListener('click', () => send({ type: 'itemsOpen' }));

$('frmItemsList').addEventListener('submit', (e) => {
  e.preventDefault();
  const lines = [...$('txtItems').querySelectorAll('input')].map((input) => input.value);
  send({ type: 'itemsSave', lines });
});
$('cmdCancel').addEventListener('click', () => send({ type: 'itemsCancel' }));
$('frmItemsList').addEventListener('mouseover', () => paintLinks(-1));

document.addEventListener('contextmenu', (e) => {
  e.preventDefault();
  menuAt = { x: e.clientX, y: e.clientY };
  send({ type: 'menuOpen' });
});
document.addEventListener('click', (e) => {
  if (!$('menu').contains(e.target)) $('menu').hidden = true;
});
$('aboutOk').addEventListener('click', () => { $('frmAbout').hidden = true; });
$('msgOk').addEventListener('click', () => { $('msgBox').hidden = true; });

// The drop area takes text; the host decides from the formats offered whether it is text.
const grabber = $('picGrabber');
grabber.addEventListener('dragover', (e) => {
  e.preventDefault();
  grabber.classList.add('over');
});
grabber.addEventListener('dragleave', () => grabber.classList.remove('over'));
grabber.addEventListener('drop', (e) => {
  e.preventDefault();
  grabber.classList.remove('over');
  const types = [...e.dataTransfer.types];
  const text = types.includes('text/plain') ? e.dataTransfer.getData('text/plain') : '';
  if (new TextEncoder().encode(text).length > MAX_DROP_BYTES) {
    showMessage('This text is too long to collect: 512 KB at most.');
    return;
  }
  send({ type: 'drop', types, text });
  grabber.classList.add('took');
  setTimeout(() => grabber.classList.remove('took'), 600);
});

connect();
