// SPDX-License-Identifier: MIT
// The web page in headless Chromium, opened from file://. Every listing on
// the page must be what build/tamrik -n prints for the same file, shown one
// character per byte, under each combination of the two toggles; nothing may
// leave the page and nothing from a file may run.
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {after, before, test} from 'node:test';
import {fileURLToPath, pathToFileURL} from 'node:url';

import puppeteer from 'puppeteer-core';

const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const siteDir = path.join(repo, 'build-web/site');
const tamrik = path.join(repo, 'build/tamrik');
const realDir = path.resolve(repo, '../shared/images');
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'tamrik-web-'));

// As the page shows bytes: the newline ends a line, other control bytes are
// "?", everything else the Latin-1 character of its code.
function decode(bytes) {
  let text = '';
  for (const byte of bytes) {
    text += byte === 0x0a ? '\n' : byte < 0x20 || byte === 0x7f ? '?' : String.fromCharCode(byte);
  }
  return text;
}

function cli(flags, file) {
  return execFileSync(tamrik, [flags, file]);
}

// The same on a terminal, where the command line itself shows control bytes
// of names and labels as "?", a newline among them; the terminal's CR LF is
// read as LF.
function cliOnTerminal(flags, file) {
  const quote = (word) => `'${word.replace(/'/g, `'\\''`)}'`;
  const out = execFileSync('script', ['-qec', `${quote(tamrik)} ${flags} ${quote(file)}`,
                                      '/dev/null']);
  return Buffer.from(out.toString('latin1').replace(/\r\n/g, '\n'), 'latin1');
}

function be16(bytes, at, value) {
  bytes[at] = value >> 8;
  bytes[at + 1] = value & 0xff;
}

function be32(bytes, at, value) {
  be16(bytes, at, Math.floor(value / 0x10000));
  be16(bytes, at + 2, value & 0xffff);
}

// A LIF header (geometry left to the default) and a directory of the given
// 10-byte names, ended by the end marker.
function lifImage(label, dirStart, names) {
  const header = new Uint8Array(256);
  be16(header, 0, 0x8000);
  header.set(label, 2);
  be32(header, 8, dirStart);
  be32(header, 16, 1);
  header.set([0x86, 0x03, 0x21, 0x14, 0x30, 0x05], 36);
  const directory = new Uint8Array(256);
  names.forEach((name, index) => {
    const at = index * 32;
    directory.set(name, at);
    be16(directory, at + 10, [0x0001, 0xe0d5, 0xe020][index % 3]);
    be32(directory, at + 12, 2 + index);
    be32(directory, at + 16, 1);
    directory.set([0x87, 0x05, 0x30, 0x20, 0x15, 0x00], at + 20);
    be16(directory, at + 26, 0x8001);
    be32(directory, at + 28, 100 * (index + 1));
  });
  be16(directory, names.length * 32 + 10, 0xffff);
  return {header, directory};
}

const bytesOf = (text) => Uint8Array.from(text, (c) => c.charCodeAt(0));

function writeHostile() {
  const file = path.join(scratch, '<img src=x onerror=alert(1)>\x01\x1b[31m.lif');
  const {header, directory} = lifImage(bytesOf('<b>\x01\x1b\x7f'),
                                       1, [bytesOf('<img src=x'), bytesOf('\x00\t\r<br>\xe9\xff\x80'),
                                           bytesOf('NEW\nLINE  ')]);
  fs.writeFileSync(file, Buffer.concat([header, directory]));
  return file;
}

// 2 GiB with nothing stored but the header in front and the directory in the
// last sector: a lister that reads the whole file, or keeps it, shows here.
function writeSparse() {
  const file = path.join(scratch, 'sparse-2g.lif');
  const size = 2 ** 31;
  const lastSector = size / 256 - 1;
  const {header, directory} = lifImage(bytesOf('SPARSE'), lastSector, [bytesOf('FARAWAY   ')]);
  const fd = fs.openSync(file, 'w');
  fs.writeSync(fd, header, 0, header.length, 0);
  fs.writeSync(fd, directory, 0, directory.length, lastSector * 256);
  fs.closeSync(fd);
  fs.truncateSync(file, size);
  return file;
}

function realImages() {
  if (!fs.existsSync(realDir)) return [];
  const found = [];
  const walk = (dir) => {
    for (const entry of fs.readdirSync(dir, {withFileTypes: true})) {
      const full = path.join(dir, entry.name);
      if (entry.isDirectory()) walk(full);
      else if (!/\.(md|tsv)$/.test(entry.name)) found.push(full);
    }
  };
  walk(realDir);
  return found.sort();
}

const sample = path.join(repo, 'samples/sample.lif');
const notLif = path.join(scratch, 'notes.txt');
fs.writeFileSync(notLif, 'A text file, not a disk image.\n');
const real = realImages();

const TOGGLES = [
  {flags: '-n', sort: false, bytes: false},
  {flags: '-ns', sort: true, bytes: false},
  {flags: '-nb', sort: false, bytes: true},
  {flags: '-nsb', sort: true, bytes: true},
];

// Each case is handed to the page and checked under every toggle; `drop`
// hands it by a drop on the page instead of the chooser, and `terminal`
// compares with the command line's output on a terminal.
const CASES = [
  {name: 'the sample', files: () => [sample]},
  {name: 'the sample, dropped on the page', files: () => [sample], drop: true},
  {name: 'a file that is not LIF', files: () => [notLif]},
  {name: 'markup and control bytes in the name and label', files: () => [writeHostile()],
   terminal: true},
  {name: 'the sample and two real images', files: () => [sample, ...real.slice(0, 2)],
   skip: real.length < 2 && 'no real images'},
  {name: 'every real image', files: () => real, skip: real.length === 0 && 'no real images'},
  {name: 'a sparse file of 2 GiB', files: () => [writeSparse()], sparse: true},
];

let browser;
let page;
const requests = [];
const dialogs = [];

before(async () => {
  browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    userDataDir: fs.mkdtempSync(path.join(os.tmpdir(), 'tamrik-chromium-')),
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  page = await browser.newPage();
  page.on('request', (request) => requests.push(request.url()));
  page.on('dialog', async (dialog) => {
    dialogs.push(dialog.message());
    await dialog.dismiss();
  });
  await page.goto(pathToFileURL(path.join(siteDir, 'index.html')).href);
  await page.waitForSelector('#status[data-ready]');
});

after(async () => {
  await browser?.close();
  fs.rmSync(scratch, {recursive: true, force: true});
});

// Runs an action that makes the page list its files, and waits until all
// are listed; returns the page's own time from the action to the last one.
async function listed(action, timeout = 30000) {
  await page.$eval('#status', (status) => delete status.dataset.ms);
  await action();
  await page.waitForSelector('#status[data-ms]', {timeout});
  return Number(await page.$eval('#status', (status) => status.dataset.ms));
}

async function hand(files, drop = false) {
  if (!drop) return listed(async () => (await page.$('#files')).uploadFile(...files));
  const dropped = files.map((file) => ({name: path.basename(file),
                                        bytes: [...fs.readFileSync(file)]}));
  return listed(() => page.evaluate((dropped) => {
    const transfer = new DataTransfer();
    for (const {name, bytes} of dropped) transfer.items.add(new File([new Uint8Array(bytes)], name));
    document.body.dispatchEvent(new DragEvent('drop', {dataTransfer: transfer, bubbles: true,
                                                        cancelable: true}));
  }, dropped));
}

// Sets the toggles from the keyboard, as someone without a mouse would.
async function setToggles({sort, bytes}) {
  for (const [id, wanted] of [['#sort', sort], ['#bytes', bytes]]) {
    if (await page.$eval(id, (box) => box.checked) === wanted) continue;
    await listed(async () => {
      await page.focus(id);
      await page.keyboard.press('Space');
    });
  }
}

const listings = () => page.$$eval('pre', (pres) => pres.map((pre) => pre.textContent));

async function memory() {
  const client = await page.createCDPSession();
  await client.send('HeapProfiler.collectGarbage');
  const {JSHeapUsedSize} = await page.metrics();
  await client.detach();
  const [worker] = page.workers();
  const {usedSize} = await worker.client.send('Runtime.getHeapUsage');
  const wasm = Number(await page.$eval('#status', (status) => status.dataset.memory));
  return {page: JSHeapUsedSize, worker: usedSize, wasm};
}

const MiB = 1024 * 1024;

for (const testCase of CASES) {
  test(testCase.name, {skip: testCase.skip}, async (t) => {
    await setToggles(TOGGLES[0]);
    const files = testCase.files();
    const start = testCase.sparse && await memory();
    const ms = await hand(files, testCase.drop);
    if (testCase.sparse) {
      const end = await memory();
      t.diagnostic(`2 GiB sparse file listed in ${ms} ms; page JS heap ${end.page} bytes ` +
                   `(${end.page - start.page} more), worker JS heap ${end.worker} bytes ` +
                   `(${end.worker - start.worker} more), wasm memory ${end.wasm} bytes`);
      assert.ok(end.page - start.page < 4 * MiB, 'page heap growth');
      assert.ok(end.worker - start.worker < 4 * MiB, 'worker heap growth');
      assert.ok(end.wasm < 32 * MiB, 'wasm memory');
    }
    for (const toggles of TOGGLES) {
      await setToggles(toggles);
      const run = testCase.terminal ? cliOnTerminal : cli;
      const want = files.map((file) => decode(run(toggles.flags, file)));
      assert.deepEqual(await listings(), want, toggles.flags);
    }
    const headings = await page.$$eval('h2', (h2s) => h2s.map((h2) => h2.textContent));
    assert.deepEqual(headings, files.map((file) => path.basename(file).replace(/[\x00-\x1f\x7f]/g, '?')));
    assert.equal(await page.$$eval('img, b, br', (found) => found.length), 0, 'markup from a file');
    assert.deepEqual(await page.$$eval('.error:not([hidden])', (shown) => shown.length), 0);
  });
}

test('a file that can no longer be read gets a message and its heading only', async () => {
  await setToggles(TOGGLES[0]);
  const file = path.join(scratch, 'gone.lif');
  fs.copyFileSync(sample, file);
  await hand([file]);
  // Now a folder: Chromium cannot read the chosen file any more, and the
  // command line prints only the heading for a folder.
  fs.rmSync(file);
  fs.mkdirSync(file);
  await setToggles(TOGGLES[1]);
  assert.deepEqual(await listings(), [decode(cli('-ns', file))]);
  const message = await page.$eval('.error', (error) => (error.hidden ? '' : error.textContent));
  assert.match(message, /could not be read/);
});

test('saving gives the listings as the command line prints them one after another', async () => {
  const files = [sample, notLif, ...real.slice(0, 3)];
  await setToggles(TOGGLES[3]);
  await hand(files);
  const downloads = fs.mkdtempSync(path.join(scratch, 'downloads-'));
  const client = await browser.target().createCDPSession();
  await client.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: downloads});
  await page.click('#save');
  const saved = path.join(downloads, 'listings.txt');
  for (let waited = 0; !fs.existsSync(saved) && waited < 5000; waited += 50) {
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  const want = Buffer.concat(files.flatMap((file, i) => [...(i ? [Buffer.from('\n')] : []),
                                                         cli('-nsb', file)]));
  assert.deepEqual(fs.readFileSync(saved), want);
});

test('keyboard, narrow screen and dark scheme', async () => {
  await page.keyboard.press('Tab');
  const reached = [];
  for (let i = 0; i < 12; i++) {
    reached.push(await page.evaluate(() => document.activeElement.id));
    await page.keyboard.press('Tab');
  }
  for (const id of ['files', 'sort', 'bytes', 'copy', 'save']) {
    assert.ok(reached.includes(id), `${id} reached by Tab`);
    const label = await page.$eval(`#${id}`, (control) =>
      (control.labels?.[0]?.textContent ?? control.textContent).trim());
    assert.ok(label.length > 0, `${id} labelled`);
  }

  await page.setViewport({width: 320, height: 640});
  const fit = await page.evaluate(() => ({page: document.documentElement.scrollWidth,
                                          pre: [...document.querySelectorAll('pre')].some(
                                              (pre) => pre.scrollWidth > pre.clientWidth)}));
  assert.ok(fit.page <= 320, `page ${fit.page} px wide at 320`);
  assert.ok(fit.pre, 'listings scroll sideways');

  const background = () => page.$eval('body', (body) => getComputedStyle(body).backgroundColor);
  await page.emulateMediaFeatures([{name: 'prefers-color-scheme', value: 'light'}]);
  const light = await background();
  await page.emulateMediaFeatures([{name: 'prefers-color-scheme', value: 'dark'}]);
  assert.notEqual(await background(), light);
  await page.emulateMediaFeatures([]);
  await page.setViewport({width: 800, height: 600});
});

test('budgets: site size, the sample, 100 real images', async (t) => {
  const size = fs.readdirSync(siteDir).reduce((sum, file) =>
    sum + fs.statSync(path.join(siteDir, file)).size, 0);
  t.diagnostic(`site folder: ${size} bytes`);
  assert.ok(size <= 400 * 1000, 'site at most 400 KB');

  await setToggles(TOGGLES[0]);
  const sampleTimes = [];
  for (let i = 0; i < 5; i++) {
    const copy = path.join(scratch, `sample-${i}.lif`);
    fs.copyFileSync(sample, copy);
    sampleTimes.push(await hand([copy]));
  }
  t.diagnostic(`sample listed in ${sampleTimes.join(', ')} ms`);
  if (real.length > 0) {
    const hundred = Array.from({length: 100}, (_, i) => real[i % real.length]);
    t.diagnostic(`100 real images listed in ${await hand(hundred)} ms`);
  }
});

test('no request left the page, none may, and no dialog opened', async () => {
  const site = pathToFileURL(siteDir).href + '/';
  const outside = requests.filter((url) => !url.startsWith(site) && !url.startsWith('blob:') &&
                                           !url.startsWith('data:'));
  assert.deepEqual(outside, []);
  assert.deepEqual(dialogs, []);
  const refused = await page.evaluate(() => new Promise((resolve) => {
    document.addEventListener('securitypolicyviolation', (event) => resolve(event.effectiveDirective),
                              {once: true});
    fetch('http://127.0.0.1:9/').catch(() => {});
    setTimeout(() => resolve('no violation'), 2000);
  }));
  assert.equal(refused, 'connect-src');
});
