// The editor's main path in Firefox: the sample site opened, a post written, posted, listed and
// deleted again.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { answer, cleanup, startEditor, launchFirefox, until } from './lib/harness.mjs';

after(cleanup);

// The document of a pane, or of frame `index` in it, once it shows `file` fully loaded.
async function shownIn(page, paneName, file, index) {
  return until(async () => {
    const paneElement = await page.$(`iframe[name="${paneName}"]`);
    let frame = paneElement && await paneElement.contentFrame();
    if (frame && index !== undefined) {
      const inner = (await frame.$$('iframe'))[index];
      frame = inner && await inner.contentFrame();
    }
    if (!frame || !frame.url().endsWith(file)) return null;
    const complete = await frame.evaluate(() => document.readyState === 'complete').catch(() => false);
    return complete ? frame : null;
  }, `${paneName} showing ${file}`);
}

const titles = (list) => list.$$eval('a.posttitle', (links) => links.map((a) => a.textContent));

test('in Firefox a new user opens the sample site, posts, sees the post listed and deletes it', async () => {
  const editor = await startEditor(['--offline']);
  const browser = await launchFirefox();
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(editor.address);

  const front = await shownIn(page, 'webFrontpage', '/template-frontpage.html');
  await front.click('a[href="<$openlog$>"]');
  const sites = await shownIn(page, 'webFrontpage', '/loglist.html', 0);
  await sites.click('a.site');
  const content = await shownIn(page, 'webContent', '/contentedit.html');
  await until(async () => (await page.$eval('iframe[aria-hidden="false"]', (f) => f.name)) === 'webContent',
    'the editor in front');

  await content.type('#VellumiteTitle', 'Written in Firefox');
  await content.type('#VellumiteByline', 'by a fox');
  await content.type('#Vellumiteposttext', 'Across browsers.');
  // Posting shows the editor page anew; its list is looked at once that has come.
  await content.evaluate(() => { window.shownBefore = true; });
  await content.click('.postactions a[href="<$post$>"]');
  await until(async () => {
    const again = await shownIn(page, 'webContent', '/contentedit.html');
    return again.evaluate(() => !window.shownBefore).catch(() => false);
  }, 'the editor page anew');
  const listed = await until(async () => {
    const list = await shownIn(page, 'webContent', '/currentposts.html', 0);
    const shown = await titles(list).catch(() => []);
    return shown.includes('Written in Firefox') ? list : null;
  }, 'the new post listed');
  assert.equal(await content.$eval('#VellumiteTitle', (i) => i.value), '', 'the form is cleared for the next post');

  const deleteLink = await listed.evaluateHandle(() => [...document.querySelectorAll('a.posttitle')]
    .find((a) => a.textContent === 'Written in Firefox').closest('li').querySelector('a.delete'));
  await deleteLink.click();
  await answer(page, 'Are you sure you wish to delete this post?', 'Yes');
  await until(async () => {
    const list = await shownIn(page, 'webContent', '/currentposts.html', 0);
    const shown = await titles(list).catch(() => null);
    return shown && !shown.includes('Written in Firefox') && shown.length > 0;
  }, 'the post gone from the list');
  assert.deepEqual(errors, [], 'the shell page ran without errors');
  await page.close();
});
