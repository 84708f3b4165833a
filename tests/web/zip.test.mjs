// SPDX-License-Identifier: MIT
// The page's zip reader in Node: archives written here, whole, cut short,
// damaged, nested and hostile, and the members it must find in each, whose
// data must then unpack, checked, to what was written.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import test from 'node:test';
import {fileURLToPath} from 'node:url';
import vm from 'node:vm';
import zlib from 'node:zlib';

const here = path.dirname(fileURLToPath(import.meta.url));
const zipScript = path.join(here, '../../src/web/zip.js');
// The classic script as the page loads it, with only what a browser gives.
const context = vm.createContext({Blob, DecompressionStream, ReadableStream, TextDecoder,
                                  DOMException});
vm.runInContext(fs.readFileSync(zipScript, 'utf8'), context, {filename: zipScript});
const Zip = vm.runInContext('Zip', context);

const MiB = 1024 * 1024;

// Bytes that deflate with dynamic codes: words in a varying order.
function textual(seed, length) {
  const words = ['TREK', 'SPOCK', 'LIF', 'HP-85', 'volume', 'disk', 'ENTER', '\0\0\0\xff'];
  let state = seed;
  const parts = [];
  for (let total = 0; total < length;) {
    state = (state * 1103515245 + 12345) >>> 0;
    const word = words[state >>> 29];
    parts.push(word);
    total += word.length;
  }
  return Buffer.from(parts.join('').slice(0, length), 'latin1');
}

// Bytes that hardly deflate at all.
function noisy(seed, length) {
  const bytes = Buffer.alloc(length);
  let state = seed;
  for (let i = 0; i < length; i++) {
    state = (state * 1664525 + 1013904223) >>> 0;
    bytes[i] = state >>> 24;
  }
  return bytes;
}

const u16 = (value) => { const b = Buffer.alloc(2); b.writeUInt16LE(value); return b; };
const u32 = (value) => { const b = Buffer.alloc(4); b.writeUInt32LE(value >>> 0); return b; };

// A zip archive of the given members, as PKWARE's application note lays it
// out: local headers with the data, then the central directory and its end.
// A member is {name (a string or its bytes), data, method (0 or 8), flags,
// level (zlib's), unicodePath (Info-ZIP's field, `unicodeCrc` to spoil it),
// descriptor ('signed' or 'bare': sizes 0 in the local header, then a data
// descriptor), packed (bytes in place of the packed data), size and crc
// (declared),
// offset (in the directory)}. `end` changes the end record's fields; more
// than 65,535 members take a zip64 end record. The result carries where
// each member's record ends and where the directory is.
function zipOf(members, end = {}) {
  const parts = [];
  const central = [];
  const memberEnds = [];
  let offset = 0;
  for (const member of members) {
    const {data, method = 0, descriptor} = member;
    const name = Buffer.isBuffer(member.name) ? member.name : Buffer.from(member.name);
    const flags = (member.flags ?? 0) | (descriptor ? 8 : 0);
    const packed = member.packed ??
        (method === 8 ? zlib.deflateRawSync(data, {level: member.level ?? 6}) : data);
    const size = member.size ?? data.length;
    const crc = member.crc ?? zlib.crc32(data);
    let extra = Buffer.alloc(0);
    if (member.unicodePath !== undefined) {
      const utf8 = Buffer.from(member.unicodePath);
      extra = Buffer.concat([u16(0x7075), u16(5 + utf8.length), Buffer.from([1]),
                             u32(member.unicodeCrc ?? zlib.crc32(name)), utf8]);
    }
    const fields = (sizes) => Buffer.concat([
      u16(20), u16(flags), u16(method), u16(0), u16(0x21),
      ...(sizes ? [u32(crc), u32(packed.length), u32(size)] : [u32(0), u32(0), u32(0)]),
      u16(name.length), u16(extra.length)]);
    const local = Buffer.concat([u32(0x04034b50), fields(!descriptor), name, extra, packed]);
    const after = descriptor ? Buffer.concat([
      descriptor === 'signed' ? u32(0x08074b50) : Buffer.alloc(0),
      u32(crc), u32(packed.length), u32(size)]) : Buffer.alloc(0);
    central.push(Buffer.concat([u32(0x02014b50), u16(20), fields(true), u16(0), u16(0), u16(0),
                                u32(0), u32(member.offset ?? offset), name, extra]));
    parts.push(local, after);
    offset += local.length + after.length;
    memberEnds.push(offset);
  }
  const directory = Buffer.concat(central);
  const count = end.count ?? members.length;
  const wide = [];
  if (count > 0xffff) {
    const u64 = (value) => Buffer.concat([u32(value), u32(0)]);
    wide.push(u32(0x06064b50), u64(44), u16(45), u16(45), u32(0), u32(0), u64(count),
              u64(count), u64(directory.length), u64(offset), u32(0x07064b50), u32(0),
              u64(offset + directory.length), u32(1));
  }
  const record = Buffer.concat([
    u32(0x06054b50), u16(0), u16(0), u16(Math.min(count, 0xffff)), u16(Math.min(count, 0xffff)),
    u32(directory.length), u32(end.offset ?? offset), u16(0)]);
  return Object.assign(Buffer.concat([...parts, directory, ...wide, record]),
                       {memberEnds, directoryAt: offset});
}

// What the worker has of a member: its reason, from the directory or from
// unpacking it, and its data when it has any.
async function memberOf({problem, zip, member}) {
  if (problem) return {problem};
  try {
    const {bytes, blob, damage} = await Zip.unpack(zip, member);
    return {problem: damage, data: Buffer.from(bytes ?? await blob.arrayBuffer())};
  } catch (error) {
    // Errors come from the script's own realm.
    assert.equal(error.constructor.name, 'Damaged', String(error));
    return {problem: error.message};
  }
}

// Opens the archive as `given.zip` and checks what it holds: `members` as
// [path, reason or null, data] (a reason may be a RegExp; the data, when
// given, is checked also with a reason) and `damage` likewise, null for none.
async function expectOpen(archive, {damage = null, members}) {
  const opened = await Zip.open(new Blob([archive]), 'given.zip');
  assert.ok(opened, 'a zip archive');
  const same = (actual, expected) => expected instanceof RegExp && expected.test(actual) ?
      expected : actual;
  assert.equal(same(opened.damage, damage), damage);
  // The members' arrays come from the script's own realm.
  assert.deepEqual(Array.from(opened.members, ({path}) => path),
                   members.map(([at]) => `given.zip/${at}`));
  for (const [index, [at, problem, data]] of members.entries()) {
    const member = opened.members[index];
    assert.equal(member.name, at.slice(at.lastIndexOf('/') + 1));
    if (member.damage) {
      assert.equal(same(member.damage, problem), problem, at);
      continue;
    }
    const got = await memberOf(member);
    assert.equal(same(got.problem, problem), problem, at);
    if (data) assert.ok(got.data?.equals(data), `the data of ${at}`);
  }
  return opened;
}

const one = textual(1, 3000);
const two = textual(2, 70000);
const three = noisy(3, 5000);
const four = textual(4, 256);
// Coded blocks long enough to be read in several pieces, then stored ones.
const big = Buffer.concat([noisy(6, 600000).map((byte) => 0x40 + (byte & 15)), noisy(5, 1200000),
                           textual(5, 800000)]);

// The same four members in each form an archive takes.
const plain = [
  {name: 'one.lif', data: one},
  {name: 'disks/two.lif', data: two, method: 8},
  {name: 'disks/', data: Buffer.alloc(0)},
  {name: 'three.lif', data: three, method: 8, level: 0},
  {name: 'four.lif', data: four, method: 8},
];
const plainListed = [['one.lif', null, one], ['disks/two.lif', null, two],
                     ['three.lif', null, three], ['four.lif', null, four]];
const streamed = [
  {name: 'one.lif', data: one, descriptor: 'signed'},
  {name: 'two.lif', data: two, method: 8, descriptor: 'bare'},
  {name: 'three.lif', data: three, method: 8, level: 0, descriptor: 'bare'},
  {name: 'big.lif', data: big, method: 8, descriptor: 'signed'},
  {name: 'four.lif', data: four, method: 8, descriptor: 'signed'},
  {name: 'empty.lif', data: Buffer.alloc(0), descriptor: 'signed'},
];
const streamedListed = [['one.lif', null, one], ['two.lif', null, two],
                        ['three.lif', null, three], ['big.lif', null, big],
                        ['four.lif', null, four], ['empty.lif', null, Buffer.alloc(0)]];
const cp437 = (text) => Buffer.from([...text].map((c) => ({ü: 0x81, é: 0x82, '░': 0xb0})[c] ??
                                                        c.charCodeAt(0)));
const named = [
  {name: 'Spiele für 71 été.lif', data: one},
  {name: 'Données ☃.lif', data: one, flags: 0x800},
  {name: cp437('Spiele für 71.lif'), data: one},
  {name: cp437('DISKé.lif'), data: one, unicodePath: 'Disque été ☃.lif'},
  {name: cp437('OLD░é.lif'), data: one, unicodePath: 'Wrong.lif', unicodeCrc: 1234},
  {name: 'plain.lif', data: one, unicodePath: 'Unflagged ü.lif', flags: 0x800},
];
const namedListed = [['Spiele für 71 été.lif', null, one], ['Données ☃.lif', null, one],
                     ['Spiele für 71.lif', null, one], ['Disque été ☃.lif', null, one],
                     ['OLD░é.lif', null, one], ['plain.lif', null, one]];

const cutEnd = /^it was cut short or its end is damaged/;
const badDirectory = /^its central directory is damaged/;
const endsInside = 'the archive ends inside it';

const whole = zipOf(plain);
// A copy with one byte changed, in the middle or at `at`.
const spoilt = (bytes, at = bytes.length >> 1) => {
  const copy = Buffer.from(bytes);
  copy[at] ^= 0x20;
  return copy;
};
const checked = zipOf([{name: 'one.lif', data: one},
                       {name: 'two.lif', data: two, packed: spoilt(two)},
                       {name: 'three.lif', data: three, method: 8, crc: 1234},
                       {name: 'four.lif', data: four, method: 8}]);
const checkedListed = [['one.lif', null, one], ['two.lif', 'its check sum differs', spoilt(two)],
                       ['three.lif', 'its check sum differs', three], ['four.lif', null, four]];
// A stored member's data holding a signed descriptor whose sizes put its
// end there, with another CRC-32.
const faked = Buffer.concat([one, u32(0x08074b50), u32(0), u32(one.length), u32(one.length),
                             four]);
const withDescriptors = zipOf(streamed);
const CASES = [
  {name: 'stored and deflated members, a folder left out', archive: whole,
   members: plainListed},
  {name: 'its directory cut off', archive: whole.subarray(0, whole.directoryAt),
   damage: cutEnd, members: plainListed},
  {name: 'cut inside its directory', archive: whole.subarray(0, whole.directoryAt + 50),
   damage: cutEnd, members: plainListed},
  {name: 'cut inside the end record', archive: whole.subarray(0, whole.length - 5),
   damage: cutEnd, members: plainListed},
  {name: 'cut inside the data of the second member',
   archive: whole.subarray(0, whole.memberEnds[0] + 500), damage: cutEnd,
   members: [['one.lif', null, one], ['disks/two.lif', endsInside]]},
  {name: 'cut inside the header of the second member',
   archive: whole.subarray(0, whole.memberEnds[0] + 35), damage: cutEnd,
   members: [['one.lif', null, one]]},
  {name: 'cut after the first header signature', archive: whole.subarray(0, 4), damage: cutEnd,
   members: []},
  {name: 'an end record that places the directory wrong',
   archive: zipOf(plain, {offset: 7}), damage: badDirectory, members: plainListed},
  {name: 'an end record that counts more entries than there are',
   archive: zipOf(plain, {count: 60000}), damage: badDirectory, members: plainListed},
  {name: 'an end record whose count needs zip64, without its locator',
   archive: zipOf(plain, {count: 0xffff}), damage: badDirectory, members: plainListed},
  {name: 'a directory entry whose signature is spoilt', archive: (() => {
    const archive = Buffer.from(whole);
    archive.writeUInt32LE(0x02014b51, whole.directoryAt);
    return archive;
  })(), damage: badDirectory, members: plainListed},
  {name: 'sizes in data descriptors, with and without their signature',
   archive: withDescriptors, members: streamedListed},
  {name: 'sizes in data descriptors, directory cut off',
   archive: withDescriptors.subarray(0, withDescriptors.directoryAt), damage: cutEnd,
   members: streamedListed},
  {name: 'a streamed deflated member cut inside its data',
   archive: withDescriptors.subarray(0, withDescriptors.memberEnds[2] + 200000), damage: cutEnd,
   members: [...streamedListed.slice(0, 3), ['big.lif', endsInside]]},
  {name: 'a streamed deflated member cut in its last byte',
   archive: withDescriptors.subarray(0, withDescriptors.memberEnds[4] - 17), damage: cutEnd,
   members: [...streamedListed.slice(0, 4), ['four.lif', endsInside]]},
  {name: 'a streamed deflated member cut where its last byte holds only zero bits',
   // Deflated, the last byte is 00: the bits past the cut, read as zeros, end
   // the stream as it ended.
   archive: zipOf([{name: 'one.lif', data: one},
                   {name: 'tail.lif', data: Buffer.from('HP85 HP85 11'), method: 8,
                    descriptor: 'signed'}]).subarray(0, 30 + 7 + one.length + 30 + 8 + 10),
   damage: cutEnd, members: [['one.lif', null, one], ['tail.lif', endsInside]]},
  {name: 'a streamed stored member cut inside its data',
   archive: withDescriptors.subarray(0, 1000), damage: cutEnd,
   members: [['one.lif', /^the archive ends inside it/]]},
  {name: 'a streamed member whose deflated data is damaged', archive: (() => {
    const archive = zipOf([
      {name: 'bad.lif', data: one, method: 8, descriptor: 'signed', packed: Buffer.alloc(40, 0xff)},
      {name: 'good.lif', data: two, method: 8, descriptor: 'bare'}]);
    return archive.subarray(0, archive.directoryAt);
  })(), damage: cutEnd,
   members: [['bad.lif', /^its packed data is damaged \(.+\)$/], ['good.lif', null, two]]},
  {name: 'a stored member changed by one byte, a deflated one whose check sum is wrong',
   archive: checked, members: checkedListed},
  {name: 'the same found from the local headers',
   archive: checked.subarray(0, checked.directoryAt), damage: cutEnd, members: checkedListed},
  {name: 'streamed, cut, a stored member holding a descriptor that fits but for its CRC',
   archive: (() => {
     const archive = zipOf([{name: 'fake.lif', data: faked, descriptor: 'signed'},
                            {name: 'two.lif', data: two, method: 8, descriptor: 'bare'}]);
     return archive.subarray(0, archive.directoryAt);
   })(), damage: cutEnd, members: [['fake.lif', null, faked], ['two.lif', null, two]]},
  {name: 'streamed, cut, a stored zip holding streamed members and its directory',
   archive: (() => {
     const archive = zipOf([{name: 'inner.zip', data: withDescriptors, descriptor: 'bare'},
                            {name: 'four.lif', data: four, method: 8, descriptor: 'signed'}]);
     return archive.subarray(0, archive.directoryAt);
   })(), damage: cutEnd, members: [...streamedListed.map(([at, ...rest]) => [`inner.zip/${at}`,
                                                                            ...rest]),
                                   ['four.lif', null, four]]},
  {name: 'names: the UTF-8 flag, Unicode Path, unflagged UTF-8, code page 437',
   archive: zipOf(named), members: namedListed},
  {name: 'the same names found from the local headers',
   archive: zipOf(named).subarray(0, zipOf(named).directoryAt), damage: cutEnd,
   members: namedListed},
  {name: 'an entry that points past the archive',
   archive: zipOf([{name: 'far.lif', data: one, offset: 1e6}, {name: 'near.lif', data: two}]),
   members: [['far.lif', 'its directory entry points past the end of the archive'],
             ['near.lif', null, two]]},
  {name: 'encrypted, other methods, and a declared size past 64 MiB',
   archive: zipOf([{name: 'secret.lif', data: one, flags: 1},
                   {name: 'bzip.lif', data: one, method: 12},
                   {name: 'huge.lif', data: one, method: 8, size: 65 * MiB}]),
   members: [['secret.lif', 'it is encrypted'],
             ['bzip.lif', 'it is packed by a method the page cannot unpack (method 12)'],
             ['huge.lif', 'it unpacks to more than 64 MiB']]},
];

for (const {name, archive, damage, members} of CASES) {
  test(`zip: ${name}`, () => expectOpen(archive, {damage, members}));
}

// Zips inside: each level named like a zip holds the next.
function nestedOf(levels, method) {
  let inner = zipOf([{name: 'deep.lif', data: one}]);
  for (let level = levels; level > 0; level--) {
    inner = zipOf([{name: `side${level}.lif`, data: four},
                   {name: `level${level}.zip`, data: inner, method}]);
  }
  return inner;
}

const innerCut = zipOf([{name: 'a.lif', data: one}, {name: 'b.lif', data: two, method: 8}]);
const NESTED = [
  {name: 'a stored zip and a deflated one inside, named in any case',
   archive: zipOf([{name: 'inner.zip', data: zipOf([{name: 'deep.lif', data: one}])},
                   {name: 'sub/INNER.ZIP', data: zipOf([{name: 'x/deep.lif', data: two,
                                                           method: 8}]), method: 8}]),
   members: [['inner.zip/deep.lif', null, one], ['sub/INNER.ZIP/x/deep.lif', null, two]]},
  {name: 'four levels down', archive: nestedOf(4, 8), members: [
    ['side1.lif', null, four], ['level1.zip/side2.lif', null, four],
    ['level1.zip/level2.zip/side3.lif', null, four],
    ['level1.zip/level2.zip/level3.zip/side4.lif', null, four],
    ['level1.zip/level2.zip/level3.zip/level4.zip/deep.lif', null, one]]},
  {name: 'five levels down', archive: nestedOf(5, 0), members: [
    ['side1.lif', null, four], ['level1.zip/side2.lif', null, four],
    ['level1.zip/level2.zip/side3.lif', null, four],
    ['level1.zip/level2.zip/level3.zip/side4.lif', null, four],
    ['level1.zip/level2.zip/level3.zip/level4.zip/side5.lif', null, four],
    ['level1.zip/level2.zip/level3.zip/level4.zip/level5.zip',
     'it is a zip archive nested more than 4 deep']]},
  {name: 'a cut zip inside, and one that is no zip',
   archive: zipOf([{name: 'cut.zip', data: innerCut.subarray(0, innerCut.directoryAt - 1),
                    method: 8},
                   {name: 'fake.zip', data: four}]),
   members: [['cut.zip', cutEnd], ['cut.zip/a.lif', null, one],
             ['cut.zip/b.lif', endsInside], ['fake.zip', null, four]]},
  {name: 'a zip inside whose packed data is damaged',
   archive: zipOf([{name: 'bad.zip', data: innerCut, method: 8,
                    packed: Buffer.alloc(100, 0xff)}]),
   members: [['bad.zip', /^its packed data is damaged \(.+\)$/]]},
  {name: 'a zip inside that unpacks to less than it says',
   archive: zipOf([{name: 'liar.zip', data: innerCut, method: 8, size: innerCut.length + 1}]),
   members: [['liar.zip', 'it unpacks to less than the archive says']]},
  {name: 'a zip inside that unpacks to more than it says',
   archive: zipOf([{name: 'bomb.zip', data: Buffer.alloc(65 * MiB), method: 8, size: 1000}]),
   members: [['bomb.zip', 'it unpacks to more than the archive says']]},
  {name: 'a zip inside changed in a byte it does not read: opened, and said',
   archive: zipOf([{name: 'spoilt.zip', data: innerCut,
                    packed: spoilt(innerCut, innerCut.directoryAt + 4)}]),
   members: [['spoilt.zip', 'its check sum differs'], ['spoilt.zip/a.lif', null, one],
             ['spoilt.zip/b.lif', null, two]]},
];

for (const {name, archive, members} of NESTED) {
  test(`zip inside zip: ${name}`, async () => {
    const opened = await expectOpen(archive, {members});
    const cut = opened.members.find((member) => member.damage);
    if (cut) assert.equal(cut.damage, cut.problem);
  });
}

test('zip: many entries pointing at one zip inside stop at a bound', async () => {
  const inner = zipOf(Array.from({length: 1000}, (_, i) => ({name: `${i}.lif`, data: four})));
  const archive = zipOf(Array.from({length: 300}, () => ({name: 'same.zip', data: inner,
                                                           offset: 0})));
  const opened = await Zip.open(new Blob([archive]), 'given.zip');
  assert.match(opened.damage, /more than 200000 members/);
  assert.ok(opened.members.length <= 200000 + 1, `${opened.members.length} members`);
});

// The bounds the page can keep: members past one have it as their reason,
// and the rest of the archive lists.
const tiny = Array.from({length: 250000}, (_, i) => ({name: `${i}.lif`, data: four}));
// Deflated once: a member's data is its own.
const zeros = Buffer.alloc(63 * MiB);
const zerosPacked = zlib.deflateRawSync(zeros);
const zerosCrc = zlib.crc32(zeros);
const heavy = zipOf([{name: 'zeros.lif', data: zeros}]);
const heavyPacked = zlib.deflateRawSync(heavy);
const heavyCrc = zlib.crc32(heavy);
const BOUNDS = [
  {name: '250,000 members in a zip64 directory: the first 200,000', archive: zipOf(tiny),
   damage: /^it holds more than 200000 members/, count: 200000},
  {name: '150,000 members in a zip inside', count: 150000,
   archive: zipOf([{name: 'inner.zip', data: zipOf(tiny.slice(0, 150000)), method: 8}])},
  {name: '3,000 entries of one member of 63 MiB: as many as the total allows', count: 3001,
   archive: zipOf([...Array.from({length: 3000}, () => ({name: 'same.lif', data: zeros,
                                                          method: 8, packed: zerosPacked,
                                                          crc: zerosCrc, offset: 0})),
                   {name: 'last.lif', data: four}]),
   reasons: {0: null, 5: null, 6: /^the archives chosen with it unpack to more than 384 MiB/,
             3000: null}},
  {name: 'eight zips of 63 MiB inside: as many as the total allows', count: 9,
   archive: zipOf([...Array.from({length: 8}, (_, i) => ({name: `${i}.zip`, data: heavy,
                                                          method: 8, packed: heavyPacked,
                                                          crc: heavyCrc})),
                   {name: 'last.lif', data: four}]),
   reasons: {0: null, 5: null, 6: /^the archives chosen with it unpack to more than 384 MiB/,
             7: /^the archives chosen with it/, 8: null}},
];

for (const {name, archive, damage = null, count, reasons = {}} of BOUNDS) {
  test(`zip bounds: ${name}`, async () => {
    const opened = await Zip.open(new Blob([archive]), 'given.zip');
    if (damage) assert.match(opened.damage, damage); else assert.equal(opened.damage, null);
    assert.equal(opened.members.length, count);
    for (const [index, reason] of Object.entries(reasons)) {
      const {problem} = opened.members[index];
      if (reason) assert.match(problem, reason, index); else assert.equal(problem, null, index);
    }
  });
}

test('zip: files that are no zip archive', async () => {
  for (const bytes of [Buffer.alloc(0), Buffer.from('PK'), Buffer.from('PK\x03'),
                       Buffer.from('A text file, not a disk image.\n'), noisy(9, 70000)]) {
    assert.equal(await Zip.open(new Blob([bytes]), 'given.zip'), null, bytes.subarray(0, 8));
  }
});
