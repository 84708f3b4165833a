// SPDX-License-Identifier: MIT
// The members of a zip archive: where each one's data is, read from the
// central directory, or from the members' own headers when the archive was
// cut short or its directory is damaged. Zips inside are opened too. Each
// member is unpacked later, by the worker that lists it, with `unpack`,
// which checks its data against the CRC-32 that the archive gives.
//
// The archive ends with the end record (signature 50 4B 05 06, 22 bytes and
// a comment of up to 65535): entry count at 10, directory size at 12 and
// offset at 16. When a count or place does not fit (all ones), the zip64
// locator (50 4B 06 07, 20 bytes) just before it points at the zip64 end
// record (50 4B 06 06), which holds the count at 32, the size at 40 and the
// offset at 48 as 64-bit numbers. The directory is one record per member
// (50 4B 01 02): flags at 8, method at 10, CRC-32 at 16, packed size at 20, size at 24,
// name, extra and comment lengths at 28, 30, 32, local header offset at 42,
// then the name and the extra fields. Each member's data follows its local
// header (50 4B 03 04, 30 bytes): flags at 6, method at 8, CRC-32 at 14, packed
// size at 18, size at 22, name and extra lengths at 26 and 28. With flag bit 3 a
// writer that streamed may leave the sizes 0 there and put them in a data
// descriptor after the data: an optional signature 50 4B 07 08, the CRC-32,
// the packed size and the size (64-bit with zip64). Extra fields are an id
// and a length, then the data: zip64 (id 1) holds the size, packed size and
// offset that did not fit, in that order; Info-ZIP's Unicode Path (0x7075)
// a version 1, the CRC-32 of the stored name and the name in UTF-8. All
// integers little-endian.
'use strict';

function tamrikZip() {
  const MiB = 1024 * 1024;
  const END = 0x06054b50;
  const LOCATOR = 0x07064b50;
  const END64 = 0x06064b50;
  const ENTRY = 0x02014b50;
  const LOCAL = 0x04034b50;
  const DESCRIPTOR = 0x08074b50;
  const unpackBound = 64 * MiB;
  // Zips inside zips are opened this many levels down, outer.zip/1/2/3/4.zip.
  const deepest = 4;
  // What one archive, with all that it holds, may cost: a hostile one can
  // point many entries at the same data.
  const mostMembers = 200000;
  const mostArchives = 10000;
  // What the archives chosen together may unpack: zips inside, which the
  // page holds as blobs, and deflated members, which the workers unpack.
  // Chromium held 450 MiB of blobs made by a page and refused 500 MiB.
  const mostUnpacked = 384 * MiB;
  const mostDirectory = 64 * MiB;

  const damagedEnd = 'it was cut short or its end is damaged; the members listed were found ' +
      'from their own headers';
  const damagedDirectory = 'its central directory is damaged; the members listed were found ' +
      'from their own headers';

  // The code page of names not marked as UTF-8, for 0x80 to 0xFF.
  const CP437 = 'ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐└┴┬├─┼╞╟╚╔╩╦╠═╬╧' +
      '╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00a0';
  const utf8 = new TextDecoder();
  const strictUtf8 = new TextDecoder('utf-8', {fatal: true});

  // CRC-32 tables for eight bytes at a time: the byte's own, then each one
  // for the byte that many places further back.
  const crcTable = new Int32Array(8 * 256);
  for (let n = 0; n < 256; n++) {
    let c = n;
    for (let bit = 0; bit < 8; bit++) c = c & 1 ? 0xedb88320 ^ c >>> 1 : c >>> 1;
    crcTable[n] = c;
  }
  for (let at = 256; at < crcTable.length; at++) {
    crcTable[at] = crcTable[at - 256] >>> 8 ^ crcTable[crcTable[at - 256] & 0xff];
  }

  // The CRC-32 of the bytes, going on from that of the bytes before them.
  function crc32(bytes, crc = 0) {
    const t = crcTable;
    crc = ~crc;
    let i = 0;
    for (const end = bytes.length - 8; i <= end; i += 8) {
      const low = crc ^ (bytes[i] | bytes[i + 1] << 8 | bytes[i + 2] << 16 | bytes[i + 3] << 24);
      crc = t[1792 + (low & 0xff)] ^ t[1536 + (low >>> 8 & 0xff)] ^ t[1280 + (low >>> 16 & 0xff)] ^
          t[1024 + (low >>> 24)] ^ t[768 + bytes[i + 4]] ^ t[512 + bytes[i + 5]] ^
          t[256 + bytes[i + 6]] ^ t[bytes[i + 7]];
    }
    for (; i < bytes.length; i++) crc = t[(crc ^ bytes[i]) & 0xff] ^ crc >>> 8;
    return ~crc >>> 0;
  }

  // What is wrong with a member's data in the archive, in words.
  class Damaged extends Error {}

  async function read(blob, from, to) {
    return new DataView(await blob.slice(from, to).arrayBuffer());
  }

  const u64 = (view, at) => view.getUint32(at, true) + view.getUint32(at + 4, true) * 2 ** 32;
  const bytesOf = (view, at, length) => new Uint8Array(view.buffer, view.byteOffset + at, length);
  // A failed read of the blob itself, which is no fault of the archive.
  const unreadable = (error) => error?.constructor?.name === 'DOMException';

  // A member's name: UTF-8 when flagged so, else Info-ZIP's Unicode Path
  // when it belongs to this stored name, else UTF-8 when the bytes are that
  // (as Linux and macOS tools write it, unflagged), else code page 437.
  function nameOf(raw, flags, unicodePath) {
    if (flags & 0x800) return utf8.decode(raw);
    if (unicodePath && unicodePath.byteLength >= 5 && unicodePath.getUint8(0) === 1 &&
        unicodePath.getUint32(1, true) === crc32(raw)) {
      return utf8.decode(bytesOf(unicodePath, 5, unicodePath.byteLength - 5));
    }
    try {
      return strictUtf8.decode(raw);
    } catch {
      let name = '';
      for (const byte of raw) name += byte < 0x80 ? String.fromCharCode(byte) : CP437[byte - 0x80];
      return name;
    }
  }

  // The name and the fields that zip64 widens, from a directory entry or a
  // local header whose name starts at `nameAt` in `view`.
  function described(view, nameAt, nameLength, extraLength, record) {
    let unicodePath = null;
    const end = nameAt + nameLength + extraLength;
    for (let at = nameAt + nameLength; at + 4 <= end;) {
      const id = view.getUint16(at, true);
      const length = Math.min(view.getUint16(at + 2, true), end - at - 4);
      if (id === 0x7075) unicodePath = new DataView(view.buffer, view.byteOffset + at + 4, length);
      if (id === 1) {
        let field = at + 4;
        // A local header's field holds both sizes when either did not fit.
        const both = record.offset === undefined && length >= 16 &&
            (record.size === 0xffffffff || record.packedSize === 0xffffffff);
        if (both) record.size = record.packedSize = 0xffffffff;
        const wide = (value) => {
          if (value !== 0xffffffff || field + 8 > at + 4 + length) return value;
          field += 8;
          return u64(view, field - 8);
        };
        record.size = wide(record.size);
        record.packedSize = wide(record.packedSize);
        if (record.offset !== undefined) record.offset = wide(record.offset);
      }
      at += 4 + length;
    }
    record.path = nameOf(bytesOf(view, nameAt, nameLength), record.flags, unicodePath);
    return record;
  }

  // Where the central directory is; null when there is no end record, a
  // reason when it cannot be where the record says.
  async function directoryOf(blob) {
    const tailStart = Math.max(0, blob.size - 22 - 65535);
    const tail = await read(blob, tailStart, blob.size);
    let end = -1;
    for (let at = tail.byteLength - 22; at >= 0 && end < 0; at--) {
      if (tail.getUint32(at, true) === END &&
          at + 22 + tail.getUint16(at + 20, true) === tail.byteLength) end = at;
    }
    if (end < 0) return null;
    let count = tail.getUint16(end + 10, true);
    let size = tail.getUint32(end + 12, true);
    let offset = tail.getUint32(end + 16, true);
    if (count === 0xffff || size === 0xffffffff || offset === 0xffffffff) {
      if (end < 20 || tail.getUint32(end - 20, true) !== LOCATOR) return {damage: damagedDirectory};
      const at = u64(tail, end - 12);
      const record = await read(blob, at, at + 56);
      if (record.byteLength < 56 || record.getUint32(0, true) !== END64) {
        return {damage: damagedDirectory};
      }
      [count, size, offset] = [u64(record, 32), u64(record, 40), u64(record, 48)];
    }
    if (offset + size > tailStart + end || size > mostDirectory) return {damage: damagedDirectory};
    return {count, size, offset};
  }

  // The members the central directory lists, or null when it does not parse.
  async function fromDirectory(blob, {count, size, offset}) {
    const view = await read(blob, offset, offset + size);
    const found = [];
    let at = 0;
    for (let i = 0; i < count; i++) {
      if (at + 46 > view.byteLength || view.getUint32(at, true) !== ENTRY) return null;
      const nameLength = view.getUint16(at + 28, true);
      const extraLength = view.getUint16(at + 30, true);
      const next = at + 46 + nameLength + extraLength + view.getUint16(at + 32, true);
      if (next > view.byteLength) return null;
      const record = described(view, at + 46, nameLength, extraLength, {
        flags: view.getUint16(at + 8, true), method: view.getUint16(at + 10, true),
        crc: view.getUint32(at + 16, true), packedSize: view.getUint32(at + 20, true), size: view.getUint32(at + 24, true),
        offset: view.getUint32(at + 42, true)});
      if (record.offset + 30 + nameLength + record.packedSize > blob.size) {
        record.problem = 'its directory entry points past the end of the archive';
      }
      found.push(record);
      at = next;
    }
    return found;
  }

  // Where a member streamed without sizes ends: at a data descriptor whose
  // packed size puts it there, signed, or bare and then followed by a
  // header or the archive's end; the first whose CRC-32 its data has, else
  // the first whose sizes fit. Null when there is none: the archive ends
  // inside the member.
  async function streamedEnd(blob, record, data) {
    let fitting = null;
    // The descriptor whose fields lie at `at` in the window, its data ending
    // at `end` and the next record at `next`, if its sizes fit.
    const fits = (view, at, end, next, wide) => {
      const packedSize = end - data;
      const [packed, size] = wide ? [u64(view, at + 4), u64(view, at + 12)] :
          [view.getUint32(at + 4, true), view.getUint32(at + 8, true)];
      if (packed !== packedSize || record.method === 0 && size !== packedSize) return null;
      return {packedSize, size, crc: view.getUint32(at, true), next};
    };
    const window = MiB;
    for (let start = data; start < blob.size + 20; start += window) {
      // From 24 bytes back: a bare descriptor before a signature.
      const from = Math.max(data, start - 24);
      const view = await read(blob, from, start + window + 28);
      const bytes = new Uint8Array(view.buffer, view.byteOffset, view.byteLength);
      const candidates = [];
      for (let at = bytes.indexOf(0x50, start - from); at >= 0 && at < start - from + window;
           at = bytes.indexOf(0x50, at + 1)) {
        if (at + 4 > bytes.length || bytes[at + 1] !== 0x4b) continue;
        const signature = view.getUint32(at, true);
        if (signature === DESCRIPTOR) {
          candidates.push([at + 4, from + at, from + at + 16, false],
                          [at + 4, from + at, from + at + 24, true]);
        } else if ([LOCAL, ENTRY, END, END64].includes(signature)) {
          candidates.push([at - 12, from + at - 12, from + at, false],
                          [at - 20, from + at - 20, from + at, true]);
        }
      }
      // A bare descriptor that ends the archive.
      if (from + bytes.length === blob.size) {
        candidates.push([bytes.length - 12, blob.size - 12, blob.size, false],
                        [bytes.length - 20, blob.size - 20, blob.size, true]);
      }
      for (const [at, end, next, wide] of candidates) {
        if (at < 0 || at + (wide ? 20 : 12) > bytes.length || end < data) continue;
        const found = fits(view, at, end, next, wide);
        if (!found) continue;
        fitting ??= found;
        if (await sound({...record, ...found})) return found;
      }
    }
    return fitting;
  }

  // Whether a member's data unpacks to what its sizes and CRC-32 say.
  async function sound(record) {
    if (problemOf(record)) return true;
    try {
      return !(await unpack(record.zip, record)).damage;
    } catch (error) {
      if (error instanceof Damaged) return false;
      throw error;
    }
  }

  // Past the data descriptor that ends at `at`: whichever of its forms is
  // followed by a header or the blob's end.
  async function pastDescriptor(blob, at) {
    const view = await read(blob, at, at + 28);
    const signed = view.byteLength >= 4 && view.getUint32(0, true) === DESCRIPTOR;
    const lengths = signed ? [16, 24] : [12, 20];
    for (const length of lengths) {
      if (at + length === blob.size) return at + length;
      if (length + 4 <= view.byteLength && (view.getUint32(length, true) & 0xffff) === 0x4b50) {
        return at + length;
      }
    }
    return at + lengths[0];
  }

  // The members found by walking the local headers from the start, as far as
  // they are whole.
  async function fromHeaders(blob) {
    // Small members' headers come many to one read.
    let window = {start: 0, view: new DataView(new ArrayBuffer(0))};
    const bytesAt = async (at, length) => {
      if (at < window.start || at + length > window.start + window.view.byteLength) {
        window = {start: at, view: await read(blob, at, at + Math.max(length, 64 * 1024))};
      }
      const {start, view} = window;
      return new DataView(view.buffer, view.byteOffset + at - start,
                          Math.min(length, view.byteLength - (at - start)));
    };
    const found = [];
    for (let at = 0; found.length <= mostMembers;) {
      let view = await bytesAt(at, 30);
      if (view.byteLength < 30 || view.getUint32(0, true) !== LOCAL) break;
      const nameLength = view.getUint16(26, true);
      const extraLength = view.getUint16(28, true);
      view = await bytesAt(at, 30 + nameLength + extraLength);
      if (view.byteLength < 30 + nameLength + extraLength) break;
      const record = described(view, 30, nameLength, extraLength, {
        flags: view.getUint16(6, true), method: view.getUint16(8, true),
        crc: view.getUint32(14, true), packedSize: view.getUint32(18, true),
        size: view.getUint32(22, true), offset: undefined});
      Object.assign(record, {offset: at, zip: blob});
      found.push(record);
      const data = at + 30 + nameLength + extraLength;
      if (record.flags & 8 && record.packedSize === 0) {
        // The sizes are in the descriptor after the data: its end must be found.
        const end = await streamedEnd(blob, record, data);
        if (!end) {
          record.problem = 'the archive ends inside it';
          break;
        }
        at = end.next;
        delete end.next;
        Object.assign(record, end);
        continue;
      }
      if (data + record.packedSize > blob.size) {
        record.problem = 'the archive ends inside it';
        break;
      }
      at = data + record.packedSize;
      if (record.flags & 8) at = await pastDescriptor(blob, at);
    }
    return found;
  }

  // A member's data, checked against its CRC-32: {bytes}, or {blob} in
  // place for a stored member too large to hold, with `damage` when the
  // check sum differs. Throws Damaged when the data cannot be had.
  async function unpack(zip, {offset, method, packedSize, size, crc}) {
    // A small member comes in one read with its local header.
    const small = packedSize <= 256 * 1024;
    const local = await read(zip, offset, offset + 30 + (small ? 1024 + packedSize : 0));
    if (local.byteLength < 30 || local.getUint32(0, true) !== LOCAL) {
      throw new Damaged('its entry in the archive is damaged');
    }
    const at = 30 + local.getUint16(26, true) + local.getUint16(28, true);
    const packed = zip.slice(offset + at, offset + at + packedSize);
    if (packed.size !== packedSize) throw new Damaged('the archive ends inside it');
    const keep = size <= unpackBound;
    let stream = at + packedSize > local.byteLength ? packed.stream() : new ReadableStream({
      start(controller) {
        controller.enqueue(bytesOf(local, at, packedSize));
        controller.close();
      },
    });
    if (method === 8) stream = stream.pipeThrough(new DecompressionStream('deflate-raw'));
    const reader = stream.getReader();
    const chunks = [];
    let length = 0;
    let sum = 0;
    for (;;) {
      let chunk;
      try {
        chunk = await reader.read();
      } catch (error) {
        if (unreadable(error)) throw error;
        throw new Damaged(`its packed data is damaged (${error.message})`);
      }
      if (chunk.done) break;
      length += chunk.value.length;
      if (length > size) {
        reader.cancel().catch(() => {});
        throw new Damaged('it unpacks to more than the archive says');
      }
      sum = crc32(chunk.value, sum);
      if (keep) chunks.push(chunk.value);
    }
    if (length < size) throw new Damaged('it unpacks to less than the archive says');
    const damage = sum === crc ? null : 'its check sum differs';
    if (!keep) return {blob: packed, damage};
    if (chunks.length === 1) return {bytes: chunks[0], damage};
    const bytes = new Uint8Array(length);
    chunks.reduce((at, chunk) => (bytes.set(chunk, at), at + chunk.length), 0);
    return {bytes, damage};
  }

  // Why a member cannot be unpacked, or null.
  function problemOf({problem, flags, method, size}) {
    if (problem) return problem;
    if (flags & 1) return 'it is encrypted';
    if (method !== 0 && method !== 8) {
      return `it is packed by a method the page cannot unpack (method ${method})`;
    }
    if (method === 8 && size > unpackBound) return 'it unpacks to more than 64 MiB';
    return null;
  }

  // Takes what the member unpacks to from what the chosen archives may: a
  // reason when that is spent.
  function spend({spent}, size) {
    if (size > spent.unpacked) {
      return `the archives chosen with it unpack to more than ${mostUnpacked / MiB} MiB together`;
    }
    spent.unpacked -= size;
    return null;
  }

  // The archive's members under `path`, folders left out and zips inside
  // opened in their place; null when the blob is no zip archive.
  async function opened(blob, path, depth, budget) {
    const where = await directoryOf(blob);
    let damage = where?.damage ?? null;
    let records = where && !damage ? await fromDirectory(blob, where) : null;
    if (!records) {
      if (!where) {
        const head = await read(blob, 0, 4);
        if (head.byteLength < 4 || head.getUint32(0, true) !== LOCAL) return null;
      }
      damage = where ? damagedDirectory : damagedEnd;
      records = await fromHeaders(blob);
    }
    const members = [];
    for (const record of records) {
      if (record.path.endsWith('/')) continue;
      if (budget.members-- <= 0) {
        return {damage: `it holds more than ${mostMembers} members; the rest are not listed`,
                members};
      }
      const {method, packedSize, size, offset, crc} = record;
      const name = record.path.slice(record.path.lastIndexOf('/') + 1);
      const isZip = /\.zip$/i.test(name);
      const problem = problemOf(record) ??
          (method === 8 || isZip ? spend(budget, size) : null);
      const member = {path: `${path}/${record.path}`, name, problem,
                      damaged: Boolean(record.problem), zip: blob,
                      member: {offset, method, packedSize, size, crc}};
      if (problem || !isZip) {
        members.push(member);
        continue;
      }
      const inner = await nested(member, depth + 1, budget);
      if (inner.damage) members.push({...member, problem: inner.damage, damage: inner.damage});
      for (const found of inner.members) members.push(found);
    }
    return {damage, members};
  }

  // What a member named like a zip stands for: the members of the archive it
  // is, or itself when it is no archive or cannot be opened.
  async function nested(member, depth, budget) {
    const alone = (problem, damaged = false) =>
      ({damage: null, members: [{...member, problem, damaged}]});
    if (depth > deepest) return alone(`it is a zip archive nested more than ${deepest} deep`);
    if (budget.archives-- <= 0) {
      return alone(`it is one of more than ${mostArchives} zip archives inside this one`);
    }
    let inner;
    try {
      inner = await unpack(member.zip, member.member);
    } catch (error) {
      if (error instanceof Damaged) return alone(error.message, true);
      throw error;
    }
    const found = await opened(inner.blob ?? new Blob([inner.bytes]), member.path, depth, budget);
    if (!found) return alone(null);
    if (inner.damage) found.damage = found.damage ? `${inner.damage}; ${found.damage}` : inner.damage;
    return found;
  }

  // What the archives chosen together may unpack: one for each `open` of them.
  const budget = () => ({unpacked: mostUnpacked});

  // The archive as the page lists it: null when the blob is no zip archive,
  // else {damage: null or the reason, members}. Each member has its path
  // under `path` (through the zips inside), its name, a problem or null
  // (`damaged` when that is damage to its data), the blob that holds it and
  // where its data is there; a zip inside that is
  // damaged is a member of its own with the reason as `damage`, before the
  // members found in it.
  function open(blob, path, spent = budget()) {
    return opened(blob, path, 0, {members: mostMembers, archives: mostArchives, spent});
  }

  return {open, budget, unpack, Damaged};
}
// The page's; the workers make their own from tamrikZip.
const Zip = tamrikZip();
