// Publishing from the editor in Chromium: the window's progress, the veiled panes, the files on
// a real FTP server, the registration and the highlights; a refused upload, dragging, cancel;
// the connection chosen in the settings, and a host's own certificate trusted when asked.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdirSync, readdirSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import {
  cleanup, tempDir, startEditor, startService, startFtpServer, launchBrowser, openEditor,
  until, openSite, shown, waitForModal, answerModal, modalText, openSettings, makeCertificate,
} from './lib/harness.mjs';

after(cleanup);
const browser = await launchBrowser();
const win = '[data-form="frmPublish"]';
const status = `${win} [data-control="lblFTPState"]`;

// Records every text the window's status and total labels showed, and whether the panes were
// veiled and inert meanwhile: the run is over faster than any polling could look, and several
// changes may come in one batch, so the texts they replaced are taken from the records.
async function watchWindow(page) {
  await page.evaluate(() => {
    window.seen = { shown: false, texts: [], veiled: false };
    const note = (text) => { if (text && !window.seen.texts.includes(text)) window.seen.texts.push(text); };
    const labels = '[data-control="lblFTPState"],[data-control="lblTotalProgress"]';
    const noteLabels = (n) => {
      if (n.nodeType !== Node.ELEMENT_NODE) return;
      if (n.matches(labels)) note(n.textContent);
      n.querySelectorAll(labels).forEach((c) => note(c.textContent));
    };
    new MutationObserver((records) => {
      const w = document.querySelector('[data-form="frmPublish"]');
      if (w && !w.hidden) window.seen.shown = true;
      // A label is redrawn as a new element: the one it replaced still holds the older text.
      for (const r of records) {
        r.removedNodes.forEach(noteLabels);
        r.addedNodes.forEach(noteLabels);
      }
      const panes = document.getElementById('panes');
      if (panes.inert && panes.classList.contains('veiled')) window.seen.veiled = true;
    }).observe(document.body, {
      subtree: true, childList: true, attributes: true,
    });
  });
}

test('Publish from the editor: progress, files on the server, registration, highlights, a refusal', async () => {
  const root = tempDir('vellumite-ftp-');
  mkdirSync(path.join(root, 'root'));
  const port = await startFtpServer(path.join(root, 'root'));
  const service = await startService();
  const dataDir = tempDir('vellumite-publish-');
  execFileSync(process.env.VELLUMITE_BINARY, ['sites', '--data-dir', dataDir]);
  const sql = (statement) => execFileSync('sqlite3', [path.join(dataDir, 'vellumite.db'), statement]).toString().trim();
  sql(`UPDATE VellumiteLog SET ftplocation='127.0.0.1:${port}', ftpusername='tester', ftppassword='s3cret',
       ftppath='', ftppassive=-1, advertiseHighlights=-1, LogServerID=NULL`);
  const editor = await startEditor(['--online', '--service-url', service.url], { dataDir });
  const page = await openEditor(browser, editor);
  await openSite(page, 'Welcome to Vellumite');
  const content = await shown(page, 'webContent', '/contentedit.html');

  await watchWindow(page);
  await content.click('a[href="<$publish$>"]');
  await until(() => page.evaluate(() => window.seen.shown), 'the publish window');
  await until(async () => (await page.$(win)) === null, 'the publish window to close');
  const seen = await page.evaluate(() => window.seen);
  assert.ok(seen.veiled, 'the panes were veiled and inert while the run lasted');
  assert.equal(await page.$eval('#panes', (p) => p.inert || p.classList.contains('veiled')), false);
  const files = readdirSync(path.join(dataDir, 'html/output'));
  for (const text of ['Generating files', `FTP Status : Uploading file ${files.length} of ${files.length}`]) {
    assert.ok(seen.texts.includes(text), seen.texts.join(' | '));
  }
  assert.match(seen.texts.filter((t) => t.startsWith('Total')).at(-1), /^Total Progress : (\d+) bytes of \1 bytes\.$/);
  assert.equal(await modalText(page), null, 'no message after a run that succeeded');
  await until(() => sql('SELECT LogServerID FROM VellumiteLog') === '42', 'the identifier from the service');

  // Again, the first upload refused: the highlights are posted (the site has its identifier
  // now), and the window stays open, saying which file and what the server said.
  writeFileSync(path.join(root, 'refuse-uploads.txt'), 'index.html\n');
  await content.click('a[href="<$publish$>"]');
  await until(async () => (await page.$eval(status, (s) => s.textContent).catch(() => '')).includes('index.html was not uploaded'), 'the refusal');
  const posted = await until(async () => (await service.requests()).find((r) => r.path === '/highlight_xml_to_db.php'), 'the highlights');
  assert.ok(Buffer.from(posted.bodyHex, 'hex').toString().includes(`filename="${path.join(dataDir, 'html/output/highlights.xml')}"`));

  // Dragging the window's message moves it.
  const before = await page.$eval(win, (w) => [w.offsetLeft, w.offsetTop]);
  const box = await (await page.$(`${win} [data-control="lblUploadMessage"]`)).boundingBox();
  await page.mouse.move(box.x + 10, box.y + 5);
  await page.mouse.down();
  await page.mouse.move(box.x + 90, box.y + 65, { steps: 5 });
  await page.mouse.up();
  assert.deepEqual(await page.$eval(win, (w, b) => [w.offsetLeft - b[0], w.offsetTop - b[1]], before), [80, 60]);

  await page.click(`${win} [data-control="lblCancel"]`);
  await waitForModal(page, 'Canceling publishing now may cause your website to not function correctly.  Are you sure you wish to cancel?');
  await answerModal(page, 'Yes');
  await until(async () => (await page.$(win)) === null, 'the window to close');
  assert.equal(await page.$eval('#panes', (p) => p.inert), false);
});

test('Publish over TLS: the settings choice, the certificate question answered Yes once', async () => {
  const root = tempDir('vellumite-ftps-');
  mkdirSync(path.join(root, 'root'));
  const { files, fingerprint } = makeCertificate(root);
  const port = await startFtpServer(path.join(root, 'root'), 'tester', 's3cret', files);
  const editor = await startEditor(['--online', '--service-url', (await startService()).url]);
  const page = await openEditor(browser, editor);
  await openSite(page, 'Welcome to Vellumite');
  const setup = await openSettings(page);
  assert.equal(await setup.inputValue('select[name="VellumiteFtpSecurity"]'), 'tls', 'a new site starts with TLS');
  for (const [name, typed] of [['VellumiteftpAddress', `127.0.0.1:${port}`], ['VellumiteUsername', 'tester'],
    ['VellumiteftpPassword', 's3cret']]) await setup.fill(`input[name="${name}"]`, typed);
  await setup.click('a[href="<$savesettings$>"]');
  const content = await shown(page, 'webContent', '/contentedit.html');
  assert.equal(execFileSync('sqlite3', [path.join(editor.dataDir, 'vellumite.db'), 'SELECT ftplocation FROM VellumiteLog'])
    .toString().trim(), `ftpes://127.0.0.1:${port}`);

  // Asked once: the second run goes through without a question.
  for (const asked of [true, false]) {
    await content.click('a[href="<$publish$>"]');
    if (asked) {
      await until(async () => (await modalText(page))?.includes(fingerprint), 'the certificate question');
      await answerModal(page, 'Yes');
    }
    // The files' bytes over TLS are compared by the publish command's test.
    await until(async () => (await page.$(win)) === null, 'the publish window to close');
    assert.equal(await modalText(page), null, 'no message after a run that succeeded');
  }
});
