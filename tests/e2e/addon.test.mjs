// The browser add-on in Chromium: highlighting, the shared on/off state, capture, the
// scrapbook and launching the editor, with the real host installed into a temporary home.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync, readFileSync } from 'node:fs';
import path from 'node:path';
import { cleanup, loaded, openSite, paneFrame, shown as paneShown, startEditor, until } from './lib/harness.mjs';
import { installedManifest, installHost, launchWithAddon, makeHome, servePages, sql } from './lib/addon.mjs';

const COLOURS = ['blueviolet', 'CHARTREUSE', 'crimson', 'darkorange', 'darkorchid', 'darkturquoise',
  'darkviolet', 'deeppink', 'deepskyblue', 'gold', 'greenyellow', 'lime', 'orange', 'orangered',
  'orchid', 'red', 'springgreen', 'violet', 'tomato'].map((c) => c.toLowerCase());

const PAGE = '<!doctype html><html><head><title>Pie</title></head><body>'
  + '<p id="one">Apple pie. Bread and apples.</p><p id="two">Breadcrumbs</p>'
  + '<div id="edited" contenteditable="true">Apple being written</div></body></html>';

after(cleanup);

// The marks of a page: [text, colour] in document order.
const marksOf = (page) => page.evaluate(() => [...document.querySelectorAll('vellumite-mark')]
  .map((m) => [m.textContent, m.style.backgroundColor.toLowerCase()])).catch(() => null);

test('terms marked, switched off in every window, text collected, the editor brought forward and listing it', async () => {
  const home = makeHome();
  assert.match(installHost(home), /installed .*chromium\/NativeMessagingHosts/);
  const { context, worker, id, url } = await launchWithAddon(home);
  assert.deepEqual(installedManifest(home).allowed_origins, [`chrome-extension://${id}/`],
    'the installed host names the extension the browser loaded');
  const site = await servePages({ '/pie.html': PAGE });

  const page = context.pages()[0] || await context.newPage();
  await page.goto(`${site}/pie.html`);
  const original = await page.$eval('body', (b) => b.innerHTML);
  const band = await context.newPage();
  await band.goto(url('band.html'));
  await page.bringToFront();

  // The band's sizes come from the host.
  await until(() => band.$eval('#band', (b) => b.style.minWidth === '131px'), 'the band info');
  assert.deepEqual(await band.$eval('#band', (b) => [b.style.width, b.style.height]), ['max(200px, 100%)', '22px']);

  // Search terms saved once are marked, each term in its own colour; "Bread" as a word only.
  await band.click('#imgManualItems');
  await band.fill('#txtItem1', 'Apple and Bread');
  await band.click('#Save');
  const marks = await until(async () => { const m = await marksOf(page); return m?.length === 3 && m; }, 'three marks');
  assert.deepEqual(marks.map(([text]) => text), ['Apple', 'Bread', 'apple']);
  const [apple, bread] = [marks[0][1], marks[1][1]];
  assert.equal(marks[2][1], apple);
  assert.notEqual(apple, bread);
  assert.ok(COLOURS.includes(apple) && COLOURS.includes(bread), `${apple}, ${bread} from the list`);
  assert.equal(COLOURS[(COLOURS.indexOf(apple) + 1) % COLOURS.length], bread, 'successive colours');
  assert.equal(await page.$eval('#two', (p) => p.children.length), 0, 'Breadcrumbs stays unmarked');
  assert.equal(await page.$eval('#edited', (p) => p.children.length), 0, 'text being edited stays as typed');
  assert.equal(await page.$eval('#one', (p) => p.textContent), 'Apple pie. Bread and apples.');
  await until(async () => (await band.textContent('#lblCounter')) === '3', 'the counter at 3');

  // A second window gets its own band, and follows the padlock clicked in the first.
  const second = context.waitForEvent('page');
  await worker.evaluate((u) => chrome.windows.create({ url: u }), `${site}/pie.html`);
  const other = await second;
  await until(async () => (await marksOf(other))?.length === 3, 'marks in the second window');

  await band.click('#imgLogo');
  await until(async () => (await marksOf(page))?.length === 0, 'the marks removed');
  assert.equal(await page.$eval('body', (b) => b.innerHTML), original, 'the page as it was');
  assert.equal(await page.$eval('#one', (p) => p.childNodes.length), 1, 'its text in one piece again');
  const switchedOff = Date.now();
  await until(async () => (await marksOf(other))?.length === 0, 'the second window switched off', 3000);
  console.log(`second window followed in ${Date.now() - switchedOff} ms`);
  assert.equal(await band.getAttribute('#imgLogo', 'data-state'), 'grey');
  assert.equal(await band.isHidden('#lblCounter'), true);
  assert.match(readFileSync(home.settings, 'utf8'), /highlights=off/);

  // The pop-up menu lists the stored line; "About" shows the version.
  await band.click('#band', { button: 'right' });
  await band.waitForSelector('#menu:not([hidden])');
  assert.deepEqual(await band.$$eval('#menu li[data-item]', (l) => l.map((i) => i.textContent)),
    ['Apple and Bread', 'Clear All', 'Help', 'About']);
  await band.click('#menu li[data-item="15"]');
  await band.waitForSelector('#frmAbout:not([hidden])');
  assert.equal(await band.textContent('#version'), '1.1.0');
  await band.click('#aboutOk');

  // Dropped text is stored with the page's address; a dropped link is not.
  const drop = (data) => band.evaluate((items) => {
    const transfer = new DataTransfer();
    for (const [type, value] of Object.entries(items)) transfer.setData(type, value);
    const target = document.getElementById('picGrabber');
    target.dispatchEvent(new DragEvent('dragover', { dataTransfer: transfer, bubbles: true, cancelable: true }));
    target.dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
  }, data);
  await drop({ 'text/uri-list': `${site}/other.html`, 'text/plain': `${site}/other.html` });
  await drop({ 'text/plain': 'Bread and <script>alert(1)</script> apples' });
  await drop({ 'text/plain': 'Second piece' });
  await until(() => sql(home, 'select count(*) from captureItems') === '2', 'two captures');
  assert.equal(sql(home, "select captureURL from captureItems where capturetext like 'Bread%'"), `${site}/pie.html`);

  // The collection as a page in the current tab: escaped, with delete, save and clear.
  await band.click('#imgManualItems');
  await band.waitForSelector('#lblHelp');
  await band.hover('#lblHelp');
  assert.deepEqual(await band.$$eval('#links a', (l) => l.map((a) => a.style.backgroundColor)),
    ['rgb(255, 204, 153)', 'rgb(255, 204, 153)', 'rgb(192, 192, 255)', 'rgb(255, 204, 153)']);
  await band.click('#lblScrapBook');
  const shown = () => until(async () => page.url().endsWith('/scrapbook.html')
    && page.evaluate(() => document.documentElement.dataset.shown).catch(() => null), 'the scrapbook');
  let version = await shown();
  assert.deepEqual(await page.$$eval('blockquote', (b) => b.map((q) => q.textContent)),
    ['Bread and <script>alert(1)</script> apples', 'Second piece']);
  assert.equal(await page.$$eval('body script', (s) => s.length), 0);
  assert.ok(existsSync(path.join(home.appFolder, 'scrapbook.html')));

  const next = async () => { const v = version; version = await until(async () => { const now = await shown(); return now !== v && now; }, 'the rebuilt scrapbook'); };
  await page.click('a[href^="delete,"] >> nth=0');
  await next();
  assert.deepEqual(await page.$$eval('blockquote', (b) => b.map((q) => q.textContent)), ['Second piece']);
  assert.equal(sql(home, 'select capturetext from captureItems'), 'Second piece');

  const [download] = await Promise.all([page.waitForEvent('download'), page.click('a[href="save"]')]);
  const copy = readFileSync(await download.path(), 'utf8');
  assert.match(copy, /<blockquote>Second piece<\/blockquote>/);
  assert.doesNotMatch(copy, /iframe|delete,|href=clear|href=save/);
  assert.ok(page.url().endsWith('/scrapbook.html'), 'the browser stays on the scrapbook');

  await page.click('a[href="clear"]');
  await next();
  assert.equal(await page.$$eval('blockquote', (b) => b.length), 0);
  assert.equal(sql(home, 'select count(*) from captureItems'), '0');

  // A piece collected now is what the editor's Captures section lists.
  await drop({ 'text/plain': 'Kept for a post' });
  await until(() => sql(home, 'select count(*) from captureItems') === '1', 'the new capture');

  // "Launch Vellumite" brings forward the tab of the editor running on the app folder.
  const editor = await startEditor(['--offline'], { dataDir: home.appFolder });
  await band.click('#imgManualItems');
  await band.click('#lblLaunch');
  const editorTab = await until(() => context.pages().find((p) => p.url().startsWith(editor.address)), 'the editor tab');
  await until(async () => (await editorTab.title()) === 'Vellumite Editor', 'the editor page');
  await until(() => editorTab.frame({ name: 'webFrontpage' })?.$('.sidebar').catch(() => null), 'the front page');
  await openSite(editorTab, 'Welcome to Vellumite');
  const content = await paneShown(editorTab, 'webContent', '/contentedit.html');
  await content.click('#ahreftoolbar');
  await until(async () => {
    const list = await loaded(paneFrame(editorTab, 'webContent', 0), '/toolbar.html');
    return list && (await list.$$eval('.capturetext', (c) => c.map((e) => e.textContent)).catch(() => null))
      ?.includes('Kept for a post');
  }, 'the capture in the editor\'s Captures section');
});
