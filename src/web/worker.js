// SPDX-License-Identifier: MIT
// Lists one handed File per message with the compiled reader, in order. The
// reader reads the File synchronously through FileReaderSync, which only a
// worker has, and only the slices it asks for.
// The module is embedded; without fetch its loader decodes it in place
// instead of fetching its own data: URL. The worker needs no network.
var fetch = undefined;

var Module = {
  onRuntimeInitialized() {
    Module.tamrikReady = true;
    postMessage({ready: true});
    for (const request of Module.tamrikQueue.splice(0)) tamrikListFile(request);
  },
  tamrikQueue: [],
};

const tamrikEncoder = new TextEncoder();

function tamrikListFile({id, file, sortByName, alwaysBytes}) {
  Module.tamrikFile = file;
  const name = tamrikEncoder.encode(file.name);
  HEAPU8.set(name, Module._tamrikNameBuffer(name.length));
  const size = Module._tamrikList(sortByName ? 1 : 0, alwaysBytes ? 1 : 0);
  const at = Module._tamrikOutput();
  const bytes = HEAPU8.slice(at, at + size);
  const endsAt = Module._tamrikLineEnds() / 4;
  const ends = HEAPU32.slice(endsAt, endsAt + Module._tamrikLineCount());
  Module.tamrikFile = null;
  postMessage({id, bytes, ends, error: Module.tamrikOpenError, memory: HEAPU8.length},
              [bytes.buffer, ends.buffer]);
}

self.onmessage = (event) => {
  if (Module.tamrikReady) {
    tamrikListFile(event.data);
  } else {
    Module.tamrikQueue.push(event.data);
  }
};
