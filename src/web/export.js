// SPDX-License-Identifier: MIT
// What leaves the page at the user's asking: all listings as one text file
// or on the clipboard, and every entry as CSV. Each takes the images in the
// overview's order.
'use strict';

const Export = (() => {
  function download(parts, type, name) {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob(parts, {type}));
    link.download = name;
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  }

  // All listings one after another, as the command line prints them for
  // several files: one empty line between two.
  function save(images) {
    const parts = [];
    images.forEach((image, i) => {
      if (i > 0) parts.push(new Uint8Array([0x0a]));
      parts.push(image.result.bytes);
    });
    download(parts, 'text/plain', 'listings.txt');
  }

  // The same as the page shows it; false when the browser did not allow it.
  async function copy(images) {
    const text = images.map((image) => Shown.listing(image.result, image.name)).join('\n');
    try {
      await navigator.clipboard.writeText(text);
      return true;
    } catch {
      return false;
    }
  }

  const quote = (value) => (/[",\r\n]/.test(value) ? `"${value.replace(/"/g, '""')}"` : value);
  const csvFile = (lines, name) => download(
      [lines.map((fields) => fields.map((v) => quote(String(v))).join(',')).join('\r\n') + '\r\n'],
      'text/csv', name);

  // One row per listed entry of every listed image (RFC 4180).
  function csv(images) {
    const lines = [['path', 'label', 'name', 'type', 'machine', 'flags', 'size', 'unit', 'start',
                    'sectors', 'date', 'time']];
    for (const image of images) {
      const label = image.volume?.label ?? '';
      for (let i = 0; i < Fields.rowCount(image.result); i++) {
        const e = Fields.entry(image.result, i);
        lines.push([image.shownPath, label, e.name, e.type, e.machine, e.flags, e.size, e.unit,
                    e.start, e.sectors, e.date, e.time]);
      }
    }
    csvFile(lines, 'listings.csv');
  }

  // One row per image, as the overview shows it, the note last.
  function overviewCsv(images) {
    const lines = [['path', 'status', 'reason', 'label', 'initialised', 'entries used',
                    'capacity', 'bytes free', 'note']];
    for (const image of images) {
      const volume = image.volume;
      lines.push([image.shownPath, States.status(image.state), image.reason,
                  ...(volume ? [volume.label, volume.init, volume.used, volume.capacity,
                                volume.free] : ['', '', '', '', '']), image.note]);
    }
    csvFile(lines, 'overview.csv');
  }

  return {save, copy, csv, overviewCsv};
})();
