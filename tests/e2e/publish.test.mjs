// Publishing from the editor in Chromium: the window's progress, the veiled panes, the files on
// a real FTP server, the registration and the highlights; a refused upload and cancel.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdirSync, readdirSync, readFileSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import {
  cleanup, tempDir, startEditor, startService, startFtpServer, launchBrowser, openEditor, pane,
  until, openSite, shown, waitForModal, answerModal, modalText, loaded, paneFrame,
} from './lib/harness.mjs';

after(cleanup);
const browser = await launchBrowser();
const publishWindow = '[data-form="frmPublish"]';

const sql = (dataDir, statement) =>
  execFileSync('sqlite3', [path.join(dataDir, 'vellumite.db'), statement]).toString().trim();

// Records every text the publish window's status line and total label show, and whether the
// panes were veiled meanwhile: the run is faster than any polling.
async function watchWindow(page) {
  await page.evaluate(() => {
    window.seen = { shown: false, status: [], total: [], veiled: false, inert: false };
    const record = () => {
      const get = (name) => document.querySelector(`[data-form="frmPublish"] [data-control="${name}"]`);
      const status = get('lblFTPState');
      const total = get('lblTotalProgress');
      const panes = document.getElementById('panes');
      const win = document.querySelector('[data-form="frmPublish"]');
      if (win && !win.hidden) window.seen.shown = true;
      if (status && status.textContent && window.seen.status.at(-1) !== status.textContent) window.seen.status.push(status.textContent);
      if (total && total.textContent && window.seen.total.at(-1) !== total.textContent) window.seen.total.push(total.textContent);
      if (panes.classList.contains('veiled')) window.seen.veiled = true;
      if (panes.inert) window.seen.inert = true;
    };
    new MutationObserver(record).observe(document.body, { subtree: true, childList: true, characterData: true, attributes: true });
  });
}

test('Publish from the editor: progress shows, the files arrive, the site is registered and its highlights posted', async () => {
  const root = tempDir('vellumite-ftp-');
  const serverRoot = path.join(root, 'root');
  mkdirSync(serverRoot);
  const port = await startFtpServer(serverRoot);
  const service = await startService();
  const dataDir = tempDir('vellumite-publish-');
  execFileSync(process.env.VELLUMITE_BINARY, ['sites', '--data-dir', dataDir]);
  sql(dataDir, `UPDATE VellumiteLog SET ftplocation='127.0.0.1:${port}', ftpusername='tester',
    ftppassword='s3cret', ftppath='', ftppassive=-1, advertiseHighlights=-1, LogServerID=NULL`);

  const editor = await startEditor(['--online', '--service-url', service.url], { dataDir });
  const page = await openEditor(browser, editor);
  await openSite(page, 'Welcome to Vellumite');
  const content = await shown(page, 'webContent', '/contentedit.html');

  await watchWindow(page);
  await content.click('a[href="<$publish$>"]');
  // The run may be over before a look could find its window: the watcher saw it.
  await until(() => page.evaluate(() => window.seen.shown), 'the publish window');
  await until(async () => (await page.$(publishWindow)) === null, 'the publish window to close');
  const seen = await page.evaluate(() => window.seen);
  assert.ok(seen.veiled && seen.inert, 'the panes were veiled and inert while the run lasted');
  assert.equal(await page.$eval('#panes', (p) => p.classList.contains('veiled') || p.inert), false);
  const files = readdirSync(path.join(dataDir, 'html/output')).filter((f) => f !== 'highlights.xml');
  assert.ok(seen.status.includes('Generating files'), seen.status.join(' | '));
  assert.ok(seen.status.includes(`FTP Status : Uploading file ${files.length} of ${files.length}`), seen.status.join(' | '));
  assert.match(seen.total.at(-1), /^Total Progress : (\d+) bytes of \1 bytes\.$/);
  assert.equal(await modalText(page), null, 'no message after a run that succeeded');
  for (const name of files) {
    assert.deepEqual(readFileSync(path.join(serverRoot, name)), readFileSync(path.join(dataDir, 'html/output', name)), name);
  }
  await until(() => sql(dataDir, 'SELECT LogServerID FROM VellumiteLog') === '42', 'the identifier from the service');
  const registration = (await service.requests()).find((r) => r.path.startsWith('/record_upload.php'));
  assert.equal(registration.path, '/record_upload.php?url=http://&logname=Welcome%20to%20Vellumite');

  // Again, with the first upload refused: the registration names the site's identifier and the
  // highlights are posted; the window stays open, saying which file and what the server said.
  writeFileSync(path.join(root, 'refuse-uploads.txt'), 'index.html\n');
  await content.click('a[href="<$publish$>"]');
  const status = `${publishWindow} [data-control="lblFTPState"]`;
  await until(async () => (await page.$eval(status, (s) => s.textContent).catch(() => '')).includes('index.html was not uploaded'), 'the refusal');
  assert.equal(await page.$eval(status, (s) => s.textContent),
    'FTP Status : index.html was not uploaded: the server said "550 Upload of this file refused by the test.".');
  const posted = await until(async () => (await service.requests()).find((r) => r.path === '/highlight_xml_to_db.php'), 'the highlights post');
  const body = Buffer.from(posted.bodyHex, 'hex').toString();
  assert.ok(body.includes(`filename="${path.join(dataDir, 'html/output/highlights.xml')}"`), body.slice(0, 300));
  assert.ok(body.includes('<LogHighlights>'));
  assert.ok((await service.requests()).some((r) => r.path.includes('&ID=42&logname=')));

  // The window moves when its message is dragged, and the panes stay veiled until it goes.
  const before = await page.$eval(publishWindow, (w) => [w.offsetLeft, w.offsetTop]);
  const handle = await page.$(`${publishWindow} [data-control="lblUploadMessage"]`);
  const box = await handle.boundingBox();
  await page.mouse.move(box.x + 10, box.y + 5);
  await page.mouse.down();
  await page.mouse.move(box.x + 90, box.y + 65, { steps: 5 });
  await page.mouse.up();
  const moved = await page.$eval(publishWindow, (w) => [w.offsetLeft, w.offsetTop]);
  assert.deepEqual([moved[0] - before[0], moved[1] - before[1]], [80, 60]);
  assert.equal(await page.$eval('#panes', (p) => p.inert), true);

  await page.click(`${publishWindow} [data-control="lblCancel"]`);
  await waitForModal(page, 'Canceling publishing now may cause your website to not function correctly.  Are you sure you wish to cancel?');
  await answerModal(page, 'Yes');
  await until(async () => (await page.$(publishWindow)) === null, 'the window to close');
  assert.equal(await page.$eval('#panes', (p) => p.inert || p.classList.contains('veiled')), false);
  // The editor answers clicks again.
  await pane(page, 'webContent').click('a[href="<$draft$>"]');
  await until(() => loaded(paneFrame(page, 'webContent', 0), '/draft.html'), 'the drafts list');
});
