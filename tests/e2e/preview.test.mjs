// Preview in Chromium: the generated site opens in its own window, sandboxed from the editor.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import path from 'node:path';
import {
  cleanup, tempDir, startEditor, launchBrowser, openEditor, paneFrame, until, loaded, isAlive, openSite,
  shown,
} from './lib/harness.mjs';

after(cleanup);
const browser = await launchBrowser();

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

test('preview opens the generated index in its own window, from an origin that holds no secret of the editor', async () => {
  const dataDir = tempDir('vellumite-preview-');
  const editor = await startEditor(['--offline'], { dataDir });
  const token = editor.address.split('/s/')[1].replace(/\/$/, '');
  execFileSync('sqlite3', [path.join(dataDir, 'vellumite.db'), `INSERT INTO VellumitePosts (LogID, posttitle, postbyline, posttext, postdate, posttime, PublishPage)
           VALUES (1, 'Scripted', 'Tester', '${hostilePost(editor.origin).replaceAll("'", "''").replaceAll('\n', ' ')}', '2026-11-30', '12:00:00', 1)`]);
  const page = await openEditor(browser, editor);

  // Open the sample site from the site list, then press PREVIEW in the editor.
  await openSite(page, 'Welcome to Vellumite');
  const content = await shown(page, 'webContent', '/contentedit.html');
  const popup = browser.waitForEvent('page');
  await content.click('a[href="<$preview$>"]');
  const preview = await popup;
  await preview.waitForLoadState();
  assert.match(preview.url(), /^http:\/\/127\.0\.0\.1:\d+\/[0-9a-f]{64}\/preview\/index\.html$/);
  assert.notEqual(new URL(preview.url()).origin, editor.origin, 'another origin than the editor\'s');
  assert.equal(await preview.evaluate(() => window.name), 'vellumitedisplay');
  assert.equal(await preview.title(), 'Welcome to Vellumite');
  assert.ok(await preview.$('text=Publishing to your web space'), 'the sample posts are on the page');

  // The hostile post ran, and found no secret of the editor's and nothing it could fetch.
  const probe = await until(async () => {
    const text = await preview.$eval('#probe', (p) => p.textContent).catch(() => '');
    return text.startsWith('ran ') ? JSON.parse(text.slice(4)) : null;
  }, 'the post script');
  assert.equal(probe.href, preview.url());
  assert.ok(!probe.href.includes(token), 'the editor\'s token is not in the address');
  assert.equal(probe.referrer, '');
  assert.equal(probe.opener, 'blocked');
  assert.equal(probe.storage, 'blocked');
  assert.equal(probe.tried, 4, 'the editor\'s origin, its own page, and the preview\'s secret used on the editor');
  assert.deepEqual(probe.fetched, []);

  // A command of the editor's own, handled after the tries: the editor runs and still obeys it.
  await content.click('#ahrefdrafts');
  await until(() => loaded(paneFrame(page, 'webContent', 0), '/draft.html'), 'the drafts after the tries');
  assert.ok(isAlive(editor), 'the editor is still running: no page command got through');
});
