// News-alert resources in Chromium with the fake web service: signing in, picking two items on
// the service's manager page, importing them, quoting one into a post and deleting one; the
// manager page runs in an origin of its own, and a password with "&" and "#" arrives whole.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import path from 'node:path';
import {
  cleanup, tempDir, startEditor, startService, launchBrowser, openEditor, paneFrame, until,
  loaded, answer, openSite, shown,
} from './lib/harness.mjs';

after(cleanup);
const browser = await launchBrowser();
const win = '[data-form="frmManage"]';

test('import two resources, quote one, delete one; the manager page cannot reach the editor', async () => {
  const service = await startService();
  const dataDir = tempDir('vellumite-resources-');
  execFileSync(process.env.VELLUMITE_BINARY, ['sites', '--data-dir', dataDir]);
  const db = path.join(dataDir, 'vellumite.db');
  const sql = (statement) => execFileSync('sqlite3', [db, statement]).toString().trim();
  sql(`UPDATE VellumiteLog SET LogServerID=42, lastnewsimport='20240101093000'`);
  const editor = await startEditor(['--online', '--service-url', service.url, '--alerts-url', service.url],
    { dataDir });
  const page = await openEditor(browser, editor);
  await openSite(page, 'Welcome to Vellumite');
  const content = await shown(page, 'webContent', '/contentedit.html');

  // Sign in and import: the manager page shows in the import window.
  await content.fill('input[name="importusername"]', 'ann lee');
  await content.fill('input[name="importpassword"]', 'a&b#c');
  await content.check('input[name="detailremember"]');
  await content.click('a[href="<$import$>"]');
  await page.waitForSelector(`${win}:not([hidden])`);
  const manager = await until(async () => {
    const f = page.frames().find((x) => x.url().includes('/view/manageResources.php'));
    return f && (await f.$('a[href="<import>"]')) ? f : null;
  }, 'the manager page');
  assert.equal(await manager.$eval('input[name="password"]', (i) => i.value), 'a&b#c');
  // An opaque origin of its own: neither the shell page nor the editor's address is within reach.
  assert.equal(await manager.evaluate(() => self.origin), 'null');
  assert.equal(await manager.evaluate(() => { try { return parent.location.href; } catch (e) { return 'refused'; } }),
    'refused');
  assert.ok(!manager.url().includes(new URL(editor.address).pathname.split('/')[2]), 'no token in its address');

  await manager.click('a[href="<setTimes>"]');
  await until(async () => (await service.requests()).some((r) => r.path === '/setresourcetime.php?userid=77&days=7&maxposts=20'),
    'the times sent');
  await manager.check('input[value="wire-101-7"]');
  await manager.check('input[value="desk-201-9"]');
  await manager.click('a[href="<import>"]');
  await until(async () => (await page.$(win)) === null, 'the import window to close');
  const list = await until(async () => {
    const f = await loaded(paneFrame(page, 'webContent', 0), '/newslist.html');
    return f && (await f.$$('a.posttitle')).length === 2 ? f : null;
  }, 'two resources listed');
  assert.deepEqual(await list.$$eval('a.posttitle', (a) => a.map((x) => x.textContent)), ['Story 101', 'Story 201']);
  assert.equal(sql(`SELECT group_concat(site_name, '|') FROM vellumitenewsfeeds`), 'Bobs+Wire|Bobs+Wire');
  assert.equal(await content.getAttribute('#ahrefresources', 'class'), 'selectedsection');

  // The service got the name and password whole, before and in the upload, and the time of the
  // import before this one.
  const requests = await service.requests();
  const first = new URL(service.url + requests.find((r) => r.path.startsWith('/manageResources.php')).path);
  assert.deepEqual([first.searchParams.get('username'), first.searchParams.get('password'),
    first.searchParams.get('lastupdate')], ['ann lee', 'a&b#c', '20240101093000']);
  const upload = Buffer.from(requests.find((r) => r.path === '/export_list.php').bodyHex, 'hex').toString();
  assert.match(upload, /<itemid>101<\/itemid>[\s\S]*<itemid>201<\/itemid>/);
  assert.match(upload, /<userid>42<\/userid>\r\n<feedid>7<\/feedid><username>ann lee<\/username><password>a&amp;b#c<\/password>/);
  assert.equal(sql(`SELECT Resourcepassword FROM VellumiteLog`), 'a&b#c');

  // The news-alert service opens in a window of its own, signed in.
  const popup = browser.waitForEvent('page');
  await content.click('a[href="<$goglintwatch$>"]');
  const alerts = await popup;
  await until(() => alerts.url().includes('/login.cgi'), 'the login page');
  assert.ok(alerts.url().endsWith('/login.cgi?username=ann%20lee&password=a%26b%23c'), alerts.url());
  await alerts.close();

  // Quote the first one into the post.
  await list.click('a.posttitle:text-is("Story 101")');
  await until(async () => (await content.$eval('#Vellumiteposttext', (t) => t.value)).includes('Story 101\nBody of story 101'),
    'the quote in the post box');

  // Delete the second, after the question (answered No: see the unit test).
  const second = sql(`SELECT alertid FROM vellumitenewsfeeds WHERE url LIKE '%201'`);
  await list.click(`a[href="<$deleteResource-${second}$>"]`);
  await answer(page, 'Are you sure you wish to delete this resource?', 'Yes');
  await until(async () => {
    const f = await loaded(paneFrame(page, 'webContent', 0), '/newslist.html');
    return f && (await f.$$('a.posttitle')).length === 1;
  }, 'one resource left');
  assert.equal(sql('SELECT COUNT(*) FROM vellumitenewsfeeds'), '1');
});
