// SPDX-License-Identifier: MIT
// How the page shows what an image holds: one character per byte, as a
// terminal shows the command line's output, so that every line of a listing
// is as many characters as it has bytes and columns stay put. Control
// bytes, DEL, the C1 range and the soft hyphen, which take no room or act on
// a terminal, are "?"; the rest are the Latin-1 characters of their codes.
'use strict';

const Shown = (() => {
  const CODES = Uint16Array.from({length: 256}, (_, byte) =>
    (byte < 0x20 || (byte >= 0x7f && byte <= 0x9f) || byte === 0xad ? 0x3f : byte));
  const utf16 = new TextDecoder('utf-16le');

  function text(bytes) {
    const units = new Uint16Array(bytes.length);
    for (let i = 0; i < bytes.length; i++) units[i] = CODES[bytes[i]];
    return utf16.decode(units);
  }

  // A name from the file system is text, but characters that take no room
  // or reorder a line show as "?".
  const name = (fileName) => fileName.replace(/[\p{Cc}\p{Cf}]/gu, '?');

  // The first line of every listing.
  const heading = (fileName) => `Content of ${fileName}\n`;

  // What an image that cannot be opened shows: its heading alone, as on the
  // command line, the name as given.
  function headingOnly(fileName) {
    const bytes = new TextEncoder().encode(`${heading(fileName)}\n`);
    return {state: 'unreadable', bytes, ends: new Uint32Array([bytes.length - 1, bytes.length])};
  }

  // Lines first to end - 1 of a listing, each with its newline: only the
  // lines' own ends break lines, a newline byte inside a name is a "?". The
  // heading, line 0, holds the file's name as the file system gave it.
  function lines({bytes, ends}, fileName, first, end) {
    let head = '';
    if (first === 0) {
      head = heading(name(fileName));
      first = 1;
    }
    if (first >= end) return head;
    const from = ends[first - 1];
    const units = new Uint16Array(ends[end - 1] - from);
    for (let i = 0; i < units.length; i++) units[i] = CODES[bytes[from + i]];
    for (let line = first; line < end; line++) units[ends[line] - 1 - from] = 0x0a;
    return head + utf16.decode(units);
  }

  const listing = (result, fileName) => lines(result, fileName, 0, result.ends.length);

  return {text, name, headingOnly, lines, listing};
})();
