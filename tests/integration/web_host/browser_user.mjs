// Plays the user for web_host_test.cpp: opens the shell page in Chromium and runs one scenario.
// Usage: node browser_user.mjs <address> <scenario>. Exits 0 when the scenario went through.
import { chromium } from 'playwright-core';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';

const [address, scenario] = process.argv.slice(2);
const profile = mkdtempSync(path.join(tmpdir(), 'vellumite-user-'));
const context = await chromium.launchPersistentContext(profile, {
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});

async function until(check, what, timeoutMs = 15000) {
  const end = Date.now() + timeoutMs;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await new Promise((r) => setTimeout(r, 30));
  }
}

const scenarios = {
  async failingHandler(page) {
    const win = '.form-window[data-form="frmFail"]';
    await page.click(`${win} [data-control="cmdFail"]`);
    await page.waitForSelector('#modal p:text("Disk full")');
    await page.click('#modal button[data-result="OK"]');
    await page.click(`${win} [data-control="cmdFail"]`); // the editor still answers
    await page.waitForSelector('#modal p:text("Disk full")');
    await page.click('#modal button[data-result="OK"]');
    await page.waitForSelector('#modal', { state: 'hidden' });
  },
  async missingFrame(page) {
    await page.waitForSelector('#modal p:text("The page could not be changed: The page in webContent has no frame 3.")');
    await page.click('#modal button[data-result="OK"]');
    await page.waitForSelector('#modal', { state: 'hidden' });
  },
  async forms(page) {
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
  },
  async dialogs(page) {
    const input = await page.waitForSelector('#modal .modal input');
    if (await page.textContent('#modal p') !== 'Please enter the name of your new template') throw new Error('prompt');
    await input.fill('Autumn');
    await page.click('#modal button[data-result="OK"]');
    await page.waitForSelector('#modal .modal h2:text("Sure?")');
    // The panes are blocked while the question is open.
    const blocked = await page.evaluate(() => {
      const r = document.getElementById('panes').getBoundingClientRect();
      const hit = document.elementFromPoint(r.left + 10, r.top + 10);
      return hit && hit.closest('#modal') !== null;
    });
    if (!blocked) throw new Error('the panes could be clicked');
    await page.click('#modal button[data-result="Yes"]');
    const file = await page.waitForSelector('#modal .modal input');
    await file.fill('/no/such/file');
    await page.click('#modal button[data-result="OK"]');
    await page.waitForSelector('#modal p:text("There is no file /no/such/file.")');
    await page.click('#modal button[data-result="OK"]');
    const again = await page.waitForSelector('#modal .modal input');
    await again.fill(process.env.USER_FILE);
    await page.click('#modal button[data-result="OK"]');
    await page.waitForSelector('#modal', { state: 'hidden' });
  },
  async document(page) {
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
  },
};

let status = 0;
try {
  const page = await context.newPage();
  page.on('pageerror', (e) => console.error('page error:', e.message));
  await page.goto(address);
  await scenarios[scenario](page);
  console.log('DONE');
} catch (e) {
  console.error(String(e && e.stack || e));
  status = 1;
}
await context.close();
rmSync(profile, { recursive: true, force: true });
process.exit(status);
