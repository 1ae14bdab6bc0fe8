// The editor in Chromium: the front page, the start-up fetches, help, dialogs and quitting.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync } from 'node:fs';
import path from 'node:path';
import {
  cleanup, startEditor, startService, launchBrowser, openEditor, pane, until, showTestPage,
  modalText, answerModal, answer, waitForModal,
} from './lib/harness.mjs';

after(cleanup);
const browser = await launchBrowser();

const offline = 'Your computer does not appear to be online.  This function is only available '
  + 'with an active online connection.  Please re-connect and try again.';
const incomplete = 'Your current settings are not complete, are you sure you wish to continue?  '
  + 'If you have entered your settings click NO and then the save settings button at the bottom '
  + 'of this page.';

test('offline: no request is made, help only says so, a Yes/No question steers a command, quit ends the editor', async () => {
  const service = await startService();
  const editor = await startEditor(['--offline', '--service-url', service.url]);
  const page = await openEditor(browser, editor);
  assert.equal(await page.title(), 'Vellumite Editor');
  await until(async () => page.frame({ name: 'recent' })?.url() === 'about:blank', 'the recent frame to be blanked');
  // The welcome note shows while the sample site exists.
  await until(async () => page.frame({ name: 'welcome' })?.url().endsWith('/html/tooltips/welcome.html'), 'the welcome note');

  const frame = await showTestPage(page, editor, 'webSetup', 'links.html',
    '<!doctype html><a id=help href="<$help$>">Help</a> <a id=go href="<$content$>">Editor</a>');
  let opened = false;
  const onPage = () => { opened = true; };
  browser.on('page', onPage);
  await frame.click('#help');
  await waitForModal(page, offline);
  assert.equal(await page.textContent('#modal h2'), 'No internet connection');
  await answer(page, offline);

  await frame.click('#go');
  await waitForModal(page, incomplete);
  assert.equal(await page.textContent('#modal h2'), 'Continue?');
  // The panes cannot be clicked while the question is open.
  await assert.rejects(frame.click('#go', { timeout: 500 }));
  await answer(page, incomplete, 'No');
  await frame.click('#go');
  // Yes goes on to the editor; no site is open in this test, so it reports the missing site row.
  await waitForModal(page, incomplete);
  await answerModal(page, 'Yes');
  await answer(page, 'No current record.');
  browser.off('page', onPage);
  assert.equal(opened, false);
  assert.deepEqual(await service.requests(), []);

  // Quit is on the front page, under the test page.
  await page.evaluate(() => { document.querySelector('iframe[name="webSetup"]').style.zIndex = ''; });
  await pane(page, 'webFrontpage').click('a[href="<$quit$>"]');
  assert.equal(await editor.exited, 0);
  await page.close();
});

test('online: frames 2 and 3 show the fetched pages, answered before or after the front page loads; help opens "vellumitedisplay"', async () => {
  for (const delayMs of [0, 2000]) {
    const service = await startService(['--delay-ms', String(delayMs)]);
    const editor = await startEditor(['--online', '--service-url', service.url]);
    if (!delayMs) { // answered and written before any browser has loaded the front page
      // Both answers handled: the editor writes each page before it shows it.
      const written = (file) => existsSync(path.join(editor.dataDir, 'html', file));
      await until(async () => written('recentlyUpdated.html') && written('versioninfonew.html'), 'the fetched files');
    }
    const page = await openEditor(browser, editor);
    await until(async () => page.frame({ name: 'news' })?.url().endsWith('/html/versioninfonew.html'), 'news frame');
    await until(async () => page.frame({ name: 'recent' })?.url().endsWith('/html/recentlyUpdated.html'), 'recent frame');
    assert.equal(await page.frame({ name: 'news' }).textContent('#version'), 'Vellumite 9.9 is out.');
    assert.equal(await page.frame({ name: 'recent' }).textContent('#recent li'), 'A fresh site');
    const paths = (await service.requests()).map((r) => r.path).sort();
    assert.deepEqual(paths, ['/recentlyupdatedClient.php', '/versioninfonew.html']);

    const frame = await showTestPage(page, editor, 'webContent', 'help-test.html',
      '<!doctype html><a id=help href="<$HELP$>">Help</a>');
    const opened = browser.waitForEvent('page');
    await frame.click('#help');
    const display = await opened;
    await display.waitForLoadState();
    assert.equal(display.url(), `${service.url}/help/helpcontentspecific.html`);
    assert.equal(await display.evaluate(() => window.name), 'vellumitedisplay');
    assert.equal(await modalText(page), null);
    await display.close();
    await page.close();
  }
});
