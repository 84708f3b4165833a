// SPDX-License-Identifier: MIT
// The web page in headless Chromium, opened from file://. Every listing on
// the page must be what build/tamrik -n prints for the same file, shown one
// character per byte, under each combination of the toggles, and the tables
// must hold the same rows and summaries; nothing may leave the page and
// nothing from a file may run.
import assert from 'node:assert/strict';
import {execFileSync, spawnSync} from 'node:child_process';
import {createHash} from 'node:crypto';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {after, before, test} from 'node:test';
import {fileURLToPath, pathToFileURL} from 'node:url';
import zlib from 'node:zlib';

import puppeteer from 'puppeteer-core';

const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const siteDir = path.join(repo, 'build-web/site');
const tamrik = path.join(repo, 'build/tamrik');
const shared = path.resolve(repo, '../shared');
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'tamrik-web-'));
const axeSource = fs.readFileSync(path.join(path.dirname(fileURLToPath(import.meta.url)),
                                            'node_modules/axe-core/axe.min.js'), 'utf8');

// As a terminal shows bytes, one character each: the newline ends a line;
// control bytes, DEL, 0x80 to 0x9F and the soft hyphen, which take no room,
// are "?"; everything else is the Latin-1 character of its code.
const SHOWN = Uint16Array.from({length: 256}, (_, byte) => (byte === 0x0a ? byte :
    byte < 0x20 || (byte >= 0x7f && byte <= 0x9f) || byte === 0xad ? 0x3f : byte));

function shownBytes(bytes) {
  const units = new Uint16Array(bytes.length);
  for (let i = 0; i < bytes.length; i++) units[i] = SHOWN[bytes[i]];
  return Buffer.from(units.buffer).toString('utf16le');
}

// A file's name is text from the file system, shown as it is, but for the
// characters that take no room or reorder a line.
const shownName = (name) => name.replace(/[\p{Cc}\p{Cf}]/gu, '?');

const listings = new Map();
function cli(flags, file) {
  const key = `${flags} ${file}`;
  if (!listings.has(key)) {
    listings.set(key, execFileSync(tamrik, [flags, file], {maxBuffer: 256 * 1024 * 1024}));
  }
  return listings.get(key);
}

// The same on a terminal, where the command line itself shows control bytes
// of names and labels as "?", a newline among them; the terminal's CR LF is
// read as LF. What it says on standard error, which the terminal would
// show among the lines, is no part of the listing.
function cliOnTerminal(flags, file) {
  const quote = (word) => `'${word.replace(/'/g, `'\\''`)}'`;
  const out = execFileSync('script', ['-qec',
                                      `${quote(tamrik)} ${flags} ${quote(file)} 2>/dev/null`,
                                      '/dev/null']);
  return Buffer.from(out.toString('latin1').replace(/\r\n/g, '\n'), 'latin1');
}

// The listing the page must show for a file: the heading with the name as
// text, the rest as bytes.
function expectedText(flags, file, name = path.basename(file), run = cli) {
  const bytes = run(flags, file);
  if (run === cli) {
    assert.deepEqual(bytes.subarray(0, 11 + Buffer.byteLength(name)),
                     Buffer.from(`Content of ${path.basename(file)}`), 'the heading holds the name');
  }
  return `Content of ${shownName(name)}\n` + shownBytes(bytes.subarray(bytes.indexOf(0x0a) + 1));
}

// The overview's cells and the table's rows that a listing stands for.
function expectedFields(text) {
  const lines = text.split('\n');
  if (!lines[2].startsWith('Volume label: ')) return {summary: null, rows: []};
  const max = lines[4].match(/^Max (\d+) entries, unused (\d+) +Total \d+ bytes, unused (-?\d+)$/);
  const summary = [lines[2].slice(14), lines[3].slice(14).replace('  ', ' '),
                   `${max[1] - max[2]} of ${max[1]}`, max[3]];
  const rows = lines.slice(7, -2).map((row) => [
    row.slice(0, 4).trim(), row.slice(6, 16).trimEnd(), row.slice(18, 25).trim(),
    row.slice(25, 32).trim(), row.slice(32, 35).trim(),
    `${row.slice(35, 43).trim()} ${row.slice(44, 49).trim()}`, row.slice(49, 55).trim(),
    row.slice(55, 61).trim(), `${row.slice(64, 72)} ${row.slice(74, 79)}`]);
  return {summary, rows};
}

// What the overview says of a file the command line lists or refuses, and
// of one whose listing lacked what the command line says on standard error.
// A raw image lacks nothing: what the command line says of a listed one is
// what its directory shows to be impossible, and it is listed with that.
function expectedStatus(file) {
  const said = spawnSync(tamrik, [file]).stderr.toString();
  const head = Buffer.alloc(2);
  const fd = fs.openSync(file, 'r');
  fs.readSync(fd, head, 0, 2, 0);
  fs.closeSync(fd);
  const raw = head[0] === 0x80 && head[1] === 0;
  const text = cli('-n', file).toString('latin1');
  const listed = !text.includes('Unknown or corrupt disk image');
  // After "tamrik: NAME: ", the name as the command line masks it.
  if (said.startsWith('tamrik: ')) {
    const words = said.slice(said.indexOf(': ', 8) + 2, -1);
    return `${raw && listed ? 'listed' : 'damaged'}: ${words}`;
  }
  if (listed) return 'listed';
  return raw ? 'damaged' : 'not a LIF image';
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
// 10-byte names, ended by the end marker, in as many sectors as they need.
function lifImage(label, dirStart, names, dirLength) {
  const header = new Uint8Array(256);
  be16(header, 0, 0x8000);
  header.set(label, 2);
  be32(header, 8, dirStart);
  be32(header, 16, dirLength ?? Math.ceil((names.length + 1) / 8));
  header.set([0x86, 0x03, 0x21, 0x14, 0x30, 0x05], 36);
  const directory = new Uint8Array(Math.ceil((names.length + 1) / 8) * 256);
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

const bytesOf = (text) => Buffer.from(text, 'latin1');

function writeImage(name, label, names) {
  const file = path.join(scratch, name);
  const {header, directory} = lifImage(bytesOf(label), 1, names.map(bytesOf));
  fs.writeFileSync(file, Buffer.concat([header, directory]));
  return file;
}

// A one-track ImageDisk file of the image's first 16 sectors, ids 1 to 16,
// those in `lacking` recorded without their data.
function writeImageDisk(name, image, lacking) {
  const sectors = Buffer.alloc(16 * 256);
  Buffer.from(image).copy(sectors, 0, 0, sectors.length);
  const parts = [bytesOf('IMD 1.18: 09/12/2026 10:00:00\r\nTamrik page test\x1a'),
                 Buffer.from([5, 0, 0, 16, 1]), Buffer.from(Array.from({length: 16}, (_, i) => i + 1))];
  for (let id = 1; id <= 16; id++) {
    parts.push(lacking.includes(id) ? Buffer.from([0]) :
                   Buffer.concat([Buffer.from([1]), sectors.subarray((id - 1) * 256, id * 256)]));
  }
  const file = path.join(scratch, name);
  fs.writeFileSync(file, Buffer.concat(parts));
  return file;
}

// A container that lacks a directory sector, listed with what it holds, and
// one that lacks its header sector, refused: both damaged, with the reason
// the command line gives.
function writeLackingContainers() {
  const {header, directory} = lifImage(bytesOf('LACKS '), 2, ['FIRST     ', 'SECOND    ']
      .map(bytesOf));
  const image = Buffer.concat([header, Buffer.alloc(256), directory]);
  return given([writeImageDisk('lacking-directory.imd', image, [3]),
                writeImageDisk('lacking-header.imd', image, [1])]);
}

// Markup, control bytes and the bytes that take no room (0x80 to 0x9F, the
// soft hyphen) in the name and in the label and entry names.
const writeHostile = () => writeImage(
    '<img src=x onerror=alert(1)>\x01\x1b[31m.lif', '<b>\x01\x1b\x7f',
    ['<img src=x', '\x00\t\r<br>\xe9\xff\x80', 'NEW\nLINE  ', 'A\x85\x9f\xad\xa0B\x90C ']);

// More than 16 equal names, which sorts of different libraries put in
// different orders unless directory order decides.
const writeEqualNames = () => writeImage('equal-names.lif', 'EQUAL ', Array.from(
    {length: 40}, (_, i) => (i % 5 === 4 ? `OTHER${i}`.padEnd(10) : 'SAME      ')));

// 2 GiB with nothing stored but the header in front and the directory in the
// last sector: a lister that reads the whole file, or keeps it, shows here.
function writeSparse(name = 'sparse-2g.lif', size = 2 ** 31, dirLength = undefined) {
  const file = path.join(scratch, name);
  const lastSector = size / 256 - 1;
  const {header, directory} = lifImage(bytesOf('SPARSE'), dirLength ? 1 : lastSector,
                                       [bytesOf('FARAWAY   ')], dirLength);
  const fd = fs.openSync(file, 'w');
  fs.writeSync(fd, header, 0, header.length, 0);
  if (!dirLength) fs.writeSync(fd, directory, 0, directory.length, lastSector * 256);
  fs.closeSync(fd);
  fs.truncateSync(file, size);
  return file;
}

// A zip archive of the given members, as PKWARE's application note lays it out:
// local headers with the data (or `packed` in its place), then the central
// directory and its end.
function writeZip(name, members) {
  const parts = [];
  const central = [];
  let offset = 0;
  for (const {name: memberName, data, method = 0, flags = 0x800, size = data.length,
              crc = zlib.crc32(data),
              packed = method === 8 ? zlib.deflateRawSync(data) : data} of members) {
    const nameBytes = Buffer.from(memberName);
    const header = (signature, length) => {
      const record = Buffer.alloc(length);
      record.writeUInt32LE(signature, 0);
      return record;
    };
    const local = header(0x04034b50, 30);
    local.writeUInt16LE(20, 4);
    local.writeUInt16LE(flags, 6);
    local.writeUInt16LE(method, 8);
    local.writeUInt32LE(crc, 14);
    local.writeUInt32LE(packed.length, 18);
    local.writeUInt32LE(size, 22);
    local.writeUInt16LE(nameBytes.length, 26);
    const entry = header(0x02014b50, 46);
    entry.writeUInt16LE(20, 4);
    entry.writeUInt16LE(20, 6);
    local.copy(entry, 8, 6, 28);
    entry.writeUInt32LE(offset, 42);
    parts.push(local, nameBytes, packed);
    central.push(entry, nameBytes);
    offset += 30 + nameBytes.length + packed.length;
  }
  const directory = Buffer.concat(central);
  const end = Buffer.alloc(22);
  end.writeUInt32LE(0x06054b50, 0);
  end.writeUInt16LE(members.length, 8);
  end.writeUInt16LE(members.length, 10);
  end.writeUInt32LE(directory.length, 12);
  end.writeUInt32LE(offset, 16);
  const file = path.join(scratch, name);
  fs.writeFileSync(file, Buffer.concat([...parts, directory, end]));
  return file;
}

function filesIn(dir, skip = /\.(md|tsv)$/) {
  if (!fs.existsSync(dir)) return [];
  return fs.readdirSync(dir, {recursive: true, withFileTypes: true})
      .filter((entry) => entry.isFile() && !skip.test(entry.name))
      .map((entry) => path.join(entry.parentPath, entry.name)).sort();
}

const sample = path.join(repo, 'samples/sample.lif');
const notLif = path.join(scratch, 'notes.txt');
fs.writeFileSync(notLif, 'A text file, not a disk image.\n');
const trek = writeImage('trek.lif', 'TREKS ', ['TREK-85   ', 'trekker   ', 'SPOCK     ']);
const real = filesIn(path.join(shared, 'images'));

// What a case hands the page (`give`) and the images the page must then
// show, each under its path, listed from a file or refused with a status.
const given = (list) => ({give: list, images: list.map((file) => ({path: path.basename(file),
                                                                  file}))});

// A folder with subfolders, names that repeat and a zip archive inside.
function writeFolder() {
  const root = path.join(scratch, 'collection');
  for (const [at, from] of [['sample.lif', sample], ['a/sample.lif', sample],
                            ['a/b/sample.lif', sample], ['a/b/trek.lif', trek],
                            ['a/notes.txt', notLif]]) {
    fs.mkdirSync(path.dirname(path.join(root, at)), {recursive: true});
    fs.copyFileSync(from, path.join(root, at));
  }
  fs.renameSync(writeZip('inner.zip', [{name: 'deep/trek.lif', data: fs.readFileSync(trek),
                                        method: 8}]), path.join(root, 'a/inner.zip'));
  const images = ['sample.lif', 'a/sample.lif', 'a/b/sample.lif', 'a/b/trek.lif', 'a/notes.txt']
      .map((at) => ({path: `collection/${at}`, file: path.join(root, at)}));
  images.push({path: 'collection/a/inner.zip/deep/trek.lif', file: trek});
  return {give: [root], images};
}

// Stored and deflated members in subfolders, one not LIF, one changed by a
// byte after it was packed (still listed), and those that cannot be listed.
function writeArchive() {
  const image = fs.readFileSync(sample);
  const changed = Buffer.from(image);
  changed[2] ^= 0x20;
  const changedFile = path.join(fs.mkdtempSync(path.join(scratch, 'changed-')), 'changed.lif');
  fs.writeFileSync(changedFile, changed);
  const file = writeZip('disks.zip', [
    {name: 'changed.lif', data: image, packed: changed},
    {name: 'one/sample.lif', data: image},
    {name: 'two/sample.lif', data: image, method: 8},
    {name: 'two/notes.txt', data: fs.readFileSync(notLif), method: 8},
    {name: 'two/', data: Buffer.alloc(0)},
    {name: 'secret.lif', data: image, flags: 0x801},
    {name: 'bzip.lif', data: image, method: 12},
    {name: 'huge.lif', data: image, method: 8, size: 65 * 2 ** 20},
  ]);
  const cannot = (name, why) => ({path: `disks.zip/${name}`, status: `could not be read: ${why}`});
  return {give: [file], images: [
    {path: 'disks.zip/changed.lif', file: changedFile,
     status: 'damaged in the zip: its check sum differs'},
    {path: 'disks.zip/one/sample.lif', file: sample},
    {path: 'disks.zip/two/sample.lif', file: sample},
    {path: 'disks.zip/two/notes.txt', file: notLif},
    cannot('secret.lif', 'it is encrypted'),
    cannot('bzip.lif', 'it is packed by a method the page cannot unpack (method 12)'),
    cannot('huge.lif', 'it unpacks to more than 64 MiB')]};
}

// The real images and containers, HFE files too, as the folders they are in.
function realFolders() {
  const folders = ['images', 'containers', 'hfe'].map((name) => path.join(shared, name))
      .filter((folder) => fs.existsSync(folder));
  return {give: folders, images: folders.flatMap((folder) => filesIn(folder, /^$/).map(
      (file) => ({path: path.relative(shared, file), file})))};
}

// A zip cut short after its second member, a zip inside a zip, and a name
// stored in UTF-8 without the flag that says so.
function writeImperfectZips() {
  // Each member also as a file of its name, to list with the command line.
  const dir = fs.mkdtempSync(path.join(scratch, 'zipped-'));
  const copy = (from, name) => {
    fs.copyFileSync(from, path.join(dir, name));
    return path.join(dir, name);
  };
  const image = fs.readFileSync(sample);
  const whole = fs.readFileSync(writeZip('whole.zip', [
    {name: 'sample.lif', data: image}, {name: 'trek.lif', data: fs.readFileSync(trek), method: 8},
    {name: 'third.lif', data: image}]));
  const cut = path.join(scratch, 'cut.zip');
  // Inside the third member's local header.
  fs.writeFileSync(cut, whole.subarray(0, whole.indexOf(Buffer.from('third.lif')) - 10));
  const inner = fs.readFileSync(writeZip('inner.zip', [{name: 'deep.lif', data: fs.readFileSync(trek),
                                                        method: 8}]));
  const outer = writeZip('outer.zip', [{name: 'inner.zip', data: inner, method: 8}]);
  const unflagged = 'Spiele für 71 été.lif';
  const names = writeZip('names.zip', [{name: unflagged, data: image, flags: 0}]);
  return {give: [cut, outer, names], images: [
    {path: 'cut.zip', status: /^damaged zip: ./},
    {path: 'cut.zip/sample.lif', file: sample},
    {path: 'cut.zip/trek.lif', file: trek},
    {path: 'outer.zip/inner.zip/deep.lif', file: copy(trek, 'deep.lif')},
    {path: `names.zip/${unflagged}`, file: copy(sample, unflagged)}]};
}

const TOGGLES = [
  {flags: '-n', sort: false, bytes: false},
  {flags: '-ns', sort: true, bytes: false},
  {flags: '-nb', sort: false, bytes: true},
  {flags: '-nsb', sort: true, bytes: true},
];

// Each case hands the page files and checks every image it must then show
// under every toggle, as text and as tables. `terminal` compares with the
// command line's output on a terminal.
const folder = writeFolder();
const CASES = [
  {name: 'the sample', hand: 'choose', setup: () => given([sample])},
  {name: 'the sample, dropped on the page', hand: 'drop', setup: () => given([sample])},
  {name: 'the sample carried by the page', hand: 'sample', setup: () => given([sample])},
  {name: 'a file that is not LIF', hand: 'choose', setup: () => given([notLif])},
  {name: 'markup, control bytes and bytes that take no room in names and label',
   hand: 'choose', setup: () => given([writeHostile()]), terminal: true},
  {name: 'a file name that is not ASCII', hand: 'choose', setup: () => {
    const file = path.join(scratch, 'Disquette été ☃.lif');
    fs.copyFileSync(sample, file);
    return given([file]);
  }},
  {name: 'more than 16 equal names', hand: 'choose', setup: () => given([writeEqualNames()])},
  {name: 'containers that lack a directory or header sector', hand: 'choose',
   setup: writeLackingContainers},
  {name: 'the sample and two real images', hand: 'choose',
   setup: () => given([sample, ...real.slice(0, 2)]), skip: real.length < 2 && 'no real images'},
  {name: 'every real image and container, dropped as folders', hand: 'dropPaths',
   setup: realFolders, skip: real.length === 0 && 'no real images'},
  {name: 'a sparse file of 2 GiB', hand: 'choose', setup: () => given([writeSparse()]),
   sparse: true},
  {name: 'a folder with subfolders, repeated names and a zip archive, chosen',
   hand: 'folder', setup: () => folder},
  {name: 'the same folder, dropped', hand: 'dropPaths', setup: () => folder},
  {name: 'a zip archive with stored, deflated, other and unreadable members',
   hand: 'choose', setup: writeArchive},
  {name: 'a zip cut short, a zip in a zip and a name in UTF-8 without its flag',
   hand: 'choose', setup: writeImperfectZips},
];

let browser;
let page;
const requests = [];
let firstLoad;
const dialogs = [];
// Faults of the page's own code, which no test may meet.
const pageErrors = [];

async function openPage() {
  await page.goto(pathToFileURL(path.join(siteDir, 'index.html')).href);
}

const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tamrik-chromium-'));

before(async () => {
  browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  page = await browser.newPage();
  page.on('request', (request) => requests.push(request.url()));
  page.on('pageerror', (error) => pageErrors.push(String(error)));
  page.on('dialog', async (dialog) => {
    dialogs.push(dialog.message());
    await dialog.dismiss();
  });
  await openPage();
  firstLoad = requests.slice();
});

after(async () => {
  await browser?.close();
  fs.rmSync(scratch, {recursive: true, force: true});
  fs.rmSync(profile, {recursive: true, force: true});
});

// Runs an action that makes the page list, and waits until all is listed
// and drawn (the catalogue busy, then no longer); returns the time from the
// action to then, and to the first row that is not waiting.
async function listed(action, timeout = 60000) {
  await page.evaluate(() => {
    const catalogue = document.getElementById('catalogue');
    const started = performance.now();
    const seen = window.tamrikListed = {busy: false, ms: null, firstMs: null};
    const observer = new MutationObserver(() => {
      seen.firstMs ??= [...document.querySelectorAll('#overview td.status')]
          .some((cell) => !/^listing/.test(cell.textContent)) ? performance.now() - started : null;
      if (catalogue.getAttribute('aria-busy') === 'true') seen.busy = true;
      if (seen.busy && !catalogue.hasAttribute('aria-busy')) {
        seen.ms = performance.now() - started;
        observer.disconnect();
      }
    });
    observer.observe(document.body, {attributes: true, childList: true, subtree: true,
                                     characterData: true});
  });
  await action();
  await page.waitForFunction(() => window.tamrikListed.ms !== null, {timeout});
  return page.evaluate(() => window.tamrikListed.ms);
}

// Until everything asked for is listed and drawn.
const settled = () => page.waitForSelector('#catalogue:not([aria-busy="true"])');

async function clear() {
  if (!(await page.$eval('#clear', (button) => button.disabled))) await page.click('#clear');
  await settled();
}

// Drags real paths from the file system onto the page, folders too.
async function dropPaths(paths) {
  const client = await page.createCDPSession();
  const data = {items: [], files: paths, dragOperationsMask: 1};
  for (const type of ['dragEnter', 'dragOver', 'drop']) {
    await client.send('Input.dispatchDragEvent', {type, x: 100, y: 100, data});
  }
  await client.detach();
}

// Drops files made in the page from the given bytes.
function dropMade(made) {
  return page.evaluate((made) => {
    const transfer = new DataTransfer();
    for (const {name, bytes, repeat} of made) {
      transfer.items.add(new File([new Uint8Array(bytes)], repeat ? name.repeat(repeat) : name));
    }
    document.body.dispatchEvent(new DragEvent('drop', {dataTransfer: transfer, bubbles: true,
                                                        cancelable: true}));
  }, made);
}

// Clicks a button that opens the file chooser and picks the given paths.
async function pick(button, paths) {
  const [chooser] = await Promise.all([page.waitForFileChooser(), page.click(button)]);
  await chooser.accept(paths);
}

const HANDS = {
  choose: (list) => pick('aria/Choose images', list),
  folder: (list) => pick('aria/Choose a folder', list),
  dropPaths,
  drop: (list) => dropMade(list.map((file) => ({name: path.basename(file),
                                                bytes: [...fs.readFileSync(file)]}))),
  sample: () => page.click('aria/Try the sample'),
};

async function hand(how, list, timeout = undefined) {
  await clear();
  if (list.length === 0) return 0;
  const ms = await listed(() => HANDS[how](list), timeout);
  await settled();
  return ms;
}

async function press(selector) {
  await page.focus(selector);
  await page.keyboard.press('Space');
}

// Sets the toggles from the keyboard, as someone without a mouse would.
async function setToggles({sort, bytes, text = false}) {
  for (const [name, wanted] of [['Sort by name', sort], ['Sizes in bytes', bytes]]) {
    const box = await page.$(`aria/${name}`);
    if (await box.evaluate((node) => node.checked) === wanted) continue;
    await listed(async () => {
      await box.focus();
      await page.keyboard.press('Space');
    });
  }
  const view = await page.$('aria/Show as text');
  if (await view.evaluate((node) => node.checked) !== text) {
    await view.focus();
    await page.keyboard.press('Space');
  }
  await settled();
}

// Every image the overview shows, with its directory as text or as rows.
function pageImages() {
  return page.$$eval('#overview > tbody > tr.image', (rows) => rows.map((row) => {
    const next = row.nextElementSibling;
    const directory = next?.classList.contains('directory') ? next : null;
    return {
      path: row.querySelector('.toggle').textContent,
      summary: [...row.cells].slice(1, 5).map((cell) => cell.textContent),
      status: row.cells[5].textContent,
      hidden: row.hidden,
      text: directory?.querySelector('pre')?.textContent ?? null,
      rows: directory && [...directory.querySelectorAll('table.entries tbody tr')]
          .map((tr) => [...tr.cells].map((cell) => cell.textContent)),
    };
  }));
}

// Opens every directory, the files that are not LIF images too.
async function openAll() {
  const others = await page.$('#others:not([hidden])[aria-expanded="false"]');
  if (others) await others.click();
  await page.click('aria/Open all');
  await settled();
}

// Shows every row of the open directories.
async function showAllRows() {
  while (await page.$$eval('button.more', (buttons) => buttons.map((button) => button.click())
                                                              .length)) {
    await settled();
  }
}

async function memory() {
  const client = await page.createCDPSession();
  await client.send('HeapProfiler.collectGarbage');
  const {JSHeapUsedSize} = await page.metrics();
  await client.detach();
  let workers = 0;
  for (const worker of page.workers()) {
    workers = Math.max(workers, (await worker.client.send('Runtime.getHeapUsage')).usedSize);
  }
  // The resident memory of the browser's renderers, which hold the page,
  // its workers and their WebAssembly memories.
  const processes = execFileSync('ps', ['-eo', 'pid=,ppid=,rss=,args=']).toString().trim()
      .split('\n').map((line) => line.trim().split(/\s+/));
  const mine = new Set([String(browser.process().pid)]);
  let renderers = 0;
  for (const [pid, ppid, rss, ...args] of processes) {
    if (!mine.has(ppid)) continue;
    mine.add(pid);
    if (args.includes('--type=renderer')) renderers += Number(rss) * 1024;
  }
  return {page: JSHeapUsedSize, workers, renderers};
}

const MiB = 1024 * 1024;

for (const testCase of CASES) {
  test(testCase.name, {skip: testCase.skip}, async (t) => {
    await setToggles(TOGGLES[0]);
    const {give, images: shown} = testCase.setup();
    const start = testCase.sparse && await memory();
    const ms = await hand(testCase.hand, give);
    if (testCase.sparse) {
      const end = await memory();
      t.diagnostic(`2 GiB sparse file listed in ${ms} ms; page JS heap ${end.page} bytes ` +
                   `(${end.page - start.page} more), largest worker JS heap ${end.workers} ` +
                   `bytes (${end.workers - start.workers} more), renderers resident ` +
                   `${end.renderers - start.renderers} bytes more`);
      assert.ok(end.page - start.page < 4 * MiB, 'page heap growth');
      assert.ok(end.workers - start.workers < 4 * MiB, 'worker heap growth');
      assert.ok(end.renderers - start.renderers < 32 * MiB, 'renderers\' memory growth');
    }
    await openAll();
    for (const toggles of TOGGLES) {
      await setToggles({...toggles, text: true});
      const run = testCase.terminal ? cliOnTerminal : cli;
      const onPage = await pageImages();
      assert.deepEqual(onPage.map((image) => image.path).sort(),
                       shown.map((image) => shownName(image.path)).sort(), 'paths');
      // The tables under no toggle and under both: the rows' order and
      // their sizes are all that the toggles change.
      const tables = toggles.sort === toggles.bytes;
      await setToggles(toggles);
      if (tables) await showAllRows();
      const rows = tables && await pageImages();
      for (const want of shown) {
        const got = onPage.find((image) => image.path === shownName(want.path));
        const gotRows = rows && rows.find((image) => image.path === got.path).rows;
        if (!want.file) {
          if (want.status instanceof RegExp) {
            assert.match(got.status, want.status, want.path);
          } else {
            assert.equal(got.status, want.status, want.path);
          }
          // A damaged archive has no listing of its own.
          assert.equal(got.text, want.status instanceof RegExp ? null :
              `Content of ${path.basename(want.path)}\n\n`, want.path);
          continue;
        }
        const text = expectedText(toggles.flags, want.file, path.basename(want.path), run);
        assert.equal(got.text, text, `${want.path} ${toggles.flags}`);
        assert.equal(got.status, want.status ?? expectedStatus(want.file), want.path);
        const {summary, rows: wantRows} = expectedFields(text);
        assert.deepEqual(got.summary, summary ?? ['', '', '', ''], want.path);
        if (rows) assert.deepEqual(gotRows, wantRows, `${want.path} ${toggles.flags} as a table`);
      }
    }
    assert.equal(await page.$$eval('img, b, br', (found) => found.length), 0, 'markup from a file');
    await setToggles(TOGGLES[0]);
  });
}

test('a worker whose memory grows while it takes a name lists that image and the next',
     async () => {
  // A fresh page, whose workers have their first, small memory.
  await openPage();
  const bytes = [...fs.readFileSync(sample)];
  await listed(() => dropMade([{name: 'x', repeat: 6 * MiB, bytes}, {name: 'sample.lif', bytes}]));
  assert.equal(await page.$eval('#status', (status) => status.textContent), '2 listed.');
});

test('a zip member that unpacks to more than it claims stops there', async () => {
  const bomb = writeZip('bomb.zip', [{name: 'bomb.lif', method: 8, size: 1000,
                                      data: Buffer.alloc(65 * 2 ** 20)}]);
  await hand('choose', [bomb]);
  const [image] = await pageImages();
  assert.equal(image.status, 'damaged in the zip: it unpacks to more than the archive says');
});

// Files changed after they were listed: toggles, sorting and Find show what
// was read; Read again then finds each change.
const GONE = 'it was moved or deleted after it was chosen, or it is a folder';
const CHANGES = [
  {name: 'deleted.lif', change: (file) => fs.rmSync(file), reason: GONE},
  // The command line prints only the heading for a folder.
  {name: 'folder.lif', change: (file) => { fs.rmSync(file); fs.mkdirSync(file); }, reason: GONE},
  {name: 'changed.lif', change: (file) => {
    fs.copyFileSync(trek, file);
    fs.utimesSync(file, new Date(), new Date(Date.now() + 60000));
  }, reason: 'the browser may not read it, or it changed after it was chosen'},
];

test('files changed after listing keep what was read until Read again', async () => {
  // Beside each, a copy that stays as it was, whose listing the page must
  // keep showing.
  const dir = fs.mkdtempSync(path.join(scratch, 'changed-'));
  fs.mkdirSync(path.join(dir, 'as-read'));
  const files = CHANGES.map(({name}) => path.join(dir, name));
  const asRead = (name) => path.join(dir, 'as-read', name);
  files.forEach((file) => fs.copyFileSync(sample, file));
  files.forEach((file) => fs.copyFileSync(sample, asRead(path.basename(file))));
  await hand('choose', files);
  await openAll();
  CHANGES.forEach(({change}, i) => change(files[i]));
  for (const toggles of TOGGLES) {
    await setToggles({...toggles, text: true});
    for (const image of await pageImages()) {
      assert.equal(image.status, 'listed', image.path);
      assert.equal(image.text, expectedText(toggles.flags, asRead(image.path)), image.path);
    }
  }
  await page.click('#overview th[data-key=status] button');
  await settled();
  assert.equal(await findText('folder'), '1 image matches by path or label.');
  const [found] = (await pageImages()).filter((image) => !image.hidden);
  assert.equal(found.text, expectedText(TOGGLES.at(-1).flags, asRead('folder.lif')));
  await findText('');

  await listed(() => page.click('aria/Read again'));
  await settled();
  for (const image of await pageImages()) {
    const {reason} = CHANGES.find(({name}) => name === image.path);
    assert.equal(image.status, `could not be read: ${reason}`, image.path);
    assert.equal(image.text, `Content of ${image.path}\n\n`, image.path);
  }
  await page.click('#overview th[data-key=path] button');
  await setToggles(TOGGLES[0]);
});

// The page's last download.
async function download(name, click) {
  const downloads = fs.mkdtempSync(path.join(scratch, 'downloads-'));
  const client = await browser.target().createCDPSession();
  await client.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: downloads});
  await page.click(click);
  const saved = path.join(downloads, name);
  for (let waited = 0; !fs.existsSync(saved) && waited < 10000; waited += 50) {
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  await client.detach();
  return fs.readFileSync(saved);
}

// What Save all listings must hold: the listings in the overview's order.
async function cliInPageOrder(flags, images) {
  const byPath = new Map(images.map(({path: at, file}) => [at, file]));
  const order = (await pageImages()).map((image) => byPath.get(image.path));
  return Buffer.concat(order.flatMap((file, i) => [...(i ? [Buffer.from('\n')] : []),
                                                   cli(flags, file)]));
}

test('saving gives the listings as the command line prints them one after another', async () => {
  const {give, images} = given([sample, notLif, ...real.slice(0, 3)]);
  await setToggles(TOGGLES[3]);
  await hand('choose', give);
  assert.deepEqual(await download('listings.txt', 'aria/Save all listings'),
                   await cliInPageOrder('-nsb', images));
  await setToggles(TOGGLES[0]);
});

// RFC 4180 fields, quoted or not, lines ended by CR LF.
function parseCsv(text) {
  const rows = [];
  const field = /("(?:[^"]|"")*"|[^,\r\n]*)(,|\r\n)/gy;
  let row = [];
  for (let match; (match = field.exec(text));) {
    const value = match[1];
    row.push(value.startsWith('"') ? value.slice(1, -1).replace(/""/g, '"') : value);
    if (match[2] === '\r\n') {
      rows.push(row);
      row = [];
    }
  }
  assert.equal(field.lastIndex === 0 ? text.length : field.lastIndex, text.length, 'CSV parsed');
  return rows;
}

test('the CSV holds every listed entry as the listings show it', async () => {
  const quoted = writeImage('quotes, commas.lif', 'Q"U,O ', ['A,"B"     ', 'NEW\nLINE  ']);
  const chosen = [sample, notLif, quoted, writeHostile(), ...real.slice(0, 4)];
  await setToggles(TOGGLES[2]);
  await hand('choose', chosen);
  await openAll();
  const [header, ...rows] = parseCsv((await download('listings.csv', 'aria/Export CSV'))
                                         .toString('utf8'));
  assert.deepEqual(header, ['path', 'label', 'name', 'type', 'machine', 'flags', 'size', 'unit',
                            'start', 'sectors', 'date', 'time']);
  const want = [];
  for (const image of await pageImages()) {
    const file = chosen.find((candidate) => shownName(path.basename(candidate)) === image.path);
    const text = expectedText('-nb', file, undefined, cliOnTerminal);
    const {rows: entries} = expectedFields(text);
    for (const [, name, type, machine, flags, size, start, sectors, stamp] of entries ?? []) {
      want.push([shownName(image.path), text.split('\n')[2].slice(14), name, type, machine, flags,
                 ...size.split(' '), start, sectors, ...stamp.split(' ')]);
    }
  }
  assert.deepEqual(rows, want);

  // The overview: one row per image, in its order.
  const [overviewHeader, ...overview] = parseCsv(
      (await download('overview.csv', 'aria/Export the overview')).toString('utf8'));
  assert.deepEqual(overviewHeader, ['path', 'status', 'reason', 'label', 'initialised',
                                    'entries used', 'capacity', 'bytes free', 'note']);
  const wantOverview = [];
  for (const image of await pageImages()) {
    const file = chosen.find((candidate) => shownName(path.basename(candidate)) === image.path);
    const {summary} = expectedFields(expectedText('-nb', file, undefined, cliOnTerminal));
    const [label, init, entries, free] = summary ?? ['', '', ' of ', ''];
    // A listed image's faults are its note.
    const status = expectedStatus(file);
    const [word, note = ''] = status.startsWith('listed: ') ? ['listed', status.slice(8)] : [status];
    wantOverview.push([shownName(image.path), word, '', label, init, ...entries.split(' of '), free,
                       note]);
  }
  assert.deepEqual(overview, wantOverview);
  await setToggles(TOGGLES[0]);
});

async function findText(query) {
  await page.$eval('#find', (input) => {
    input.value = '';
    input.dispatchEvent(new Event('input'));
  });
  await page.waitForFunction(() => document.getElementById('found').textContent === '');
  if (!query) return '';
  await page.type('#find', query);
  await page.waitForFunction(() => document.getElementById('found').textContent !== '');
  await settled();
  return page.$eval('#found', (status) => status.textContent);
}

test('find a disk by path or label, and a file across all images', async () => {
  const {give, images} = realFolders();
  await hand('dropPaths', give);
  // Added to what is there.
  const disks = ['disk001.lif', 'disk002.lif', 'disk010.lif'].map((name) => {
    fs.copyFileSync(sample, path.join(scratch, name));
    return path.join(scratch, name);
  });
  await listed(() => HANDS.choose([sample, trek, notLif, ...disks]));
  images.push(...given([sample, trek, notLif, ...disks]).images);
  const others = await page.$eval('#others', (button) => button.ariaExpanded === 'true');
  // By name inside, by path (disk00 finds two of the three), by label.
  for (const query of ['trek', 'E', 'no such name', 'disk00', 'TREKS']) {
    const found = await findText(query);
    const lower = query.toLowerCase();
    const want = new Map();
    let byImage = 0;
    let entries = 0;
    let holding = 0;
    for (const image of images) {
      if (!others && expectedStatus(image.file) === 'not a LIF image') continue;  // hidden
      const text = expectedText('-n', image.file, path.basename(image.path));
      const {rows} = expectedFields(text);
      const label = (expectedFields(text).summary?.[0] ?? '').toLowerCase();
      const hits = rows.filter((row) => row[1].toLowerCase().includes(lower));
      const itself = image.path.toLowerCase().includes(lower) || label.includes(lower);
      if (itself || hits.length) want.set(image.path, hits.map((row) => row[0]));
      byImage += itself ? 1 : 0;
      entries += hits.length;
      holding += hits.length ? 1 : 0;
    }
    const shown = (await pageImages()).filter((image) => !image.hidden);
    assert.deepEqual(shown.map((image) => image.path).sort(), [...want.keys()].sort(), query);
    if (byImage + entries === 0) {
      assert.match(found, /^No image path, volume label or file name holds/);
    }
    if (byImage > 0) assert.match(found, new RegExp(`^${byImage} images? match(es)? by path`));
    if (entries > 0) assert.match(found, new RegExp(`${entries} entr(y|ies) in ${holding} images? match`));
    // The marked rows of the open directories are the matching entries.
    await page.click('aria/Open all');
    await settled();
    const marked = await page.$$eval('#overview tr.image:not([hidden])', (rows) => rows.map(
        (row) => [row.querySelector('.toggle').textContent,
                  [...row.nextElementSibling.querySelectorAll('tr.match td:first-child')]
                      .map((cell) => cell.textContent)]));
    assert.deepEqual(new Map(marked), want, `${query}: marked entries`);
  }
  await findText('');
});

test('Cancel and quick toggles leave only the latest listings', async (t) => {
  // A file whose header claims a directory of 2^32 - 1 sectors keeps a
  // worker busy for long: Cancel must end it, and the next listing must not
  // wait for it.
  const endless = writeSparse('endless.lif', 4 * 2 ** 30, 0xffffffff);
  // Listed before it by the same worker.
  const first = path.join(scratch, 'a-first.lif');
  fs.copyFileSync(sample, first);
  await clear();
  await HANDS.choose([endless, first]);
  await page.waitForFunction(() => /Listed 1 of 2/.test(document.getElementById('listed')
                                                            .textContent));
  const ended = new Promise((resolve) => {
    page.once('workerdestroyed', () => resolve(true));
    setTimeout(() => resolve(false), 5000);
  });
  const workers = page.workers().length;
  const focused = () => page.evaluate(() => document.activeElement.textContent);
  await page.focus('aria/Cancel');
  await page.keyboard.press('Enter');
  await settled();
  assert.equal(await page.$eval('#status', (status) => status.textContent),
               '1 listed, 1 not listed (cancelled).');
  // The worker in that file was ended and another started in its place.
  assert.ok(await ended, 'the busy worker was ended');
  // From the keyboard: List the rest lists only what was cancelled, and
  // Cancel and List the rest hand the focus to each other.
  assert.equal(await focused(), 'List the rest');
  fs.rmSync(first);
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => /Listed 0 of 1/.test(document.getElementById('listed')
                                                            .textContent));
  assert.equal(await focused(), 'Cancel');
  await page.keyboard.press('Enter');
  await settled();
  assert.equal(await focused(), 'List the rest');
  const [listedFirst] = (await pageImages()).filter((image) => image.path === 'a-first.lif');
  assert.equal(listedFirst.status, 'listed', 'not read again');
  await clear();
  const after = await listed(() => page.click('aria/Try the sample'));
  t.diagnostic(`sample listed ${after} ms after Cancel`);
  // Each busy worker ended in its turn, and as many run as before.
  for (let waited = 0; page.workers().length !== workers && waited < 5000; waited += 50) {
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  assert.equal(page.workers().length, workers, 'as many workers as before');

  const {give, images} = realFolders();
  images.push(...given([sample, trek, notLif]).images);
  await hand('dropPaths', give);
  await listed(() => HANDS.choose([sample, trek, notLif]));
  // The last toggle leaves Sort by name on and Sizes in bytes off.
  await listed(async () => {
    for (let i = 0; i < 5; i++) await press(i % 2 ? '#bytes' : '#sort');
  });
  await settled();
  assert.deepEqual(await download('listings.txt', 'aria/Save all listings'),
                   await cliInPageOrder('-ns', images));
  await setToggles(TOGGLES[0]);
});

test('the overview and the directories sort by any column; images can be removed', async () => {
  await hand('choose', [sample, trek, notLif, ...real.slice(0, 4)]);
  const cells = (selector, index) => page.$$eval(selector, (rows, index) =>
    rows.map((row) => row.cells[index].textContent), index);
  const used = async () => (await cells('#overview > tbody > tr.image:not([hidden])', 3))
      .map((text) => Number(text.split(' of ')[0]));
  await page.click('#overview th[data-key=entries] button');
  await settled();
  const ascending = await used();
  assert.deepEqual(ascending, [...ascending].sort((a, b) => a - b), 'entries, ascending');
  await page.click('#overview th[data-key=entries] button');
  await settled();
  assert.deepEqual(await used(), [...ascending].reverse(), 'entries, descending');

  await page.click('aria/Open all');
  await settled();
  // The first press on a heading sorts ascending, the second descending;
  // the focus stays on the heading.
  for (const [column, index, clicks, order] of [['sectors', 7, 1, (a, b) => a - b],
                                               ['start', 6, 2, (a, b) => b - a]]) {
    await page.focus(`table.entries th.${column} button`);
    for (let click = 0; click < clicks; click++) {
      await page.keyboard.press('Enter');
      await settled();
      assert.equal(await page.evaluate(() => document.activeElement.dataset.key), column,
                   'the focus stays on the sort control');
    }
    for (const directory of await page.$$('table.entries')) {
      const values = (await directory.$$eval(':scope > tbody > tr', (rows, index) =>
        rows.map((row) => Number(row.cells[index].textContent)), index));
      assert.deepEqual(values, [...values].sort(order), column);
    }
  }

  const paths = async () => (await pageImages()).map((image) => image.path);
  const before = await paths();
  await page.focus(`aria/Remove ${before[0]}[role="button"]`);
  await page.keyboard.press('Enter');
  await settled();
  assert.deepEqual(await paths(), before.slice(1));
  assert.equal(await page.evaluate(() => document.activeElement.getAttribute('aria-label')),
               `Remove ${before[1]}`, 'the focus goes on to the next image');
  // Clear from the keyboard empties Find too, and leaves the focus on
  // Choose images.
  await page.type('#find', 'sample');
  await page.focus('aria/Clear');
  await page.keyboard.press('Enter');
  await settled();
  assert.deepEqual(await paths(), []);
  assert.equal(await page.$eval('#status', (status) => status.textContent), '');
  assert.equal(await page.$eval('#find', (input) => input.value), '');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'choose-files');
});

test('the same file chosen twice is listed once, and the status says so', async () => {
  await hand('choose', [sample, trek]);
  await listed(() => HANDS.choose([sample, trek, notLif]));
  await settled();
  assert.deepEqual((await pageImages()).map((image) => image.path).sort(),
                   ['notes.txt', 'sample.lif', 'trek.lif']);
  assert.equal(await page.$eval('#status', (status) => status.textContent),
               '2 listed, 1 not a LIF image, 2 files chosen again were there already.');
});

test('keyboard, 390 px wide, dark scheme and no accessibility violations', async () => {
  await hand('choose', [sample, trek, ...real.slice(0, 4)]);
  await page.click('aria/Open all');
  await settled();
  await page.evaluate(() => {
    document.addEventListener('focusin', (event) => { event.target.dataset.reached = ''; });
  });
  // Tabbing starts where the pointer last was: at the top.
  await page.click('h1');
  for (let i = 0; i < 30; i++) await page.keyboard.press('Tab');
  for (const name of ['Choose images', 'Choose a folder', 'Try the sample', 'Sort by name',
                      'Sizes in bytes', 'Show as text', 'Find a disk or file', 'Export CSV',
                      'Export the overview', 'Save all listings', 'Copy all listings',
                      'Read again', 'Clear']) {
    const control = await page.$(`aria/${name}`);
    assert.ok(control, `a control named ${name}`);
    assert.ok(await control.evaluate((node) => 'reached' in node.dataset), `${name} reached by Tab`);
  }

  await page.evaluate(axeSource);
  for (const scheme of ['light', 'dark']) {
    await page.emulateMediaFeatures([{name: 'prefers-color-scheme', value: scheme}]);
    for (const text of [false, true]) {
      await setToggles({...TOGGLES[0], text});
      const violations = await page.evaluate(() => axe.run(document).then((results) =>
        results.violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(' ')}`)));
      assert.deepEqual(violations, [], `${scheme}, text ${text}`);
    }
  }

  await page.setViewport({width: 390, height: 800});
  await setToggles(TOGGLES[0]);
  const fit = await page.evaluate(() => {
    const scroller = document.querySelector('.scroller');
    scroller.scrollLeft = scroller.scrollWidth;
    const name = scroller.querySelector('tbody th').getBoundingClientRect();
    return {page: document.documentElement.scrollWidth, scrolled: scroller.scrollLeft > 0,
            name: [name.left, name.right]};
  });
  assert.ok(fit.page <= 390, `page ${fit.page} px wide at 390`);
  assert.ok(fit.scrolled, 'a directory scrolls sideways');
  assert.ok(fit.name[0] >= 0 && fit.name[1] <= 390, `the name stays in view: ${fit.name}`);
  await setToggles({...TOGGLES[0], text: true});
  await page.$eval('pre', (pre) => pre.scrollIntoView());
  await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() =>
    requestAnimationFrame(resolve))));
  assert.ok(await page.$eval('pre', (pre) => pre.scrollWidth > pre.clientWidth),
            'listings scroll sideways');
  const background = () => page.$eval('body', (body) => getComputedStyle(body).backgroundColor);
  await page.emulateMediaFeatures([{name: 'prefers-color-scheme', value: 'light'}]);
  const light = await background();
  await page.emulateMediaFeatures([{name: 'prefers-color-scheme', value: 'dark'}]);
  assert.notEqual(await background(), light);
  await page.emulateMediaFeatures([]);
  await page.setViewport({width: 800, height: 600});
  await setToggles(TOGGLES[0]);
});

// The main thread's tasks over 50 ms while the action runs, from the moment
// chosen files reach the page: Chromium itself takes one long task to hand
// over a thousand of them, before the page sees any.
async function longTasks(action) {
  await page.evaluate(() => {
    window.tamrikTest = {tasks: [], since: 0};
    document.addEventListener('change', () => { window.tamrikTest.since = performance.now(); },
                              {capture: true, once: true});
    window.tamrikObserver = new PerformanceObserver((list) => {
      for (const entry of list.getEntries()) window.tamrikTest.tasks.push(entry);
    });
    window.tamrikObserver.observe({type: 'longtask'});
  });
  const result = await action();
  await new Promise((resolve) => setTimeout(resolve, 100));
  const tasks = await page.evaluate(() => {
    window.tamrikObserver.disconnect();
    return window.tamrikTest.tasks.filter((task) => task.startTime >= window.tamrikTest.since)
        .map((task) => Math.round(task.duration));
  });
  return {result, longest: Math.max(0, ...tasks), total: tasks.reduce((a, b) => a + b, 0)};
}

// What the command line copies out of an image: `tamrik -x FLAGS -p`.
const cliCopy = (flags, file, name) => execFileSync(tamrik, ['-x', ...flags, '-p', file, name]);

// A text as the view shows it: LF or CR LF ends a line, every other byte
// shows as in a listing.
const textView = (bytes) => shownBytes(Buffer.from(bytes.toString('latin1')
    .replace(/\r\n/g, '\n'), 'latin1'));

// The first 64 KiB as a hex dump: offset, 16 bytes, their printable
// characters.
function hexView(bytes) {
  const lines = [];
  for (let at = 0; at < Math.min(bytes.length, 65536); at += 16) {
    const row = [...bytes.subarray(at, at + 16)];
    lines.push(`${at.toString(16).padStart(8, '0')}  ` +
               row.map((byte) => byte.toString(16).padStart(2, '0')).join(' ').padEnd(47) +
               `  ${row.map((byte) => (byte >= 0x20 && byte < 0x7f ? String.fromCharCode(byte) :
                                                                  '.')).join('')}`);
  }
  return lines.join('\n');
}

// A zip's members as Python's zipfile reads them, checked against their CRC.
function unzipped(file) {
  const script = 'import base64, json, sys, zipfile\n' +
      'z = zipfile.ZipFile(sys.argv[1])\n' +
      'assert z.testzip() is None\n' +
      'print(json.dumps({i.filename: [base64.b64encode(z.read(i)).decode(), i.date_time]\n' +
      '                  for i in z.infolist()}))';
  const members = JSON.parse(execFileSync('python3', ['-c', script, file]));
  return new Map(Object.entries(members).map(([name, [data, stamp]]) =>
    [name, {bytes: Buffer.from(data, 'base64'), stamp}]));
}

// The row's button that opens the named file.
const rowButton = (name) => page.evaluateHandle((name) => [...document.querySelectorAll(
    'table.entries button.open')].find((button) => button.textContent === name), name);

const TEXT_IMAGE = path.join(shared, 'images/mafleming__HP71MultiMod/sample.lif');
// Opened by mouse and by keyboard; in the listing's order and sorted by
// name, where the row's number is another.
const OPENED = [
  {name: 'MYWORDS', text: true, toggles: TOGGLES[0], open: (button) => button.click()},
  {name: 'SYS1', text: false, toggles: TOGGLES[1], open: async (button) => {
    await button.focus();
    await page.keyboard.press('Enter');
  }},
];

test('a row opens its file, whose view and saves are what the command line copies',
     {skip: !fs.existsSync(TEXT_IMAGE) && 'no real text file'}, async () => {
  await setToggles(TOGGLES[0]);
  await hand('choose', [TEXT_IMAGE]);
  await page.evaluate(axeSource);
  for (const {name, text, toggles, open} of OPENED) {
    await setToggles(toggles);
    await open(await rowButton(name));
    await page.waitForSelector('dialog.file-view pre.file-content');
    const stored = cliCopy([], TEXT_IMAGE, name);
    assert.equal(await page.$eval('dialog.file-view pre', (pre) => pre.textContent),
                 text ? textView(cliCopy(['-a'], TEXT_IMAGE, name)) : hexView(stored), name);
    const saves = [['Save', name, stored], ['Save with its entry', name,
                                            cliCopy(['-e'], TEXT_IMAGE, name)]];
    if (text) saves.push(['Save as text', `${name}.txt`, cliCopy(['-a'], TEXT_IMAGE, name)]);
    for (const [label, saved, want] of saves) {
      assert.deepEqual(await download(saved, `aria/${label}[role="button"]`), want, `${name}: ${label}`);
    }
    assert.equal(await page.$('aria/Save as text[role="button"]') !== null, text, 'Save as text');
    for (const scheme of ['light', 'dark']) {
      await page.emulateMediaFeatures([{name: 'prefers-color-scheme', value: scheme}]);
      for (const width of [800, 390]) {
        await page.setViewport({width, height: 700});
        const violations = await page.evaluate(() => axe.run(document).then((results) =>
          results.violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(' ')}`)));
        assert.deepEqual(violations, [], `${name}, ${scheme}, ${width} px`);
        const fit = await page.$eval('dialog.file-view', (dialog) => {
          const {left, right} = dialog.getBoundingClientRect();
          return {left, right, page: document.documentElement.scrollWidth};
        });
        assert.ok(fit.left >= 0 && fit.right <= width && fit.page <= width,
                  `${name}: the view fits ${width} px: ${JSON.stringify(fit)}`);
      }
    }
    await page.emulateMediaFeatures([]);
    await page.setViewport({width: 800, height: 600});
    // Closed from the keyboard, the focus is back on the row.
    await page.keyboard.press('Escape');
    await page.waitForFunction(() => !document.querySelector('dialog'));
    assert.equal(await page.evaluate(() => document.activeElement.textContent), name);
  }

  // All files: one zip named after the image, of the files the command line
  // writes, under its names.
  const copies = fs.mkdtempSync(path.join(scratch, 'copies-'));
  execFileSync(tamrik, ['-x', TEXT_IMAGE], {cwd: copies});
  for (const toggles of [TOGGLES[0], TOGGLES[1]]) {
    await setToggles(toggles);
    const zip = path.join(copies, '..', `${path.basename(copies)}${toggles.flags}.zip`);
    fs.writeFileSync(zip, await download('sample.zip', 'aria/Save all files of sample.lif'));
    const members = unzipped(zip);
    assert.deepEqual([...members.keys()].sort(), fs.readdirSync(copies).sort(), 'names');
    // Each dated as the command line dates its copy, to the even second.
    for (const [member, {bytes, stamp}] of members) {
      const copy = path.join(copies, member);
      assert.deepEqual(bytes, fs.readFileSync(copy), `${member} ${toggles.flags}`);
      const time = fs.statSync(copy).mtime;
      assert.deepEqual(stamp, [time.getFullYear(), time.getMonth() + 1, time.getDate(),
                               time.getHours(), time.getMinutes(), time.getSeconds() & ~1],
                       member);
    }
    assert.match(await page.$eval('#status', (status) => status.textContent),
                 new RegExp(`^Saved sample.zip: ${members.size} files.$`));
  }
  await setToggles(TOGGLES[0]);

  // A deflated zip member is unpacked again for its file.
  await hand('choose', [writeZip('texts.zip', [{name: 'in/sample.lif', method: 8,
                                                 data: fs.readFileSync(TEXT_IMAGE)}])]);
  await (await rowButton('MYWORDS')).click();
  await page.waitForSelector('dialog.file-view pre');
  assert.equal(await page.$eval('dialog.file-view pre', (pre) => pre.textContent),
               textView(cliCopy(['-a'], TEXT_IMAGE, 'MYWORDS')), 'a zip member');
  await page.keyboard.press('Escape');

  // Changed since it was listed: the view says so, and offers no copy.
  const changed = path.join(scratch, 'changed-since.lif');
  fs.copyFileSync(TEXT_IMAGE, changed);
  await hand('choose', [changed]);
  fs.copyFileSync(trek, changed);
  fs.utimesSync(changed, new Date(), new Date(Date.now() + 60000));
  await (await rowButton('MYWORDS')).click();
  await page.waitForSelector('dialog.file-view p.error');
  assert.match(await page.$eval('dialog.file-view p.error', (p) => p.textContent), /changed/);
  assert.equal(await page.$('dialog.file-view pre'), null);
  await page.keyboard.press('Escape');
  await clear();
});

test('budgets: site size, memory, 1,000 images, quick toggles, 200,000 entries', async (t) => {
  const size = fs.readdirSync(siteDir).reduce((sum, file) =>
    sum + fs.statSync(path.join(siteDir, file)).size, 0);
  t.diagnostic(`site folder: ${size} bytes`);
  assert.ok(size <= 400 * 1000, 'site at most 400 KB');

  if (real.length > 0) {
    // Each a path of its own: the same file chosen twice is listed once.
    const thousand = path.join(scratch, 'thousand');
    fs.mkdirSync(thousand, {recursive: true});
    for (let i = 0; i < 1000; i++) {
      const from = real[i % real.length];
      const to = path.join(thousand, `${i}-${path.basename(from)}`);
      if (!fs.existsSync(to)) fs.linkSync(from, to);
    }
    await clear();
    const before = await memory();
    const chosen = await longTasks(() => listed(() => HANDS.folder([thousand])));
    const first = await page.evaluate(() => window.tamrikListed.firstMs?.toFixed(1));
    const after = await memory();
    t.diagnostic(`1,000 real images listed in ${chosen.result} ms, the first painted after ` +
                 `${first} ms; main-thread tasks over 50 ms: longest ${chosen.longest} ms, ` +
                 `${chosen.total} ms in all; page JS heap ${after.page - before.page} bytes more`);
    assert.ok(after.page - before.page < 64 * MiB, 'page heap for 1,000 images');
    await settled();
    const toggles = await longTasks(() => listed(async () => {
      for (let i = 0; i < 5; i++) await press(i % 2 ? '#bytes' : '#sort');
    }));
    t.diagnostic(`five quick toggles settled ${toggles.result} ms after the last; ` +
                 `longest main-thread task ${toggles.longest} ms`);
    await clear();
    await setToggles(TOGGLES[0]);
  }

  const names = Array.from({length: 200000}, (_, i) => `F${String(i).padStart(9, '0')}`);
  const big = writeImage('200000-entries.lif', 'LARGE ', names);
  await clear();
  const large = await longTasks(() => listed(() => HANDS.choose([big])));
  await settled();
  const text = await longTasks(async () => {
    await press('#text');
    await settled();
  });
  t.diagnostic(`200,000 entries listed in ${large.result} ms, longest main-thread task ` +
               `${large.longest} ms; shown as text with the longest task ${text.longest} ms`);
  // Compared by digest: the listing is 16 MB.
  const digest = await page.$eval('pre', async (pre) => [...new Uint8Array(
      await crypto.subtle.digest('SHA-256', new TextEncoder().encode(pre.textContent)))]
      .map((byte) => byte.toString(16).padStart(2, '0')).join(''));
  assert.equal(digest, createHash('sha256').update(expectedText('-n', big)).digest('hex'));
  await setToggles(TOGGLES[0]);
  await clear();
});

// The page's bound on what zips inside may unpack: the zips past it have it
// as their reason, and the rest of the archive lists.
test('zips at the bounds: eight zips of 63 MiB inside', {timeout: 600000}, async (t) => {
  const status = () => page.$eval('#status', (node) => node.textContent);
  const image = fs.readFileSync(sample);
  const filler = Buffer.alloc(63 * MiB);
  const inner = fs.readFileSync(writeZip('inner.zip', [{name: 'sample.lif', data: image},
                                                       {name: 'filler.bin', data: filler}]));
  const packed = zlib.deflateRawSync(inner);
  const crc = zlib.crc32(inner);
  const nested = writeZip('nested.zip', [
    ...Array.from({length: 8}, (_, i) => ({name: `${i}.zip`, data: inner, method: 8, packed, crc})),
    {name: 'last.lif', data: image}]);
  const ms = await hand('choose', [nested], 300000);
  t.diagnostic(`8 x 63 MiB nested: ${await status()} ${ms} ms`);
  assert.equal(await status(), '7 listed, 2 could not be read, 6 not LIF images.');
  const past = (await pageImages()).filter((shown) => /^could not be read/.test(shown.status));
  assert.deepEqual(past.map((shown) => [shown.path, shown.status]).sort(), ['6', '7'].map((i) => [
    `nested.zip/${i}.zip`,
    'could not be read: the archives chosen with it unpack to more than 384 MiB together']));
  await clear();
});

test('no request left the page, none may, each file came once, and no dialog opened', async () => {
  const site = pathToFileURL(siteDir).href + '/';
  const outside = requests.filter((url) => !url.startsWith(site) && !url.startsWith('blob:') &&
                                           !url.startsWith('data:'));
  assert.deepEqual(outside, []);
  // Opening the page asks for each of its files once, and for nothing else
  // but the worker made from one of them.
  assert.deepEqual(firstLoad.filter((url) => !url.startsWith('blob:')).sort(),
                   fs.readdirSync(siteDir).map((file) => site + file).sort());
  assert.ok(firstLoad.filter((url) => url.startsWith('blob:')).length <= 4, 'workers');
  assert.deepEqual(dialogs, []);
  assert.deepEqual(pageErrors, [], 'faults of the page');
  const refused = await page.evaluate(() => new Promise((resolve) => {
    document.addEventListener('securitypolicyviolation', (event) => resolve(event.effectiveDirective),
                              {once: true});
    fetch('http://127.0.0.1:9/').catch(() => {});
    setTimeout(() => resolve('no violation'), 2000);
  }));
  assert.equal(refused, 'connect-src');
});
