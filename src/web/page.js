// SPDX-License-Identifier: MIT
// The page: hands each chosen file to the listing worker and shows what it
// returns. Listings arrive as bytes; names and labels come from untrusted
// files, so they are only ever set as text.
'use strict';

// One character per byte, as a terminal shows the command line's output:
// control bytes as "?", the rest as ASCII or Latin-1, so columns stay put.
const CHARS = Array.from({length: 256}, (_, byte) =>
  byte < 0x20 || byte === 0x7f ? '?' : String.fromCharCode(byte));

// A listing line by line, from where each line ends: only those ends break
// lines, and a newline byte inside a name or label is a "?" like the others.
function decode({bytes, ends}) {
  let text = '';
  let start = 0;
  for (const end of ends) {
    for (let i = start; i < end - 1; i++) text += CHARS[bytes[i]];
    text += '\n';
    start = end;
  }
  return text;
}

const worker = new Worker(URL.createObjectURL(
    new Blob(['(' + tamrikWorker.toString() + ')()'], {type: 'text/javascript'})));

const chooser = document.getElementById('files');
const sortBox = document.getElementById('sort');
const bytesBox = document.getElementById('bytes');
const copyButton = document.getElementById('copy');
const saveButton = document.getElementById('save');
const statusLine = document.getElementById('status');
const listings = document.getElementById('listings');

let shown = [];     // per file: its File, its elements and its last listing
let round = 0;      // replies of an earlier round are dropped
let pending = 0;
let startedAt = 0;

function show(files) {
  startedAt = performance.now();
  listings.replaceChildren();
  shown = Array.from(files, (file) => {
    const section = document.createElement('section');
    const heading = document.createElement('h2');
    // The name as chosen; control characters would vanish, so mark them.
    heading.textContent = file.name.replace(/[\u0000-\u001f\u007f]/g, '?');
    const pre = document.createElement('pre');
    pre.tabIndex = 0;  // so that a wide listing can be scrolled from the keyboard
    const message = document.createElement('p');
    message.className = 'error';
    message.hidden = true;
    section.append(heading, message, pre);
    listings.append(section);
    return {file, pre, message, listing: null};
  });
  listAll();
}

function listAll() {
  round += 1;
  pending = shown.length;
  copyButton.disabled = saveButton.disabled = true;
  statusLine.textContent = pending ? 'Listing…' : '';
  delete statusLine.dataset.ms;
  shown.forEach((entry, index) => {
    worker.postMessage({id: [round, index], file: entry.file, sortByName: sortBox.checked,
                        alwaysBytes: bytesBox.checked});
  });
}

worker.onmessage = ({data}) => {
  if (data.ready) {
    statusLine.dataset.ready = '';
    return;
  }
  const [replyRound, index] = data.id;
  if (replyRound !== round) return;
  const entry = shown[index];
  entry.listing = {bytes: data.bytes, ends: data.ends};
  entry.pre.textContent = decode(entry.listing);
  entry.message.hidden = !data.error;
  entry.message.textContent = data.error ?
      `This file could not be read (${data.error}). It may have been moved or changed since ` +
      'it was chosen, or it is a folder.' : '';
  statusLine.dataset.memory = data.memory;
  pending -= 1;
  if (pending === 0) {
    const ms = performance.now() - startedAt;
    statusLine.dataset.ms = ms.toFixed(1);
    statusLine.textContent = `${shown.length} ${shown.length === 1 ? 'file' : 'files'} listed ` +
        `in ${Math.round(ms)} ms.`;
    copyButton.disabled = saveButton.disabled = false;
  }
};

worker.onerror = () => {
  statusLine.textContent = 'The lister could not start in this browser.';
  statusLine.className = 'error';
};

// All listings one after another, as the command line prints them for
// several files: one empty line between two.
function allBytes() {
  const parts = [];
  shown.forEach((entry, index) => {
    if (index > 0) parts.push(new Uint8Array([0x0a]));
    parts.push(entry.listing.bytes);
  });
  return parts;
}

copyButton.addEventListener('click', async () => {
  const text = shown.map((entry) => decode(entry.listing)).join('\n');
  try {
    await navigator.clipboard.writeText(text);
    statusLine.textContent = 'All listings copied.';
  } catch {
    statusLine.textContent = 'This browser did not allow copying; use "Save all listings".';
  }
});

saveButton.addEventListener('click', () => {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob(allBytes(), {type: 'text/plain'}));
  link.download = 'listings.txt';
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 10000);
});

chooser.addEventListener('change', () => show(chooser.files));
sortBox.addEventListener('change', () => { startedAt = performance.now(); listAll(); });
bytesBox.addEventListener('change', () => { startedAt = performance.now(); listAll(); });

// Files dropped anywhere; without this the browser would open the file.
document.addEventListener('dragover', (event) => {
  event.preventDefault();
  document.body.classList.add('dropping');
});
document.addEventListener('dragleave', (event) => {
  if (event.relatedTarget === null) document.body.classList.remove('dropping');
});
document.addEventListener('drop', (event) => {
  event.preventDefault();
  document.body.classList.remove('dropping');
  if (event.dataTransfer.files.length > 0) show(event.dataTransfer.files);
});
