// Starts the editor, the fake web service and Chromium for a browser test, cleans up, and takes
// the steps on the editor's screens that several tests take.
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { createInterface } from 'node:readline';
import { chromium } from 'playwright-core';

const binary = process.env.VELLUMITE_BINARY;
const source = process.env.VELLUMITE_SOURCE;
if (!binary || !source) throw new Error('VELLUMITE_BINARY and VELLUMITE_SOURCE must be set');

const cleanups = [];
// `undo` runs at cleanup(), the last registered first.
export function onCleanup(undo) {
  cleanups.push(undo);
}

export async function cleanup() {
  while (cleanups.length) {
    try { await cleanups.pop()(); } catch (e) { /* keep cleaning */ }
  }
}

export function tempDir(prefix) {
  const dir = mkdtempSync(path.join(tmpdir(), prefix));
  cleanups.push(() => rmSync(dir, { recursive: true, force: true }));
  return dir;
}

// Resolves with the first capture of `pattern` in the process's output lines.
function waitForLine(stream, pattern, what, timeoutMs = 20000) {
  return new Promise((resolve, reject) => {
    const lines = createInterface({ input: stream });
    const timer = setTimeout(() => reject(new Error(`no ${what} within ${timeoutMs} ms`)), timeoutMs);
    lines.on('line', (line) => {
      const m = pattern.exec(line);
      if (m) { clearTimeout(timer); resolve(m[1]); }
    });
    lines.on('close', () => { clearTimeout(timer); reject(new Error(`${what}: the process ended`)); });
  });
}

function stopProcess(child) {
  return new Promise((resolve) => {
    if (child.exitCode !== null || child.signalCode !== null) return resolve();
    const timer = setTimeout(() => child.kill('SIGKILL'), 5000);
    child.once('exit', () => { clearTimeout(timer); resolve(); });
    child.kill('SIGTERM');
  });
}

export async function startService(args = []) {
  const child = spawn('/usr/bin/python3', [path.join(source, 'tests/support/fake_service.py'), ...args],
    { stdio: ['ignore', 'pipe', 'inherit'] });
  cleanups.push(() => stopProcess(child));
  const port = await waitForLine(child.stdout, /^PORT (\d+)$/, 'service port');
  const url = `http://127.0.0.1:${port}`;
  return {
    url,
    async requests() {
      const r = await fetch(`${url}/__requests`);
      return r.json();
    },
  };
}

// A certificate for 127.0.0.1 that no authority vouches for, made in `dir`: [certificate, key]
// files and its SHA-256 fingerprint.
export function makeCertificate(dir) {
  const [certificate, key] = ['cert.pem', 'key.pem'].map((name) => path.join(dir, name));
  execFileSync('openssl', ['req', '-x509', '-newkey', 'ec', '-pkeyopt', 'ec_paramgen_curve:prime256v1', '-nodes',
    '-days', '2', '-subj', '/CN=host', '-addext', 'subjectAltName=IP:127.0.0.1', '-keyout', key, '-out', certificate]);
  const fingerprint = execFileSync('openssl', ['x509', '-noout', '-fingerprint', '-sha256', '-in', certificate])
    .toString().trim().split('=')[1];
  return { files: [certificate, key], fingerprint };
}

// pyftpdlib on 127.0.0.1 with the tests' user, writing below `root`; resolves with its port.
// Given [certificate, key] files, it speaks FTP over explicit TLS only.
export async function startFtpServer(root, user = 'tester', password = 's3cret', tls = []) {
  const child = spawn('/usr/bin/python3', ['-W', 'ignore', path.join(source, 'tests/support/pyftpd_server.py'),
    root, user, password, ...tls], { stdio: ['ignore', 'pipe', 'inherit'] });
  cleanups.push(() => stopProcess(child));
  return Number(await waitForLine(child.stdout, /^(\d+)$/, 'FTP server port'));
}

// Starts `vellumite --no-browser --port 0 --data-dir <tmp>` with `args`.
export async function startEditor(args = [], { dataDir } = {}) {
  const dir = dataDir || tempDir('vellumite-e2e-');
  const child = spawn(binary, ['--no-browser', '--port', '0', '--data-dir', dir, ...args],
    { stdio: ['ignore', 'pipe', 'inherit'] });
  cleanups.push(() => stopProcess(child));
  const address = await waitForLine(child.stdout, /^Vellumite Editor: (\S+)$/, 'editor address');
  child.stdout.resume();
  const exited = new Promise((resolve) => child.once('exit', (code) => resolve(code)));
  return { address, origin: new URL(address).origin, dataDir: dir, process: child, exited };
}

export async function launchBrowser() {
  const profile = tempDir('vellumite-chromium-');
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  cleanups.push(() => context.close());
  return context;
}

// Firefox ESR, headless, driven over WebDriver BiDi.
export async function launchFirefox() {
  const { default: puppeteer } = await import('puppeteer-core');
  const browser = await puppeteer.launch({
    browser: 'firefox', executablePath: '/usr/bin/firefox-esr', headless: true,
    userDataDir: tempDir('vellumite-firefox-'),
  });
  cleanups.push(() => browser.close());
  return browser;
}

// The shell page of the editor, opened in a fresh tab, with the front page shown.
export async function openEditor(context, editor) {
  const page = await context.newPage();
  page.on('pageerror', (e) => console.error('page error:', e.message));
  await page.goto(editor.address);
  await until(() => page.frame({ name: 'webFrontpage' }), 'the front page pane');
  await pane(page, 'webFrontpage').waitForSelector('.sidebar');
  return page;
}

export function pane(page, name) {
  const frame = page.frame({ name });
  if (!frame) throw new Error(`no pane ${name}`);
  return frame;
}

// Frame n of a pane's document (document order), as the editor counts them.
export function paneFrame(page, name, index) {
  return pane(page, name).childFrames()[index];
}

// `frame` when it shows a document whose address ends with `file`, fully loaded; else null. A
// frame that navigates while it is looked at is simply looked at again.
export async function loaded(frame, file) {
  if (!frame || !frame.url().endsWith(file)) return null;
  const complete = await frame.evaluate(() => document.readyState === 'complete').catch(() => false);
  return complete ? frame : null;
}

// A look at a frame that is replacing its document fails with one of these; it is looked at
// again, as a user would look again.
const inTransit = /Execution context was destroyed|Cannot find context|frame was detached|adopt element handle/;

export async function until(check, what, timeoutMs = 30000) {
  const end = Date.now() + timeoutMs;
  for (;;) {
    let value;
    try {
      value = await check();
    } catch (e) {
      if (!inTransit.test(String(e.message))) throw e;
    }
    if (value) return value;
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await new Promise((r) => setTimeout(r, 50));
  }
}

// Shows a page written by the test into the app folder's html/ in a pane, in front, as if the
// editor had shown it (the editor's own screens for these panes come from later work).
export async function showTestPage(page, editor, paneName, fileName, html) {
  writeFileSync(path.join(editor.dataDir, 'html', fileName), html);
  await page.evaluate(([name, url]) => {
    const frame = document.querySelector(`iframe[name="${name}"]`);
    frame.style.zIndex = '99';
    frame.src = url;
  }, [paneName, `${editor.address}pane/${paneName}/html/${fileName}`]);
  return until(() => loaded(pane(page, paneName), fileName), fileName);
}

// The text of the modal dialog now shown, or null.
export async function modalText(page) {
  const box = await page.$('#modal:not([hidden]) .modal');
  return box ? (await box.$eval('p', (p) => p.textContent)) : null;
}

export async function answerModal(page, label) {
  await page.click(`#modal .buttons button[data-result="${label}"]`);
}

export function isAlive(editor) {
  return editor.process.exitCode === null && editor.process.signalCode === null;
}

// Steps on the editor's screens: answering messages, creating and opening sites, reaching the
// settings.
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
  return until(async () => (await frontPane(page)) === paneName && loaded(pane(page, paneName), file),
    `${paneName} showing ${file}`);
}

// Runs `action` and waits until `frame()` holds a new document, fully loaded, whose address
// ends with `file`. The document shown before may have the same address and answer the same
// questions until it is replaced, so it is marked first.
export async function newDocumentAfter(frame, file, action) {
  await frame().evaluate(() => { window.replacedByTheEditor = true; }).catch(() => {});
  await action();
  return until(async () => {
    const f = await loaded(frame(), file);
    return f && !(await f.evaluate(() => window.replacedByTheEditor).catch(() => true)) ? f : null;
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

// The settings screen, reached from the editor, with its categories loaded in their frame.
export async function openSettings(page) {
  // The pane may still hold the settings shown last time: what is typed goes into the new one.
  const setup = await newDocumentAfter(() => pane(page, 'webSetup'), '/setup.html',
    () => pane(page, 'webContent').click('a[href="<$setup$>"]'));
  await shown(page, 'webSetup', '/setup.html');
  await until(() => loaded(paneFrame(page, 'webSetup', 0), '/categorycreate.html'), 'the category frame');
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
