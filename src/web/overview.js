// SPDX-License-Identifier: MIT
// The overview: one row per image, with its path, the volume's label,
// initialisation, entries and free bytes and what became of it; sortable by
// any column. A row's path opens the image's directory in the row below it.
'use strict';

const Overview = (() => {
  const collator = new Intl.Collator(undefined, {numeric: true});

  // The status, then the reason or else the note.
  const statusText = (image) => [States.status(image.state), image.reason || image.note]
      .filter(Boolean).join(': ');

  // The volume's fields of a listed image, also while it is listed again.
  const fields = (image) => image.volume;

  const KEYS = {
    path: null,
    label: (image) => fields(image)?.label ?? '',
    init: (image) => (fields(image) ? Fields.stampKey(fields(image).init) : ''),
    entries: (image) => fields(image)?.used ?? -1,
    free: (image) => fields(image)?.free ?? -Infinity,
    status: (image) => `${States.order(image.state)} ${statusText(image)}`,
  };

  // The images in the overview's order; equal keys go by path.
  function sorted(images, sort) {
    const byPath = (a, b) => collator.compare(a.path, b.path) || a.id - b.id;
    const key = KEYS[sort.key];
    const list = images.slice();
    if (!key) {
      list.sort(byPath);
    } else {
      const keys = new Map(list.map((image) => [image, key(image)]));
      list.sort((a, b) => {
        const [x, y] = [keys.get(a), keys.get(b)];
        return typeof x === 'string' ? collator.compare(x, y) || byPath(a, b) :
                                       x - y || byPath(a, b);
      });
    }
    if (sort.descending) list.reverse();
    return list;
  }

  // Each image's rows on the page: {row, toggle, directory}.
  const shown = new WeakMap();

  function cell(tag, className) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    return node;
  }

  // The row of a new image: the path opens its directory, the last cell
  // removes it.
  function row(image, {onToggle, onRemove}) {
    const tr = cell('tr', 'image');
    const pathCell = cell('th', 'path');
    pathCell.scope = 'row';
    pathCell.setAttribute('role', 'rowheader');
    const toggle = cell('button', 'toggle');
    toggle.type = 'button';
    // A long path may break after any of its slashes.
    image.title.split('/').forEach((part, i) => {
      if (i > 0) toggle.append('/', document.createElement('wbr'));
      toggle.append(part);
    });
    toggle.setAttribute('aria-expanded', 'false');
    toggle.addEventListener('click', () => onToggle(image));
    const matches = cell('span', 'matches');
    pathCell.append(toggle, matches);
    const remove = cell('button', 'remove');
    remove.type = 'button';
    remove.textContent = '✕';
    remove.setAttribute('aria-label', `Remove ${image.title}`);
    remove.addEventListener('click', () => onRemove(image));
    const removeCell = cell('td', 'remove-cell');
    removeCell.append(remove);
    tr.append(pathCell, cell('td', 'label'), cell('td', 'init'), cell('td', 'number entries'),
              cell('td', 'number free'), cell('td', 'status'), removeCell);
    // The rows are laid out as grids, so their roles are given outright.
    tr.setAttribute('role', 'row');
    for (const td of tr.querySelectorAll('td')) td.setAttribute('role', 'cell');
    shown.set(image, {row: tr, toggle, directory: null});
    return tr;
  }

  // The row's cells from the image's state; a text that did not change is
  // left alone, as setting it would lay the row out again.
  function update(image) {
    const values = fields(image);
    const entries = image.found?.entries.size;
    const texts = [
      entries ? `${entries} ${entries === 1 ? 'match' : 'matches'}` :
          image.found?.image ? 'matches' : '',
      values ? values.label : '',
      values ? values.init : '',
      values ? `${values.used} of ${values.capacity}` : '',
      values ? String(values.free) : '',
      statusText(image),
    ];
    const tr = shown.get(image).row;
    const nodes = [tr.cells[0].lastChild, ...[...tr.cells].slice(1, 6)];
    nodes.forEach((node, i) => {
      if (node.textContent !== texts[i]) node.textContent = texts[i];
    });
    const className = `status ${States.error(image.state) ? 'failed' : image.state}`;
    if (nodes[5].className !== className) nodes[5].className = className;
  }

  // Opens or closes the directory row below the image's row, as the image
  // says; the directory row, or null.
  function setOpen(image, columns) {
    const parts = shown.get(image);
    parts.toggle.setAttribute('aria-expanded', String(image.open));
    if (image.open && !parts.directory) {
      const tr = cell('tr', 'directory');
      const td = cell('td');
      td.colSpan = columns;
      tr.setAttribute('role', 'row');
      td.setAttribute('role', 'cell');
      tr.append(td);
      parts.directory = tr;
      parts.row.after(tr);
    } else if (!image.open && parts.directory) {
      parts.directory.remove();
      parts.directory = null;
    }
    return parts.directory;
  }

  // The image's rows, once made: {row, toggle, directory}.
  const rowsOf = (image) => shown.get(image);

  return {sorted, row, update, setOpen, rowsOf};
})();
