// SPDX-License-Identifier: MIT
// Lists one image per message with the compiled reader, one after another,
// and hands the page the listing's bytes with the volume's fields from the
// same read; the page decides how to show them. The reader reads the File
// synchronously through FileReaderSync, which only a worker has, and only
// the slices it asks for. Zip members are unpacked here, one at a time.
// The module is embedded; without fetch its loader decodes it in place
// instead of fetching its own data: URL. The worker needs no network.
var fetch = undefined;

var Module = {
  onRuntimeInitialized() {
    Module.tamrikReady = true;
    postMessage({ready: true});
    tamrikNext();
  },
};

const tamrikEncoder = new TextEncoder();
const tamrikQueue = [];
// The page's Files, by number; the jobs name them.
const tamrikFiles = [];
let tamrikBusy = false;
const MiB = 1024 * 1024;

function tamrikReadSync(blob, from, to) {
  return new Uint8Array(new FileReaderSync().readAsArrayBuffer(blob.slice(from, to)));
}

// The first bytes of a file, which hold the header and most directories, read
// ahead while the image before is listed: a synchronous read waits for the
// browser, several of these at once do not.
const tamrikHeadBytes = 8192;

function tamrikReadAhead(blob) {
  return blob.slice(0, tamrikHeadBytes).arrayBuffer().then((head) => ({head}),
                                                           (error) => ({error}));
}

// A zip member's data as a Blob and what of it is read ahead: stored data is
// read in place, deflated data unpacked here, never past 64 MiB, and then
// wholly in memory. The page has read the central directory.
async function tamrikMember({zip: zipKey, offset, method, packedSize, size}) {
  const zip = tamrikFiles[zipKey];
  const local = tamrikReadSync(zip, offset, offset + 30);
  const word = (at) => local[at] | local[at + 1] << 8;
  if (local.length < 30 || word(0) !== 0x4b50 || word(2) !== 0x0403) {
    throw new Error('its entry in the archive is damaged');
  }
  const start = offset + 30 + word(26) + word(28);
  const packed = zip.slice(start, start + packedSize);
  if (packed.size !== packedSize) throw new Error('the archive ends inside it');
  if (method === 0) return {file: packed, ...await tamrikReadAhead(packed), asked: tamrikHeadBytes};
  const chunks = [];
  let unpacked = 0;
  const reader = packed.stream().pipeThrough(new DecompressionStream('deflate-raw')).getReader();
  try {
    for (;;) {
      const {done, value} = await reader.read();
      if (done) break;
      unpacked += value.length;
      if (unpacked > 64 * MiB) {
        reader.cancel();
        throw new Error('it unpacks to more than 64 MiB');
      }
      chunks.push(value);
    }
  } catch (error) {
    if (error instanceof TypeError) throw new Error('its packed data is damaged');
    throw error;
  }
  if (unpacked !== size) throw new Error('its packed data is damaged');
  const whole = new Uint8Array(unpacked);
  let at = 0;
  for (const chunk of chunks) {
    whole.set(chunk, at);
    at += chunk.length;
  }
  // The whole member is the first window, so the reader never reads the
  // file itself: only its size is asked.
  return {file: {size: unpacked}, head: whole.buffer, asked: Infinity};
}

const tamrikReasons = {
  NotFoundError: 'it was moved or deleted after it was chosen, or it is a folder',
  NotReadableError: 'the browser may not read it, or it changed after it was chosen',
};

function tamrikList(job, {file, head, asked}) {
  Module.tamrikFile = file;
  Module.tamrikHead = head;
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

  const states = ['unreadable', 'listed', 'not-lif', 'damaged', 'unreadable'];
  const result = {state: states[words[0]], bytes, ends, words, texts, memory: HEAPU8.length};
  if (words[0] === 0) {
    const error = Module.tamrikOpenError;
    result.reason = tamrikReasons[error] || `the browser could not read it (${error})`;
  } else if (words[0] === 4) {
    result.reason = 'the page ran out of memory for it';
  }
  return result;
}

async function tamrikRun(job) {
  let result;
  let retire = false;
  try {
    const read = job.member ? await tamrikMember(job.member) :
        {file: tamrikFiles[job.file], ...await job.head, asked: tamrikHeadBytes};
    if (read.error) throw read.error;
    result = tamrikList(job, read);
  } catch (error) {
    // A trap of the reader itself, which leaves its memory in doubt.
    retire = error instanceof WebAssembly.RuntimeError;
    const reason = retire ? 'the lister stopped on it' :
        error instanceof DOMException ?
        tamrikReasons[error.name] || `the browser could not read it (${error.name})` :
        String(error?.message ?? error);
    result = {state: 'unreadable', reason};
  }
  const transfer = [result.bytes, result.ends, result.words, result.texts].filter(Boolean)
      .map((array) => array.buffer);
  postMessage({id: job.id, round: job.round, result, retire}, transfer);
}

async function tamrikNext() {
  if (tamrikBusy || !Module.tamrikReady) return;
  tamrikBusy = true;
  while (tamrikQueue.length > 0) await tamrikRun(tamrikQueue.shift());
  tamrikBusy = false;
}

// The page hands a worker several jobs at a time, so that the reads of their
// first bytes wait for the browser together; when it starts a new round, the
// jobs of earlier ones that have not started are dropped and said so.
self.onmessage = ({data}) => {
  if (data.files) {
    tamrikFiles.length = data.from;
    tamrikFiles.push(...data.files);
    return;
  }
  if (data.round !== undefined && data.id === undefined) {
    const dropped = tamrikQueue.filter((job) => job.round < data.round);
    if (dropped.length === 0) return;
    tamrikQueue.splice(0, tamrikQueue.length, ...tamrikQueue.filter((job) => job.round >= data.round));
    postMessage({dropped: dropped.map((job) => [job.id, job.round])});
    return;
  }
  if (data.file !== undefined) data.head = tamrikReadAhead(tamrikFiles[data.file]);
  tamrikQueue.push(data);
  tamrikNext();
};
