// SPDX-License-Identifier: MIT
// The catalogue: every image chosen, what became of it and what was read of
// it, and how the page shows them. This module alone changes that state;
// the others read it, ask for changes here, and take what changed to draw
// it (`takeChange` and the like), after `onChange` has asked for a drawing.
//
// An image is {id, path, name, shownPath, title} with either a File
// (`file`), a zip member (`zip`, `member`) or neither (a `problem`, or a
// damaged archive), and what became of it: its `state` (one of States'),
// `reason` and `note`, `result` (the lister's), `volume` (its summary),
// `kept` (what the lister read of it, to list it again from), `pending`
// while the lister has it, `found` (what Find matched) and, shown, `open`
// and `shownRows`.
'use strict';

function createCatalogue({pool, onChange}) {
  const FEW = 5;  // up to this many images show their directories at once
  const state = {
    images: [],
    toggles: {sortByName: false, alwaysBytes: false},
    view: {text: false, sort: {key: 'no', descending: false}, query: ''},
    overviewSort: {key: 'path', descending: false},
    showOthers: false,
    // The images handed to the lister since the page was last idle: those
    // whose `progress` is this one's id.
    progress: {id: 0, active: false},
    // Files handed again that were there already, since the progress began.
    repeated: 0,
  };
  const byId = new Map();
  const byPath = new Map();  // the images of each path
  let nextId = 1;
  // What the page is to draw: images whose row (false) or also directory
  // (true) changed, whether rows moved and whether the status is to count
  // again.
  const changes = {images: new Map(), moved: false, recount: false};

  function changed(images, directory = true) {
    for (const image of images) {
      changes.images.set(image, directory || changes.images.get(image) || false);
    }
    onChange();
  }

  // A path as a title: a name can be as long as an archive allows.
  const titleOf = (path) => (path.length > 300 ? path.slice(0, 299) + '…' : path);

  // The same file handed twice: the same path, then the same size and time
  // of change, asked of the browser only then, as each is a look at the file.
  const sameFile = (a, b) => (a.member ? Boolean(b.member) && a.member.size === b.member.size &&
                                         a.zip.lastModified === b.zip.lastModified :
      a.file ? Boolean(b.file) && a.file.size === b.file.size &&
               a.file.lastModified === b.file.lastModified :
      !b.file && !b.member && (a.problem ?? a.damage) === (b.problem ?? b.damage));

  const listable = (image) => Boolean(image.file || image.member) && !image.problem;
  // What a toggle changes: the listings that have a table, and those not
  // yet made.
  const showsToggles = (image) => image.state === 'waiting' || Fields.present(image.result);

  function startProgress() {
    if (state.progress.active) return;
    state.progress = {id: state.progress.id + 1, active: true};
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
  // fill from the top. Their rows show what they showed until the new
  // listing comes.
  function list(images) {
    if (images.length === 0) return;
    startProgress();
    const wanted = new Set(images);
    const sorted = inOrder().filter((image) => wanted.has(image));
    for (const image of sorted) Object.assign(image, {pending: true, progress: state.progress.id});
    pool.list(sorted, state.toggles);
  }

  // Images as Collect makes them; a file that is there already is not
  // added again, only counted.
  function add(items) {
    if (items.length === 0) return;
    let repeated = 0;
    const fresh = [];
    for (const item of items) {
      const same = byPath.get(item.path) ?? [];
      if (same.some((image) => sameFile(image, item))) {
        repeated += 1;
        continue;
      }
      const shownPath = Shown.name(item.path);
      const image = {...item, id: nextId++, shownPath, title: titleOf(shownPath),
                     state: item.damage ? 'damaged-zip' : item.fault ? 'fault' :
                         item.damaged ? 'zip-damaged' : item.problem ? 'unreadable' : 'waiting',
                     reason: item.damage || item.problem || '', note: '', result: null,
                     volume: null, kept: null, pending: false, found: null, open: false,
                     shownRows: 0};
      if (item.problem) image.result = Shown.headingOnly(image.name);
      image.found = findIn(image);
      byPath.set(item.path, [...same, image]);
      byId.set(image.id, image);
      fresh.push(image);
    }
    const few = state.images.length + fresh.length <= FEW;
    for (const image of fresh) {
      image.open = few && image.state !== 'damaged-zip';
      state.images.push(image);
    }
    ordered = null;
    list(fresh.filter(listable));
    state.repeated += repeated;
    changes.moved = true;
    changes.recount = true;
    changed(fresh);
  }

  function result(id, result, kept) {
    const image = byId.get(id);
    if (!image) return;
    Object.assign(image, States.of(result));
    image.result = result.bytes ? result : Shown.headingOnly(image.name);
    image.volume = Fields.volume(image.result);
    image.lowerNames = null;
    image.pending = false;
    if (kept !== undefined) image.kept = kept;
    image.found = findIn(image);
    if (state.overviewSort.key !== 'path') ordered = null;
    changed([image]);
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
    for (const image of state.images) image.pending = false;
    state.progress.active = false;
    startProgress();
    list(images);
    changes.recount = true;
    onChange();
  }

  function cancel() {
    pool.newRound();
    const stopped = state.images.filter((image) => image.pending);
    for (const image of stopped) {
      // A listing made under other toggles goes too; List the rest makes it
      // again from what was kept.
      Object.assign(image, {state: 'cancelled', reason: 'cancelled', note: '', result: null,
                            volume: null, pending: false});
      image.found = findIn(image);
    }
    changes.recount = true;
    changed(stopped);
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
    byPath.clear();
    changes.images.clear();
    state.progress.active = false;
    state.repeated = 0;
    state.view.query = '';
    changes.moved = true;
    changes.recount = true;
    onChange();
  }

  function remove(image) {
    pool.forget(image.id);
    state.images.splice(state.images.indexOf(image), 1);
    ordered = null;
    byId.delete(image.id);
    byPath.set(image.path, byPath.get(image.path).filter((other) => other !== image));
    changes.images.delete(image);
    changes.recount = true;
    onChange();
  }

  // The images in each state, and how far the lister is: counted, never kept.
  function counts() {
    const counts = {};
    for (const image of state.images) counts[image.state] = (counts[image.state] ?? 0) + 1;
    return counts;
  }

  function progress() {
    let total = 0;
    let done = 0;
    for (const image of state.images) {
      if (image.progress !== state.progress.id) continue;
      total += 1;
      if (!image.pending) done += 1;
    }
    return {total, done};
  }

  // What Find matches in an image: its path or label, and the entries whose
  // name holds the text looked for, as row numbers.
  function findIn(image) {
    const query = state.view.query;
    if (!query) return null;
    const label = image.volume?.label.toLowerCase() ?? '';
    const entries = new Set();
    if (Fields.rowCount(image.result) > 0) {
      image.lowerNames ??= Fields.lowerNames(image.result);
      image.lowerNames.forEach((name, i) => {
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
    changed(state.images);
  }

  const visible = (image) => (state.showOthers || image.state !== 'not-lif') &&
      (!state.view.query || image.found?.image || image.found?.entries.size > 0 ||
       (image.state === 'waiting' && !image.result));

  function showOthers(shown) {
    state.showOthers = shown;
    changed(state.images.filter((image) => image.state === 'not-lif'), false);
  }

  function setOpen(image, open) {
    image.open = open;
    changed([image]);
  }

  function setAllOpen(open) {
    changed(state.images.filter((image) => visible(image) && image.open !== open).map(
        (image) => Object.assign(image, {open})));
  }

  function showMore(image, rows) {
    image.shownRows = rows;
    changed([image]);
  }

  function setText(text) {
    state.view.text = text;
    changed(state.images.filter((image) => image.open));
  }

  const nextSort = (sort, key) => ({key, descending: sort.key === key && !sort.descending});

  function sortDirectories(key) {
    state.view.sort = nextSort(state.view.sort, key);
    changed(state.images.filter((image) => image.open));
  }

  function sortOverview(key) {
    state.overviewSort = nextSort(state.overviewSort, key);
    ordered = null;
    changes.moved = true;
    onChange();
  }

  // What changed, for the page to draw: the next image with whether its
  // directory changed too, or that image's own change; whether rows moved,
  // and whether to count again (each taken once).
  function takeChange(image = changes.images.keys().next().value) {
    if (!changes.images.has(image)) return null;
    const directory = changes.images.get(image);
    changes.images.delete(image);
    return {image, directory};
  }
  const changesLeft = () => changes.images.size;
  const takeFlag = (name) => {
    const set = changes[name];
    changes[name] = false;
    return set;
  };

  // The progress ends once all it listed is drawn. The overview's rows were
  // placed in their order when they came; what was listed may have changed
  // it.
  function endProgress() {
    state.progress.active = false;
    changes.recount = true;
    if (state.overviewSort.key !== 'path') changes.moved = true;
  }

  return {state, holds: (image) => byId.get(image.id) === image, inOrder, counts, progress, add, result, setToggles, readAgain, cancel, cancelled,
          listRest, clear, remove, find, visible, showOthers, setOpen, setAllOpen, showMore,
          setText, sortDirectories, sortOverview, takeChange, changesLeft,
          moved: () => changes.moved, takeMoved: () => takeFlag('moved'),
          takeRecount: () => takeFlag('recount'),
          endProgress};
}
