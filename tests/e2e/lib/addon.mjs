// Runs the browser add-on for a test: a temporary home with the host installed into it, and
// Chromium with the unpacked extension loaded on a profile in that home.
import { execFileSync } from 'node:child_process';
import { mkdirSync, readFileSync } from 'node:fs';
import { createServer } from 'node:http';
import path from 'node:path';
import { chromium } from 'playwright-core';
import { onCleanup, tempDir } from './harness.mjs';

const host = process.env.VELLUMITEBAR_BINARY;
const extensions = process.env.VELLUMITE_EXTENSION;
if (!host || !extensions) throw new Error('VELLUMITEBAR_BINARY and VELLUMITE_EXTENSION must be set');

export const hostName = 'com.vellumite.vellumitebar';

// A home with the XDG folders the host and the browser use.
export function makeHome() {
  const home = tempDir('vellumite-addon-');
  const env = {
    ...process.env,
    HOME: home,
    XDG_CONFIG_HOME: path.join(home, 'config'),
    XDG_DATA_HOME: path.join(home, 'data'),
  };
  mkdirSync(env.XDG_CONFIG_HOME, { recursive: true });
  return {
    home,
    env,
    appFolder: path.join(env.XDG_DATA_HOME, 'vellumite'),
    profile: path.join(env.XDG_CONFIG_HOME, 'chromium'),
    settings: path.join(env.XDG_CONFIG_HOME, 'vellumite', 'vellumitebar.ini'),
  };
}

export function installHost(home) {
  return execFileSync(host, ['install', '--chromium'], { env: home.env, encoding: 'utf8' });
}

export function installedManifest(home) {
  return JSON.parse(readFileSync(path.join(home.profile, 'NativeMessagingHosts', `${hostName}.json`), 'utf8'));
}

export async function launchWithAddon(home) {
  const dir = path.join(extensions, 'chromium');
  const context = await chromium.launchPersistentContext(home.profile, {
    executablePath: '/usr/bin/chromium',
    headless: false,
    env: home.env,
    args: ['--headless=new', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
      '--disable-component-update', '--no-first-run', '--disable-sync',
      `--disable-extensions-except=${dir}`, `--load-extension=${dir}`],
  });
  onCleanup(() => context.close());
  const worker = context.serviceWorkers()[0] || await context.waitForEvent('serviceworker');
  const id = new URL(worker.url()).host;
  return { context, worker, id, url: (file) => `chrome-extension://${id}/${file}` };
}

// A local web server of fixed pages.
export async function servePages(pages) {
  const server = createServer((req, res) => {
    const page = pages[new URL(req.url, 'http://x').pathname];
    res.writeHead(page ? 200 : 404, { 'Content-Type': 'text/html; charset=utf-8' });
    res.end(page || 'not found');
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  onCleanup(() => new Promise((resolve) => { server.close(resolve); server.closeAllConnections(); }));
  return `http://127.0.0.1:${server.address().port}`;
}

// The answer of the capture database, read-only: a missing database is not made by asking.
export function sql(home, statement) {
  try {
    return execFileSync('sqlite3', ['-readonly', path.join(home.appFolder, 'vellumitetoolbar.db'), statement],
      { encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore'] }).trim();
  } catch {
    return null;
  }
}
