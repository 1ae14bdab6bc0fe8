// The insert-image and insert-link dialogs in Chromium against pyftpdlib, as a new user would
// use them: a picture chosen on disk uploaded into an "images" folder that exists already and
// its measured tag put in the post, a picture by web address with no upload, a refused upload
// that changes nothing, and a file uploaded into a new "media" folder and linked; over TLS, the
// server's certificate trusted when asked.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { existsSync, mkdirSync, readdirSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import {
  cleanup, tempDir, startEditor, startFtpServer, launchBrowser, openEditor, until, openSite, shown,
  modalText, answerModal, makeCertificate,
} from './lib/harness.mjs';

after(cleanup);
const browser = await launchBrowser();
const image = '[data-form="frmImage"]';
const link = '[data-form="frmSelectURL"]';
const control = (form, name) => `${form} [data-control="${name}"]`;

// Chooses `file` with the browser's own chooser behind the form's Browse button.
async function choose(page, form, file) {
  const [chooser] = await Promise.all([page.waitForEvent('filechooser'),
    page.click(`${control(form, 'cmdBrowse')} button`)]);
  await chooser.setFiles(file);
}

const textOf = (page, form, name) => page.$eval(control(form, name), (e) => e.value ?? e.textContent);

test('pictures and files uploaded from the dialogs, typed addresses, a refusal', async () => {
  const root = tempDir('vellumite-ftp-');
  const www = path.join(root, 'root', 'www');
  mkdirSync(path.join(www, 'images'), { recursive: true });
  writeFileSync(path.join(www, 'images', 'old.gif'), 'kept');
  // A password that would cut or change a request address reaches the server whole.
  const password = 'p&ss #1';
  const port = await startFtpServer(path.join(root, 'root'), 'tester', password);
  const dataDir = tempDir('vellumite-upload-');
  execFileSync(process.env.VELLUMITE_BINARY, ['sites', '--data-dir', dataDir]);
  execFileSync('sqlite3', [path.join(dataDir, 'vellumite.db'), `UPDATE VellumiteLog SET
    ftplocation='127.0.0.1:${port}', ftpusername='tester', ftppassword='${password}', ftppath='/www',
    ftppassive=-1, pageurl='http://example.org/blog'`]);
  const editor = await startEditor(['--online'], { dataDir });
  const page = await openEditor(browser, editor);
  await openSite(page, 'Welcome to Vellumite');
  const content = await shown(page, 'webContent', '/contentedit.html');
  const post = () => content.$eval('#Vellumiteposttext', (t) => t.value);
  const cursorAtEnd = () => content.$eval('#Vellumiteposttext', (t) => {
    t.focus();
    t.setSelectionRange(t.value.length, t.value.length);
  });
  await content.fill('#VellumiteTitle', 'Holiday');
  await content.fill('#Vellumiteposttext', 'Look at this picture: ');
  const files = tempDir('vellumite-chosen-');

  // A JPEG of 120 by 80 that the browser itself encodes.
  const jpeg = Buffer.from(await page.evaluate(async () => {
    const canvas = document.createElement('canvas');
    Object.assign(canvas, { width: 120, height: 80 });
    canvas.getContext('2d').fillRect(10, 10, 50, 30);
    const blob = await new Promise((resolve) => canvas.toBlob(resolve, 'image/jpeg'));
    return [...new Uint8Array(await blob.arrayBuffer())];
  }));
  writeFileSync(path.join(files, 'Holiday Photo.JPG'), jpeg);
  await cursorAtEnd();
  await content.click('a[href="<$image$>"]');
  await page.waitForSelector(`${image}:not([hidden])`);
  await choose(page, image, path.join(files, 'Holiday Photo.JPG'));
  await until(async () => (await textOf(page, image, 'txtImageWidth')) === '120', 'the measured width');
  assert.equal(await textOf(page, image, 'txtFile'), 'Holiday Photo.JPG');
  await page.fill(control(image, 'txtAlt'), 'Beach');
  await page.click(control(image, 'cmdMakeURLLink'));
  await page.waitForSelector(image, { state: 'hidden' });
  assert.deepEqual(readFileSync(path.join(www, 'images', 'holiday photo.jpg')), jpeg);
  assert.deepEqual(readdirSync(path.join(www, 'images')).sort(), ['holiday photo.jpg', 'old.gif']);
  assert.equal(await post(), 'Look at this picture: '
    + '<img src="http://example.org/blog/images/holiday photo.jpg" height=80 width=120 alt="Beach">');
  // The private copy went with the upload.
  assert.ok(!readdirSync(tmpdir()).some((d) => d.startsWith('picked-') && existsSync(path.join(tmpdir(), d, 'holiday photo.jpg'))));

  // A picture by its web address goes in at once, at the size the boxes kept.
  await cursorAtEnd();
  await content.click('a[href="<$image$>"]');
  await page.waitForSelector(`${image}:not([hidden])`);
  await page.fill(control(image, 'txtFile'), 'http://pics.example.org/cat.png');
  await until(async () => (await textOf(page, image, 'lblFileSize')) === 'Online Image', 'Online Image');
  await page.fill(control(image, 'txtAlt'), '');
  await page.click(control(image, 'cmdMakeURLLink'));
  await page.waitForSelector(image, { state: 'hidden' });
  assert.ok((await post()).endsWith('<img src="http://pics.example.org/cat.png" height=80 width=120 alt="">'));
  assert.equal(readdirSync(path.join(www, 'images')).length, 2, 'nothing uploaded');

  // A refused upload says why, keeps the dialog for another try and leaves the post alone.
  writeFileSync(path.join(root, 'refuse-uploads.txt'), 'refused.jpg\n');
  writeFileSync(path.join(files, 'Refused.JPG'), jpeg);
  const before = await post();
  await cursorAtEnd();
  await content.click('a[href="<$image$>"]');
  await choose(page, image, path.join(files, 'Refused.JPG'));
  await until(async () => (await textOf(page, image, 'txtFile')) === 'Refused.JPG', 'the chosen file');
  await page.click(control(image, 'cmdMakeURLLink'));
  const refusal = 'FTP Status : refused.jpg was not uploaded: the server said "550 Upload of this file refused by the test.".';
  await until(async () => (await textOf(page, image, 'lblFTPProgress')) === refusal, 'the refusal');
  assert.equal(await post(), before);
  assert.ok(await page.isVisible(image));
  await page.click(control(image, 'Label1'));
  await page.waitForSelector(image, { state: 'hidden' });

  // A file uploaded into "media", made on the way, and linked in a new window.
  await content.$eval('#Vellumiteposttext', (t) => {
    t.focus();
    t.setSelectionRange(t.value.indexOf('this picture'), t.value.indexOf('this picture') + 12);
  });
  await content.click('a[href="<$href$>"]');
  await page.waitForSelector(`${link}:not([hidden])`);
  await page.click(`${control(link, 'chkNewWindow')} input`);
  writeFileSync(path.join(files, 'Notes.PDF'), '%PDF-1.4 notes');
  await choose(page, link, path.join(files, 'Notes.PDF'));
  await until(async () => (await textOf(page, link, 'txtUploadObject')) === 'Notes.PDF', 'the chosen file');
  await page.click(control(link, 'Command1'));
  await page.waitForSelector(link, { state: 'hidden' });
  assert.equal(readFileSync(path.join(www, 'media', 'Notes.PDF'), 'utf8'), '%PDF-1.4 notes');
  assert.ok((await post()).startsWith(
    'Look at <a href="http://example.org/blog/media/Notes.PDF" target=Vellumite>this picture</a>: <img'));
});

test('over TLS the upload asks once whether to trust the server\'s certificate', async () => {
  const root = tempDir('vellumite-ftps-');
  mkdirSync(path.join(root, 'root'));
  const port = await startFtpServer(path.join(root, 'root'), 'tester', 's3cret', makeCertificate(root).files);
  const dataDir = tempDir('vellumite-upload-tls-');
  execFileSync(process.env.VELLUMITE_BINARY, ['sites', '--data-dir', dataDir]);
  execFileSync('sqlite3', [path.join(dataDir, 'vellumite.db'), `UPDATE VellumiteLog SET
    ftplocation='ftpes://127.0.0.1:${port}', ftpusername='tester', ftppassword='s3cret', ftppath='', ftppassive=-1`]);
  const page = await openEditor(browser, await startEditor(['--online'], { dataDir }));
  await openSite(page, 'Welcome to Vellumite');
  const content = await shown(page, 'webContent', '/contentedit.html');
  await content.fill('#Vellumiteposttext', 'the notes');
  await content.$eval('#Vellumiteposttext', (t) => { t.focus(); t.select(); });
  await content.click('a[href="<$href$>"]');
  const notes = path.join(tempDir('vellumite-chosen-'), 'notes.txt');
  writeFileSync(notes, 'secret notes');
  await choose(page, link, notes);
  await until(async () => (await textOf(page, link, 'txtUploadObject')) === 'notes.txt', 'the chosen file');
  await page.click(control(link, 'Command1'));
  await until(async () => (await modalText(page))?.includes('Trust this certificate for this site?'), 'the question');
  await answerModal(page, 'Yes');
  await page.waitForSelector(link, { state: 'hidden' });
  assert.equal(readFileSync(path.join(root, 'root', 'media', 'notes.txt'), 'utf8'), 'secret notes');
  assert.match(await content.$eval('#Vellumiteposttext', (t) => t.value), /^<a href="[^"]*\/media\/notes\.txt" >the notes<\/a>$/);
});
