// The post editor's tools in Chromium, as a new user would use them: formatting the selection,
// the site's links, a category given and taken back, a pop-up link seen in the preview (which
// opens in its own window, sandboxed from the editor), a capture quoted into a post, and a post
// written in a word processor.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { existsSync, readFileSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import {
  cleanup, tempDir, startEditor, startService, launchBrowser, openEditor, paneFrame, until, loaded,
  answer, shown, openSite, openSettings, newDocumentAfter,
} from './lib/harness.mjs';

after(cleanup);
const browser = await launchBrowser();
const source = process.env.VELLUMITE_SOURCE;
const sql = (db, statement) => execFileSync('sqlite3', [db, statement]).toString().trim();
const listed = (f, text) => f.$$eval('a', (links, t) => links.some((a) => a.textContent === t), text);

// Waits until frame `index` of `paneName` has loaded `file` and `check(frame)` holds.
const frameWhere = (page, paneName, index, file, check, what) => until(async () => {
  const f = await loaded(paneFrame(page, paneName, index), file);
  return f && (await check(f).catch(() => false)) ? f : null;
}, what);

// A post whose script tries everything a hostile page could against the editor that previews
// it: read the editor's window, use its storage, and fetch the editor's pages with every secret
// its own address and referrer hold. It reports what it found.
const hostilePost = (editorOrigin) => `<p id="probe">not run</p><script>
(async () => {
  const seen = { href: location.href, referrer: document.referrer, fetched: [] };
  try { seen.opener = window.opener.document.title; } catch (e) { seen.opener = 'blocked'; }
  try { localStorage.setItem('x', '1'); seen.storage = 'open'; } catch (e) { seen.storage = 'blocked'; }
  const secrets = (location.href + ' ' + document.referrer).match(/[0-9a-f]{64}/g) || [];
  const quit = encodeURIComponent('<$quit$>');
  const targets = ['${editorOrigin}/', location.href];
  for (const s of secrets) targets.push('${editorOrigin}/s/' + s + '/', '${editorOrigin}/s/' + s + '/pane/webFrontpage/' + quit);
  for (const url of targets) {
    try { const r = await fetch(url); seen.fetched.push(url + ' ' + r.status + ' ' + (await r.text()).length); }
    catch (e) { /* refused: nothing fetched */ }
    const f = document.createElement('iframe'); f.src = url; document.body.appendChild(f);
  }
  seen.tried = targets.length;
  document.getElementById('probe').textContent = 'ran ' + JSON.stringify(seen);
})();
</script>`;

test('formatting, links, categories, pop-up links, a sandboxed preview, captures and a word-processor post', async () => {
  const service = await startService();
  const dataDir = tempDir('vellumite-tools-');
  // The word processor's stand-in writes down its arguments.
  const wordArgs = path.join(dataDir, 'word-args.txt');
  const standIn = path.join(tempDir('vellumite-word-'), 'writer.sh');
  writeFileSync(standIn, `#!/bin/sh\nprintf '%s\\n' "$@" > '${wordArgs}.new' && mv '${wordArgs}.new' '${wordArgs}'\n`, { mode: 0o755 });
  execFileSync(process.env.VELLUMITE_BINARY, ['sites', '--data-dir', dataDir]);
  const siteDb = path.join(dataDir, 'vellumite.db');
  sql(siteDb, `UPDATE VellumiteLog SET UseDesignerTemplate=-1, ftplocation='ftp.example.org',
    TemplatedHTML=readfile('${path.join(source, 'share/templates/simple.html')}') WHERE LogID=1`);
  const editor = await startEditor(['--online', '--service-url', service.url, '--word-processor', standIn],
    { dataDir });
  sql(siteDb, `INSERT INTO VellumitePosts (LogID, posttitle, postbyline, posttext, postdate, posttime, PublishPage)
    VALUES (1, 'Scripted', 'Tester', '${hostilePost(editor.origin).replaceAll("'", "''").replaceAll('\n', ' ')}', '2026-11-30', '12:00:00', 1)`);
  const page = await openEditor(browser, editor);
  await openSite(page, 'Welcome to Vellumite');
  const content = await shown(page, 'webContent', '/contentedit.html');
  const inContent = (index, file, check, what) => frameWhere(page, 'webContent', index, file, check, what);
  const box = async () => (await content.$('#Vellumiteposttext')).evaluate(
    (t) => ({ value: t.value, selected: t.value.slice(t.selectionStart, t.selectionEnd) }));
  const select = (word) => content.$eval('#Vellumiteposttext', (t, w) => {
    t.focus();
    t.setSelectionRange(t.value.indexOf(w), t.value.indexOf(w) + w.length);
  }, word);

  // B makes the selected word bold, and the bold word stays selected; nothing selected is said.
  await content.fill('#VellumiteTitle', 'Read this');
  await content.fill('#Vellumiteposttext', 'Read the welcome note first.');
  await select('welcome');
  await content.click('.formatbar a[title="Bold"]');
  await until(async () => (await box()).selected === '<b>welcome</b>', 'the bold word selected');
  await select('');
  await content.click('.formatbar a[title="Bold"]');
  await answer(page, 'No text selected!  Highlight some text and then select this option again.');

  // "note" becomes a pop-up link to the first post; the post is posted, previewed and clicked.
  await select('note');
  await content.click('.formatbar button[data-toggle="anchor"]');
  await (await inContent(4, '/anchor.html', (f) => listed(f, 'Welcome to Vellumite'), 'the posts to link to'))
    .click('a:text-is("Welcome to Vellumite")');
  await until(async () => (await box()).value.endsWith('<!-- End Vellumite MLink --><!-- ---------------- -->'),
    'the pop-up block');
  assert.match((await box()).selected, /^<a href=javascript: ; onmouseup=javascript:mlink\d+\(\);>note<\/a>$/);
  assert.equal(await content.getAttribute('#anchor', 'class'), 'anchorpopuphide');
  await newDocumentAfter(() => content, '/contentedit.html', () => content.click('.postactions a:has-text("POST")'));
  const popup = browser.waitForEvent('page');
  await content.click('a[href="<$preview$>"]');
  const preview = await popup;
  await preview.waitForLoadState();
  assert.match(preview.url(), /^http:\/\/127\.0\.0\.1:\d+\/[0-9a-f]{64}\/preview\/index\.html$/);
  assert.notEqual(new URL(preview.url()).origin, editor.origin, 'another origin than the editor\'s');
  assert.equal(await preview.evaluate(() => window.name), 'vellumitedisplay');
  // The hostile post ran, and found no secret of the editor's and nothing it could fetch. The
  // editor obeys the commands that follow: none of the tries got through.
  const probe = await until(async () => {
    const text = await preview.$eval('#probe', (p) => p.textContent).catch(() => '');
    return text.startsWith('ran ') ? JSON.parse(text.slice(4)) : null;
  }, 'the post script');
  assert.equal(probe.href, preview.url());
  assert.ok(!probe.href.includes(editor.address.split('/s/')[1].replace(/\/$/, '')), 'no token in the address');
  assert.deepEqual([probe.referrer, probe.opener, probe.storage], ['', 'blocked', 'blocked']);
  assert.equal(probe.tried, 4, 'the editor\'s origin, its own page, and the preview\'s secret used on the editor');
  assert.deepEqual(probe.fetched, []);
  await preview.click('a:text-is("note")');
  const floating = await until(() => preview.$('div.mLinkShow'), 'the floating box');
  assert.ok(await floating.isVisible());
  assert.match(await floating.textContent(), /^Welcome to Vellumite Vellumite keeps your weblog/);
  await preview.close();

  // A link is added, renamed and, after No and then Yes, deleted.
  const links = (check, what) => inContent(1, '/userlinks.html', check, what);
  await content.click('button[data-toggle="linkaddbox"]');
  await content.fill('input[name="linktext"]', 'Friends');
  await content.fill('input[name="urltext"]', 'http://friends.example');
  await content.click('a[href="<$NewUserLink$>"]');
  await (await links((f) => listed(f, 'Friends'), 'the new link')).click('a:text-is("Friends")');
  await until(async () => (await content.inputValue('input[name="urltext"]')) === 'http://friends.example', 'the link to edit');
  assert.equal(await content.getAttribute('#linkaddbox', 'class'), 'newlinkpopupshow');
  await content.fill('input[name="linktext"]', 'Good friends');
  await content.click('a[href="<$NewUserLink$>"]');
  const remove = 'li:has(a:text-is("Good friends")) a.delete';
  await (await links(async (f) => !(await listed(f, 'Friends')) && f.$(remove), 'the renamed link')).click(remove);
  await answer(page, 'Are you sure you wish to delete this link?', 'No');
  await (await links((f) => f.$(remove), 'the link kept')).click(remove);
  await answer(page, 'Are you sure you wish to delete this link?', 'Yes');
  await links(async (f) => !(await f.$(remove)) && (await f.$$('li')).length === 2, 'the link gone');

  // A category made in the settings is given to the post from the posts list, then taken back.
  const setup = await openSettings(page);
  await setup.fill('input[name="VellumiteCategory"]', 'Recipes');
  await setup.click('a[href="<$savecategory$>"]');
  await frameWhere(page, 'webSetup', 0, '/categorycreate.html', (f) => listed(f, 'Recipes'), 'Recipes');
  await setup.click('a[href="<$content$>"]');
  await shown(page, 'webContent', '/contentedit.html');
  const entry = (link) => `li:has(a.posttitle:text-is("Read this")) a:text-is('${link}')`;
  const posts = (link, what) => inContent(0, '/currentposts.html', (f) => f.$(entry(link)), what);
  await (await posts('[Add to Category]', 'the post listed')).click(entry('[Add to Category]'));
  await (await inContent(3, '/categorylist.html', (f) => listed(f, 'Recipes'), 'the category chooser'))
    .click('a:text-is("Recipes")');
  await (await posts('[Remove from "Recipes"]', 'the post filed')).click(entry('[Remove from "Recipes"]'));
  await posts('[Add to Category]', 'the category taken back');

  // A capture the add-on's host wrote meanwhile is listed and quoted into the post.
  sql(path.join(dataDir, 'vellumitetoolbar.db'),
    "INSERT INTO captureItems (capturetext, captureURL) VALUES ('Rain <i>all</i> day', 'http://w.example/')");
  await content.click('#ahreftoolbar');
  const captures = await inContent(0, '/toolbar.html', (f) => listed(f, 'http://w.example/'), 'the capture');
  assert.equal(await captures.textContent('.capturetext'), 'Rain all day');
  await content.fill('#Vellumiteposttext', 'Weather');
  await captures.click('a.quote');
  await until(async () => (await box()).value === 'Weather\n<blockquote><i>Rain <i>all</i> day</i></blockquote>',
    'the quote in the post');

  // A new post written in the word processor: the stand-in gets the document's path alone.
  await content.fill('#VellumiteTitle', 'Long essay');
  await content.click('a[href="<$mswordedit-0$>"]');
  await until(() => existsSync(wordArgs), 'the word processor to start');
  const id = sql(siteDb, "SELECT postID FROM VellumitePosts WHERE posttitle='Long essay'");
  const document = path.join(dataDir, 'external', `1_${id}.html`);
  assert.equal(readFileSync(wordArgs, 'utf8'), `${document}\n`);
  assert.equal(readFileSync(document, 'utf8'), readFileSync(path.join(source, 'share/external/template.html'), 'utf8'));
  await page.close();
});
