// SPDX-License-Identifier: MIT
// The page: keeps the set of images, hands them to the listing workers,
// and shows the overview, the directories, the progress and the status.
// Results are drawn once a frame, a few milliseconds at a time, so that the
// page answers at once however many images are listed.
'use strict';

const $ = (id) => document.getElementById(id);
const FEW = 5;  // up to this many images show their directories at once

let images = [];
const byId = new Map();
let nextId = 1;
const view = {text: false, sort: {key: 'no', descending: false}, query: '',
              onSort: sortDirectories, onMore: showMore};
let overviewSort = {key: 'path', descending: false};
let showOthers = false;
// The images handed out since the page was last idle.
const round = {active: false, total: 0, done: 0, startedAt: 0, first: false};
const dirty = new Set();     // images whose row, or also directory (stale), is to be drawn
const filling = new Set();  // open listings shown as text, still being filled
let rowsMoved = false;
let drawing = false;
let lastDrawn = 0;
let behind = false;  // the last drawing ran out of time with rows left
let placing = null;  // the rows still to be put in the overview's order
let findTimer = 0;
let recount = false;  // the status is to say again what became of the images
const encoder = new TextEncoder();

const overviewTable = $('overview');
const CHUNK_ROWS = 100;
const columns = $('overview').tHead.rows[0].cells.length;

// A path as a title: a name can be as long as an archive allows.
const titleOf = (path) => (path.length > 300 ? path.slice(0, 299) + '…' : path);

const pool = createPool({
  onResult,
  onReady: () => { $('status').dataset.ready = ''; },
  onBroken: () => {
    $('status').textContent = 'The lister could not start in this browser.';
    $('status').className = 'error';
  },
});

const options = () => ({sortByName: $('sort').checked, alwaysBytes: $('bytes').checked});
const listable = (image) => Boolean(image.file || image.member) && !image.problem;

function redraw(image, directory = true) {
  dirty.add(image);
  if (directory) image.stale = true;
}

function startRound() {
  if (round.active) return;
  Object.assign(round, {active: true, total: 0, done: 0, startedAt: performance.now(),
                        first: false});
  delete $('status').dataset.ms;
}

// What an image that cannot be opened shows: its heading alone, as on the
// command line.
function headingOnly(image) {
  const bytes = encoder.encode(`Content of ${image.name}\n\n`);
  return {state: 'unreadable', reason: image.reason, bytes,
          ends: new Uint32Array([bytes.length - 1, bytes.length])};
}

function add(items) {
  if (items.length === 0) return;
  const open = images.length + items.length <= FEW;
  const fresh = items.map((item) => {
    const shownPath = Shown.name(item.path);
    const image = {...item, id: nextId++, shownPath, title: titleOf(shownPath), open,
                   state: item.problem ? 'unreadable' : 'waiting', reason: item.problem || '',
                   result: null, matches: null};
    if (item.problem) image.result = headingOnly(image);
    return image;
  });
  images.push(...fresh);
  // Listed in the overview's order, so that the rows fill from the top.
  const toList = Overview.sorted(fresh.filter(listable), overviewSort);
  if (toList.length > 0) {
    startRound();
    round.total += toList.length;
    pool.list(toList, options());
  }
  for (const image of fresh) {
    byId.set(image.id, image);
    redraw(image);
  }
  rowsMoved = true;
  recount = true;
  draw();
}

function onResult(id, result) {
  const image = byId.get(id);
  if (!image) return;
  image.result = result.bytes ? result : headingOnly({name: image.name, reason: result.reason});
  image.state = result.state;
  image.reason = result.reason || '';
  image.matches = findIn(image);
  // The largest memory of a worker so far, for whoever measures the page.
  const status = $('status');
  if (result.memory > (Number(status.dataset.memory) || 0)) status.dataset.memory = result.memory;
  round.done += 1;
  redraw(image);
  draw();
}

// Everything listed again under the toggles; what is shown stays until
// each new listing arrives.
function listAgain() {
  pool.newRound();
  round.active = false;
  startRound();
  const again = Overview.sorted(images.filter(listable), overviewSort);
  for (const image of again) {
    image.state = 'waiting';
    redraw(image, false);
  }
  round.total = again.length;
  pool.list(again, options());
  draw();
}

function cancel() {
  pool.newRound();
  for (const image of images) {
    if (image.state !== 'waiting') continue;
    image.state = 'cancelled';
    image.result = null;
    image.matches = null;
    redraw(image);
  }
  round.total = round.done;
  recount = true;
  draw();
}

function clear() {
  pool.reset();
  placing = null;
  images = [];
  byId.clear();
  dirty.clear();
  filling.clear();
  for (const body of [...overviewTable.tBodies]) body.remove();
  Object.assign(round, {active: false, total: 0, done: 0});
  delete $('status').dataset.ms;
  recount = true;
  draw();
}

function remove(image) {
  // The focus goes on to the next image's button, or the one before.
  const nearest = (step) => {
    let row = image.row[step];
    while (row && (row.hidden || !row.classList.contains('image'))) row = row[step];
    return row;
  };
  const next = nearest('nextElementSibling') || nearest('previousElementSibling');
  pool.forget(image.id);
  if (image.state === 'waiting') round.total -= 1;
  images.splice(images.indexOf(image), 1);
  byId.delete(image.id);
  dirty.delete(image);
  filling.delete(image);
  image.row.remove();
  image.directoryRow?.remove();
  (next?.querySelector('.remove') || $('choose-files')).focus();
  recount = true;
  draw();
}

// The entries whose name holds the text looked for, as row numbers.
function findIn(image) {
  if (!view.query || Directory.rowCount(image.result) === 0) return null;
  const found = new Set();
  Directory.lowerNames(image.result).forEach((name, i) => {
    if (name.includes(view.query)) found.add(i);
  });
  return found;
}

function find() {
  const query = $('find').value.trim().toLowerCase();
  if (query === view.query) return;
  view.query = query;
  for (const image of images) {
    image.matches = findIn(image);
    redraw(image);
  }
  draw();
}

const visible = (image) => (showOthers || image.state !== 'not-lif') &&
                           (!view.query || image.matches?.size > 0 ||
                            (image.state === 'waiting' && !image.result));

function setOpen(image, open) {
  Overview.setOpen(image, open, columns);
  if (open) fill(image);
}

function fill(image) {
  image.stale = false;
  if (!image.directoryRow) return;
  image.directoryRow.hidden = image.row.hidden;
  image.directoryRow.cells[0].replaceChildren(...Directory.render(image, view));
  if (image.textFill) filling.add(image);
}

function sortDirectories(key) {
  const same = view.sort.key === key;
  view.sort = {key, descending: same && !view.sort.descending};
  for (const image of images) if (image.open) redraw(image);
  draw();
}

function showMore(image, rows) {
  image.shownRows = rows;
  fill(image);
}

function sortOverview(key) {
  const same = overviewSort.key === key;
  overviewSort = {key, descending: same && !overviewSort.descending};
  for (const th of $('overview').tHead.rows[0].cells) {
    if (th.dataset.key === key) {
      th.setAttribute('aria-sort', overviewSort.descending ? 'descending' : 'ascending');
    } else {
      th.removeAttribute('aria-sort');
    }
  }
  rowsMoved = true;
  draw();
}

// The overview's rows go in groups of a hundred, each a table body that the
// browser lays out only while it is in view: a change to a row out of view
// then costs nothing, whatever the number of images.
function chunk(index) {
  while (overviewTable.tBodies.length <= index) {
    const body = document.createElement('tbody');
    body.setAttribute('role', 'rowgroup');
    overviewTable.append(body);
  }
  return overviewTable.tBodies[index];
}

// Puts a few rows more in the overview's order: a thousand at once would
// take the page long to lay out.
function placeSome() {
  const started = performance.now();
  for (let made = 0; placing.at < placing.order.length && made < 100 &&
                     performance.now() - started < 8;) {
    const image = placing.order[placing.at++];
    if (!byId.has(image.id)) continue;
    if (!image.row) {
      made += 1;
      Overview.row(image, {onToggle: (it) => setOpen(it, !it.open), onRemove: remove});
      image.row.hidden = !visible(image);
      Overview.update(image);
    }
    const body = chunk(Math.floor(placing.placed++ / CHUNK_ROWS));
    if (placing.body !== body) placing.after = null;
    placing.body = body;
    const next = placing.after ? placing.after.nextSibling : body.firstChild;
    if (image.row !== next) body.insertBefore(image.row, next);
    placing.after = image.row;
    if (image.open && !image.directoryRow) setOpen(image, true);
    if (image.directoryRow) {
      if (image.row.nextSibling !== image.directoryRow) image.row.after(image.directoryRow);
      placing.after = image.directoryRow;
    }
  }
  if (placing.at < placing.order.length) return;
  const used = Math.ceil(placing.placed / CHUNK_ROWS);
  placing = null;
  while (overviewTable.tBodies.length > used) overviewTable.tBodies[used].remove();
}

const plural = (n, one, many) => `${n} ${n === 1 ? one : many}`;

function counts() {
  const n = (state) => images.filter((image) => image.state === state).length;
  return [
    [n('listed'), 'listed', 'listed'],
    [n('not-lif'), 'not a LIF image', 'not LIF images'],
    [n('damaged'), 'damaged', 'damaged'],
    [n('unreadable'), 'could not be read', 'could not be read'],
    [n('cancelled'), 'not listed (cancelled)', 'not listed (cancelled)'],
  ].filter(([count]) => count > 0).map(([count, one, many]) => plural(count, one, many));
}

// Sets a text only when it changes, which would lay the page out again.
function setText(node, text) {
  if (node.textContent !== text) node.textContent = text;
}

function showStatus() {
  const others = images.filter((image) => image.state === 'not-lif').length;
  const button = $('others');
  button.hidden = others === 0;
  button.setAttribute('aria-expanded', String(showOthers));
  setText(button, showOthers ? 'Hide the files that are not LIF images' :
      others === 1 ? 'Show the file that is not a LIF image' :
      `Show the ${others} files that are not LIF images`);
  const idle = !round.active;
  const exportable = idle && images.some((image) => image.result);
  for (const id of ['csv', 'save', 'copy']) $(id).disabled = !exportable;
  $('clear').disabled = images.length === 0;
  $('catalogue').hidden = images.length === 0;
  $('progress').hidden = idle;
  if (!idle) {
    $('bar').max = round.total;
    $('bar').value = round.done;
    setText($('listed'), `Listed ${round.done} of ${round.total}`);
  }
  if (view.query) {
    let entries = 0;
    let holding = 0;
    for (const image of images) {
      if (!image.matches?.size) continue;
      entries += image.matches.size;
      holding += 1;
    }
    setText($('found'), entries === 0 ? `No file name holds “${view.query}”.` :
        `${plural(entries, 'entry', 'entries')} in ${plural(holding, 'image', 'images')} ` +
        `${entries === 1 ? 'matches' : 'match'}.`);
  } else {
    setText($('found'), '');
  }
}

// Draws what changed, at most a few milliseconds per frame; while images
// are being listed, their rows a few times a second, each time in one
// batch, as each drawing lays out what is in view again.
function draw(wait = 0) {
  if (drawing) return;
  drawing = true;
  // Busy while anything is still to be listed or drawn, for screen readers
  // and for whoever waits for the page.
  if (!$('catalogue').hasAttribute('aria-busy')) $('catalogue').setAttribute('aria-busy', 'true');
  if (wait > 0) {
    setTimeout(() => requestAnimationFrame(drawNow), wait);
  } else {
    requestAnimationFrame(drawNow);
  }
}

function drawNow() {
  drawing = false;
  const started = performance.now();
  if (rowsMoved) {
    rowsMoved = false;
    placing = {order: Overview.sorted(images, overviewSort), at: 0, placed: 0, body: null,
               after: null};
  }
  if (placing) placeSome();
  // While results come in, they are drawn in batches; a batch that did not
  // fit its time goes on at the next frame.
  const wait = round.active && round.first && !behind ? lastDrawn + 200 - started : 0;
  if (wait <= 0) {
    lastDrawn = started;
    for (const image of dirty) {
      dirty.delete(image);
      if (!image.row) continue;
      image.row.hidden = !visible(image);
      Overview.update(image);
      if (image.directoryRow) image.directoryRow.hidden = image.row.hidden;
      if (image.open && image.stale) fill(image);
      if (round.active && !round.first && image.state !== 'waiting') {
        round.first = true;
        $('status').dataset.firstMs = (performance.now() - round.startedAt).toFixed(1);
      }
      if (performance.now() - started > 8) break;
    }
    behind = dirty.size > 0;
  }
  for (const image of filling) {
    if (!image.textFill || Directory.fillText(image, 8 - (performance.now() - started))) {
      filling.delete(image);
    }
    if (performance.now() - started > 8) break;
  }
  if (round.active && round.done >= round.total && dirty.size === 0 && !placing &&
      filling.size === 0) {
    round.active = false;
    recount = true;
    $('status').dataset.ms = (performance.now() - round.startedAt).toFixed(1);
  }
  if (recount && !round.active) {
    recount = false;
    const said = counts();
    $('status').textContent = said.length > 0 ? said.join(', ') + '.' : '';
  }
  showStatus();
  if (placing || rowsMoved || filling.size > 0) {
    draw();
  } else if (dirty.size > 0) {
    draw(wait);
  } else if (!round.active) {
    $('catalogue').removeAttribute('aria-busy');
  }
}

function setAll(open) {
  for (const image of images) {
    if (image.row && !image.row.hidden && image.open !== open) {
      Overview.setOpen(image, open, columns);
      redraw(image);
    }
  }
  draw();
}

// The listed images in the overview's order.
const shownImages = () => Overview.sorted(images, overviewSort).filter((image) => image.result);

function chosen(input) {
  return () => {
    const files = Array.from(input.files);
    input.value = '';
    Collect.chosen(files, add);
  };
}

// The file inputs are hidden behind buttons that look like the others.
$('choose-files').addEventListener('click', () => $('files').click());
$('choose-folder').addEventListener('click', () => $('folder').click());
$('files').addEventListener('change', chosen($('files')));
$('folder').addEventListener('change', chosen($('folder')));
$('sample').addEventListener('click', () =>
  add([{path: 'sample.lif', name: 'sample.lif',
        file: new File([tamrikSampleImage()], 'sample.lif')}]));
$('sort').addEventListener('change', () => {
  view.sort = {key: 'no', descending: false};
  listAgain();
});
$('bytes').addEventListener('change', listAgain);
$('text').addEventListener('change', () => {
  view.text = $('text').checked;
  for (const image of images) if (image.open) redraw(image);
  draw();
});
$('find').addEventListener('input', () => {
  clearTimeout(findTimer);
  findTimer = setTimeout(find, 120);
});
$('cancel').addEventListener('click', cancel);
$('clear').addEventListener('click', clear);
$('csv').addEventListener('click', () => Export.csv(shownImages()));
$('save').addEventListener('click', () => Export.save(shownImages()));
$('copy').addEventListener('click', async () => {
  $('status').textContent = await Export.copy(shownImages()) ? 'All listings copied.' :
      'This browser did not allow copying; use "Save all listings".';
});
$('open-all').addEventListener('click', () => setAll(true));
$('close-all').addEventListener('click', () => setAll(false));
$('others').addEventListener('click', () => {
  showOthers = !showOthers;
  for (const image of images) if (image.state === 'not-lif') redraw(image, false);
  draw();
});
for (const th of $('overview').tHead.rows[0].cells) {
  th.querySelector('button')?.addEventListener('click', () => sortOverview(th.dataset.key));
}
$('overview').tHead.rows[0].cells[0].setAttribute('aria-sort', 'ascending');

// Dropped anywhere; without this the browser would open the file.
document.addEventListener('dragover', (event) => {
  event.preventDefault();
  document.body.classList.add('dropping');
});
document.addEventListener('dragleave', (event) => {
  if (event.relatedTarget === null) document.body.classList.remove('dropping');
});
document.addEventListener('drop', (event) => {
  event.preventDefault();
  document.body.classList.remove('dropping');
  Collect.dropped(event.dataTransfer, add);
});
