// SPDX-License-Identifier: MIT
// Writes a zip archive of whole files, stored as they are (method 0), as
// PKWARE's application note lays it out: each local header with its data,
// then the central directory and its end. No zip64: an archive that would
// need it is refused.
'use strict';

const ZipWrite = (() => {
  const CRC_TABLE = Int32Array.from({length: 256}, (_, n) => {
    let c = n;
    for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    return c;
  });

  function crc32(bytes) {
    let crc = -1;
    for (let i = 0; i < bytes.length; i++) crc = CRC_TABLE[(crc ^ bytes[i]) & 0xff] ^ (crc >>> 8);
    return (crc ^ -1) >>> 0;
  }

  const MAX_32 = 0xffffffff;
  const MAX_16 = 0xffff;
  // 1980-01-01 00:00, the earliest a zip can say, for a file with no date.
  const NO_DATE = {date: (1 << 5) | 1, time: 0};

  // The MS-DOS date and time of {year, month, day, hour, minute, second},
  // to the even second below.
  const dosStamp = (stamp) => (stamp && stamp.year >= 1980 ?
    {date: ((stamp.year - 1980) << 9) | (stamp.month << 5) | stamp.day,
     time: (stamp.hour << 11) | (stamp.minute << 5) | (stamp.second >> 1)} : NO_DATE);

  // The archive of members {name (ASCII), bytes, stamp}, as a Blob.
  function zip(members) {
    if (members.length > MAX_16) throw new Error('more files than a zip can hold');
    const parts = [];
    const central = [];
    let offset = 0;
    for (const {name, bytes, stamp} of members) {
      const nameBytes = new TextEncoder().encode(name);
      const {date, time} = dosStamp(stamp);
      const crc = crc32(bytes);
      // The fields a local header and a directory entry share, from
      // "version needed" on.
      const common = new DataView(new ArrayBuffer(26));
      common.setUint16(0, 10, true);  // version 1.0: stored data
      common.setUint16(2, 0, true);   // flags
      common.setUint16(4, 0, true);   // stored
      common.setUint16(6, time, true);
      common.setUint16(8, date, true);
      common.setUint32(10, crc, true);
      common.setUint32(14, bytes.length, true);
      common.setUint32(18, bytes.length, true);
      common.setUint16(22, nameBytes.length, true);
      common.setUint16(24, 0, true);  // no extra field
      const local = new DataView(new ArrayBuffer(30));
      local.setUint32(0, 0x04034b50, true);
      new Uint8Array(local.buffer).set(new Uint8Array(common.buffer), 4);
      const entry = new DataView(new ArrayBuffer(46));
      entry.setUint32(0, 0x02014b50, true);
      entry.setUint16(4, 10, true);  // made by MS-DOS, version 1.0
      new Uint8Array(entry.buffer).set(new Uint8Array(common.buffer), 6);
      entry.setUint32(42, offset, true);
      parts.push(local, nameBytes, bytes);
      central.push(entry, nameBytes);
      offset += 30 + nameBytes.length + bytes.length;
      if (offset > MAX_32) throw new Error('more bytes than a zip without zip64 can hold');
    }
    const size = central.reduce((sum, part) => sum + part.byteLength, 0);
    if (offset + size > MAX_32) throw new Error('more bytes than a zip without zip64 can hold');
    const end = new DataView(new ArrayBuffer(22));
    end.setUint32(0, 0x06054b50, true);
    end.setUint16(8, members.length, true);
    end.setUint16(10, members.length, true);
    end.setUint32(12, size, true);
    end.setUint32(16, offset, true);
    return new Blob([...parts, ...central, end], {type: 'application/zip'});
  }

  return {zip, crc32};
})();
