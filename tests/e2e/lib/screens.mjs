// Steps on the editor's screens that several browser tests take: answering messages, waiting
// for a pane, creating and opening sites, reaching the settings.
import assert from 'node:assert/strict';
import {
  pane, paneFrame, until, modalText, answerModal, startEditor, openEditor,
} from './harness.mjs';

export const notAvailable = 'This function is not available yet.';

// The pane the user sees: the one the shell keeps in front.
export async function frontPane(page) {
  return page.$eval('iframe[aria-hidden="false"]', (f) => f.name);
}

export async function waitForModal(page, text) {
  await until(async () => (await modalText(page)) === text, `the message "${text}"`);
}

export async function answer(page, text, label = 'OK') {
  await waitForModal(page, text);
  await answerModal(page, label);
  await until(async () => (await modalText(page)) === null, `"${text}" to close`);
}

// Waits until `paneName` is in front showing a page whose address ends with `file`.
export async function shown(page, paneName, file) {
  // A page that navigates while it is looked at is simply looked at again.
  const loaded = (frame) => frame.evaluate(() => document.readyState === 'complete').catch(() => false);
  await until(async () => (await frontPane(page)) === paneName
    && pane(page, paneName).url().endsWith(file)
    && loaded(pane(page, paneName)), `${paneName} showing ${file}`);
  return pane(page, paneName);
}

// Runs `action` and waits until `frame()` holds a new document, fully loaded, whose address
// ends with `file`. The document shown before may have the same address and answer the same
// questions until it is replaced, so it is marked first.
export async function newDocumentAfter(frame, file, action) {
  await frame().evaluate(() => { window.replacedByTheEditor = true; }).catch(() => {});
  await action();
  return until(async () => {
    const f = frame();
    if (!f || !f.url().endsWith(file)) return null;
    const fresh = await f.evaluate(() => !window.replacedByTheEditor && document.readyState === 'complete')
      .catch(() => false);
    return fresh ? f : null;
  }, `a new ${file}`);
}

const frontPageFrame = (page) => () => paneFrame(page, 'webFrontpage', 0);

export async function createSite(page, name) {
  // Frame 0 may still show the form of the last site made: the name goes into a fresh one.
  const form = await newDocumentAfter(frontPageFrame(page), '/newlog.html',
    () => pane(page, 'webFrontpage').click('a[href="<$newlog$>"]'));
  await form.fill('input[name="newLogName"]', name);
  await form.click('button[type="submit"]');
}

export async function siteList(page) {
  return newDocumentAfter(frontPageFrame(page), '/loglist.html',
    () => pane(page, 'webFrontpage').click('a[href="<$openlog$>"]'));
}

export async function openSite(page, name) {
  const list = await siteList(page);
  await list.click(`a.site:has-text("${name}")`);
}

// The settings screen, reached from the editor; its category frame comes with later work.
export async function openSettings(page) {
  await pane(page, 'webContent').click('a[href="<$setup$>"]');
  const setup = await shown(page, 'webSetup', '/setup.html');
  await answer(page, notAvailable);
  return setup;
}

// Opens a protected site, typing `password` when it is asked for.
export async function openWithPassword(page, name, password) {
  await openSite(page, name);
  await waitForModal(page, 'Please enter your password.');
  // What is typed there is never shown.
  assert.equal(await page.getAttribute('#modal input', 'type'), 'password');
  await page.fill('#modal input', password);
  await answerModal(page, 'OK');
}

// Ends the editor and starts it again on the same app folder, in a new tab.
export async function restartEditor(browser, editor, page) {
  await page.close();
  editor.process.kill('SIGTERM');
  await editor.exited;
  const again = await startEditor(['--offline'], { dataDir: editor.dataDir });
  return { editor: again, page: await openEditor(browser, again) };
}

export const passwordDialog = '[data-form="frmPassword"]';

// Types into the shown password dialog and presses its set button.
export async function submitPassword(page, password, confirm = password) {
  await page.waitForSelector(`${passwordDialog}:not([hidden])`);
  await page.fill(`${passwordDialog} [data-control="txtNewPass"]`, password);
  await page.fill(`${passwordDialog} [data-control="txtNewPassConfirm"]`, confirm);
  await page.click(`${passwordDialog} [data-control="cmdSetPassword"]`);
}
