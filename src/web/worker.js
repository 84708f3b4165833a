// SPDX-License-Identifier: MIT
// Lists one image per message with the compiled reader, one after another,
// and hands the page the listing's bytes with the volume's fields from the
// same read; the page decides how to show them. The reader reads the File
// synchronously through FileReaderSync, which only a worker has, and only
// the slices it asks for. What it read is handed back too, and the page
// hands it in again for the next listing of the image, so that toggles and
// sorting never touch the file. Zip members are unpacked here, with the
// page's own unpack (Zip), checked against their CRC-32.
// The module is embedded and unpacked here; the worker needs no network.
var fetch = undefined;

var Module = {
  // The module's wasm comes deflated (tamrikWasm, in base64). A failure
  // here is the worker's error: it cannot start.
  instantiateWasm(imports, receive) {
    // A plain loop: Uint8Array.from with a function takes 40 times as long.
    const text = atob(tamrikWasm);
    const packed = new Uint8Array(text.length);
    for (let i = 0; i < text.length; i++) packed[i] = text.charCodeAt(i);
    new Response(new Blob([packed]).stream().pipeThrough(new DecompressionStream('deflate-raw')))
        .arrayBuffer().then((wasm) => WebAssembly.instantiate(wasm, imports))
        .then(({instance, module}) => receive(instance, module))
        .catch((error) => setTimeout(() => { throw error; }));
    return {};
  },
  onRuntimeInitialized() {
    tamrikLayout = JSON.parse(tamrikText(Module._tamrikLayout()));
    Module.tamrikReady = true;
    tamrikPost('ready', {layout: tamrikLayout});
    tamrikNext();
  },
};

// Where each field of the lister's results lies, as the module tells it.
let tamrikLayout = null;
const tamrikEncoder = new TextEncoder();
const tamrikDecoder = new TextDecoder();
const tamrikQueue = [];
let tamrikRound = 0;  // the page's latest
let tamrikBusy = false;
const MiB = 1024 * 1024;
// What is kept of one image at most; a larger directory is read again.
const tamrikKeepBytes = MiB;

function tamrikPost(type, fields, transfer = []) {
  postMessage(Protocol.make(type, fields), transfer);
}

// A NUL-ended text of the module's memory.
function tamrikText(at) {
  return tamrikDecoder.decode(HEAPU8.subarray(at, HEAPU8.indexOf(0, at)));
}

// The first bytes of an image, which hold the header and most directories:
// the page reads them of a file, and they are read ahead here of a zip's
// stored member while the image before is listed.
const tamrikHeadBytes = 8192;

function tamrikReadAhead(blob) {
  return blob.slice(0, tamrikHeadBytes).arrayBuffer().then((head) => ({head}),
                                                           (error) => ({error}));
}

// What the reader reads from: the size and a synchronous read.
const tamrikFileSource = (file, size = file.size) => ({
  size,
  read: (from, to) => new Uint8Array(new FileReaderSync().readAsArrayBuffer(file.slice(from, to))),
});

// A zip member's data: stored data too large to hold is read in place, the
// rest unpacked in memory, never past the size the archive gives (which the
// page has bounded). `damage` says when its check sum differs.
async function tamrikMember(member) {
  const {bytes, blob, damage} = await Zip.unpack(member.zip, member);
  if (blob) return {source: tamrikFileSource(blob), ...await tamrikReadAhead(blob), damage};
  return {source: {size: bytes.length, read: (from, to) => bytes.subarray(from, to)},
          head: bytes.slice(0, tamrikHeadBytes).buffer, damage};
}

// The file as the reader sees it (Module.tamrikFile): its size and its bytes
// from one offset to another, read at once. Read from the source, each piece
// is kept while the image's share lasts; read from what was kept, a piece
// that is not there is missed, and the
// image is read from its file instead.
function tamrikHanded(size, head, source, kept) {
  const handed = {size, head, pieces: [], keptBytes: head.byteLength, whole: true, missed: false};
  handed.read = (from, to) => {
    to = Math.min(to, size);
    if (source) {
      const bytes = source.read(from, to);
      if (handed.whole && handed.keptBytes + bytes.length <= tamrikKeepBytes) {
        handed.pieces.push([from, bytes.slice()]);
        handed.keptBytes += bytes.length;
      } else {
        handed.whole = false;
      }
      return bytes;
    }
    // Past the end there is nothing to keep: the size says so. A piece
    // was kept as far as the reader read, which is as far as it reads again.
    if (from >= size) return new Uint8Array(0);
    const piece = kept.pieces.find(([at, bytes]) => at <= from && from < at + bytes.length);
    if (!piece) {
      handed.missed = true;
      throw new Error('not kept');
    }
    return piece[1].subarray(from - piece[0], to - piece[0]);
  };
  return handed;
}

const tamrikReasons = {
  NotFoundError: 'it was moved or deleted after it was chosen, or it is a folder',
  NotReadableError: 'the browser may not read it, or it changed after it was chosen',
};

const tamrikBrowserReason = (name) =>
  tamrikReasons[name] || `the browser could not read it (${name})`;

// A text the module holds, `size` bytes at `at`; none where the module has
// no such export.
const tamrikNoteOf = (at, size) =>
  (at ? tamrikDecoder.decode(HEAPU8.subarray(at(), at() + size())) : '');

function tamrikList(job, handed, asked) {
  Module.tamrikFile = handed;
  Module.tamrikHead = handed.head;
  Module.tamrikHeadAsked = asked;
  const name = tamrikEncoder.encode(job.name);
  // The call may grow the memory, which replaces HEAPU8: take it after.
  const nameAt = Module._tamrikNameBuffer(name.length);
  HEAPU8.set(name, nameAt);
  const size = Module._tamrikList(job.sortByName ? 1 : 0, job.alwaysBytes ? 1 : 0);
  Module.tamrikFile = null;

  const outputAt = Module._tamrikOutput();
  const bytes = HEAPU8.slice(outputAt, outputAt + size);
  const endsAt = Module._tamrikLineEnds() / 4;
  const ends = HEAPU32.slice(endsAt, endsAt + Module._tamrikLineCount());
  const wordsAt = Module._tamrikWords() / 4;
  const words = HEAPU32.slice(wordsAt, wordsAt + Module._tamrikWordCount());
  const textsAt = Module._tamrikTexts();
  const texts = HEAPU8.slice(textsAt, textsAt + Module._tamrikTextSize());
  const state = tamrikLayout.states[words[tamrikLayout.summaryWords.state]];
  return {state, reason: state === 'unreadable' ? tamrikBrowserReason(Module.tamrikOpenError) : '',
          note: tamrikNoteOf(Module._tamrikNote, Module._tamrikNoteSize),
          faults: tamrikNoteOf(Module._tamrikFaults, Module._tamrikFaultsSize),
          bytes, ends, words, texts,
          toggles: {sortByName: Boolean(job.sortByName), alwaysBytes: Boolean(job.alwaysBytes)}};
}

// What the module's tamrikFile says of a copy.
const tamrikCopyStates = ['whole', 'noted', 'no-row', 'unreadable', 'out-of-memory'];

// One row of the handed image in one form, through the same code as
// `tamrik -x`; the image is opened again for it.
function tamrikCopyRow(handed, row, form, sortByName) {
  Module.tamrikFile = handed;
  Module.tamrikHead = null;
  const state = tamrikCopyStates[Module._tamrikFile(row, form, sortByName ? 1 : 0)];
  Module.tamrikFile = null;
  const bytesAt = Module._tamrikFileBytes();
  return {state, bytes: HEAPU8.slice(bytesAt, bytesAt + Module._tamrikFileSize()),
          name: tamrikNoteOf(Module._tamrikFileName, Module._tamrikFileNameSize),
          isText: Module._tamrikFileIsText() === 1,
          note: tamrikNoteOf(Module._tamrikFileNote, Module._tamrikFileNoteSize)};
}

// What one request copies at most, all files and forms together.
const tamrikCopyBytes = 1024 * MiB;

const tamrikSame = (a, b) => a.length === b.length && a.every((byte, i) => byte === b[i]);

// Copies rows out of an image read from its file only now. It is listed
// again first, as it was: another listing, or a row that is no longer
// there, means that the image changed since the page listed it.
async function tamrikCopy({image, rows, forms}) {
  const read = image.member ? await tamrikMember(image.member) :
      {source: tamrikFileSource(image.file), ...await tamrikReadAhead(image.file)};
  if (read.error) throw read.error;
  const handed = tamrikHanded(read.source.size, read.head, read.source, null);
  const now = tamrikList(image, handed, tamrikHeadBytes);
  if (now.state === 'unreadable') return {state: 'unreadable', reason: now.reason};
  if (!tamrikSame(now.bytes, image.listing)) return {state: 'changed'};
  Module._tamrikFileHold(1);
  try {
    return tamrikCopyRows(handed, image, rows, forms);
  } finally {
    Module._tamrikFileHold(0);
  }
}

function tamrikCopyRows(handed, image, rows, forms) {
  const files = [];
  let total = 0;
  for (const row of rows) {
    files.push(forms.map((form) => tamrikCopyRow(handed, row, form, image.sortByName)));
    const copies = files.at(-1);
    if (copies.some((file) => file.state === 'no-row' || file.state === 'unreadable')) {
      return {state: 'changed'};
    }
    // Files may share sectors: a hostile directory can name the whole image
    // many times over.
    total += copies.reduce((sum, file) => sum + file.bytes.length, 0);
    if (total > tamrikCopyBytes) {
      return {state: 'too-large', reason: `they come to more than ${tamrikCopyBytes / MiB} MiB`};
    }
  }
  return {state: 'copied', files};
}

// What the reader read of the image, no further than it read: the head,
// with the slices that follow on from it, and the slices past that. A
// window shorter than asked stood for the whole file, and is asked for as
// then.
function tamrikKept(handed) {
  const readTo = Module.tamrikReadTo;
  const pieces = handed.pieces.filter(([at]) => at < readTo)
      .map(([at, bytes]) => [at, bytes.subarray(0, readTo - at)]);
  const whole = handed.head.byteLength < tamrikHeadBytes && readTo <= handed.head.byteLength;
  let headBytes = Math.min(handed.head.byteLength, readTo);
  const joined = [new Uint8Array(handed.head, 0, headBytes)];
  while (pieces.length > 0 && pieces[0][0] <= headBytes) {
    const [at, bytes] = pieces.shift();
    const more = bytes.subarray(headBytes - at);
    joined.push(more);
    headBytes += more.length;
  }
  const head = new Uint8Array(headBytes);
  joined.reduce((at, bytes) => (head.set(bytes, at), at + bytes.length), 0);
  return {size: handed.size, head: head.buffer, asked: whole ? tamrikHeadBytes : headBytes,
          pieces: pieces.map(([at, bytes]) => [at, bytes.slice()])};
}

// Lists from what was kept of the image, else from its file, keeping what
// the reader reads there. Kept is {size, head, asked, pieces: [[offset,
// bytes]]}.
async function tamrikRead(job) {
  if (job.kept) {
    const handed = tamrikHanded(job.kept.size, job.kept.head, null, job.kept);
    const result = tamrikList(job, handed, job.kept.asked);
    result.damage = job.kept.damage;
    if (!handed.missed) return {result};
  }
  const read = job.member ? await tamrikMember(job.member) :
      {source: tamrikFileSource(job.file, job.size ?? undefined), head: job.head};
  if (job.headError) throw new DOMException('', job.headError);
  if (read.error) throw read.error;
  const handed = tamrikHanded(read.source.size, read.head, read.source, null);
  const result = tamrikList(job, handed, tamrikHeadBytes);
  // Kept only where a toggle changes the listing: a listed volume's. The
  // member's damage stays with it.
  const kept = result.state === 'listed' && handed.whole ? tamrikKept(handed) : null;
  if (kept && read.damage) kept.damage = read.damage;
  result.damage = read.damage ?? job.kept?.damage;
  return {result, kept};
}

// Lists one image; its result as the page takes it, with what to transfer.
async function tamrikRun(job) {
  let reply;
  let retire = false;
  try {
    reply = await tamrikRead(job);
  } catch (error) {
    // A trap of the reader itself, which leaves its memory in doubt; the
    // browser's own read errors; the archive's damage; else a fault here.
    retire = error instanceof WebAssembly.RuntimeError;
    const [state, reason] = retire ? ['unreadable', `the lister stopped on it (${error.message})`] :
        error instanceof DOMException ? ['unreadable', tamrikBrowserReason(error.name)] :
        error instanceof Zip.Damaged ? ['zip-damaged', error.message] :
        ['fault', `${error?.name}: ${error?.message}`];
    reply = {result: {state, reason}};
  }
  // No kept: the listing was made from what the page had kept.
  const {result, kept} = reply;
  const transfer = [result.bytes, result.ends, result.words, result.texts].filter(Boolean)
      .map((array) => array.buffer);
  return {said: {id: job.id, round: job.round, result, kept, retire}, transfer};
}

// The results go to the page a few at a time, each message costing the page
// a task: the first of a run at once, as the next job may take long; then
// when the jobs run out, when many are waiting or have waited long, and at
// once after a trap, after which this worker lists nothing more.
const tamrikResultsAtOnce = 32;
const tamrikResultsWait = 50;

async function tamrikNext() {
  if (tamrikBusy || !Module.tamrikReady) return;
  tamrikBusy = true;
  let results = [];
  let transfer = [];
  let since = 0;
  let posted = false;
  while (tamrikQueue.length > 0) {
    const done = await tamrikRun(tamrikQueue.shift());
    if (results.length === 0) since = performance.now();
    results.push(done.said);
    for (const buffer of done.transfer) transfer.push(buffer);
    if (done.said.retire) tamrikQueue.length = 0;
    if (!posted || tamrikQueue.length === 0 ||
        results.length >= tamrikResultsAtOnce || performance.now() - since > tamrikResultsWait) {
      tamrikPost('results', {results}, transfer);
      posted = true;
      results = [];
      transfer = [];
    }
  }
  tamrikBusy = false;
}

// What the page says, by type. The page hands a worker several jobs at a
// time, so that the reads of their first bytes wait for the browser
// together; when it starts a new round, the jobs of earlier ones that have
// not started are dropped and said so.
const tamrikHandlers = {
  round({round}) {
    tamrikRound = round;
    const dropped = tamrikQueue.filter((job) => job.round < round);
    if (dropped.length === 0) return;
    const live = tamrikQueue.filter((job) => job.round >= round);
    tamrikQueue.length = 0;
    for (const job of live) tamrikQueue.push(job);
    tamrikPost('dropped', {jobs: dropped.map((job) => [job.id, job.round])});
  },
  async copy({request, image, rows, forms}) {
    let copied;
    try {
      copied = await tamrikCopy({image, rows, forms});
    } catch (error) {
      copied = error instanceof WebAssembly.RuntimeError ?
          {state: 'stopped', reason: `the reader stopped on it (${error.message})`} :
          error instanceof DOMException ? {state: 'unreadable', reason: tamrikBrowserReason(error.name)} :
          {state: 'unreadable', reason: String(error?.message ?? error)};
    }
    const transfer = (copied.files ?? []).flat().map((file) => file.bytes.buffer);
    tamrikPost('copied', {request, copied}, transfer);
  },
  list({jobs}) {
    // Jobs of a round already ended, which the page sent as it began, are
    // dropped too.
    const late = jobs.filter((job) => job.round < tamrikRound);
    for (const job of jobs) if (job.round >= tamrikRound) tamrikQueue.push(job);
    if (late.length > 0) tamrikPost('dropped', {jobs: late.map((job) => [job.id, job.round])});
    tamrikNext();
  },
};

self.onmessage = ({data}) => Protocol.handle(tamrikHandlers, data);
