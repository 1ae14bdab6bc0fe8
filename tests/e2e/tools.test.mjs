// The post editor's tools in Chromium, as a new user would use them: formatting the selection,
// the site's links, a category given and taken back, a pop-up link seen in the preview, a
// capture quoted into a post, and a post written in a word processor.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { chmodSync, existsSync, readFileSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import {
  cleanup, tempDir, startEditor, startService, launchBrowser, openEditor, pane, paneFrame, until,
  loaded, answer, shown, openSite, openSettings, newDocumentAfter,
} from './lib/harness.mjs';

after(cleanup);
const browser = await launchBrowser();
const source = process.env.VELLUMITE_SOURCE;
const sql = (db, statement) => execFileSync('sqlite3', [db, statement]);

// The text box of the post, its selection, and choosing a word in it.
const box = (page) => pane(page, 'webContent').$('#Vellumiteposttext');
async function selectWord(page, word) {
  await (await box(page)).evaluate((t, w) => {
    const at = t.value.indexOf(w);
    t.focus();
    t.setSelectionRange(at, at + w.length);
  }, word);
}
const boxState = async (page) => (await box(page)).evaluate(
  (t) => ({ value: t.value, selected: t.value.slice(t.selectionStart, t.selectionEnd) }));

// Waits until the frame `frame()` has loaded `file` and `check(frame)` holds; returns the frame.
function frameWhere(frame, file, check, what) {
  return until(async () => {
    const f = await loaded(frame(), file);
    return f && (await check(f).catch(() => false)) ? f : null;
  }, what);
}
const listed = (f, text) => f.$$eval('a', (links, t) => links.some((a) => a.textContent === t), text);

test('formatting, links, categories, pop-up links, captures and a word-processor post', async () => {
  const service = await startService();
  const dataDir = tempDir('vellumite-tools-');
  const wordArgs = path.join(dataDir, 'word-args.txt');
  const standIn = path.join(tempDir('vellumite-word-'), 'writer.sh');
  writeFileSync(standIn, `#!/bin/sh\nprintf '%s\\n' "$@" > '${wordArgs}.new' && mv '${wordArgs}.new' '${wordArgs}'\n`);
  chmodSync(standIn, 0o755);
  execFileSync(process.env.VELLUMITE_BINARY, ['sites', '--data-dir', dataDir]);
  const siteDb = path.join(dataDir, 'vellumite.db');
  sql(siteDb, `UPDATE VellumiteLog SET UseDesignerTemplate=-1, ftplocation='ftp.example.org',
    TemplatedHTML=readfile('${path.join(source, 'share/templates/simple.html')}') WHERE LogID=1`);
  const editor = await startEditor(['--online', '--service-url', service.url, '--word-processor', standIn],
    { dataDir });
  const page = await openEditor(browser, editor);
  await openSite(page, 'Welcome to Vellumite');
  const content = await shown(page, 'webContent', '/contentedit.html');

  // B makes the selected word bold, and the bold word stays selected; nothing selected is said.
  await content.fill('#VellumiteTitle', 'Read this');
  await content.fill('#Vellumiteposttext', 'Read the welcome note first.');
  await selectWord(page, 'welcome');
  await content.click('.formatbar a[title="Bold"]');
  await until(async () => (await boxState(page)).selected === '<b>welcome</b>', 'the bold word selected');
  await (await box(page)).evaluate((t) => t.setSelectionRange(3, 3));
  await content.click('.formatbar a[title="Bold"]');
  await answer(page, 'No text selected!  Highlight some text and then select this option again.');

  // "note" becomes a pop-up link to the first post; the post is posted and previewed.
  await selectWord(page, 'note');
  await content.click('.formatbar button[data-toggle="anchor"]');
  const anchors = await frameWhere(() => paneFrame(page, 'webContent', 4), '/anchor.html',
    (f) => listed(f, 'Welcome to Vellumite'), 'the posts to link to');
  await anchors.click('a:text-is("Welcome to Vellumite")');
  await until(async () => (await boxState(page)).value.endsWith('<!-- End Vellumite MLink --><!-- ---------------- -->'),
    'the pop-up block');
  assert.match((await boxState(page)).selected, /^<a href=javascript: ; onmouseup=javascript:mlink\d+\(\);>note<\/a>$/);
  assert.equal(await content.getAttribute('#anchor', 'class'), 'anchorpopuphide');
  await newDocumentAfter(() => pane(page, 'webContent'), '/contentedit.html',
    () => content.click('.postactions a:has-text("POST")'));
  const popup = browser.waitForEvent('page');
  await pane(page, 'webContent').click('a[href="<$preview$>"]');
  const preview = await popup;
  await preview.waitForLoadState();
  await preview.click('a:text-is("note")');
  const shownBox = await until(() => preview.$('div.mLinkShow'), 'the floating box');
  assert.ok(await shownBox.isVisible());
  assert.match(await shownBox.textContent(), /^Welcome to Vellumite Vellumite keeps your weblog/);
  await preview.close();

  // A link is added, renamed and, after No and then Yes, deleted.
  const links = (check, what) => frameWhere(() => paneFrame(page, 'webContent', 1), '/userlinks.html', check, what);
  const side = pane(page, 'webContent');
  await side.click('button[data-toggle="linkaddbox"]');
  await side.fill('form[name="newlinkform"] input[name="linktext"]', 'Friends');
  await side.fill('form[name="newlinkform"] input[name="urltext"]', 'http://friends.example');
  await side.click('a[href="<$NewUserLink$>"]');
  await (await links((f) => listed(f, 'Friends'), 'the new link')).click('a:text-is("Friends")');
  await until(async () => (await side.inputValue('input[name="urltext"]')) === 'http://friends.example', 'the link to edit');
  assert.equal(await side.getAttribute('#linkaddbox', 'class'), 'newlinkpopupshow');
  await side.fill('form[name="newlinkform"] input[name="linktext"]', 'Good friends');
  await side.click('a[href="<$NewUserLink$>"]');
  const renamed = await links(async (f) => (await listed(f, 'Good friends')) && !(await listed(f, 'Friends')), 'the renamed link');
  const remove = 'li:has(a:text-is("Good friends")) a.delete';
  await renamed.click(remove);
  await answer(page, 'Are you sure you wish to delete this link?', 'No');
  await (await links((f) => listed(f, 'Good friends'), 'the link kept')).click(remove);
  await answer(page, 'Are you sure you wish to delete this link?', 'Yes');
  await links(async (f) => !(await listed(f, 'Good friends')) && (await f.$$('li')).length === 2, 'the link gone');

  // A category made in the settings is given to the post from the posts list, then taken back.
  const setup = await openSettings(page);
  await setup.fill('input[name="VellumiteCategory"]', 'Recipes');
  await setup.click('a[href="<$savecategory$>"]');
  await frameWhere(() => paneFrame(page, 'webSetup', 0), '/categorycreate.html', (f) => listed(f, 'Recipes'), 'Recipes');
  await setup.click('a[href="<$content$>"]');
  await shown(page, 'webContent', '/contentedit.html');
  const posts = (check, what) => frameWhere(() => paneFrame(page, 'webContent', 0), '/currentposts.html', check, what);
  const entry = 'li:has(a.posttitle:text-is("Read this"))';
  await (await posts((f) => f.$(entry), 'the post listed')).click(`${entry} a:text-is("[Add to Category]")`);
  await (await frameWhere(() => paneFrame(page, 'webContent', 3), '/categorylist.html',
    (f) => listed(f, 'Recipes'), 'the category chooser')).click('a:text-is("Recipes")');
  const filed = await posts((f) => f.$(`${entry} a:text-is('[Remove from "Recipes"]')`), 'the post filed');
  await filed.click(`${entry} a:text-is('[Remove from "Recipes"]')`);
  await posts((f) => f.$(`${entry} a:text-is("[Add to Category]")`), 'the category taken back');

  // A capture the add-on's host wrote meanwhile is listed and quoted into the post.
  sql(path.join(dataDir, 'vellumitetoolbar.db'),
    "INSERT INTO captureItems (capturetext, captureURL) VALUES ('Rain <i>all</i> day', 'http://w.example/')");
  await side.click('#ahreftoolbar');
  const captures = await frameWhere(() => paneFrame(page, 'webContent', 0), '/toolbar.html',
    (f) => listed(f, 'http://w.example/'), 'the capture listed');
  assert.equal(await captures.textContent('.capturetext'), 'Rain all day');
  await side.fill('#Vellumiteposttext', 'Weather');
  await captures.click('a.quote');
  await until(async () => (await boxState(page)).value === 'Weather\n<blockquote><i>Rain <i>all</i> day</i></blockquote>',
    'the quote in the post');

  // A new post written in the word processor: the stand-in gets the document's path alone.
  await side.fill('#VellumiteTitle', 'Long essay');
  await side.click('a[href="<$mswordedit-0$>"]');
  await until(() => existsSync(wordArgs), 'the word processor to start');
  const id = sql(siteDb, "SELECT postID FROM VellumitePosts WHERE posttitle='Long essay'").toString().trim();
  const document = path.join(dataDir, 'external', `1_${id}.html`);
  assert.equal(readFileSync(wordArgs, 'utf8'), `${document}\n`);
  assert.equal(readFileSync(document, 'utf8'), readFileSync(path.join(source, 'share/external/template.html'), 'utf8'));
  await page.close();
});
