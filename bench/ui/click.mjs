// Clicks "<$shownext-N" 50 times in the content pane and times each click until frame 0 has
// loaded the rebuilt page. Usage: node click.mjs <bench_ui binary> [clicks]
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { createInterface } from 'node:readline';
import { chromium } from 'playwright-core';

const [binary, clicksArg] = process.argv.slice(2);
const clicks = Number(clicksArg || 50);
const server = spawn(binary, [], { stdio: ['pipe', 'pipe', 'inherit'] });
const address = await new Promise((resolve, reject) => {
  createInterface({ input: server.stdout }).on('line', (l) => { if (l.startsWith('ADDRESS ')) resolve(l.slice(8)); });
  server.on('exit', () => reject(new Error('bench_ui ended')));
});
const profile = mkdtempSync(path.join(tmpdir(), 'vellumite-bench-chromium-'));
const context = await chromium.launchPersistentContext(profile, {
  executablePath: '/usr/bin/chromium', headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
const page = await context.newPage();
await page.goto(address);
let content;
for (let i = 0; i < 200 && !content; i++) {
  content = page.frames().find((f) => f.name() === 'webContent' && f.url().endsWith('contentedit.html'));
  if (!content) await new Promise((r) => setTimeout(r, 50));
}
await content.waitForSelector('#next');

// Measured inside the page: from the click to the load of the rebuilt page in frame 0.
const timeOne = (n) => content.evaluate((set) => new Promise((resolve) => {
  const frame = document.querySelector('iframe');
  const link = document.getElementById('next');
  link.setAttribute('href', `<$shownext-${set}$>`);
  const start = performance.now();
  frame.addEventListener('load', function done() {
    if (frame.contentDocument.body.dataset.set !== String(set)) return;
    frame.removeEventListener('load', done);
    resolve(performance.now() - start);
  });
  link.click();
}), n);

// The floor: the same frame loading the same kind of page straight from the server, without a
// page command, a rebuild or the editor's channel in between.
const timePlain = () => content.evaluate(() => new Promise((resolve) => {
  const frame = document.querySelector('iframe');
  const start = performance.now();
  frame.addEventListener('load', function done() {
    frame.removeEventListener('load', done);
    resolve(performance.now() - start);
  });
  frame.contentWindow.location.replace(`currentposts.html?plain=${Math.random()}`);
}));

for (let i = 1; i <= 5; i++) { await timeOne(i); await timePlain(); } // warm-up
const times = [];
const plain = [];
// Interleaved, so that both see the same load on the machine.
for (let i = 0; i < clicks; i++) {
  times.push(await timeOne(6 + i));
  plain.push(await timePlain());
}
const stats = (list) => {
  const s = [...list].sort((a, b) => a - b);
  return { median: s[Math.floor(s.length / 2)], p90: s[Math.floor(s.length * 0.9)], min: s[0], max: s[s.length - 1] };
};
const c = stats(times);
const p = stats(plain);
// The editor's own share: each click against the plain load that followed it.
const share = stats(times.map((t, i) => t - plain[i]));
const row = (what, x) => `| ${what} | ${x.median.toFixed(1)} | ${x.p90.toFixed(1)} | ${x.min.toFixed(1)} | ${x.max.toFixed(1)} |`;
console.log(`clicks: ${clicks} (each followed by one plain page load)`);
console.log('| measure | median (ms) | p90 (ms) | fastest (ms) | slowest (ms) |');
console.log('|---|---|---|---|---|');
console.log(row('page command click to rebuilt page shown', c));
console.log(row('plain load of the same page into the same frame', p));
console.log(row("the editor's share: click minus the plain load after it", share));
console.log(`editor's share, difference of the medians: ${(c.median - p.median).toFixed(1)} ms`);
console.log(`ratio editor's share (median) / 5 ms target: ${(share.median / 5).toFixed(2)}`);
console.log(`ratio command / plain load (medians): ${(c.median / p.median).toFixed(2)}`);
console.log(`ratio command / 50 ms target (median): ${(c.median / 50).toFixed(2)}`);
await context.close();
rmSync(profile, { recursive: true, force: true });
server.stdin.end();
