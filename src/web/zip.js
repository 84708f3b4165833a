// SPDX-License-Identifier: MIT
// The members of a zip archive: where each one's data is, read from the
// central directory, or from the members' own headers when the archive was
// cut short or its directory is damaged. Zips inside are opened too. Each
// member is unpacked later, by the worker that lists it.
//
// The archive ends with the end record (signature 50 4B 05 06, 22 bytes and
// a comment of up to 65535): entry count at 10, directory size at 12 and
// offset at 16. When a count or place does not fit (all ones), the zip64
// locator (50 4B 06 07, 20 bytes) just before it points at the zip64 end
// record (50 4B 06 06), which holds the count at 32, the size at 40 and the
// offset at 48 as 64-bit numbers. The directory is one record per member
// (50 4B 01 02): flags at 8, method at 10, packed size at 20, size at 24,
// name, extra and comment lengths at 28, 30, 32, local header offset at 42,
// then the name and the extra fields. Each member's data follows its local
// header (50 4B 03 04, 30 bytes): flags at 6, method at 8, packed size at
// 18, size at 22, name and extra lengths at 26 and 28. With flag bit 3 a
// writer that streamed may leave the sizes 0 there and put them in a data
// descriptor after the data: an optional signature 50 4B 07 08, the CRC-32,
// the packed size and the size (64-bit with zip64). Extra fields are an id
// and a length, then the data: zip64 (id 1) holds the size, packed size and
// offset that did not fit, in that order; Info-ZIP's Unicode Path (0x7075)
// a version 1, the CRC-32 of the stored name and the name in UTF-8. All
// integers little-endian.
'use strict';

const Zip = (() => {
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
  const mostUnpacked = 1024 * MiB;
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

  const crcTable = Array.from({length: 256}, (_, n) => {
    for (let bit = 0; bit < 8; bit++) n = n & 1 ? 0xedb88320 ^ n >>> 1 : n >>> 1;
    return n;
  });

  function crc32(bytes) {
    let crc = -1;
    for (const byte of bytes) crc = crcTable[(crc ^ byte) & 0xff] ^ crc >>> 8;
    return ~crc >>> 0;
  }

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
        packedSize: view.getUint32(at + 20, true), size: view.getUint32(at + 24, true),
        offset: view.getUint32(at + 42, true)});
      if (record.offset + 30 + nameLength + record.packedSize > blob.size) {
        record.problem = 'its directory entry points past the end of the archive';
      }
      found.push(record);
      at = next;
    }
    return found;
  }

  // A deflate stream's bits, read from the blob in pieces: zeros past its end,
  // which `past` then tells.
  function bitReader(blob, from) {
    // Pieces grow from 64 KiB, as most members are small.
    const reader = {bytes: new Uint8Array(0), base: from, at: 0, bits: 0, count: 0,
                    piece: 64 * 1024, size: 0};
    // Fewer bytes ahead than a block's header or a symbol may take, with
    // more in the blob: then `more` reads on, so that the reads wait only
    // between symbols.
    reader.short = () => reader.bytes.length - reader.at < 1024 &&
        reader.base + reader.bytes.length < blob.size;
    reader.more = async () => {
      const kept = reader.bytes.subarray(Math.min(reader.at, reader.bytes.length));
      const start = reader.base + reader.at + kept.length;
      const piece = new Uint8Array(await blob.slice(start, start + reader.piece).arrayBuffer());
      reader.piece = Math.min(2 * reader.piece, 4 * MiB);
      const bytes = new Uint8Array(kept.length + piece.length);
      bytes.set(kept);
      bytes.set(piece, kept.length);
      reader.base += reader.at;
      reader.bytes = bytes;
      reader.at = 0;
    };
    reader.need = (n) => {
      while (reader.count < n) {
        reader.bits |= (reader.bytes[reader.at++] ?? 0) << reader.count;
        reader.count += 8;
      }
    };
    reader.take = (n) => {
      reader.need(n);
      const value = reader.bits & (1 << n) - 1;
      reader.bits >>>= n;
      reader.count -= n;
      return value;
    };
    // Where the next whole byte is in the blob.
    reader.offset = () => reader.base + reader.at - (reader.count >> 3);
    reader.past = () => reader.offset() > blob.size;
    // Drops the bits of the byte begun and hands back the whole ones.
    reader.align = () => {
      reader.at -= reader.count >> 3;
      reader.bits = 0;
      reader.count = 0;
    };
    return reader;
  }

  // A canonical Huffman code as a table indexed by the next `longest` bits:
  // symbol << 4 | its length, 0 where no code is. Null when the lengths
  // over-subscribe the code.
  function huffman(lengths) {
    const counts = new Array(16).fill(0);
    for (const length of lengths) counts[length]++;
    counts[0] = 0;
    let left = 1;
    let longest = 0;
    for (let length = 1; length < 16; length++) {
      left = 2 * left - counts[length];
      if (left < 0) return null;
      if (counts[length]) longest = length;
    }
    const table = new Int32Array(1 << longest);
    const next = [0];
    for (let length = 1, code = 0; length < 16; length++) {
      code = code + counts[length - 1] << 1;
      next[length] = code;
    }
    lengths.forEach((length, symbol) => {
      if (!length) return;
      let reversed = 0;
      for (let code = next[length]++, bit = 0; bit < length; bit++, code >>= 1) {
        reversed = reversed << 1 | code & 1;
      }
      for (let at = reversed; at < table.length; at += 1 << length) {
        table[at] = symbol << 4 | length;
      }
    });
    return {table, longest};
  }

  function decode(reader, {table, longest}) {
    reader.need(longest);
    const entry = table[reader.bits & (1 << longest) - 1];
    if (!entry) throw new Error('no code');
    reader.bits >>>= entry & 15;
    reader.count -= entry & 15;
    return entry >> 4;
  }

  const lengthBase = [3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43, 51, 59, 67,
                      83, 99, 115, 131, 163, 195, 227, 258];
  const lengthExtra = [0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5,
                       5, 5, 5, 0];
  const distanceBase = [1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193, 257, 385, 513,
                        769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577];
  const distanceExtra = [0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10,
                         11, 11, 12, 12, 13, 13];
  const codeLengthOrder = [16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15];
  const fixedCodes = [
    huffman(Array.from({length: 288}, (_, n) => n < 144 ? 8 : n < 256 ? 9 : n < 280 ? 7 : 8)),
    huffman(new Array(30).fill(5))];

  function dynamicCodes(reader) {
    const literals = reader.take(5) + 257;
    const distances = reader.take(5) + 1;
    const codeLengths = new Array(19).fill(0);
    for (let i = 0, n = reader.take(4) + 4; i < n; i++) {
      codeLengths[codeLengthOrder[i]] = reader.take(3);
    }
    const lengthCode = huffman(codeLengths);
    if (!lengthCode) throw new Error('bad code lengths');
    const lengths = [];
    while (lengths.length < literals + distances) {
      const symbol = decode(reader, lengthCode);
      if (symbol < 16) {
        lengths.push(symbol);
        continue;
      }
      if (symbol === 16 && lengths.length === 0) throw new Error('nothing to repeat');
      const value = symbol === 16 ? lengths.at(-1) : 0;
      const times = symbol === 16 ? 3 + reader.take(2) : symbol === 17 ? 3 + reader.take(3) :
          11 + reader.take(7);
      if (lengths.length + times > literals + distances) throw new Error('too many lengths');
      for (let i = 0; i < times; i++) lengths.push(value);
    }
    if (!lengths[256]) throw new Error('no end of block');
    const codes = [huffman(lengths.slice(0, literals)), huffman(lengths.slice(literals))];
    if (!codes[0] || !codes[1]) throw new Error('bad code');
    return codes;
  }

  // A block's symbols, decoded while the bytes at hand are enough for the
  // next one: true at the block's end, false when more must be read first.
  // Only how much they unpack to is kept.
  function symbols(reader, literal, distance, atBlobEnd) {
    const bytes = reader.bytes;
    let {at, bits, count, size} = reader;
    // Past the blob's end the zeros read run out here.
    const stop = atBlobEnd ? bytes.length + 8 : bytes.length - 512;
    const literals = literal.table;
    const literalMask = (1 << literal.longest) - 1;
    const distances = distance.table;
    const distanceMask = (1 << distance.longest) - 1;
    let ended = false;
    try {
      while (at < stop) {
        while (count < 15) {
          bits |= (bytes[at++] ?? 0) << count;
          count += 8;
        }
        const entry = literals[bits & literalMask];
        if (!entry) throw new Error('no code');
        bits >>>= entry & 15;
        count -= entry & 15;
        const symbol = entry >> 4;
        if (symbol < 256) {
          size++;
          continue;
        }
        if (symbol === 256) {
          ended = true;
          break;
        }
        if (symbol > 285) throw new Error('length');
        // At most 5 extra bits, 15 of the code and 13 extra: read in two goes.
        while (count < 20) {
          bits |= (bytes[at++] ?? 0) << count;
          count += 8;
        }
        const extra = lengthExtra[symbol - 257];
        const length = lengthBase[symbol - 257] + (bits & (1 << extra) - 1);
        bits >>>= extra;
        count -= extra;
        const code = distances[bits & distanceMask];
        if (!code || code >> 4 > 29) throw new Error('distance code');
        bits >>>= code & 15;
        count -= code & 15;
        while (count < 13) {
          bits |= (bytes[at++] ?? 0) << count;
          count += 8;
        }
        const far = distanceExtra[code >> 4];
        if (distanceBase[code >> 4] + (bits & (1 << far) - 1) > size) throw new Error('distance');
        bits >>>= far;
        count -= far;
        size += length;
      }
    } finally {
      Object.assign(reader, {at, bits, count, size});
    }
    return ended;
  }

  // Where the deflate stream that starts at `from` ends, walked without
  // keeping what it unpacks to: {packedSize, size}, or the problem.
  async function deflateEnd(blob, from) {
    const reader = bitReader(blob, from);
    try {
      for (let last = 0; !last;) {
        if (reader.short()) await reader.more();
        last = reader.take(1);
        const type = reader.take(2);
        if (type === 0) {
          reader.align();
          if (reader.short()) await reader.more();
          if (reader.offset() + 4 > blob.size) return {problem: 'the archive ends inside it'};
          const {bytes, at} = reader;
          const length = bytes[at] | bytes[at + 1] << 8;
          if ((length ^ (bytes[at + 2] | bytes[at + 3] << 8)) !== 0xffff) throw new Error('stored');
          reader.at += 4 + length;
          reader.size += length;
          continue;
        }
        if (type === 3) throw new Error('block type');
        const [literal, distance] = type === 1 ? fixedCodes : dynamicCodes(reader);
        for (;;) {
          if (reader.short()) await reader.more();
          if (reader.past()) return {problem: 'the archive ends inside it'};
          const atBlobEnd = reader.base + reader.bytes.length >= blob.size;
          if (symbols(reader, literal, distance, atBlobEnd)) break;
        }
      }
    } catch (error) {
      if (unreadable(error)) throw error;
      return {problem: reader.past() ? 'the archive ends inside it' : 'its packed data is damaged'};
    }
    if (reader.past()) return {problem: 'the archive ends inside it'};
    return {packedSize: reader.offset() - from, size: reader.size};
  }

  // Where the data that starts at `from` ends, by the data descriptor's
  // signature followed by the packed size that puts it there.
  async function descriptorEnd(blob, from, method) {
    for (let start = from; start < blob.size; start += MiB) {
      const view = await read(blob, start, start + MiB + 24);
      for (let at = 0; at + 16 <= view.byteLength && at < MiB; at++) {
        if (view.getUint32(at, true) !== DESCRIPTOR) continue;
        const packedSize = start + at - from;
        const narrow = view.getUint32(at + 8, true) === packedSize &&
            (method !== 0 || view.getUint32(at + 12, true) === packedSize);
        const wide = at + 24 <= view.byteLength && u64(view, at + 8) === packedSize &&
            (method !== 0 || u64(view, at + 16) === packedSize);
        if (narrow || wide) {
          return {packedSize, size: narrow ? view.getUint32(at + 12, true) : u64(view, at + 16)};
        }
      }
    }
    return {problem: 'the archive ends inside it, or its end cannot be found'};
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
        packedSize: view.getUint32(18, true), size: view.getUint32(22, true), offset: undefined});
      record.offset = at;
      found.push(record);
      const data = at + 30 + nameLength + extraLength;
      if (record.flags & 8 && record.packedSize === 0) {
        // The sizes are in the descriptor after the data: its end must be found.
        let end = record.method === 8 && !(record.flags & 1) ? await deflateEnd(blob, data) : null;
        if (!end || end.problem) {
          const problem = end?.problem;
          end = await descriptorEnd(blob, data, record.method);
          if (problem) end.problem = problem;
        }
        if (end.packedSize === undefined) {
          record.problem = end.problem;
          break;
        }
        record.packedSize = end.packedSize;
        record.size = record.method === 0 ? end.packedSize : end.size;
        if (end.problem) record.problem = end.problem;
      } else if (data + record.packedSize > blob.size) {
        record.problem = 'the archive ends inside it';
        break;
      }
      at = data + record.packedSize;
      if (record.flags & 8) at = await pastDescriptor(blob, at);
    }
    return found;
  }

  // A member's data as a blob of its own: stored data in place, deflated data
  // unpacked within the bounds. A reason when it cannot be had.
  async function unpacked(blob, {offset, method, packedSize, size}, budget) {
    const local = await read(blob, offset, offset + 30);
    if (local.byteLength < 30 || local.getUint32(0, true) !== LOCAL) {
      return {problem: 'its entry in the archive is damaged'};
    }
    const start = offset + 30 + local.getUint16(26, true) + local.getUint16(28, true);
    const packed = blob.slice(start, start + packedSize);
    if (packed.size !== packedSize) return {problem: 'the archive ends inside it'};
    if (method === 0) return {blob: packed};
    const bound = Math.min(unpackBound, budget.unpacked);
    const tooBig = () => ({problem: bound < unpackBound ?
        'the zips inside this archive unpack to more than 1 GiB together' :
        'it unpacks to more than 64 MiB'});
    if (size > bound) return tooBig();
    const chunks = [];
    let length = 0;
    const reader = packed.stream().pipeThrough(new DecompressionStream('deflate-raw')).getReader();
    try {
      for (;;) {
        const {done, value} = await reader.read();
        if (done) break;
        length += value.length;
        if (length > bound) {
          reader.cancel().catch(() => {});
          return tooBig();
        }
        chunks.push(value);
      }
    } catch (error) {
      if (unreadable(error)) throw error;
      return {problem: 'its packed data is damaged'};
    }
    if (length !== size) return {problem: 'its packed data is damaged'};
    budget.unpacked -= length;
    return {blob: new Blob(chunks)};
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
      const {method, packedSize, size, offset} = record;
      const problem = problemOf(record);
      const name = record.path.slice(record.path.lastIndexOf('/') + 1);
      const member = {path: `${path}/${record.path}`, name, problem, zip: blob,
                      member: {offset, method, packedSize, size}};
      if (problem || !budget.nest || !/\.zip$/i.test(member.name)) {
        members.push(member);
        continue;
      }
      const inner = await nested(member, depth + 1, budget);
      if (inner.damage) members.push({...member, problem: inner.damage, damage: inner.damage});
      members.push(...inner.members);
    }
    return {damage, members};
  }

  // What a member named like a zip stands for: the members of the archive it
  // is, or itself when it is no archive or cannot be opened.
  async function nested(member, depth, budget) {
    const alone = (problem) => ({damage: null, members: [{...member, problem}]});
    if (depth > deepest) return alone(`it is a zip archive nested more than ${deepest} deep`);
    if (budget.archives-- <= 0) {
      return alone(`it is one of more than ${mostArchives} zip archives inside this one`);
    }
    const inner = await unpacked(member.zip, member.member, budget);
    if (inner.problem) return alone(inner.problem);
    return await opened(inner.blob, member.path, depth, budget) ?? alone(null);
  }

  // The archive as the page lists it: null when the blob is no zip archive,
  // else {damage: null or the reason, members}. Each member has its path
  // under `path` (through the zips inside), its name, a problem or null, the
  // blob that holds it and where its data is there; a zip inside that is
  // damaged is a member of its own with the reason as `damage`, before the
  // members found in it.
  function open(blob, path) {
    return opened(blob, path, 0, {members: mostMembers, archives: mostArchives,
                                  unpacked: mostUnpacked, nest: true});
  }

  // The members with their paths inside the archive, zips inside left as
  // they are; throws when the archive is damaged.
  async function members(file) {
    const found = await opened(file, '', 0, {members: mostMembers, nest: false});
    if (found?.damage) throw new Error('it is a damaged zip archive');
    return found && found.members.map(({path, problem, member}) =>
      ({path: path.slice(1), problem, member}));
  }

  return {open, members};
})();
