// SPDX-License-Identifier: MIT
// What can become of an image, each state once, in the order the overview
// sorts them by status: the status it shows, the status line's words for a
// count of them (one, many) where they are not the status, the message above
// its directory, and whether that is an error. The states the lister names
// (`lister`) are checked against the module's when a worker starts.
'use strict';

const States = (() => {
  const readable = (image) => (Fields.present(image.result) ?
      'Its listing shows what could be read.' : 'Nothing of it is listed.');
  const TABLE = {
    'listed': {lister: true, message: (image) => image.note &&
        `This directory is not sound: ${image.note}. Its listing shows it as it is.`},
    'damaged': {lister: true, error: true,
                message: (image) => `This image is damaged: ${image.reason}. ${readable(image)}`},
    'zip-damaged': {status: 'damaged in the zip', counted: ['damaged in its zip archive',
                                                            'damaged in their zip archives'],
                    error: true, message: (image) =>
                      `This image is damaged in its zip archive: ${image.reason}. ${readable(image)}`},
    'damaged-zip': {status: 'damaged zip', counted: ['damaged zip archive', 'damaged zip archives'],
                    error: true, message: (image) => `This zip archive is damaged: ${image.reason}.`},
    'unreadable': {status: 'could not be read', lister: true, error: true,
                   message: (image) => `This file could not be read: ${image.reason}.`},
    'fault': {status: 'fault of the page', counted: ['met a fault of the page'], error: true,
              message: (image) => `The page met a fault of its own in this file: ${image.reason}.`},
    'not-lif': {status: 'not a LIF image', counted: [, 'not LIF images'], lister: true,
                message: () => 'This file is not a LIF image, nor a Teledisk, ImageDisk or HFE ' +
                               'file that holds one.'},
    'cancelled': {status: 'not listed', counted: ['not listed (cancelled)'],
                  message: () => 'Not listed: the listing was cancelled.'},
    'waiting': {status: 'listing…', message: () => 'Listing…'},
  };
  // The lister's states that the page shows as another, with the reason.
  const SHOWN_AS = {'out-of-memory': ['unreadable', 'the page ran out of memory for it']};
  const ORDER = Object.keys(TABLE);
  for (const [state, row] of Object.entries(TABLE)) {
    row.status ??= state;
    const [one = row.status, many = one] = row.counted ?? [];
    row.counted = [one, many];
  }

  // Throws unless the module's states and the lister's here are the same.
  function check(moduleStates) {
    const ours = ORDER.filter((state) => TABLE[state].lister).concat(Object.keys(SHOWN_AS));
    if (ours.length !== moduleStates.length || !ours.every((s) => moduleStates.includes(s))) {
      throw new Error(`the lister's states ${moduleStates} are not the page's ${ours}`);
    }
  }

  // An image's state, reason and note from a worker's result: a damaged
  // image's reason is the lister's note, which a listing that lacked
  // something also has; a directory that is not sound has its faults as
  // the note; a zip member whose data is damaged is that first.
  function of({state, reason = '', note = '', faults = '', damage}) {
    if (SHOWN_AS[state]) [state, reason] = SHOWN_AS[state];
    if (state === 'listed' && note) state = 'damaged';
    if (state === 'damaged') reason ||= note;
    if (damage) [state, reason] = ['zip-damaged', damage];
    return {state, reason, note: faults};
  }

  const status = (state) => TABLE[state].status;
  const order = (state) => ORDER.indexOf(state);
  const error = (state) => Boolean(TABLE[state].error);
  const message = (image) => TABLE[image.state].message?.(image);
  // The status line's words for a count of images in each state.
  const counted = (counts) => ORDER.filter((state) => counts[state] > 0).map((state) =>
    `${counts[state]} ${TABLE[state].counted[counts[state] === 1 ? 0 : 1]}`);

  return {check, of, status, order, error, message, counted};
})();
