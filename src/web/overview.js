// SPDX-License-Identifier: MIT
// The overview: one row per image, with its path, the volume's label,
// initialisation, entries and free bytes and what became of it; sortable by
// any column. A row's path opens the image's directory in the row below it.
'use strict';

const Overview = (() => {
  const STATUS = {
    'waiting': () => 'listing…',
    'listed': () => 'listed',
    'not-lif': () => 'not a LIF image',
    'damaged': () => 'damaged: it ends inside its directory',
    'unreadable': (image) => `could not be read: ${image.reason}`,
    'cancelled': () => 'not listed: cancelled',
  };
  const STATE_ORDER = ['listed', 'damaged', 'unreadable', 'not-lif', 'cancelled', 'waiting'];
  const collator = new Intl.Collator(undefined, {numeric: true});

  // The volume's fields of a listed image, also while it is listed again.
  function fields(image) {
    const result = image.result;
    if (result?.state !== 'listed') return null;
    const words = result.words;
    result.volume ??= Directory.volume(result);
    return {
      label: result.volume.label,
      init: result.volume.init,
      used: words[2],
      capacity: words[1],
      free: words[4] | 0,
    };
  }

  const yearKey = (stamp) => (stamp < '70' ? '20' : '19') + stamp;

  const KEYS = {
    path: null,
    label: (image) => fields(image)?.label ?? '',
    init: (image) => (fields(image) ? yearKey(fields(image).init) : ''),
    entries: (image) => fields(image)?.used ?? -1,
    free: (image) => fields(image)?.free ?? -Infinity,
    status: (image) => `${STATE_ORDER.indexOf(image.state)} ${STATUS[image.state](image)}`,
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
    image.row = tr;
    image.toggle = toggle;
    return tr;
  }

  // The row's cells from the image's state; a text that did not change is
  // left alone, as setting it would lay the row out again.
  function update(image) {
    const values = fields(image);
    const matches = image.matches?.size;
    const texts = [
      matches ? `${matches} ${matches === 1 ? 'match' : 'matches'}` : '',
      values ? values.label : '',
      values ? values.init : '',
      values ? `${values.used} of ${values.capacity}` : '',
      values ? String(values.free) : '',
      STATUS[image.state](image),
    ];
    const nodes = [image.row.cells[0].lastChild, ...[...image.row.cells].slice(1, 6)];
    nodes.forEach((node, i) => {
      if (node.textContent !== texts[i]) node.textContent = texts[i];
    });
    nodes[5].className = `status ${image.state}`;
  }

  // Opens or closes the directory row below the image's row.
  function setOpen(image, open, columns) {
    image.open = open;
    image.toggle.setAttribute('aria-expanded', String(open));
    if (open && !image.directoryRow) {
      const tr = cell('tr', 'directory');
      const td = cell('td');
      td.colSpan = columns;
      tr.setAttribute('role', 'row');
      td.setAttribute('role', 'cell');
      tr.append(td);
      image.directoryRow = tr;
      image.row.after(tr);
    } else if (!open && image.directoryRow) {
      image.directoryRow.remove();
      image.directoryRow = null;
    }
  }

  return {sorted, row, update, setOpen};
})();
