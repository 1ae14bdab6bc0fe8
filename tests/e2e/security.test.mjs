// What no other page, origin or user can do to a running editor.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import http from 'node:http';
import { mkdirSync, readdirSync, readFileSync, statSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import {
  cleanup, startEditor, startService, launchBrowser, openEditor, pane, paneFrame, until, loaded, isAlive,
  modalText,
} from './lib/harness.mjs';

after(cleanup);

// A raw request, so that every header (Host included) is the test's to choose.
function request(url, { method = 'GET', headers = {}, body } = {}) {
  return new Promise((resolve, reject) => {
    const u = new URL(url);
    const req = http.request({ host: u.hostname, port: u.port, path: u.pathname + u.search, method, headers }, (res) => {
      let data = '';
      res.on('data', (c) => { data += c; });
      res.on('end', () => resolve({ status: res.statusCode, headers: res.headers, body: data }));
    });
    req.on('error', reject);
    if (body) req.write(body);
    req.end();
  });
}

const corsHeaders = (headers) => Object.keys(headers).filter((h) => h.startsWith('access-control-'));
const quitPath = 'pane/webFrontpage/html/%3C$quit$%3E';
const sameOrigin = { 'Sec-Fetch-Site': 'same-origin', 'Sec-Fetch-Mode': 'navigate', 'Sec-Fetch-Dest': 'iframe' };

test('requests that are not from the editor\'s own pages change nothing; every answer carries the protective headers', async () => {
  const editor = await startEditor(['--offline']);
  const token = editor.address.split('/s/')[1].replace(/\/$/, '');
  const wrong = token.slice(0, -1) + (token.endsWith('0') ? '1' : '0');
  const cases = [
    ['no token', `${editor.origin}/pane/webFrontpage/html/%3C$quit$%3E`, { headers: sameOrigin }, 404],
    ['wrong token', `${editor.origin}/s/${wrong}/${quitPath}`, { headers: sameOrigin }, 404],
    ['short token', `${editor.origin}/s/${token.slice(0, 10)}/${quitPath}`, { headers: sameOrigin }, 404],
    ['foreign Host', `${editor.address}${quitPath}`, { headers: { ...sameOrigin, Host: 'evil.example' } }, 421],
    ['cross-site command', `${editor.address}${quitPath}`, { headers: { ...sameOrigin, 'Sec-Fetch-Site': 'cross-site' } }, 403],
    ['same-site command', `${editor.address}${quitPath}`, { headers: { ...sameOrigin, 'Sec-Fetch-Site': 'same-site' } }, 403],
    ['typed into the address bar', `${editor.address}${quitPath}`, { headers: { ...sameOrigin, 'Sec-Fetch-Site': 'none' } }, 403],
    ['prefetch', `${editor.address}${quitPath}`, { headers: { ...sameOrigin, 'Sec-Purpose': 'prefetch' } }, 403],
    ['no fetch metadata, no referer', `${editor.address}${quitPath}`, {}, 403],
    ['channel from another origin', `${editor.address}channel`, { method: 'POST', headers: { Origin: 'http://evil.example' } }, 403],
    ['channel without origin', `${editor.address}channel`, { method: 'POST' }, 403],
    ['cross-origin event', `${editor.address}event`, { method: 'POST', headers: { Origin: 'http://127.0.0.1:1', 'Content-Type': 'text/plain' }, body: '{"type":"modal","id":1,"result":"yes"}' }, 403],
    ['database file', `${editor.address}pane/webFrontpage/vellumite.db`, { headers: { 'Sec-Fetch-Site': 'same-origin', 'Sec-Fetch-Dest': 'image', 'Sec-Fetch-Mode': 'no-cors' } }, 404],
    ['escaping the app folder', `${editor.address}pane/webFrontpage/html/..%2f..%2fetc%2fpasswd`, { headers: { 'Sec-Fetch-Site': 'same-origin', 'Sec-Fetch-Dest': 'image', 'Sec-Fetch-Mode': 'no-cors' } }, 404],
    ['file name in another letter case', `${editor.address}pane/webFrontpage/HTML/Template-FrontPage.HTML`, { headers: { 'Sec-Fetch-Site': 'same-origin', 'Sec-Fetch-Dest': 'image', 'Sec-Fetch-Mode': 'no-cors' } }, 200],
    ['NUL in a name', `${editor.address}pane/webFrontpage/html/template-frontpage.html%00.png`, { headers: { 'Sec-Fetch-Site': 'same-origin', 'Sec-Fetch-Dest': 'image', 'Sec-Fetch-Mode': 'no-cors' } }, 400],
  ];
  for (const [what, url, options, status] of cases) {
    const r = await request(url, options);
    assert.equal(r.status, status, what);
    assert.deepEqual(corsHeaders(r.headers), [], what);
  }
  // A page of our own goes through the editor's logic before it is served, after whatever had
  // reached it before: answered, it proves that none of the refused commands got through.
  const ours = await request(`${editor.address}pane/webFrontpage/html/template-frontpage.html`, { headers: sameOrigin });
  assert.equal(ours.status, 200);
  assert.ok(isAlive(editor), 'the quit command never ran');

  // Every answer carries the protective headers; generated pages are not the editor's to serve
  // (they come from a sandbox origin, see the preview in tools.test.mjs).
  mkdirSync(path.join(editor.dataDir, 'html', 'output'), { recursive: true });
  writeFileSync(path.join(editor.dataDir, 'html', 'output', 'index.html'), '<script>1</script>');
  const plain = await request(editor.address);
  assert.match(plain.headers['content-security-policy'], /script-src 'self'/);
  assert.match(plain.headers['content-security-policy'], /frame-ancestors 'self'/);
  assert.equal(plain.headers['x-content-type-options'], 'nosniff');
  assert.equal(plain.headers['referrer-policy'], 'no-referrer');
  assert.equal(plain.headers['cache-control'], 'no-store');
  for (const generated of ['preview/index.html', 'pane/webContent/HTML/output/index.html', 'file/html/output/index.html']) {
    const preview = await request(`${editor.address}${generated}`, { headers: { 'Sec-Fetch-Site': 'same-origin' } });
    assert.equal(preview.status, 404, generated);
  }

  // The same command from our own pages does run: the refusals above were the checks.
  // The process may end before its answer is written: it quits at once.
  const r = await request(`${editor.address}${quitPath}`, { headers: sameOrigin }).catch(() => ({ status: 204 }));
  assert.equal(r.status, 204);
  assert.equal(await editor.exited, 0);
});

test('a page of another origin cannot drive the editor by links, frames or posts; the token stays private', async () => {
  const service = await startService();
  const editor = await startEditor(['--offline', '--service-url', service.url]);
  const browser = await launchBrowser();
  const page = await openEditor(browser, editor);
  const seen = [];
  browser.on('response', (r) => seen.push(r));
  page.on('response', (r) => seen.push(r));

  const target = `${editor.address}${quitPath}`;
  const evil = `<!doctype html>
    <a id=link href="${target}">win a prize</a>
    <iframe id=frame src="${target}"></iframe>
    <form id=post method=post action="${editor.address}event" enctype="text/plain">
      <input name='{"type":"modal","id":1,"result":"yes","x":"' value='"}'></form>`;
  const evilPage = `${service.url}/page.html?html=${encodeURIComponent(evil)}`;
  const poster = await browser.newPage();
  poster.on('response', (r) => seen.push(r));
  await poster.goto(evilPage); // the frame tries at once
  const posted = poster.waitForNavigation();
  await poster.evaluate(() => document.getElementById('post').submit());
  await posted;
  const clicker = await browser.newPage();
  clicker.on('response', (r) => seen.push(r));
  await clicker.goto(evilPage);
  const followed = clicker.waitForNavigation();
  await clicker.click('#link');
  await followed;
  // The editor still obeys its own page, after all of the above was answered.
  await pane(page, 'webFrontpage').click('a[href="<$openlog$>"]');
  await until(() => loaded(paneFrame(page, 'webFrontpage', 0), '/loglist.html'), 'the site list');
  assert.ok(isAlive(editor), 'the editor still runs');
  assert.match(await pane(page, 'webFrontpage').textContent('.sidebar'), /New site/);
  assert.equal(await modalText(page), null);
  for (const r of seen) assert.deepEqual(corsHeaders(await r.allHeaders()), [], r.url());
  assert.ok(seen.some((r) => r.url().startsWith(editor.origin) && r.status() === 403), 'the refusals were seen');

  const token = editor.address.split('/s/')[1].replace(/\/$/, '');
  for (const pid of readdirSync('/proc').filter((n) => /^\d+$/.test(n))) {
    let cmdline = '';
    try { cmdline = readFileSync(`/proc/${pid}/cmdline`, 'latin1'); } catch (e) { continue; }
    assert.ok(!cmdline.includes(token), `process ${pid} shows the token`);
  }
  const file = path.join(editor.dataDir, 'vellumite-address.html');
  assert.equal(statSync(file).mode & 0o777, 0o600);
  assert.ok(readFileSync(file, 'utf8').includes(editor.address));
});
