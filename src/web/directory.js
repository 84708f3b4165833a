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
  // What the directory keeps of each image while it is shown: the rows'
  // order under the last sort, and the text still being filled.
  const kept = new WeakMap();
  const keptOf = (image) => {
    if (!kept.has(image)) kept.set(image, {order: null, textFill: null});
    return kept.get(image);
  };

  const dateKey = (e) => Fields.stampKey(`${e.date} ${e.time}`);

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
    const cache = keptOf(image);
    if (cache.order?.result === image.result && cache.order.key === cacheKey) {
      return cache.order.rows;
    }
    const count = Fields.rowCount(image.result);
    const rows = Array.from({length: count}, (_, i) => i);
    const column = COLUMNS.find((c) => c.key === sort.key);
    if (column.key !== 'no') {
      const keys = rows.map((i) => column.value(Fields.entry(image.result, i)));
      rows.sort((a, b) => (keys[a] < keys[b] ? -1 : keys[a] > keys[b] ? 1 : a - b));
    }
    if (sort.descending) rows.reverse();
    cache.order = {result: image.result, key: cacheKey, rows};
    return rows;
  }

  function element(tag, className, text) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  }

  // The name with the found text marked.
  // The name with the found text marked, as the button that opens the
  // file: row `i` of the listing.
  function nameCell(name, query, i) {
    const cell = element('th');
    cell.scope = 'row';
    const open = element('button', 'open');
    open.type = 'button';
    open.dataset.key = `row-${i}`;
    open.setAttribute('aria-haspopup', 'dialog');
    if (!name) open.setAttribute('aria-label', 'Open the file without a name');
    const at = query ? name.toLowerCase().indexOf(query) : -1;
    if (at < 0) {
      open.textContent = name;
    } else {
      open.append(name.slice(0, at), element('mark', '', name.slice(at, at + query.length)),
                  name.slice(at + query.length));
    }
    cell.append(open);
    return cell;
  }

  function tableRow(e, query, marked, i) {
    const row = element('tr', marked ? 'match' : '');
    row.append(element('td', 'number', `${e.no}.`), nameCell(e.name, marked ? query : '', i),
               element('td', '', e.type), element('td', '', e.machine),
               element('td', '', e.flags), element('td', 'number', `${e.size} ${e.unit}`),
               element('td', 'number', String(e.start)), element('td', 'number', String(e.sectors)),
               element('td', 'date', `${e.date} ${e.time}`));
    return row;
  }

  function table(image, view) {
    const count = Fields.rowCount(image.result);
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
        button.dataset.key = column.key;
        button.addEventListener('click', () => view.onSort(column.key, image));
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
    body.addEventListener('click', (event) => {
      const open = event.target.closest('button.open');
      if (open) view.onOpen(image, Number(open.dataset.key.slice(4)));
    });
    let wanted = image.shownRows || FIRST_ROWS;
    const marked = image.found?.entries;
    if (marked?.size) {
      const lastMarked = rows.findLastIndex((i) => marked.has(i));
      if (lastMarked < MARKED_ROWS) wanted = Math.max(wanted, lastMarked + 1);
    }
    const shown = Math.min(count, wanted);
    for (let k = 0; k < shown; k++) {
      const i = rows[k];
      body.append(tableRow(Fields.entry(image.result, i), view.query, marked?.has(i), i));
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
    keptOf(image).textFill = {pre, line: 0, marked: new Set(
        [...(image.found?.entries || [])].map((i) => FIRST_ROW_LINE + i))};
    fillText(image, 0);
    return pre;
  }

  // Adds blocks of the listing until the time is up; true when it is whole.
  function fillText(image, milliseconds) {
    const fill = keptOf(image).textFill;
    if (!fill) return true;
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
    keptOf(image).textFill = null;
    return true;
  }

  // The directory's content under the current view: what became of the
  // image when it is not plainly listed, then its listing.
  function render(image, view) {
    const parts = [];
    const message = States.message(image);
    if (message) {
      parts.push(element('p', States.error(image.state) || image.note ? 'error' : 'note', message));
    }
    // Above the listing, where a long directory does not hide it.
    if (Fields.rowCount(image.result) > 0) {
      const save = element('button', 'save-all', 'Save all files');
      save.type = 'button';
      save.dataset.key = 'save-all';
      save.setAttribute('aria-label', `Save all files of ${image.title}`);
      save.addEventListener('click', () => view.onSaveAll(image));
      parts.push(element('p', 'files'));
      parts.at(-1).append(save);
    }
    if (image.result && view.text) {
      parts.push(text(image));
    } else if (Fields.present(image.result)) {
      parts.push(table(image, view));
    }
    return parts;
  }

  // Whether the image's listing as text is still being filled.
  const filling = (image) => Boolean(kept.get(image)?.textFill);

  return {render, fillText, filling};
})();
