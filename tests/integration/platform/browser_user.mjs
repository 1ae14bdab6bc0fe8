// Plays the user for web_host_test.cpp: opens the shell page in Chromium and goes through the
// forms, the dialogs and the document operations in the order the test drives them.
// Usage: node browser_user.mjs <address>. Exits 0 when everything went through.
import { cleanup, launchBrowser, until } from '../../e2e/lib/harness.mjs';

const [address] = process.argv.slice(2);

async function answer(page, text, value) {
  await page.waitForSelector(`#modal p:text("${text}")`);
  if (value !== undefined) await page.fill('#modal .modal input', value);
  await page.click('#modal button[data-result="OK"]');
}

async function forms(page) {
  // A handler that fails is shown, and the editor still answers the next click.
  for (let i = 0; i < 2; ++i) {
    await page.click('.form-window[data-form="frmFail"] [data-control="cmdFail"]');
    await answer(page, 'Disk full');
  }
  await page.waitForSelector('#modal', { state: 'hidden' });
  const win = '.form-window[data-form="frmTest"]';
  await page.waitForSelector(`${win}:not([hidden])`);
  if (await page.textContent(`${win} .form-title span`) !== 'Test window') throw new Error('caption');
  await page.fill(`${win} [data-control="txtName"]`, 'Ann');
  await page.check(`${win} [data-control="chkOpt"] input`);
  await page.click(`${win} [data-control="cmdGo"]`);
  await page.waitForSelector(`${win} [data-control="lblResult"]:text("Hello Ann, option on")`);
  await page.waitForSelector(`${win} progress[data-control="progress"][value="40"]`);
  await page.waitForSelector(`${win} [data-control="cmdGo"][disabled]`);
  await page.click(`${win} .form-close`);
  await page.waitForSelector(win, { state: 'detached' });
}

async function dialogs(page) {
  await answer(page, 'Please enter the name of your new template', 'Autumn');
  await answer(page, 'Type the full path of the file.', '/no/such/file');
  await answer(page, 'There is no file /no/such/file.');
  await answer(page, 'Type the full path of the file.', process.env.USER_FILE);
  await answer(page, 'The page could not be changed: The page in webContent has no frame 3.');
  await answer(page, 'The page slow-page.html could not be shown: it did not load within 2 seconds.');
  await page.waitForSelector('#modal', { state: 'hidden' });
}

async function documentOperations(page) {
  const frame = await until(() => {
    const f = page.frame({ name: 'webContent' });
    return f && f.url().endsWith('/html/doc.html') ? f : null;
  }, 'the test page');
  await frame.waitForSelector('#ready', { state: 'attached' });
  await frame.waitForLoadState('load'); // the shell watches a page's fields once it has loaded
  await frame.evaluate(() => {
    const t = document.querySelector('textarea');
    t.focus();
    t.setSelectionRange(10, 15); // "brown"
  });
  await frame.click('#go');
  await until(async () => (await frame.inputValue('textarea')) === 'The quick <b>brown</b> fox', 'the replaced selection');
  await until(async () => (await frame.getAttribute('#box', 'class')) === 'categorypopupshow', 'the class name');
  await until(async () => (await frame.textContent('#note')) === '<i>not markup</i>', 'the text');
  await until(async () => (await frame.evaluate(() => getComputedStyle(document.getElementById('note')).color)) === 'rgb(255, 0, 0)', 'the style rule');
  const child = await until(() => frame.childFrames().find((f) => f.url().endsWith('/html/child2.html')), 'frame 0 navigated');
  await until(async () => (await child.inputValue('input[name="answer"]')) === 'written after load', 'the field in frame 0');
}

let status = 0;
try {
  const page = await (await launchBrowser()).newPage();
  page.on('pageerror', (e) => console.error('page error:', e.message));
  await page.goto(address);
  await forms(page);
  await dialogs(page);
  await documentOperations(page);
  console.log('DONE');
} catch (e) {
  console.error(String(e && e.stack || e));
  status = 1;
}
await cleanup();
process.exit(status);
