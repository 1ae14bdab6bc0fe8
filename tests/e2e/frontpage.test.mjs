// The editor in Chromium: the front page, the start-up fetches, help, dialogs and windows.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync } from 'node:fs';
import path from 'node:path';
import {
  cleanup, startEditor, startService, launchBrowser, openEditor, pane, until, showTestPage,
  modalText, answerModal, isAlive,
} from './lib/harness.mjs';

after(cleanup);
const browser = await launchBrowser();

test('offline start: front page shows, no request is made, recent frame is blank', async () => {
  const service = await startService();
  const editor = await startEditor(['--offline', '--service-url', service.url]);
  const page = await openEditor(browser, editor);

  assert.equal(await page.title(), 'Vellumite Editor');
  assert.match(await pane(page, 'webFrontpage').textContent('.sidebar'), /New site/);
  await until(async () => page.frame({ name: 'recent' })?.url() === 'about:blank', 'the recent frame to be blanked');
  // The welcome note shows while the sample site exists.
  await until(async () => page.frame({ name: 'welcome' })?.url().endsWith('/html/tooltips/welcome.html'), 'the welcome note');
  assert.deepEqual(await service.requests(), []);
  await page.close();
});

test('online start fills the news and recent frames from the service', async () => {
  const service = await startService();
  const editor = await startEditor(['--online', '--service-url', service.url]);
  const page = await openEditor(browser, editor);
  await until(async () => page.frame({ name: 'news' })?.url().endsWith('/html/versioninfonew.html'), 'news frame');
  await until(async () => page.frame({ name: 'recent' })?.url().endsWith('/html/recentlyUpdated.html'), 'recent frame');
  assert.equal(await page.frame({ name: 'news' }).textContent('#version'), 'Vellumite 9.9 is out.');
  assert.equal(await page.frame({ name: 'recent' }).textContent('#recent li'), 'A fresh site');
  const paths = (await service.requests()).map((r) => r.path).sort();
  assert.deepEqual(paths, ['/recentlyupdatedClient.php', '/versioninfonew.html']);
  await page.close();
});

test('a fetch that completes before the front page has loaded still fills its frame', async () => {
  const service = await startService();
  const editor = await startEditor(['--online', '--service-url', service.url]);
  // No browser yet: the answers arrive and are written while the front page is still busy.
  const written = path.join(editor.dataDir, 'html', 'recentlyUpdated.html');
  await until(async () => existsSync(written) && existsSync(path.join(editor.dataDir, 'html', 'versioninfonew.html')), 'the fetched files');
  await new Promise((r) => setTimeout(r, 300));
  const page = await openEditor(browser, editor);
  await until(async () => page.frame({ name: 'news' })?.url().endsWith('/html/versioninfonew.html'), 'news frame');
  await until(async () => page.frame({ name: 'recent' })?.url().endsWith('/html/recentlyUpdated.html'), 'recent frame');
  await page.close();
});

test('help opens the service help page in the "vellumitedisplay" window', async () => {
  const service = await startService();
  const editor = await startEditor(['--online', '--service-url', service.url]);
  const page = await openEditor(browser, editor);
  const frame = await showTestPage(page, editor, 'webContent', 'help-test.html',
    '<!doctype html><a id=help href="<$HELP$>">Help</a>');
  const opened = browser.waitForEvent('page');
  await frame.click('#help');
  const display = await opened;
  await display.waitForLoadState();
  assert.equal(display.url(), `${service.url}/help/helpcontentspecific.html`);
  assert.equal(await display.evaluate(() => window.name), 'vellumitedisplay');
  await display.close();
  await page.close();
});

test('help offline shows only the message', async () => {
  const editor = await startEditor(['--offline']);
  const page = await openEditor(browser, editor);
  const frame = await showTestPage(page, editor, 'webSetup', 'help-test.html',
    '<!doctype html><a id=help href="<$help$>">Help</a>');
  let opened = false;
  const onPage = () => { opened = true; };
  browser.on('page', onPage);
  await frame.click('#help');
  await until(() => modalText(page), 'the offline message');
  assert.match(await modalText(page), /^Your computer does not appear to be online\./);
  assert.equal(await page.textContent('#modal h2'), 'No internet connection');
  await answerModal(page, 'OK');
  await until(async () => (await modalText(page)) === null, 'the message to close');
  await new Promise((r) => setTimeout(r, 300));
  browser.off('page', onPage);
  assert.equal(opened, false);
  await page.close();
});

test('a Yes/No question blocks the panes and its answer steers the command', async () => {
  const editor = await startEditor(['--offline']);
  const page = await openEditor(browser, editor);
  const frame = await showTestPage(page, editor, 'webSetup', 'content-test.html',
    '<!doctype html><a id=go href="<$content$>">Editor</a>');
  await frame.click('#go');
  await until(() => modalText(page), 'the question');
  assert.match(await modalText(page), /^Your current settings are not complete/);
  assert.equal(await page.textContent('#modal h2'), 'Continue?');
  // The panes cannot be clicked while the question is open.
  await assert.rejects(frame.click('#go', { timeout: 500 }));
  await answerModal(page, 'No');
  await until(async () => (await modalText(page)) === null, 'the question to close');

  await frame.click('#go');
  await until(() => modalText(page), 'the question again');
  await answerModal(page, 'Yes');
  // Yes goes on to the editor; no site is open in this test, so it reports the missing site row.
  await until(async () => (await modalText(page)) === 'No current record.', 'the editor step');
  await answerModal(page, 'OK');
  await page.close();
});

test('quit on the front page ends the editor', async () => {
  const editor = await startEditor(['--offline']);
  const page = await openEditor(browser, editor);
  await pane(page, 'webFrontpage').click('a[href="<$quit$>"]');
  const code = await editor.exited;
  assert.equal(code, 0);
  assert.equal(isAlive(editor), false);
  await page.close();
});
