// Choosing a template in Chromium, as a new user does: an HTML copy edited and previewed, a
// design restyled and previewed, and templates downloaded from the web service, a hostile name
// among them.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync, readdirSync } from 'node:fs';
import path from 'node:path';
import {
  cleanup, startService, startEditor, launchBrowser, openEditor, pane, paneFrame, until, loaded,
  answer, waitForModal, answerModal, shown, createSite, newDocumentAfter,
} from './lib/harness.mjs';

after(cleanup);
const browser = await launchBrowser();

const listFrame = (page) => () => paneFrame(page, 'webTemplateSelect', 0);

async function nameTemplate(page, name) {
  await waitForModal(page, 'Please enter the name of your new template');
  await page.fill('#modal input', name);
  await answerModal(page, 'OK');
}

// The select screen's list.
async function templateList(page) {
  await shown(page, 'webTemplateSelect', '/selectframe.html');
  return until(() => loaded(listFrame(page)(), '/select-template.html'), 'the template list');
}

// Presses PREVIEW in the editor; the "vellumitedisplay" window, once it shows the new page.
async function preview(page, window) {
  const content = await shown(page, 'webContent', '/contentedit.html');
  const opened = window ? null : browser.waitForEvent('page');
  await window?.evaluate(() => { window.shownBefore = true; });
  await content.click('a[href="<$preview$>"]');
  window = window || await opened;
  await until(() => window.evaluate(() => !window.shownBefore && /index\.html$/.test(location.href)
    && document.readyState === 'complete').catch(() => false), 'the preview');
  assert.equal(await window.evaluate(() => window.name), 'vellumitedisplay');
  return window;
}

test('a new user copies and edits a template, designs another, and downloads offered ones', async () => {
  const service = await startService(['--offered', 'fresh,bright,../../evil']);
  const editor = await startEditor(['--online', '--service-url', service.url]);
  const page = await openEditor(browser, editor);
  const outside = path.resolve(editor.dataDir, 'templates', '../../evil');

  // A new site asks for a template first; a picture previews one beside the list.
  await createSite(page, 'Garden diary');
  let list = await templateList(page);
  await list.click('a[href="<$showprev-simple$>"]');
  await until(() => loaded(page.frame({ name: 'Vellumitesamples' }), '/templates/simple.html'), 'the sample');

  // An HTML copy of "simple", one word changed, saved after the question.
  await list.click('a[href="<$makeInstance-simple$>"]');
  await nameTemplate(page, 'Garden');
  const edit = await shown(page, 'webTempEdit', '/edit.html');
  const html = await edit.inputValue('textarea[name="VellumiteHTMLText"]');
  assert.ok(html.includes('>Archive</a>'), 'the library text is in the editor');
  await edit.fill('textarea[name="VellumiteHTMLText"]', html.replace('>Archive</a>', '>Marigolds</a>'));
  await edit.click('a[href^="<$saveedit,"]');
  await answer(page, 'This will alter the template for all sites that use it, are you sure you wish to continue?', 'Yes');
  let window = await preview(page);
  assert.equal(await window.locator('nav a', { hasText: 'Marigolds' }).count(), 1);

  // A design of "journal": the title's background and text colours, saved.
  await pane(page, 'webContent').click('a[href="<$template$>"]');
  const again = await shown(page, 'webTempEdit', '/edit.html');
  await newDocumentAfter(listFrame(page), '/select-template.html', () => again.click('.actions a[href="<$select$>"]'));
  list = await templateList(page);
  assert.deepEqual(await list.$$eval('.usertemplates li font', (f) => f.map((e) => [e.textContent, e.color])),
    [['Welcome', 'green'], ['Garden', 'green']]);
  await list.click('a[href="<$makeDesign-rqzd~journal$>"]');
  await nameTemplate(page, 'Garden design');
  const designer = await shown(page, 'webTemplateDesigner', '/template-design.html');
  const design = await until(() => loaded(paneFrame(page, 'webTemplateDesigner', 0), '/designedit.html'), 'the design');
  assert.equal(await designer.textContent('#savebutton'), 'SAVE Garden design');
  await designer.selectOption('#element', 'title');
  await designer.click('a[data-command="background"][data-value="%231a3d7c"]');
  await designer.click('a[data-command="font"][data-value="%23ffffff"]');
  const titleColours = (frame) => frame.$eval('#title', (e) => [getComputedStyle(e).backgroundColor, getComputedStyle(e).color]);
  const designed = ['rgb(26, 61, 124)', 'rgb(255, 255, 255)'];
  await until(async () => (await titleColours(design)).join() === designed.join(), 'the title restyled');
  assert.equal(await designer.$eval('#backgroundsample', (e) => getComputedStyle(e).backgroundColor), designed[0]);
  await designer.click('#savebutton');
  await answer(page, 'This will alter the template for all sites that use it, are you sure you wish to continue?', 'Yes');
  window = await preview(page, window);
  assert.deepEqual(await titleColours(window), designed);

  // Offered templates: the list from the service, two ticked good names and a hostile one.
  await pane(page, 'webContent').click('a[href="<$template$>"]');
  const shownAgain = await shown(page, 'webTemplateDesigner', '/template-design.html');
  await newDocumentAfter(listFrame(page), '/select-template.html', () => shownAgain.click('a[href="<$selectnew$>"]'));
  const select = await shown(page, 'webTemplateSelect', '/selectframe.html');
  await select.click('#importlink');
  const offered = await until(async () => {
    const f = listFrame(page)();
    return f && (await f.$('form[name="offered"]')) ? f : null;
  }, 'the offered templates');
  assert.equal(await select.textContent('#importlink'), 'CANCEL');
  for (const box of await offered.$$('input[type="checkbox"]')) await box.check();
  await select.click('#usedefault');
  await waitForModal(page, 'These template names were refused, and nothing was downloaded for them '
    + '(a name holds only letters, digits, "-", "_", "~" and "."):\n../../evil');
  await answerModal(page, 'OK');
  list = await until(async () => {
    const f = await loaded(listFrame(page)(), '/select-template.html');
    return f && (await f.$('a[href="<$makeInstance-fresh$>"]')) ? f : null;
  }, 'the list with the downloads');
  assert.ok(await list.$('a[href="<$makeInstance-bright$>"]'));
  assert.equal(await select.textContent('#importlink'), 'Get more templates');
  for (const file of ['fresh.html', 'fresh.gif', 'bright.html', 'bright.gif']) {
    assert.ok(existsSync(path.join(editor.dataDir, 'templates', file)), file);
  }
  assert.deepEqual(readdirSync(editor.dataDir, { recursive: true }).filter((f) => f.includes('evil')), []);
  assert.equal(existsSync(`${outside}.html`) || existsSync(`${outside}.gif`), false);
  const asked = (await service.requests()).map((r) => r.path).filter((p) => p.startsWith('/templates/'));
  assert.deepEqual(asked.sort(), ['/templates/bright.gif', '/templates/bright.html', '/templates/fresh.gif',
    '/templates/fresh.html', '/templates/importtemplates.html']);
  await page.close();
});
