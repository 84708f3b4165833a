// SPDX-License-Identifier: MIT
// The page's speed in headless Chromium, side by side in one run:
//  1. a folder of 1,000 real images listed, against a bare page that only
//     reads the first 8 KiB of each file of the same folder, both timed from
//     the file chooser's change event (median of paired runs);
//  2. five quick toggles over 5,000 images, until all is listed again;
//  3. the longest main-thread task of the page's own over both, and apart
//     from it the task in which Chromium hands the chosen files over.
// Run after .ci/web.sh has built the site and installed tests/web:
//   node bench/page_bench.mjs [real images folder] [pairs]
// With `profile` as the pairs, it lists the 1,000 once under Chromium's
// profiler instead, and prints the functions that took the most time of
// the page's own thread and of its workers.
// The folders are hard links to the real images, so each image has a path
// of its own and the disk holds them once.
import fs from 'node:fs';
import {createRequire} from 'node:module';
import os from 'node:os';
import path from 'node:path';
import {fileURLToPath, pathToFileURL} from 'node:url';

const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
const require = createRequire(path.join(repo, 'tests/web/package.json'));
const puppeteer = require('puppeteer-core');

const realDir = path.resolve(process.argv[2] ?? path.join(repo, '../shared/images'));
const pairs = Number(process.argv[3] ?? 5);
const site = pathToFileURL(path.join(repo, 'build-web/site/index.html')).href;
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'tamrik-page-bench-'));

// The real images that the command line lists: hard links under numbered
// names, as many as asked.
function folder(name, count) {
  const real = fs.readdirSync(realDir, {recursive: true, withFileTypes: true})
      .filter((entry) => entry.isFile() && !/\.(md|tsv)$/.test(entry.name))
      .map((entry) => path.join(entry.parentPath, entry.name)).sort();
  const dir = path.join(scratch, name);
  fs.mkdirSync(dir);
  for (let i = 0; i < count; i++) {
    const from = real[i % real.length];
    fs.linkSync(from, path.join(dir, `${String(i).padStart(5, '0')}-${path.basename(from)}`));
  }
  return dir;
}

// The bare page: reads the first 8 KiB of every chosen file, all at once.
const barePage = path.join(scratch, 'bare.html');
fs.writeFileSync(barePage, `<!DOCTYPE html><meta charset="utf-8"><title>bare</title>
<input type="file" id="files" webkitdirectory>
<script>
document.getElementById('files').addEventListener('change', async (event) => {
  const files = Array.from(event.target.files);
  await Promise.all(files.map((file) => file.slice(0, 8192).arrayBuffer()));
  window.benchEnd = performance.now();
});
</script>`);

const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  userDataDir: fs.mkdtempSync(path.join(scratch, 'profile-')),
  args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
         '--disable-component-update', '--disable-sync'],
});
const page = await browser.newPage();

// Records the change event's time and every long task from then on, and
// the page's end: the bare page's own mark, or the page's catalogue no
// longer busy once it was.
async function watch() {
  await page.evaluate(() => {
    window.bench = {change: 0, tasks: []};
    document.addEventListener('change', () => { window.bench.change = performance.now(); },
                              {capture: true, once: true});
    new PerformanceObserver((list) => window.bench.tasks.push(
        ...list.getEntries().map((task) => ({start: task.startTime, duration: task.duration}))))
        .observe({type: 'longtask'});
    const catalogue = document.getElementById('catalogue');
    if (catalogue) {
      let busy = false;
      new MutationObserver(() => {
        busy ||= catalogue.getAttribute('aria-busy') === 'true';
        if (busy && !catalogue.hasAttribute('aria-busy')) window.benchEnd ??= performance.now();
      }).observe(catalogue, {attributes: true, attributeFilter: ['aria-busy']});
    }
  });
}

// Long tasks: those of the page's own (from the change event on), and the
// longest of those that began before it (the chooser's hand-over).
async function tasks() {
  return page.evaluate(() => {
    const {change, tasks} = window.bench;
    const longest = (list) => Math.round(Math.max(0, ...list.map((task) => task.duration)));
    return {own: longest(tasks.filter((task) => task.start >= change)),
            chooser: longest(tasks.filter((task) => task.start < change))};
  });
}

async function choose(selector, dir) {
  const [chooser] = await Promise.all([page.waitForFileChooser(), page.click(selector)]);
  await chooser.accept([dir]);
}

async function runPage(dir) {
  await page.goto(site);
  await watch();
  await choose('#choose-folder', dir);
  await page.waitForFunction(() => window.benchEnd !== undefined, {timeout: 300000});
  const ms = await page.evaluate(() => window.benchEnd - window.bench.change);
  return {ms, ...await tasks()};
}

async function runBare(dir) {
  await page.goto(pathToFileURL(barePage).href);
  await watch();
  await choose('#files', dir);
  await page.waitForFunction(() => window.benchEnd !== undefined, {timeout: 300000});
  return {ms: await page.evaluate(() => window.benchEnd - window.bench.change), ...await tasks()};
}

const median = (values) => values.slice().sort((a, b) => a - b)[Math.floor(values.length / 2)];
const fixed = (value) => value.toFixed(0);

const thousand = folder('thousand', 1000);
if (process.argv[3] === 'profile') {
  await page.goto(site);
  await new Promise((resolve) => setTimeout(resolve, 1000));
  const threads = [['page', await page.createCDPSession()],
                   ...page.workers().map((worker) => ['workers', worker.client])];
  for (const [, client] of threads) {
    await client.send('Profiler.enable');
    await client.send('Profiler.start');
  }
  await watch();
  await choose('#choose-folder', thousand);
  await page.waitForFunction(() => window.benchEnd !== undefined, {timeout: 300000});
  const self = {page: new Map(), workers: new Map()};
  for (const [thread, client] of threads) {
    const {profile} = await client.send('Profiler.stop');
    const frames = new Map(profile.nodes.map((node) => [node.id, node.callFrame]));
    profile.samples.forEach((id, i) => {
      const {functionName, url, lineNumber} = frames.get(id);
      const key = `${functionName || '(anonymous)'} ${url.split('/').pop()}:${lineNumber + 1}`;
      self[thread].set(key, (self[thread].get(key) ?? 0) + profile.timeDeltas[i] / 1000);
    });
  }
  for (const [thread, times] of Object.entries(self)) {
    console.log(`${thread}, the most time by itself:`);
    for (const [key, ms] of [...times].sort((a, b) => b[1] - a[1]).slice(0, 12)) {
      console.log(`${fixed(ms).padStart(8)} ms  ${key}`);
    }
  }
  await browser.close();
  fs.rmSync(scratch, {recursive: true, force: true});
  process.exit(0);
}
const ratios = [];
const pageMs = [];
const bareMs = [];
let own = 0;
let chooser = 0;
await runPage(thousand);  // a first run warms the disk cache and the browser
for (let i = 0; i < pairs; i++) {
  const bare = await runBare(thousand);
  const listed = await runPage(thousand);
  bareMs.push(bare.ms);
  pageMs.push(listed.ms);
  ratios.push(listed.ms / bare.ms);
  own = Math.max(own, listed.own);
  chooser = Math.max(chooser, listed.chooser, bare.chooser);
}
console.log(`1,000 real images: page ${fixed(median(pageMs))} ms, bare page ` +
            `${fixed(median(bareMs))} ms (medians of ${pairs} paired runs); ratio median ` +
            `${median(ratios).toFixed(2)}, runs ${ratios.map((r) => r.toFixed(2)).join(' ')}; ` +
            'target 1.15 at most');

console.log(`longest main-thread task of the page's own while listing 1,000: ${own} ms`);
const fiveThousand = folder('five-thousand', 5000);
const listed = await runPage(fiveThousand);
console.log(`longest main-thread task of the page's own while listing 5,000: ${listed.own} ms`);
own = Math.max(own, listed.own);
chooser = Math.max(chooser, listed.chooser);
const client = await page.createCDPSession();
await client.send('HeapProfiler.collectGarbage');
const {JSHeapUsedSize} = await page.metrics();
const kept = await page.evaluate(() => catalogue.state.images.reduce((sum, image) => sum +
    (image.kept ? image.kept.head.byteLength + image.kept.pieces.reduce(
        (bytes, [, piece]) => bytes + piece.byteLength, 0) : 0), 0));
console.log(`5,000 real images listed in ${fixed(listed.ms)} ms; page JS heap ` +
            `${(JSHeapUsedSize / 2 ** 20).toFixed(1)} MiB, of which kept reads ` +
            `${(kept / 2 ** 20).toFixed(1)} MiB (${fixed(kept / 5000)} bytes an image)`);

await watch();
await page.evaluate(() => {
  window.benchEnd = undefined;
  window.bench.change = performance.now();
});
const started = await page.evaluate(() => performance.now());
for (let i = 0; i < 5; i++) {
  await page.focus(i % 2 ? '#bytes' : '#sort');
  await page.keyboard.press('Space');
}
const lastPress = await page.evaluate(() => performance.now());
await page.waitForFunction(() => window.benchEnd !== undefined, {timeout: 300000});
const ended = await page.evaluate(() => window.benchEnd);
const toggled = await tasks();
console.log(`longest main-thread task of the page's own in the toggles: ${toggled.own} ms`);
own = Math.max(own, toggled.own);
console.log(`five quick toggles over 5,000 images: all listed again ${fixed(ended - started)} ms ` +
            `after the first, ${fixed(ended - lastPress)} ms after the last; target 1,500 ms`);
console.log(`longest main-thread task of the page's own: ${own} ms (target 100 ms at most); ` +
            `the file chooser's hand-over of the files: ${chooser} ms`);

await browser.close();
fs.rmSync(scratch, {recursive: true, force: true});
