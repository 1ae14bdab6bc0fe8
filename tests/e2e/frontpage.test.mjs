// The editor in Chromium: the front page, the start-up fetches, help, dialogs and windows.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { cleanup, startEditor, startService, launchBrowser, openEditor, pane, until } from './lib/harness.mjs';

after(cleanup);

test('offline start: front page shows, no request is made, recent frame is blank', async () => {
  const service = await startService();
  const editor = await startEditor(['--offline', '--service-url', service.url]);
  const browser = await launchBrowser();
  const page = await openEditor(browser, editor);

  assert.equal(await page.title(), 'Vellumite Editor');
  const front = pane(page, 'webFrontpage');
  assert.match(await front.textContent('.sidebar'), /New site/);
  const recent = page.frame({ name: 'recent' });
  await until(async () => recent.url() === 'about:blank', 'the recent frame to be blanked');
  // The welcome note shows while the sample site exists.
  const welcome = page.frame({ name: 'welcome' });
  await until(async () => welcome.url().endsWith('/html/tooltips/welcome.html'), 'the welcome note');
  assert.deepEqual(await service.requests(), []);
});
