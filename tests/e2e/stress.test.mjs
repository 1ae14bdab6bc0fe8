// The content pane under a user who never waits: hundreds of commands drawn at random (fixed
// seed), questions answered within milliseconds, commands clicked right after an answer. After
// each, the page it should show must be there within a second, and the editor's connections and
// memory must not grow. Also the case that used to stall: delete, Yes, and Posts at once.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync, readdirSync, readlinkSync } from 'node:fs';
import path from 'node:path';
import {
  cleanup, tempDir, startEditor, launchBrowser, openEditor, pane, paneFrame, modalText, notAvailable,
  openSite, shown,
} from './lib/harness.mjs';

after(cleanup);
const browser = await launchBrowser();

const SHOWN_WITHIN = 1000;
const deleteQuestion = 'Are you sure you wish to delete this post?';
const incomplete = 'Your current settings are not complete, are you sure you wish to continue?  '
  + 'If you have entered your settings click NO and then the save settings button at the bottom '
  + 'of this page.';

// The same numbers for the same seed on every run.
function seeded(seed) {
  let a = seed >>> 0;
  const next = () => {
    a = (a + 0x6d2b79f5) >>> 0;
    let t = a;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
  return { below: (n) => Math.floor(next() * n), chance: (p) => next() < p, pick: (list) => list[Math.floor(next() * list.length)] };
}

// The sample site with older posts added, so that the list pages.
async function sampleSite(extraPosts) {
  const dataDir = tempDir('vellumite-stress-');
  execFileSync(process.env.VELLUMITE_BINARY, ['sites', '--data-dir', dataDir]);
  const rows = Array.from({ length: extraPosts }, (_, i) => `(1, 'Older ${i + 1}', '', 'Text.', '2026-10-${String(i + 1).padStart(2, '0')}', '08:00:00', 1)`);
  if (rows.length) {
    execFileSync('sqlite3', [path.join(dataDir, 'vellumite.db'),
      `INSERT INTO VellumitePosts (LogID, posttitle, postbyline, posttext, postdate, posttime, PublishPage) VALUES ${rows.join(',')}`]);
  }
  const editor = await startEditor(['--offline'], { dataDir });
  const page = await openEditor(browser, editor);
  await openSite(page, 'Welcome to Vellumite');
  await shown(page, 'webContent', '/contentedit.html');
  return { editor, page, db: path.join(dataDir, 'vellumite.db') };
}

// The site's posts and drafts as the editor lists them, newest first.
function stored(db) {
  const out = execFileSync('sqlite3', ['-json', db,
    'SELECT posttitle AS title, PublishPage AS page FROM VellumitePosts WHERE LogID=1 ORDER BY postdate DESC, posttime DESC, postID DESC']).toString();
  const rows = out.trim() ? JSON.parse(out) : [];
  return { posts: rows.filter((r) => r.page > 0).map((r) => r.title), drafts: rows.filter((r) => r.page === 0).map((r) => r.title) };
}

// Set n of the posts list: ten at a time, of the newest 20 (the sample site's front page).
const postSet = (posts, n) => posts.slice((n - 1) * 10, Math.min(n * 10, 20));

const editorTop = (page) => pane(page, 'webContent');
const sectionList = (page) => paneFrame(page, 'webContent', 0);

// In one look from the shell page (the panes share its origin): the pane in front, the open
// question, and for the editor page, its section list and the settings page: the file shown,
// whether the document is new since the last mark, whether it is there to see (parsed; its style
// sheets and frames may still be on their way), its listed titles, title field and selected tab.
// With `mark`, marks those documents instead, so that new ones can be told from them.
const lookAll = (page, mark = false) => page.evaluate((marking) => {
  const paneWindow = (name) => document.querySelector(`iframe[name="${name}"]`)?.contentWindow;
  const content = paneWindow('webContent');
  const wins = { top: content, list: content?.frames[0], setup: paneWindow('webSetup') };
  if (marking) {
    for (const win of Object.values(wins)) if (win) win.shownBefore = true;
    return {};
  }
  const look = (win) => {
    if (!win) return null;
    const doc = win.document;
    return {
      file: win.location.pathname.split('/').pop(),
      fresh: !win.shownBefore,
      parsed: doc.readyState !== 'loading',
      titles: [...doc.querySelectorAll('a.posttitle')].map((a) => a.textContent),
      title: doc.getElementById('VellumiteTitle')?.value,
      selected: doc.querySelector('.tabs a.selectedsection')?.id,
    };
  };
  const box = document.querySelector('#modal:not([hidden]) .modal p');
  return {
    front: document.querySelector('iframe[aria-hidden="false"]')?.name,
    modal: box ? box.textContent : null,
    top: look(wins.top), list: look(wins.list), setup: look(wins.setup),
  };
}, mark).catch(() => ({}));
const markShown = (page) => lookAll(page, true);

// Waits until `matches(seen)` holds for what the page shows, within SHOWN_WITHIN of `since`.
async function shownWithin(page, since, what, matches, describe = () => '') {
  let seen = null;
  for (;;) {
    seen = await lookAll(page);
    if (await matches(seen)) return Date.now() - since;
    if (Date.now() - since > SHOWN_WITHIN) {
      throw new Error(`${what}: not shown within ${SHOWN_WITHIN} ms; last seen ${JSON.stringify(seen)}; ${describe()}`);
    }
    await new Promise((r) => setTimeout(r, 30)); // looking takes the page's time too
  }
}

// Clicks an element of a frame as the page's own click would, without waiting for anything.
const clickIn = (frame, selector) => frame.$eval(selector, (el) => el.click());

// Answers the open question `delayMs` after it shows, then clicks `thenClick` (an element id of
// the editor page) `gapMs` later, all inside the page so that nothing stands between them.
async function answerAndClick(page, text, label, delayMs, thenClick = null, gapMs = 0) {
  await page.waitForSelector(`#modal:not([hidden]) button[data-result="${label}"]`, { timeout: SHOWN_WITHIN });
  assert.equal(await modalText(page), text);
  await page.evaluate(([l, delay, id, gap]) => new Promise((resolve) => setTimeout(() => {
    document.querySelector(`#modal button[data-result="${l}"]`).click();
    if (!id) return resolve();
    setTimeout(() => {
      document.querySelector('iframe[name="webContent"]').contentDocument.getElementById(id).click();
      resolve();
    }, gap);
  }, delay)), [label, delayMs, thenClick, gapMs]);
}

// The editor's open connections (its page channel and the event posts) and resident memory.
function resources(pid) {
  const sockets = readdirSync(`/proc/${pid}/fd`).filter((fd) => {
    try { return readlinkSync(`/proc/${pid}/fd/${fd}`).startsWith('socket:'); } catch (e) { return false; }
  }).length;
  const rss = Number(/VmRSS:\s+(\d+)/.exec(readFileSync(`/proc/${pid}/status`, 'utf8'))[1]);
  return { sockets, rssKiB: rss };
}

test('deleting a post, answering Yes and clicking Posts at once shows the list within a second, 20 times out of 20', async () => {
  const { page, db } = await sampleSite(20);
  const random = seeded(13);
  for (let run = 0; run < 20; run++) {
    const victim = stored(db).posts[0];
    await markShown(page);
    await clickIn(sectionList(page), 'a.delete');
    await answerAndClick(page, deleteQuestion, 'Yes', random.below(11), 'ahrefrecentposts', random.below(51));
    const since = Date.now();
    await shownWithin(page, since, `run ${run}: the list without "${victim}"`, ({ list, modal }) => !modal && list?.fresh
      && list.parsed && list.file === 'currentposts.html' && !list.titles.includes(victim)
      && list.titles.join() === postSet(stored(db).posts, 1).join());
    // The editor goes on at once with the next command: nothing waits behind that list.
    await markShown(page);
    await clickIn(editorTop(page), '#ahrefdrafts');
    await shownWithin(page, Date.now(), `run ${run}: the drafts after it`, ({ list, top }) => list?.fresh && list.parsed
      && list.file === 'draft.html' && top?.selected === 'ahrefdrafts');
    await clickIn(editorTop(page), '#ahrefrecentposts');
    await shownWithin(page, Date.now(), `run ${run}: the posts again`, ({ list, top }) => list?.file === 'currentposts.html'
      && list.parsed && top?.selected === 'ahrefrecentposts');
  }
  await page.close();
});

test('320 commands of the content pane at random, with pauses of 0 to 300 ms, each shown within a second', async () => {
  const { editor, page, db } = await sampleSite(8);
  const random = seeded(20261207);
  const start = stored(db);
  // What the user has done, as they would remember it.
  const model = { posts: new Set(start.posts), drafts: new Set(start.drafts), set: 1, section: 'posts', editing: null };
  let made = 0;
  const clock = { since: 0 };
  let seenStored = null; // what the site held when the list last matched
  const samples = [];

  const listMatches = (expectFresh) => ({ list, modal, front, top }) => {
    if (modal || front !== 'webContent' || !list?.parsed || (expectFresh && !list.fresh) || top?.file !== 'contentedit.html') return false;
    const now = seenStored = stored(db);
    if (model.section === 'drafts') return list.file === 'draft.html' && list.titles.join() === now.drafts.join();
    return list.file === 'currentposts.html' && list.titles.join() === postSet(now.posts, model.set).join();
  };
  // A new editor page: its list, and the form holding `title`.
  const editorShown = (title) => async (seen) => seen.top?.fresh && seen.top.parsed && seen.top.title === title
    && listMatches(true)(seen);

  const itemsShown = async () => (await lookAll(page)).list?.titles || [];
  const actions = {
    async posts() {
      await clickIn(editorTop(page), '#ahrefrecentposts');
      Object.assign(model, { set: 1, section: 'posts' });
      return listMatches(true);
    },
    async drafts() {
      await clickIn(editorTop(page), '#ahrefdrafts');
      model.section = 'drafts';
      return listMatches(true);
    },
    async edit() {
      const titles = await itemsShown();
      if (!titles.length) return null;
      const title = random.pick(titles);
      await sectionList(page).evaluate((t) => [...document.querySelectorAll('a.posttitle')].find((a) => a.textContent === t).click(), title);
      Object.assign(model, { editing: { title, draft: model.section === 'drafts' }, section: 'posts' });
      return editorShown(title);
    },
    async newPost() {
      await clickIn(editorTop(page), 'a.newpost');
      Object.assign(model, { editing: null, section: 'posts' });
      return editorShown('');
    },
    async post() {
      const title = `Stress ${++made}`;
      await editorTop(page).fill('#VellumiteTitle', title);
      await editorTop(page).evaluate(() => [...document.querySelectorAll('.postactions a')].find((a) => a.textContent === 'POST').click());
      const was = model.editing;
      if (was && model.posts.has(was.title)) model.posts.delete(was.title);
      if (was && was.draft) model.drafts.delete(was.title);
      model.posts.add(title);
      Object.assign(model, { editing: null, set: 1, section: 'posts' });
      return editorShown('');
    },
    async saveDraft() {
      const was = model.editing;
      if (was && !was.draft) return null; // a published post has no draft of its own
      const title = `Stress ${++made}`;
      await editorTop(page).fill('#VellumiteTitle', title);
      await editorTop(page).evaluate(() => [...document.querySelectorAll('.postactions a')].find((a) => a.textContent === 'SAVE AS DRAFT').click());
      if (!was) {
        model.drafts.add(title);
        model.section = 'drafts';
        return async (seen) => seen.top?.title === '' && listMatches(true)(seen);
      }
      model.drafts.delete(was.title);
      model.drafts.add(title);
      Object.assign(model, { editing: null, set: 1, section: 'posts' });
      return editorShown('');
    },
    async delete() {
      const titles = await itemsShown();
      if (!titles.length) return null;
      const title = random.pick(titles);
      const yes = model.posts.size + model.drafts.size > 12 ? random.chance(0.7) : random.chance(0.3);
      await sectionList(page).evaluate((t) => [...document.querySelectorAll('a.posttitle')].find((a) => a.textContent === t)
        .closest('li').querySelector('a.delete').click(), title);
      // Half the time the next command is clicked within 50 ms of the answer.
      const tab = yes && random.chance(0.5) ? random.pick(['ahrefrecentposts', 'ahrefdrafts']) : null;
      await answerAndClick(page, deleteQuestion, yes ? 'Yes' : 'No', random.below(11), tab, random.below(51));
      if (!yes) return async (seen) => !seen.modal && !seen.list?.fresh && listMatches(false)(seen);
      const wasPost = model.section === 'posts';
      (wasPost ? model.posts : model.drafts).delete(title);
      if (wasPost) Object.assign(model, { set: 1, section: 'posts' });
      if (tab === 'ahrefrecentposts') Object.assign(model, { set: 1, section: 'posts' });
      if (tab === 'ahrefdrafts') model.section = 'drafts';
      return listMatches(true);
    },
    async page() {
      if (model.section !== 'posts') return null;
      const links = await sectionList(page).$$eval('.pager a', (as) => as.map((a) => a.getAttribute('href')));
      if (!links.length) return null;
      const href = random.pick(links);
      await sectionList(page).$eval(`.pager a[href="${href}"]`, (a) => a.click());
      model.set = Number(/-(\d+)/.exec(href)[1]);
      return listMatches(true);
    },
    async settingsAndBack() {
      let since = Date.now();
      await clickIn(editorTop(page), 'a[href="<$setup$>"]');
      await answerAndClick(page, notAvailable, 'OK', random.below(11));
      await shownWithin(page, since, 'the settings', ({ front, setup, modal }) => !modal && front === 'webSetup'
        && setup?.file === 'setup.html' && setup.parsed);
      if (random.chance(0.3)) { // not yet: the settings stay
        since = Date.now();
        await clickIn(page.frame({ name: 'webSetup' }), 'a[href="<$content$>"]');
        await answerAndClick(page, incomplete, 'No', random.below(11));
        await shownWithin(page, since, 'still the settings', ({ front, modal }) => !modal && front === 'webSetup');
      }
      clock.since = Date.now(); // the last command of the three is timed
      await clickIn(page.frame({ name: 'webSetup' }), 'a[href="<$content$>"]');
      await answerAndClick(page, incomplete, 'Yes', random.below(11));
      Object.assign(model, { editing: null, section: 'posts' });
      return editorShown('');
    },
  };
  const weighted = [['posts', 3], ['drafts', 2], ['edit', 2], ['newPost', 1], ['post', 2], ['saveDraft', 2],
    ['delete', 4], ['page', 2], ['settingsAndBack', 1]].flatMap(([name, w]) => Array(w).fill(name));

  const counts = {};
  const times = [];
  let done = 0;
  while (done < 320) {
    const name = random.pick(weighted);
    await markShown(page);
    seenStored = null;
    clock.since = Date.now();
    const expected = await actions[name]();
    if (!expected) continue; // not offered by what the page shows now
    const took = await shownWithin(page, clock.since, `action ${done} (${name})`, expected,
      () => `model ${JSON.stringify({ ...model, posts: [...model.posts], drafts: [...model.drafts] })}, stored ${JSON.stringify(stored(db))}`);
    times.push(took);
    const now = seenStored || stored(db);
    assert.deepEqual(new Set(now.posts), model.posts, `action ${done} (${name}): the posts`);
    assert.deepEqual(new Set(now.drafts), model.drafts, `action ${done} (${name}): the drafts`);
    counts[name] = (counts[name] || 0) + 1;
    if (++done % 40 === 0) samples.push(resources(editor.process.pid));
    // Often next to no pause at all, else anything up to 300 ms.
    await new Promise((r) => setTimeout(r, random.chance(0.4) ? random.below(11) : random.below(301)));
  }
  times.sort((a, b) => a - b);
  console.log(`shown after: median ${times[times.length >> 1]} ms, slowest ${times[times.length - 1]} ms`, samples);
  for (const name of Object.keys(actions)) assert.ok(counts[name] > 0, `${name} was drawn`);

  // Flat: what the last commands leave open is what the first ones did.
  const first = samples[0];
  const most = Math.max(...samples.map((s) => s.sockets));
  assert.ok(most <= first.sockets + 6, `open connections grew: ${JSON.stringify(samples)}`);
  const last = samples[samples.length - 1];
  assert.ok(last.rssKiB - samples[1].rssKiB < 8 * 1024, `memory grew: ${JSON.stringify(samples)}`);
  await page.close();
});
