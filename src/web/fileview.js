// SPDX-License-Identifier: MIT
// A file of a listed image, opened from its row: its text for a LIF ASCII
// file, as `tamrik -x -a` writes it, else the first 64 KiB in hex, and
// saved as stored, as text or with its directory entry; and all files of an
// image saved in one zip. The image is read only now, by a worker of its
// own, under the names the command line gives the copies.
'use strict';

const FileView = (() => {
  const HEX_BYTES = 64 * 1024;
  const FORMS = {stored: 0, text: 1, entry: 2};
  let worker = null;
  let ready = null;
  let next = 1;
  const asked = new Map();

  // Started at the first file opened; a reader that stopped is replaced.
  function reader() {
    if (worker) return ready;
    const url = URL.createObjectURL(new Blob([`const Zip = (${tamrikZip})();\n(${tamrikWorker})();`],
                                             {type: 'text/javascript'}));
    worker = new Worker(url);
    URL.revokeObjectURL(url);
    const started = worker;
    ready = new Promise((resolve, reject) => {
      worker.onmessage = ({data}) => Protocol.handle({
        ready: () => resolve(),
        copied({request, copied}) {
          asked.get(request)?.(copied);
          asked.delete(request);
          // A module whose memory grew for a file keeps it: ended, it
          // gives it back.
          const full = copied.files?.some((forms) =>
            forms.some((file) => file.state === 'out-of-memory'));
          if (copied.state === 'stopped' || full) end(started);
        },
      }, data);
      worker.onerror = (event) => {
        event.preventDefault();
        reject(new Error('the reader could not start'));
        end(started, `the reader stopped on it (${event.message})`);
      };
    });
    return ready;
  }

  function end(which, reason) {
    if (worker !== which) return;
    worker.terminate();
    worker = null;
    for (const answer of asked.values()) answer({state: 'stopped', reason});
    asked.clear();
  }

  // The rows in the forms asked, from the image's file as it is now.
  async function copy(image, rows, forms) {
    try {
      await reader();
    } catch (error) {
      return {state: 'stopped', reason: error.message};
    }
    if (!worker) return {state: 'stopped', reason: 'the reader stopped'};
    const request = next++;
    const copied = new Promise((resolve) => asked.set(request, resolve));
    worker.postMessage(Protocol.make('copy', {request, rows, forms, image: {
      name: image.name, file: image.file, member: image.member && {zip: image.zip, ...image.member},
      ...image.result.toggles, listing: image.result.bytes}}));
    return copied;
  }

  // What could not be read, in the view's or the status line's words.
  function problem(copied) {
    switch (copied.state) {
      case 'changed': return 'The image changed since it was listed: use "Read again" to list it anew.';
      case 'unreadable': return `The image could not be read now: ${copied.reason}.`;
      case 'too-large': return `The page cannot hold these files at once: ${copied.reason}.`;
      default: return `The image could not be read now: ${copied.reason || 'the reader stopped'}.`;
    }
  }

  function element(tag, className, text) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  }

  function download(bytes, name, type) {
    const link = element('a');
    link.href = URL.createObjectURL(new Blob([bytes], {type}));
    link.download = name;
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  }

  function button(text, onClick) {
    const node = element('button', '', text);
    node.type = 'button';
    node.addEventListener('click', onClick);
    return node;
  }

  // The text as lines: a line ends at LF, the CR before it included; the
  // rest shows as the page shows every byte.
  function textOf(bytes) {
    const lines = [];
    let from = 0;
    for (let at = bytes.indexOf(0x0a); at >= 0; from = at + 1, at = bytes.indexOf(0x0a, from)) {
      lines.push(Shown.text(bytes.subarray(from, at > from && bytes[at - 1] === 0x0d ? at - 1 : at)));
    }
    lines.push(Shown.text(bytes.subarray(from)));
    return lines.join('\n');
  }

  const HEX = Array.from({length: 256}, (_, byte) => byte.toString(16).padStart(2, '0'));
  const PRINTABLE = Array.from({length: 256}, (_, byte) =>
    (byte >= 0x20 && byte < 0x7f ? String.fromCharCode(byte) : '.'));

  // Offset, sixteen bytes and their printable characters a line.
  function hexOf(bytes) {
    const lines = [];
    for (let at = 0; at < Math.min(bytes.length, HEX_BYTES); at += 16) {
      const row = bytes.subarray(at, at + 16);
      const hex = Array.from(row, (byte) => HEX[byte]).join(' ');
      lines.push(`${at.toString(16).padStart(8, '0')}  ${hex.padEnd(47)}  ` +
                 Array.from(row, (byte) => PRINTABLE[byte]).join(''));
    }
    return lines.join('\n');
  }

  // Opens row `row` of the image's listing (entry `entry`, as Fields gives
  // it) in a modal view; `onClose` is called once it is closed.
  function open(image, row, entry, onClose) {
    const dialog = element('dialog', 'file-view');
    const heading = element('h2', '', entry.name || '(no name)');
    heading.id = 'file-view-heading';
    dialog.setAttribute('aria-labelledby', heading.id);
    const about = element('p', 'note', `${entry.type}, ${entry.sizeBytes} bytes, in ${image.title}`);
    const status = element('p', 'note', 'Reading…');
    status.setAttribute('role', 'status');
    const actions = element('p', 'file-actions');
    const close = button('Close', () => dialog.close());
    actions.append(close);
    dialog.append(heading, about, status, actions);
    dialog.addEventListener('close', () => {
      dialog.remove();
      onClose();
    });
    document.body.append(dialog);
    dialog.showModal();

    copy(image, [row], [FORMS.stored, FORMS.text, FORMS.entry]).then((copied) => {
      if (!dialog.open) return;
      if (copied.state !== 'copied') {
        status.textContent = problem(copied);
        status.className = 'error';
        return;
      }
      const [stored, text, withEntry] = copied.files[0];
      if (stored.state === 'out-of-memory') {
        status.textContent = 'The page ran out of memory for this file.';
        status.className = 'error';
        return;
      }
      status.textContent = stored.note ? `Not whole: ${stored.note}.` : '';
      if (stored.note) status.className = 'error';
      const saves = [button('Save', () => download(stored.bytes, stored.name,
                                                   'application/octet-stream'))];
      if (text.isText) {
        saves.push(button('Save as text', () => download(text.bytes, text.name, 'text/plain')));
      }
      saves.push(button('Save with its entry', () => download(withEntry.bytes, withEntry.name,
                                                              'application/octet-stream')));
      actions.prepend(...saves);
      const view = element('pre', 'file-content');
      view.tabIndex = 0;
      if (text.isText) {
        view.textContent = textOf(text.bytes);
        view.setAttribute('aria-label', `Text of ${entry.name}`);
      } else {
        view.textContent = hexOf(stored.bytes);
        view.setAttribute('aria-label', `Bytes of ${entry.name} in hex`);
        if (stored.bytes.length > HEX_BYTES) {
          about.textContent += `; its first ${HEX_BYTES} bytes are shown`;
        }
      }
      dialog.append(view);
    });
  }

  // The entry's date and time, the year 1970 to 2069 as the command line
  // reads it; none when it is no date.
  function stampOf({date, time, second: seconds}) {
    const [year, month, day, hour, minute, second] =
        [...date.split('/'), ...time.split(':'), seconds].map(Number);
    const full = year + (year < 70 ? 2000 : 1900);
    const real = new Date(Date.UTC(full, month - 1, day));
    if (!(real.getUTCDate() === day && real.getUTCMonth() === month - 1 && hour < 24 &&
          minute < 60 && second < 60)) {
      return null;
    }
    return {year: full, month, day, hour, minute, second};
  }

  // Every file of the image as stored, in one zip named after the image;
  // what the status line is to say.
  async function saveAll(image) {
    const count = Fields.rowCount(image.result);
    const rows = Array.from({length: count}, (_, i) => i);
    const copied = await copy(image, rows, [FORMS.stored]);
    if (copied.state !== 'copied') return `${image.title}: no zip saved. ${problem(copied)}`;
    const lacking = [];
    const members = copied.files.map(([file], i) => {
      if (file.note) lacking.push(`${file.name}: ${file.note}`);
      if (file.state === 'out-of-memory') lacking.push(`${file.name}: the page ran out of memory`);
      return {name: file.name, bytes: file.bytes, stamp: stampOf(Fields.entry(image.result, i))};
    });
    let zip;
    try {
      zip = ZipWrite.zip(members);
    } catch (error) {
      return `${image.title}: no zip saved: ${error.message}.`;
    }
    const name = `${image.name.replace(/\.[^.]*$/, '') || image.name}.zip`;
    download(zip, name, 'application/zip');
    return `Saved ${name}: ${count} ${count === 1 ? 'file' : 'files'}` +
        (lacking.length ? `, not all whole: ${lacking.join('; ')}.` : '.');
  }

  return {open, saveAll};
})();
