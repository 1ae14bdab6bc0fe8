// Sites in Chromium: create, the site list, a site password, settings that outlive a restart,
// removing the password and deleting the site.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import {
  cleanup, startEditor, launchBrowser, openEditor, until, modalText, notAvailable, frontPane, answer,
  shown, createSite, siteList, openSite, openSettings, openWithPassword, restartEditor,
  passwordDialog, submitPassword,
} from './lib/harness.mjs';

after(cleanup);
const browser = await launchBrowser();

// The editor's highlights frame, which holds the recent list count.
async function recentCountFrame(page) {
  const frame = await until(() => page.frame({ name: 'highlights' }), 'the highlights frame');
  await frame.waitForSelector('input[name="recentpostnum"]');
  return frame;
}

// Closes the site from the template screen that follows its creation.
async function closeFromTemplates(page) {
  const select = await shown(page, 'webTemplateSelect', '/selectframe.html');
  assert.match(await page.title(), /^Vellumite - /);
  await select.click('a[href="<$close$>"]');
  await shown(page, 'webFrontpage', '/template-frontpage.html');
}

test('a new user creates a site, protects it and keeps its settings across a restart', async () => {
  const editor = await startEditor(['--offline']);
  let page = await openEditor(browser, editor);

  // Creating: the template screen follows; closing the site from there goes back to the start.
  await createSite(page, 'Travel notes');
  await closeFromTemplates(page);

  // A stored title shows as text in the list and runs nothing.
  await createSite(page, '"><img src=x onerror="parent.parent.__pwned=1">Cats & <b>dogs</b>');
  await closeFromTemplates(page);
  const list = await siteList(page);
  assert.deepEqual(await list.$$eval('a.site .site-name', (names) => names.map((n) => n.textContent)),
    ['Welcome to Vellumite', 'Travel notes', '">Cats & dogs']);
  assert.equal(await list.$$eval('img', (imgs) => imgs.length), 0);
  assert.equal(await page.evaluate(() => window.__pwned), undefined);

  // Opening a site without a password goes straight to the editor.
  await list.click('a.site:has-text("Travel notes")');
  await shown(page, 'webContent', '/contentedit.html');

  // The recent list count kept on the editor screen takes whole numbers only.
  const highlights = await recentCountFrame(page);
  await highlights.fill('input[name="recentpostnum"]', 'many');
  await highlights.click('a[href="<$saverecentsettings$>"]');
  await answer(page, 'The number of recent posts must be a whole number from 0 to 32767.');
  await highlights.fill('input[name="recentpostnum"]', '7');
  await highlights.click('a[href="<$saverecentsettings$>"]');

  // A password: a mismatch is refused, then set; the link on the page says so.
  let setup = await openSettings(page);
  assert.equal(await setup.textContent('a[name="passwordtext"]'), 'Password protect my site');
  await setup.click('a[name="passwordtext"]');
  await submitPassword(page, 'Secret1', 'other');
  await answer(page, 'Your password did not match, password not set.');
  await submitPassword(page, 'Secret1', 'secret1');
  await until(async () => (await page.$(passwordDialog)) === null, 'the password dialog to close');
  await until(async () => (await setup.textContent('a[name="passwordtext"]')) === 'Change my password',
    'the password link to change');

  // Settings, as typed and as shown again once the program has normalised and stored them;
  // saving shows the editor. The titles have a save link of their own.
  const settings = [
    ['VellumiteftpAddress', 'ftp.example.org'], ['VellumiteUsername', 'ann'],
    ['VellumiteftpPassword', 'ftp-secret'], ['Vellumiteftppath', 'blog/', '/blog'],
    ['VellumiteSiteURL', 'https://travel.example.org/'], ['totalposts', '12'],
    ['postperpage', '', '3'], ['copyright', '(c) Ann "A" <Smith>'],
  ];
  const titles = [['VellumiteLogTitle', 'Ann\'s travels'],
    ['Vellumitesearchterms', 'ann\'s trips, o\'hare', 'ann s trips, o hare'], ['VellumiteLinks', 'Friends']];
  const checked = ['VellumitePassiveMode', 'publishorder', 'VellumiteTimeStamps'];
  for (const [name, typed] of settings) await setup.fill(`input[name="${name}"]`, typed);
  await setup.check('input[name="VellumitePassiveMode"]');
  await setup.check('input[name="publishorder"]');
  await setup.click('a[href="<$savesettings$>"]');
  await shown(page, 'webContent', '/contentedit.html');

  setup = await openSettings(page);
  for (const [name, typed] of titles) await setup.fill(`input[name="${name}"]`, typed);
  await setup.check('input[name="VellumiteTimeStamps"]');
  await setup.click('a[href="<$savetitles$>"]');
  await setup.click('a[href="<$close$>"]');
  await shown(page, 'webFrontpage', '/template-frontpage.html');
  assert.equal(await page.title(), 'Vellumite Editor');

  // The password is asked for; a wrong one (the stored one is in lower case) keeps it closed.
  await openWithPassword(page, 'Travel notes', 'Secret1');
  await answer(page, 'Password incorrect.');
  assert.equal(await frontPane(page), 'webFrontpage');
  assert.equal(await page.title(), 'Vellumite Editor');

  // Restart the program on the same app folder.
  ({ page } = await restartEditor(browser, editor, page));

  await openWithPassword(page, 'Travel notes', 'secret1');
  await shown(page, 'webContent', '/contentedit.html');
  assert.equal(await page.title(), 'Vellumite - Travel notes');
  assert.equal(await (await recentCountFrame(page)).inputValue('input[name="recentpostnum"]'), '7');

  setup = await openSettings(page);
  for (const [name, typed, stored = typed] of [...settings, ...titles])
    assert.equal(await setup.inputValue(`input[name="${name}"]`), stored, name);
  for (const name of checked) assert.equal(await setup.isChecked(`input[name="${name}"]`), true, name);
  assert.equal(await setup.isChecked('input[name="advertisehighlights"]'), false);
  assert.equal(await setup.textContent('a[name="passwordtext"]'), 'Change my password');
  assert.equal(await setup.textContent('.site-name'), 'Ann\'s travels');

  // Both password boxes empty: the protection goes, and the site opens without a prompt.
  await setup.click('a[name="passwordtext"]');
  await submitPassword(page, '');
  await until(async () => (await setup.textContent('a[name="passwordtext"]')) === 'Password protect my site', 'password removed');
  await setup.click('a[href="<$close$>"]');
  await shown(page, 'webFrontpage', '/template-frontpage.html');
  await openSite(page, 'Travel notes');
  await shown(page, 'webContent', '/contentedit.html');
  assert.equal(await modalText(page), null);

  // Deleting the site asks first.
  setup = await openSettings(page);
  const sure = 'This will delete your current Vellumite site!  Are you sure you wish to continue?';
  await setup.click('a[href="<$deletethisblog$>"]');
  await answer(page, sure, 'No');
  assert.equal(await frontPane(page), 'webSetup');
  await setup.click('a[href="<$deletethisblog$>"]');
  await answer(page, sure, 'Yes');
  await shown(page, 'webFrontpage', '/template-frontpage.html');
  const left = await siteList(page);
  assert.deepEqual(await left.$$eval('a.site .site-name', (names) => names.map((n) => n.textContent)),
    ['Welcome to Vellumite', '">Cats & dogs']);
  await page.close();
});
