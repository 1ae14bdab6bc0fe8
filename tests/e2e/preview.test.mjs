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
// it: read the editor's window, use its storage, and send page commands with the address token
// it can read from its own location.
const hostilePost = `<p id="probe">not run</p><script>
const seen = [];
try { seen.push('opener:' + window.opener.document.title); } catch (e) { seen.push('opener:blocked'); }
try { localStorage.setItem('x', '1'); seen.push('storage:open'); } catch (e) { seen.push('storage:blocked'); }
const base = location.href.split('/preview/')[0];
const quit = base + '/pane/webFrontpage/' + encodeURIComponent('<$quit$>');
fetch(quit).then(() => {}, () => {});
new Image().src = quit;
const f = document.createElement('iframe'); f.src = quit; document.body.appendChild(f);
document.getElementById('probe').textContent = 'ran ' + seen.join(' ');
</script>`;

test('preview opens the generated index in its own window, and its scripts cannot reach the editor', async () => {
  const dataDir = tempDir('vellumite-preview-');
  execFileSync(process.env.VELLUMITE_BINARY, ['sites', '--data-dir', dataDir]);
  execFileSync('sqlite3', [path.join(dataDir, 'vellumite.db'), `INSERT INTO VellumitePosts (LogID, posttitle, postbyline, posttext, postdate, posttime, PublishPage)
           VALUES (1, 'Scripted', 'Tester', '${hostilePost.replaceAll("'", "''").replaceAll('\n', ' ')}', '2026-11-30', '12:00:00', 1)`]);

  const editor = await startEditor(['--offline'], { dataDir });
  const page = await openEditor(browser, editor);
  // The post's three tries at the quit command, once each has had its answer (a refusal, which
  // the browser then also blocks as another origin's).
  const isQuit = (r) => r.url().includes('/%3C%24quit%24%3E');
  const settled = [];
  const statuses = [];
  browser.on('requestfinished', (r) => { if (isQuit(r)) settled.push(r); });
  browser.on('requestfailed', (r) => { if (isQuit(r)) settled.push(r); });
  browser.on('response', (r) => { if (isQuit(r)) statuses.push(r.status()); });

  // Open the sample site from the site list, then press PREVIEW in the editor.
  await openSite(page, 'Welcome to Vellumite');
  const content = await shown(page, 'webContent', '/contentedit.html');
  const popup = browser.waitForEvent('page');
  await content.click('a[href="<$preview$>"]');
  const preview = await popup;
  await preview.waitForLoadState();
  assert.match(preview.url(), /\/preview\/index\.html$/);
  assert.equal(await preview.evaluate(() => window.name), 'vellumitedisplay');
  assert.equal(await preview.title(), 'Welcome to Vellumite');
  assert.ok(await preview.$('text=Publishing to your web space'), 'the sample posts are on the page');

  // The hostile post ran, in an opaque origin that is refused everything of the editor's.
  const probe = await until(async () => {
    const text = await preview.$eval('#probe', (p) => p.textContent).catch(() => '');
    return text.startsWith('ran ') ? text : null;
  }, 'the post script');
  assert.match(probe, /opener:blocked/);
  assert.match(probe, /storage:blocked/);
  await until(() => settled.length >= 3, 'the answers to the three tries');
  assert.ok(statuses.every((status) => status === 403), `refused: ${statuses}`);
  // A command of the editor's own, handled after those: the editor runs and still obeys it.
  await content.click('#ahrefdrafts');
  await until(() => loaded(paneFrame(page, 'webContent', 0), '/draft.html'), 'the drafts after the tries');
  assert.ok(isAlive(editor), 'the editor is still running: no page command got through');
});
