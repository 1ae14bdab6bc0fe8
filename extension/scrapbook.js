// The scrapbook page: shows the collection the host builds, and hands every link followed on it
// to the host, which carries out the page's delete, clear and save commands and lets other
// links open as usual.
const api = globalThis.browser ?? globalThis.chrome;
const port = api.runtime.connect({ name: 'scrapbook' });

function show(html) {
  const page = new DOMParser().parseFromString(html, 'text/html');
  document.documentElement.replaceWith(document.importNode(page.documentElement, true));
  document.title = 'Vellumite Collection';
  document.documentElement.dataset.shown = String(Date.now());
}

function download(fileName, html) {
  const url = URL.createObjectURL(new Blob([html], { type: 'text/html' }));
  const a = document.createElement('a');
  a.href = url;
  a.download = fileName;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

port.onMessage.addListener((m) => {
  if (m.type === 'scrapbookPage') show(m.html);
  else if (m.type === 'saveCopy') download(m.fileName, m.html);
});

document.addEventListener('click', (e) => {
  const link = e.target.closest && e.target.closest('a[href]');
  if (!link || link.hasAttribute('download')) return;
  e.preventDefault();
  port.postMessage({ type: 'link', from: location.href, url: link.href });
});

port.postMessage({ type: 'show' });
