// SPDX-License-Identifier: MIT
// The page: wires the controls to the catalogue and draws what it notes as
// changed: the overview, the directories, the progress and the status.
// Drawing happens once a frame, a few milliseconds at a time, so that the
// page answers at once however many images are listed.
'use strict';

const $ = (id) => document.getElementById(id);

const pool = createPool({
  onResult: (id, result, kept) => catalogue.result(id, result, kept),
  onReady(layout) {
    States.check(layout.states);
    Fields.setLayout(layout);
  },
  onBroken() {
    $('status').textContent = 'The lister could not start in this browser.';
    $('status').className = 'error';
  },
});
const catalogue = createCatalogue({pool, onChange: () => draw()});
const {state} = catalogue;

const overviewTable = $('overview');
const CHUNK_ROWS = 100;
const columns = overviewTable.tHead.rows[0].cells.length;

// What the drawing itself keeps from frame to frame.
const drawn = {
  scheduled: false,
  last: 0,          // when results were last drawn
  behind: false,    // the last drawing ran out of time with rows left
  placing: null,    // the rows still to be put in the overview's order
  filling: new Set(),  // open listings shown as text, still being filled
  focusNext: [],    // the controls to give the focus to once drawn: the first shown
  first: 0,         // the progress whose first listing was drawn
};
let findTimer = 0;

const view = () => ({...state.view, onSort: sortDirectories,
                     onMore: (image, rows) => catalogue.showMore(image, rows),
                     onOpen: openFile, onSaveAll: saveAllFiles});

// Opens row i of the image's listing; the focus goes back to the row when
// the view closes, drawn anew or not.
function openFile(image, i) {
  FileView.open(image, i, Fields.entry(image.result, i), () => {
    const rows = Overview.rowsOf(image);
    (rows?.directory?.querySelector(`[data-key="row-${i}"]`) ?? rows?.toggle ??
     $('choose-files')).focus();
  });
}

async function saveAllFiles(image) {
  $('status').textContent = `Reading the files of ${image.title}…`;
  $('status').textContent = await FileView.saveAll(image);
}

// Opens or closes the image's directory as the image says; true when it
// was drawn anew.
function setOpen(image) {
  const had = Overview.rowsOf(image).directory;
  if (!Overview.setOpen(image, columns) || had) return false;
  fill(image);
  return true;
}

// Draws the image's directory again. A control in it that had the focus
// (a sort button, "Show more") hands it to the same control drawn anew.
function fill(image) {
  const {row, directory} = Overview.rowsOf(image);
  if (!directory) return;
  directory.hidden = row.hidden;
  const cell = directory.cells[0];
  const focused = cell.contains(document.activeElement) ? document.activeElement.dataset.key :
                                                         undefined;
  cell.replaceChildren(...Directory.render(image, view()));
  if (Directory.filling(image)) drawn.filling.add(image);
  if (focused) (cell.querySelector(`[data-key="${focused}"]`) || Overview.rowsOf(image).toggle).focus();
}

function sortDirectories(key, image) {
  catalogue.sortDirectories(key);
  // Drawn at once where it was asked, so that the focus stays on its sort
  // control; the other open directories follow.
  catalogue.takeChange(image);
  fill(image);
}

function remove(image) {
  // The focus goes on to the next image's button, or the one before.
  const {row, directory} = Overview.rowsOf(image);
  const nearest = (step) => {
    let next = row[step];
    while (next && (next.hidden || !next.classList.contains('image'))) next = next[step];
    return next;
  };
  const next = nearest('nextElementSibling') || nearest('previousElementSibling');
  drawn.filling.delete(image);
  row.remove();
  directory?.remove();
  catalogue.remove(image);
  (next?.querySelector('.remove') || $('choose-files')).focus();
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
  for (let made = 0; drawn.placing.at < drawn.placing.order.length && made < 100 &&
                     performance.now() - started < 8;) {
    const image = drawn.placing.order[drawn.placing.at++];
    if (!catalogue.holds(image)) continue;
    if (!Overview.rowsOf(image)) {
      made += 1;
      const row = Overview.row(image, {
        onToggle: (it) => catalogue.setOpen(it, !it.open),
        onRemove: remove,
      });
      row.hidden = !catalogue.visible(image);
      Overview.update(image);
    }
    const {row} = Overview.rowsOf(image);
    const body = chunk(Math.floor(drawn.placing.placed++ / CHUNK_ROWS));
    if (drawn.placing.body !== body) drawn.placing.after = null;
    drawn.placing.body = body;
    const next = drawn.placing.after ? drawn.placing.after.nextSibling : body.firstChild;
    if (row !== next) body.insertBefore(row, next);
    drawn.placing.after = row;
    setOpen(image);
    const {directory} = Overview.rowsOf(image);
    if (directory) {
      if (row.nextSibling !== directory) row.after(directory);
      drawn.placing.after = directory;
    }
  }
  if (drawn.placing.at < drawn.placing.order.length) return;
  const used = Math.ceil(drawn.placing.placed / CHUNK_ROWS);
  drawn.placing = null;
  while (overviewTable.tBodies.length > used) overviewTable.tBodies[used].remove();
}

const plural = (n, one, many) => `${n} ${n === 1 ? one : many}`;

// What the status line says once all is listed.
function counts() {
  const said = States.counted(catalogue.counts());
  if (state.repeated > 0) {
    said.push(`${plural(state.repeated, 'file chosen again was', 'files chosen again were')} ` +
              'there already');
  }
  return said.length > 0 ? said.join(', ') + '.' : '';
}

// Sets a text only when it changes, which would lay the page out again.
function setText(node, text) {
  if (node.textContent !== text) node.textContent = text;
}

function showFound() {
  const query = state.view.query;
  if (!query) {
    setText($('found'), '');
    return;
  }
  let entries = 0;
  let holding = 0;
  let images = 0;
  for (const image of state.images) {
    if (image.found?.image && catalogue.visible(image)) images += 1;
    if (!image.found?.entries.size) continue;
    entries += image.found.entries.size;
    holding += 1;
  }
  const parts = [];
  if (images > 0) {
    parts.push(`${plural(images, 'image', 'images')} ${images === 1 ? 'matches' : 'match'} ` +
               'by path or label.');
  }
  if (entries > 0) {
    parts.push(`${plural(entries, 'entry', 'entries')} in ${plural(holding, 'image', 'images')} ` +
               `${entries === 1 ? 'matches' : 'match'}.`);
  }
  setText($('found'), parts.length > 0 ? parts.join(' ') :
      `No image path, volume label or file name holds “${query}”.`);
}

function showStatus() {
  const counted = catalogue.counts();
  const others = counted['not-lif'] ?? 0;
  const button = $('others');
  button.hidden = others === 0;
  button.setAttribute('aria-expanded', String(state.showOthers));
  setText(button, state.showOthers ? 'Hide the files that are not LIF images' :
      others === 1 ? 'Show the file that is not a LIF image' :
      `Show the ${others} files that are not LIF images`);
  const idle = !state.progress.active;
  const exportable = idle && state.images.some((image) => image.result);
  for (const id of ['csv', 'save', 'copy']) $(id).disabled = !exportable;
  $('overview-csv').disabled = !idle || state.images.length === 0;
  $('clear').disabled = state.images.length === 0;
  $('read-again').disabled = state.images.length === 0;
  $('catalogue').hidden = state.images.length === 0;
  $('rest').hidden = !idle || !counted.cancelled;
  // The progress goes away when all is listed; a focus on its Cancel goes
  // to the status line, which stays.
  if (idle && $('progress').contains(document.activeElement)) drawn.focusNext.push($('status'));
  $('progress').hidden = idle;
  if (!idle) {
    const {total, done} = catalogue.progress();
    $('bar').max = total;
    $('bar').value = done;
    setText($('listed'), `Listed ${done} of ${total}`);
  }
  showFound();
}

// Draws what changed, at most a few milliseconds per frame; while images
// are being listed, their rows a few times a second, each time in one
// batch, as each drawing lays out what is in view again.
function draw(wait = 0) {
  if (drawn.scheduled) return;
  drawn.scheduled = true;
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
  drawn.scheduled = false;
  const started = performance.now();
  const progress = state.progress;
  const {total, done} = catalogue.progress();
  if (catalogue.takeMoved()) {
    drawn.placing = {order: catalogue.inOrder(), at: 0, placed: 0, body: null, after: null};
  }
  if (drawn.placing) placeSome();
  // While results come in, they are drawn in batches once the first is; a
  // batch that did not fit its time goes on at the next frame, and the
  // last at once.
  const wait = progress.active && drawn.first === progress.id && !drawn.behind && done < total ?
      drawn.last + 200 - started : 0;
  if (wait <= 0) {
    drawn.last = started;
    for (let change; (change = catalogue.takeChange());) {
      const {image, directory} = change;
      const rows = Overview.rowsOf(image);
      if (!rows) continue;
      rows.row.hidden = !catalogue.visible(image);
      Overview.update(image);
      if (!setOpen(image) && rows.directory) {
        rows.directory.hidden = rows.row.hidden;
        if (directory) fill(image);
      }
      if (!image.pending) drawn.first = progress.id;
      if (performance.now() - started > 8) break;
    }
    drawn.behind = catalogue.changesLeft() > 0;
  }
  for (const image of drawn.filling) {
    if (Directory.fillText(image, 8 - (performance.now() - started))) drawn.filling.delete(image);
    if (performance.now() - started > 8) break;
  }
  if (progress.active && done >= total && catalogue.changesLeft() === 0 && !drawn.placing &&
      drawn.filling.size === 0) {
    catalogue.endProgress();
  }
  if (!progress.active && catalogue.takeRecount()) $('status').textContent = counts();
  showStatus();
  const target = drawn.focusNext.find((control) => control.checkVisibility() && !control.disabled);
  if (target) {
    drawn.focusNext = [];
    target.focus();
  }
  if (drawn.placing || catalogue.moved() || drawn.filling.size > 0) {
    draw();
  } else if (catalogue.changesLeft() > 0) {
    draw(wait);
  } else if (!progress.active) {
    $('catalogue').removeAttribute('aria-busy');
  }
}

// The listed images in the overview's order.
const sortedImages = () => catalogue.inOrder();
const shownImages = () => sortedImages().filter((image) => image.result);

function chosen(input) {
  return () => {
    const files = Array.from(input.files);
    input.value = '';
    Collect.chosen(files, catalogue.add);
  };
}

const toggles = () => ({sortByName: $('sort').checked, alwaysBytes: $('bytes').checked});

// The file inputs are hidden behind buttons that look like the others.
$('choose-files').addEventListener('click', () => $('files').click());
$('choose-folder').addEventListener('click', () => $('folder').click());
$('files').addEventListener('change', chosen($('files')));
$('folder').addEventListener('change', chosen($('folder')));
// Always the same file, so that a second click adds nothing.
$('sample').addEventListener('click', () =>
  catalogue.add([{path: 'sample.lif', name: 'sample.lif',
                  file: new File([tamrikSampleImage()], 'sample.lif', {lastModified: 0})}]));
$('sort').addEventListener('change', () => catalogue.setToggles(toggles()));
$('bytes').addEventListener('change', () => catalogue.setToggles(toggles()));
$('text').addEventListener('change', () => catalogue.setText($('text').checked));
$('find').addEventListener('input', () => {
  clearTimeout(findTimer);
  findTimer = setTimeout(() => catalogue.find($('find').value.trim().toLowerCase()), 120);
});
$('cancel').addEventListener('click', () => {
  catalogue.cancel();
  drawn.focusNext = [$('rest'), $('status')];
});
$('rest').addEventListener('click', () => {
  catalogue.listRest();
  drawn.focusNext = [$('cancel'), $('status')];
});
$('read-again').addEventListener('click', () => catalogue.readAgain());
$('clear').addEventListener('click', () => {
  clearTimeout(findTimer);
  $('find').value = '';
  drawn.filling.clear();
  drawn.placing = null;
  catalogue.clear();
  $('choose-files').focus();
});
$('csv').addEventListener('click', () => Export.csv(shownImages()));
$('overview-csv').addEventListener('click', () => Export.overviewCsv(sortedImages()));
$('save').addEventListener('click', () => Export.save(shownImages()));
$('copy').addEventListener('click', async () => {
  $('status').textContent = await Export.copy(shownImages()) ? 'All listings copied.' :
      'This browser did not allow copying; use "Save all listings".';
});
$('open-all').addEventListener('click', () => catalogue.setAllOpen(true));
$('close-all').addEventListener('click', () => catalogue.setAllOpen(false));
$('others').addEventListener('click', () => catalogue.showOthers(!state.showOthers));
for (const th of overviewTable.tHead.rows[0].cells) {
  th.querySelector('button')?.addEventListener('click', () => {
    catalogue.sortOverview(th.dataset.key);
    for (const cell of overviewTable.tHead.rows[0].cells) {
      if (cell === th) {
        cell.setAttribute('aria-sort', state.overviewSort.descending ? 'descending' : 'ascending');
      } else {
        cell.removeAttribute('aria-sort');
      }
    }
  });
}
overviewTable.tHead.rows[0].cells[0].setAttribute('aria-sort', 'ascending');

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
  Collect.dropped(event.dataTransfer, catalogue.add);
});
