// SPDX-License-Identifier: MIT
// The members of a zip archive, from its central directory. Only the
// directory is read here; each member is unpacked later, by the worker that
// lists it.
//
// The archive ends with the end record (signature 50 4B 05 06, 22 bytes and
// a comment of up to 65535): entry count at 10, directory size at 12 and
// offset at 16. When a count or place does not fit (all ones), the zip64
// locator (50 4B 06 07, 20 bytes) just before it points at the zip64 end
// record (50 4B 06 06), which holds the count at 32, the size at 40 and the
// offset at 48 as 64-bit numbers. The directory is one record per member
// (50 4B 01 02): flags at 8, method at 10, packed size at 20, size at 24,
// name, extra and comment lengths at 28, 30, 32, local header offset at 42,
// then the name and the extra fields; the zip64 extra field (id 1) holds
// the size, packed size and offset that did not fit, in that order. All
// integers little-endian.
'use strict';

const Zip = (() => {
  const MiB = 1024 * 1024;
  // The code page of names not marked as UTF-8, for 0x80 to 0xFF.
  const CP437 = 'ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐└┴┬├─┼╞╟╚╔╩╦╠═╬╧' +
      '╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00a0';
  const utf8 = new TextDecoder();

  async function read(file, from, to) {
    return new DataView(await file.slice(from, to).arrayBuffer());
  }

  const u64 = (view, at) => view.getUint32(at, true) + view.getUint32(at + 4, true) * 2 ** 32;

  function nameOf(bytes, isUtf8) {
    if (isUtf8) return utf8.decode(bytes);
    let name = '';
    for (const byte of bytes) name += byte < 0x80 ? String.fromCharCode(byte) : CP437[byte - 0x80];
    return name;
  }

  // Where the central directory is, or null when the file is no zip archive.
  async function directoryOf(file) {
    const tailStart = Math.max(0, file.size - 22 - 65535);
    const tail = await read(file, tailStart, file.size);
    let end = -1;
    for (let at = tail.byteLength - 22; at >= 0 && end < 0; at--) {
      if (tail.getUint32(at, true) === 0x06054b50 &&
          at + 22 + tail.getUint16(at + 20, true) === tail.byteLength) end = at;
    }
    if (end < 0) return null;
    let count = tail.getUint16(end + 10, true);
    let size = tail.getUint32(end + 12, true);
    let offset = tail.getUint32(end + 16, true);
    if (count === 0xffff || size === 0xffffffff || offset === 0xffffffff) {
      if (end < 20 || tail.getUint32(end - 20, true) !== 0x07064b50) {
        throw new Error('it is a damaged zip archive');
      }
      const at = u64(tail, end - 12);
      const record = await read(file, at, at + 56);
      if (record.byteLength < 56 || record.getUint32(0, true) !== 0x06064b50) {
        throw new Error('it is a damaged zip archive');
      }
      [count, size, offset] = [u64(record, 32), u64(record, 40), u64(record, 48)];
    }
    if (offset + size > file.size) throw new Error('it is a damaged or incomplete zip archive');
    return {count, size, offset};
  }

  // The archive's members, folders left out; null when the file is no zip
  // archive. A member that cannot be listed carries the reason as `problem`.
  async function members(file) {
    const where = await directoryOf(file);
    if (!where) return null;
    const view = await read(file, where.offset, where.offset + where.size);
    const bytes = new Uint8Array(view.buffer);
    const found = [];
    let at = 0;
    for (let i = 0; i < where.count; i++) {
      if (at + 46 > view.byteLength || view.getUint32(at, true) !== 0x02014b50) {
        throw new Error('it is a damaged zip archive');
      }
      const flags = view.getUint16(at + 8, true);
      const method = view.getUint16(at + 10, true);
      let packedSize = view.getUint32(at + 20, true);
      let size = view.getUint32(at + 24, true);
      const nameLength = view.getUint16(at + 28, true);
      const extraLength = view.getUint16(at + 30, true);
      let offset = view.getUint32(at + 42, true);
      const next = at + 46 + nameLength + extraLength + view.getUint16(at + 32, true);
      if (next > view.byteLength) throw new Error('it is a damaged zip archive');
      const path = nameOf(bytes.subarray(at + 46, at + 46 + nameLength), (flags & 0x800) !== 0);
      for (let extra = at + 46 + nameLength; extra + 4 <= at + 46 + nameLength + extraLength;) {
        const id = view.getUint16(extra, true);
        const length = view.getUint16(extra + 2, true);
        if (id === 1) {
          let field = extra + 4;
          const wide = () => { const value = u64(view, field); field += 8; return value; };
          if (size === 0xffffffff) size = wide();
          if (packedSize === 0xffffffff) packedSize = wide();
          if (offset === 0xffffffff) offset = wide();
        }
        extra += 4 + length;
      }
      at = next;
      if (path.endsWith('/')) continue;
      let problem = null;
      if (flags & 1) {
        problem = 'it is encrypted';
      } else if (method !== 0 && method !== 8) {
        problem = `it is packed by a method the page cannot unpack (method ${method})`;
      } else if (method === 8 && size > 64 * MiB) {
        problem = 'it unpacks to more than 64 MiB';
      }
      found.push({path, problem, member: {offset, method, packedSize, size}});
    }
    return found;
  }

  // The archive as the page lists it: null when the blob is no zip archive,
  // else {damage, members}, each member with its full path, its name, the
  // blob that holds it and where its data is.
  async function open(blob, path) {
    let found;
    try {
      found = await members(blob);
    } catch (error) {
      if (error instanceof DOMException) throw error;
      return {damage: error.message || 'it is a damaged zip archive', members: []};
    }
    if (!found) return null;
    return {damage: null, members: found.map(({path: inner, problem, member}) => ({
      path: `${path}/${inner}`, name: inner.slice(inner.lastIndexOf('/') + 1), problem,
      zip: blob, member}))};
  }

  return {open, members};
})();
