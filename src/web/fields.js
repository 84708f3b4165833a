// SPDX-License-Identifier: MIT
// The volume's fields in a lister's result: the summary's words and texts,
// then each row's, in the listing's order, where the module's layout (from
// the workers' first word) says they lie. Also the rules that the page
// applies to fields wherever it shows or sorts them.
'use strict';

const Fields = (() => {
  let layout = null;

  // Given once by the first worker that starts.
  function setLayout(given) {
    layout ??= given;
  }

  const ascii = (bytes) => String.fromCharCode(...bytes);
  const text = (result, [from, width], at = 0) =>
    result.texts.subarray(at + from, at + from + width);
  const rowAt = (i) => layout.summaryBytes + i * layout.rowBytes;

  // Whether the result holds a listed volume's fields.
  const present = (result) =>
    Boolean(result?.words) && layout.states[result.words[layout.summaryWords.state]] === 'listed';

  const rowCount = (result) => (present(result) ? result.words[layout.summaryWords.rows] : 0);

  // The volume's summary: label (up to its first NUL), initialisation,
  // entries used of the capacity, bytes free (which may be negative).
  function volume(result) {
    if (!present(result)) return null;
    const label = text(result, layout.summaryTexts.label);
    const nul = label.indexOf(0);
    const word = (name) => result.words[layout.summaryWords[name]];
    return {label: Shown.text(nul < 0 ? label : label.subarray(0, nul)),
            init: ascii(text(result, layout.summaryTexts.init)),
            used: word('used'), capacity: word('capacity'), free: word('free') | 0};
  }

  const nameBytes = (result, i) => text(result, layout.rowTexts.name, rowAt(i));

  // Row i of a listed image, in the listing's order, as the page shows it.
  function entry(result, i) {
    const words = layout.rowWords;
    const word = (name) =>
      result.words[layout.summaryWordCount + i * layout.rowWordCount + words[name]];
    const field = (name) => ascii(text(result, layout.rowTexts[name], rowAt(i)));
    const flagBits = word('flags');
    const flags = layout.flags;
    const stamp = field('stamp');
    return {
      no: i + 1,
      name: Shown.text(nameBytes(result, i)).trimEnd(),
      type: field('type').trimEnd(),
      machine: field('machine').trimEnd(),
      flags: ['S', 'P', 'A'].filter((flag) => flagBits & flags[flag]).join(''),
      size: word('size'),
      unit: flagBits & flags.inRegisters ? 'regs' : 'bytes',
      sizeBytes: word('bytes'),
      start: word('start'),
      sectors: word('sectors'),
      date: stamp.slice(0, 8),
      time: stamp.slice(9, 14),
      second: stamp.slice(15, 17),
    };
  }

  // Every row's name as shown, in lower case, for finding.
  function lowerNames(result) {
    const count = rowCount(result);
    const width = layout.rowTexts.name[1];
    const bytes = new Uint8Array(count * width);
    for (let i = 0; i < count; i++) bytes.set(nameBytes(result, i), i * width);
    const all = Shown.text(bytes).toLowerCase();
    return Array.from({length: count}, (_, i) => all.substr(i * width, width).trimEnd());
  }

  // A stamp (YY/MM/DD, then anything) in time order: two-digit years from
  // 70 on are the 1900s, the others the 2000s.
  const stampKey = (stamp) => (stamp < '70' ? '20' : '19') + stamp;

  return {setLayout, present, rowCount, volume, entry, lowerNames, stampKey};
})();
