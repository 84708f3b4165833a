// SPDX-License-Identifier: MIT
// What was chosen or dropped, as images with their paths: folders are read
// through, zip archives opened, and each member is an image of its own.
// An image is {path, name, file} or {path, name, zip, member}; one that
// cannot be listed carries the reason as `problem` (and `damaged` when its
// data in the zip is, `fault` when the page's own code failed), and a
// damaged archive is {path, name, damage} beside the members found in it.
'use strict';

const Collect = (() => {
  const isZip = (file) => /\.zip$/i.test(file.name);

  // A zip archive's members, with a row for the archive itself when it is
  // damaged, or the file itself when it is no archive.
  async function expand(path, file, budget) {
    let archive;
    try {
      archive = await Zip.open(file, path, budget);
    } catch (error) {
      if (error instanceof DOMException) {
        return [{path, name: file.name, problem: `the browser could not read it (${error.name})`}];
      }
      reportError(error);
      return [{path, name: file.name, problem: String(error), fault: true}];
    }
    if (!archive) return [{path, name: file.name, file}];
    // A damaged zip inside is a row of its own too, before its members.
    const members = archive.members.map(({path: at, name, problem, damaged, zip, member, damage}) =>
      (damage ? {path: at, name, damage} : {path: at, name, zip, member, damaged,
                                            problem: problem || null}));
    if (archive.damage) members.unshift({path, name: file.name, damage: archive.damage});
    return members;
  }

  // Hands on the images of the files as each is known: the plain files at
  // once, then the members of each zip archive.
  async function fromFiles(files, pathOf, add) {
    const plain = [];
    const zips = [];
    for (const file of files) (isZip(file) ? zips : plain).push(file);
    add(plain.map((file) => ({path: pathOf(file), name: file.name, file})));
    const budget = Zip.budget();
    for (const file of zips) add(await expand(pathOf(file), file, budget));
  }

  function chosen(files, add) {
    return fromFiles(files, (file) => file.webkitRelativePath || file.name, add);
  }

  // A dropped folder's files, read through its subfolders: by its handle
  // where the browser gives one (Chromium, whose older interface cannot read
  // folders on a page opened from file://), else by its entry.
  async function folderFiles(handle, entry, path, found, problems) {
    const problem = () => problems.push({path, name: path.slice(path.lastIndexOf('/') + 1),
                                         problem: 'the browser could not read this folder'});
    try {
      if (handle) {
        for await (const child of handle.values()) {
          const at = `${path}/${child.name}`;
          if (child.kind === 'directory') {
            await folderFiles(child, null, at, found, problems);
          } else {
            found.push({path: at, file: await child.getFile()});
          }
        }
        return;
      }
      const reader = entry.createReader();
      for (let batch; (batch = await new Promise((done, fail) => reader.readEntries(done, fail)))
                          .length > 0;) {
        for (const child of batch) {
          const at = `${path}/${child.name}`;
          if (child.isDirectory) {
            await folderFiles(null, child, at, found, problems);
          } else {
            found.push({path: at, file: await new Promise((done, fail) => child.file(done, fail))});
          }
        }
      }
    } catch {
      problem();
    }
  }

  // What the drop holds must be taken while the event lasts; reading the
  // folders may take longer.
  function dropped(transfer, add) {
    const files = [];
    const folders = [];
    for (const item of transfer.items) {
      if (item.kind !== 'file') continue;
      const entry = item.webkitGetAsEntry?.();
      if (entry?.isDirectory) {
        folders.push({entry, handle: item.getAsFileSystemHandle?.()});
      } else {
        const file = item.getAsFile();
        if (file) files.push(file);
      }
    }
    return (async () => {
      const found = files.map((file) => ({path: file.name, file}));
      const problems = [];
      for (const {entry, handle} of folders) {
        await folderFiles(await handle?.catch(() => null), entry, entry.name, found, problems);
      }
      add(problems);
      const pathOf = new Map(found.map(({path, file}) => [file, path]));
      await fromFiles(found.map(({file}) => file), (file) => pathOf.get(file), add);
    })();
  }

  return {chosen, dropped};
})();
