// SPDX-License-Identifier: MIT
// One image's directory on the page: a table of its entries, sortable by any
// column and shown a page of rows at a time, or its listing as text, exactly
// as the command line prints it. Names come from the image and are only ever
// set as text.
'use strict';

const Directory = (() => {
  // Rows shown at first, and how many more a click shows; enough to hold
  // the marked rows, up to a limit.
  const FIRST_ROWS = 100;
  const MORE_ROWS = 500;
  const MARKED_ROWS = 2000;
  const CHUNK_LINES = 500;
  // The listing's rows start after the heading, the summary and the column
  // header.
  const FIRST_ROW_LINE = 7;
  // The worker's fields of a listed volume: words, then per row five words;
  // texts: label and initialisation, then per row the name, type, machine
  // tag and stamp, blank padded.
  const SUMMARY_WORDS = 6;
  const ROW_WORDS = 5;
  const SUMMARY_BYTES = 23;
  const ROW_BYTES = 38;

  const ascii = (bytes) => String.fromCharCode(...bytes);

  // The volume's label (up to its first NUL) and initialisation.
  function volume(result) {
    const label = result.texts.subarray(0, 6);
    const nul = label.indexOf(0);
    return {label: Shown.text(nul < 0 ? label : label.subarray(0, nul)),
            init: ascii(result.texts.subarray(6, SUMMARY_BYTES))};
  }

  // The bytes of row i's name.
  const nameBytes = (result, i) =>
    result.texts.subarray(SUMMARY_BYTES + i * ROW_BYTES, SUMMARY_BYTES + i * ROW_BYTES + 10);

  // A listed image's row i, in the listing's order, as the page shows it.
  function entry(result, i) {
    const word = (n) => result.words[SUMMARY_WORDS + i * ROW_WORDS + n];
    const at = SUMMARY_BYTES + i * ROW_BYTES;
    const field = (from, to) => ascii(result.texts.subarray(at + from, at + to));
    const flagBits = word(4);
    return {
      no: i + 1,
      name: Shown.text(nameBytes(result, i)).trimEnd(),
      type: field(10, 16).trimEnd(),
      machine: field(16, 21).trimEnd(),
      flags: (flagBits & 1 ? 'S' : '') + (flagBits & 2 ? 'P' : '') + (flagBits & 4 ? 'A' : ''),
      size: word(0),
      unit: flagBits & 8 ? 'regs' : 'bytes',
      sizeBytes: word(1),
      start: word(2),
      sectors: word(3),
      date: field(21, 29),
      time: field(30, 35),
    };
  }

  const rowCount = (result) => (result?.state === 'listed' ? result.words[5] : 0);

  // Every row's name as shown, in lower case, for finding; made once.
  function lowerNames(result) {
    if (!result.lowerNames) {
      const count = rowCount(result);
      const bytes = new Uint8Array(count * 10);
      for (let i = 0; i < count; i++) bytes.set(nameBytes(result, i), i * 10);
      const all = Shown.text(bytes).toLowerCase();
      result.lowerNames = Array.from({length: count}, (_, i) => all.substr(i * 10, 10).trimEnd());
    }
    return result.lowerNames;
  }

  // Two-digit years from 70 on are the 1900s, the others the 2000s.
  const dateKey = (e) => (e.date < '70' ? '20' : '19') + e.date + e.time;

  const COLUMNS = [
    {key: 'no', title: 'No.', value: (e) => e.no},
    {key: 'name', title: 'Name', value: (e) => e.name},
    {key: 'type', title: 'Type', value: (e) => e.type},
    {key: 'machine', title: 'Machine', value: (e) => e.machine},
    {key: 'flags', title: 'Flags'},
    {key: 'size', title: 'Size', value: (e) => e.sizeBytes},
    {key: 'start', title: 'Start', value: (e) => e.start},
    {key: 'sectors', title: 'Sectors', value: (e) => e.sectors},
    {key: 'date', title: 'Date', value: dateKey},
  ];

  // The rows in the table's order; ties keep the listing's order.
  function order(image, sort) {
    const cacheKey = `${sort.key} ${sort.descending}`;
    if (image.order?.result === image.result && image.order.key === cacheKey) {
      return image.order.rows;
    }
    const count = rowCount(image.result);
    const rows = Array.from({length: count}, (_, i) => i);
    const column = COLUMNS.find((c) => c.key === sort.key);
    if (column.key !== 'no') {
      const keys = rows.map((i) => column.value(entry(image.result, i)));
      rows.sort((a, b) => (keys[a] < keys[b] ? -1 : keys[a] > keys[b] ? 1 : a - b));
    }
    if (sort.descending) rows.reverse();
    image.order = {result: image.result, key: cacheKey, rows};
    return rows;
  }

  function element(tag, className, text) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  }

  // The name with the found text marked.
  function nameCell(name, query) {
    const cell = element('th');
    cell.scope = 'row';
    const at = query ? name.toLowerCase().indexOf(query) : -1;
    if (at < 0) {
      cell.textContent = name;
    } else {
      cell.append(name.slice(0, at), element('mark', '', name.slice(at, at + query.length)),
                  name.slice(at + query.length));
    }
    return cell;
  }

  function tableRow(e, query, marked) {
    const row = element('tr', marked ? 'match' : '');
    row.append(element('td', 'number', `${e.no}.`), nameCell(e.name, marked ? query : ''),
               element('td', '', e.type), element('td', '', e.machine),
               element('td', '', e.flags), element('td', 'number', `${e.size} ${e.unit}`),
               element('td', 'number', String(e.start)), element('td', 'number', String(e.sectors)),
               element('td', 'date', `${e.date} ${e.time}`));
    return row;
  }

  function table(image, view) {
    const count = rowCount(image.result);
    if (count === 0) return element('p', 'note', 'The directory lists no files.');
    const rows = order(image, view.sort);
    const scroller = element('div', 'scroller');
    scroller.tabIndex = 0;
    scroller.setAttribute('role', 'region');
    scroller.setAttribute('aria-label', `Directory of ${image.title}`);
    const tableNode = element('table', 'entries');
    tableNode.append(element('caption', 'visually-hidden', `Directory of ${image.title}`));
    const head = element('tr');
    for (const column of COLUMNS) {
      const cell = element('th');
      cell.scope = 'col';
      cell.className = column.key;
      if (column.value) {
        const button = element('button', 'sort', column.title);
        button.type = 'button';
        button.addEventListener('click', () => view.onSort(column.key));
        cell.append(button);
        if (view.sort.key === column.key) {
          cell.setAttribute('aria-sort', view.sort.descending ? 'descending' : 'ascending');
        }
      } else {
        cell.textContent = column.title;
      }
      head.append(cell);
    }
    const body = element('tbody');
    let wanted = image.shownRows || FIRST_ROWS;
    if (image.matches?.size) {
      const lastMarked = rows.findLastIndex((i) => image.matches.has(i));
      if (lastMarked < MARKED_ROWS) wanted = Math.max(wanted, lastMarked + 1);
    }
    const shown = Math.min(count, wanted);
    for (let k = 0; k < shown; k++) {
      const i = rows[k];
      body.append(tableRow(entry(image.result, i), view.query, image.matches?.has(i)));
    }
    tableNode.append(element('thead'), body);
    tableNode.tHead.append(head);
    scroller.append(tableNode);
    if (shown === count) return scroller;
    const more = element('button', 'more', `Show ${Math.min(MORE_ROWS, count - shown)} more ` +
                         `(${shown} of ${count} shown)`);
    more.type = 'button';
    more.addEventListener('click', () => view.onMore(image, shown + MORE_ROWS));
    const wrap = element('div');
    wrap.append(scroller, more);
    return wrap;
  }

  // The listing in blocks of lines that the browser lays out only when they
  // come into view, so that a huge one costs little. The blocks are filled
  // by fillText, a few at a time.
  function text(image) {
    const pre = element('pre');
    pre.tabIndex = 0;
    pre.setAttribute('aria-label', `Listing of ${image.title}`);
    image.textFill = {pre, line: 0,
                      marked: new Set([...(image.matches || [])].map((i) => FIRST_ROW_LINE + i))};
    fillText(image, 0);
    return pre;
  }

  // Adds blocks of the listing until the time is up; true when it is whole.
  function fillText(image, milliseconds) {
    const fill = image.textFill;
    const started = performance.now();
    const count = image.result.ends.length;
    do {
      if (fill.line >= count) break;
      const end = Math.min(count, fill.line + CHUNK_LINES);
      const lines = Shown.lines(image.result, image.name, fill.line, end);
      const chunk = element('span', 'chunk');
      let from = 0;
      for (let line = fill.line, at = 0; line < end; line++) {
        const lineEnd = lines.indexOf('\n', at);
        if (fill.marked.has(line)) {
          chunk.append(lines.slice(from, at), element('mark', '', lines.slice(at, lineEnd)));
          from = lineEnd;
        }
        at = lineEnd + 1;
      }
      chunk.append(lines.slice(from));
      chunk.style.setProperty('--lines', end - fill.line);
      fill.pre.append(chunk);
      fill.line = end;
    } while (performance.now() - started < milliseconds);
    if (fill.line < count) return false;
    image.textFill = null;
    return true;
  }

  const MESSAGES = {
    'waiting': () => 'Listing…',
    'cancelled': () => 'Not listed: the listing was cancelled.',
    'not-lif': () => 'This file is not a LIF image, nor a Teledisk or ImageDisk file that holds ' +
                     'one.',
    'damaged': () => 'This LIF image is damaged: it ends inside its header or its directory, ' +
                     'so nothing of it is listed.',
    'unreadable': (image) => `This file could not be read: ${image.reason}.`,
  };

  // The directory's content under the current view.
  function render(image, view) {
    const parts = [];
    const state = image.result?.state ?? image.state;
    if (state !== 'listed' || !image.result) {
      const message = MESSAGES[image.result ? state : image.state] || MESSAGES.waiting;
      parts.push(element('p', state === 'unreadable' ? 'error' : 'note', message(image)));
    }
    if (image.result && view.text) {
      parts.push(text(image));
    } else if (image.result && state === 'listed') {
      parts.push(table(image, view));
    }
    return parts;
  }

  return {volume, entry, rowCount, lowerNames, render, fillText};
})();
