// SPDX-License-Identifier: MIT
// The catalogue: every image chosen, what became of it and what was read of
// it, and how the page shows them. This module alone changes that state;
// the others read it and ask for changes here. Each change is noted for the
// page to draw (`changes`), and `onChange` is called to have it drawn.
//
// An image is {id, path, name, shownPath, title, key} with either a File
// (`file`), a zip member (`zip`, `member`) or neither (a `problem`, or a
// damaged archive), and what became of it: `state`, `reason`, `result` (the
// lister's), `kept` (what the lister read of it, to list it again from),
// `found` (what Find matched) and, shown, `open` and `shownRows`.
'use strict';

function createCatalogue({pool, onChange}) {
  const FEW = 5;  // up to this many images show their directories at once
  const state = {
    images: [],
    toggles: {sortByName: false, alwaysBytes: false},
    view: {text: false, sort: {key: 'no', descending: false}, query: ''},
    overviewSort: {key: 'path', descending: false},
    showOthers: false,
    // The images handed to the lister since the page was last idle.
    round: {active: false, total: 0, done: 0, startedAt: 0, first: false},
    // Files handed again that were there already, since the last round began.
    repeated: 0,
  };
  const byId = new Map();
  const byKey = new Map();
  let nextId = 1;
  // What the page is to draw: images whose row (false) or also directory
  // (true) changed, whether rows moved and whether the status is to count
  // again.
  const changes = {images: new Map(), moved: false, recount: false};

  function changed(image, directory = true) {
    changes.images.set(image, directory || changes.images.get(image) || false);
    onChange();
  }

  function changedAll(images, directory = true) {
    for (const image of images) changes.images.set(image, directory || changes.images.get(image) || false);
    onChange();
  }

  // A path as a title: a name can be as long as an archive allows.
  const titleOf = (path) => (path.length > 300 ? path.slice(0, 299) + '…' : path);

  // The same file handed twice: the same path, size and time of change.
  function keyOf(item) {
    const what = item.file ?? item.zip;
    if (!what) return `${item.path}\n${item.problem ?? item.damage}`;
    const size = item.member ? item.member.size : item.file.size;
    return `${item.path}\n${size}\n${what.lastModified ?? ''}`;
  }

  const listable = (image) => Boolean(image.file || image.member) && !image.problem;
  // What a toggle changes: the listings that have a table, and those not
  // yet made.
  const showsToggles = (image) => image.state === 'waiting' || Fields.present(image.result);

  function startRound() {
    if (state.round.active) return;
    Object.assign(state.round, {active: true, total: 0, done: 0, startedAt: performance.now(),
                                first: false});
    state.repeated = 0;
  }

  // The images in the overview's order, sorted again only when the images,
  // the order or (unless it is by path) a listing changed.
  let ordered = null;
  function inOrder() {
    ordered ??= Overview.sorted(state.images, state.overviewSort);
    return ordered;
  }

  // Hands images to the lister in the overview's order, so that the rows
  // fill from the top. Quietly, their rows show what they showed until
  // the new listing comes.
  function list(images, quiet = false) {
    if (images.length === 0) return;
    startRound();
    const wanted = new Set(images);
    const sorted = inOrder().filter((image) => wanted.has(image));
    state.round.total += sorted.length;
    for (const image of sorted) {
      image.state = 'waiting';
      if (!quiet) changed(image, false);
    }
    pool.list(sorted, state.toggles);
  }

  // Images as Collect makes them; a file that is there already is not
  // added again, only counted.
  function add(items) {
    if (items.length === 0) return;
    let repeated = 0;
    const fresh = [];
    for (const item of items) {
      const key = keyOf(item);
      if (byKey.has(key)) {
        repeated += 1;
        continue;
      }
      const shownPath = Shown.name(item.path);
      const image = {...item, id: nextId++, key, shownPath, title: titleOf(shownPath),
                     state: item.damage ? 'damaged-zip' : item.problem ? 'unreadable' : 'new',
                     reason: item.damage || item.problem || '', result: null, kept: null,
                     found: null, open: false, shownRows: 0};
      if (item.problem) image.result = Shown.headingOnly(image.name);
      image.found = findIn(image);
      byKey.set(key, image);
      byId.set(image.id, image);
      fresh.push(image);
    }
    const few = state.images.length + fresh.length <= FEW;
    for (const image of fresh) image.open = few && image.state !== 'damaged-zip';
    state.images.push(...fresh);
    ordered = null;
    list(fresh.filter(listable));
    state.repeated += repeated;
    changedAll(fresh);
    changes.moved = true;
    changes.recount = true;
    onChange();
  }

  function result(id, result, kept) {
    const image = byId.get(id);
    if (!image) return;
    image.result = result.bytes ? result : Shown.headingOnly(image.name);
    image.state = result.state;
    image.reason = result.reason || '';
    if (kept !== undefined) image.kept = kept;
    image.found = findIn(image);
    if (state.overviewSort.key !== 'path') ordered = null;
    state.round.done += 1;
    changed(image);
  }

  // Shows everything under the new toggles: what has a table is listed
  // again from what was kept of it.
  function setToggles(toggles) {
    state.toggles = {...toggles};
    if (toggles.sortByName !== undefined) state.view.sort = {key: 'no', descending: false};
    restart(state.images.filter((image) => listable(image) && showsToggles(image)));
  }

  // The whole collection read again from its files, as asked.
  function readAgain() {
    for (const image of state.images) image.kept = null;
    restart(state.images.filter(listable));
  }

  // A new round for the given images, even none; what is shown stays until
  // each new listing arrives.
  function restart(images) {
    pool.newRound();
    state.round.active = false;
    startRound();
    list(images, true);
    changes.recount = true;
    onChange();
  }

  function cancel() {
    pool.newRound();
    for (const image of state.images) {
      if (image.state !== 'waiting') continue;
      // A listing made under other toggles goes too; List the rest makes it
      // again from what was kept.
      image.state = 'cancelled';
      image.reason = 'cancelled';
      image.result = null;
      image.found = findIn(image);
      changed(image);
    }
    state.round.total = state.round.done;
    changes.recount = true;
    onChange();
  }

  const cancelled = () => state.images.filter((image) => image.state === 'cancelled');

  function listRest() {
    list(cancelled());
    changes.recount = true;
    onChange();
  }

  function clear() {
    pool.reset();
    state.images = [];
    ordered = null;
    byId.clear();
    byKey.clear();
    changes.images.clear();
    Object.assign(state.round, {active: false, total: 0, done: 0});
    state.repeated = 0;
    state.view.query = '';
    changes.moved = true;
    changes.recount = true;
    onChange();
  }

  function remove(image) {
    pool.forget(image.id);
    if (image.state === 'waiting') state.round.total -= 1;
    state.images.splice(state.images.indexOf(image), 1);
    ordered = null;
    byId.delete(image.id);
    byKey.delete(image.key);
    changes.images.delete(image);
    changes.recount = true;
    onChange();
  }

  // What Find matches in an image: its path or label, and the entries whose
  // name holds the text looked for, as row numbers.
  function findIn(image) {
    const query = state.view.query;
    if (!query) return null;
    const label = Fields.volume(image.result)?.label.toLowerCase() ?? '';
    const entries = new Set();
    if (Fields.rowCount(image.result) > 0) {
      Fields.lowerNames(image.result).forEach((name, i) => {
        if (name.includes(query)) entries.add(i);
      });
    }
    return {image: image.shownPath.toLowerCase().includes(query) || label.includes(query),
            entries};
  }

  function find(query) {
    if (query === state.view.query) return;
    state.view.query = query;
    for (const image of state.images) image.found = findIn(image);
    changedAll(state.images);
  }

  const visible = (image) => (state.showOthers || image.state !== 'not-lif') &&
      (!state.view.query || image.found?.image || image.found?.entries.size > 0 ||
       (image.state === 'waiting' && !image.result));

  function showOthers(shown) {
    state.showOthers = shown;
    changedAll(state.images.filter((image) => image.state === 'not-lif'), false);
  }

  function setOpen(image, open) {
    image.open = open;
    changed(image);
  }

  function setAllOpen(open) {
    changedAll(state.images.filter((image) => visible(image) && image.open !== open).map(
        (image) => Object.assign(image, {open})));
  }

  function showMore(image, rows) {
    image.shownRows = rows;
    changed(image);
  }

  function setText(text) {
    state.view.text = text;
    changedAll(state.images.filter((image) => image.open));
  }

  const nextSort = (sort, key) => ({key, descending: sort.key === key && !sort.descending});

  function sortDirectories(key) {
    state.view.sort = nextSort(state.view.sort, key);
    changedAll(state.images.filter((image) => image.open));
  }

  function sortOverview(key) {
    state.overviewSort = nextSort(state.overviewSort, key);
    ordered = null;
    changes.moved = true;
    onChange();
  }

  // The round ends once all it listed is drawn. The overview's rows were
  // placed in their order when they came; what was listed may have changed
  // it.
  function endRound() {
    state.round.active = false;
    changes.recount = true;
    if (state.overviewSort.key !== 'path') changes.moved = true;
  }

  return {state, changes, inOrder, add, result, setToggles, readAgain, cancel, cancelled, listRest, clear,
          remove, find, visible, showOthers, setOpen, setAllOpen, showMore, setText,
          sortDirectories, sortOverview, endRound};
}
