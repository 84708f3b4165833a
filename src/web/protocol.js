// SPDX-License-Identifier: MIT
// The messages between the page and its listing workers, each type with its
// fields; the same file starts the worker's script. A message of any other
// shape is a fault of the page, and throws with its name.
'use strict';

const Protocol = (() => {
  const MESSAGES = {
    // To a worker: jobs to list, each {id, round, name, file, member (its
    // zip and where its data is), kept, sortByName, alwaysBytes}; and a new
    // round, which drops the jobs of earlier ones not yet started.
    list: {jobs: Array},
    round: {round: Number},
    // To a worker: copy rows of a listed image out of it, each in the forms
    // asked (0 as stored, 1 as text, 2 with its entry). The image is {name,
    // file, member, sortByName, alwaysBytes, listing}: what was listed and
    // how, listed again first to tell whether it changed since.
    copy: {request: Number, image: Object, rows: Array, forms: Array},
    // From a worker: started, with the module's layout of its results; the
    // jobs dropped, as [id, round]; results, each {id, round, result, kept,
    // retire}.
    ready: {layout: Object},
    dropped: {jobs: Array},
    results: {results: Array},
    // The copies asked for: {state ('copied', 'changed', 'unreadable',
    // 'too-large', 'stopped'), reason, files: per row, per form {state,
    // name, bytes, isText, note}}.
    copied: {request: Number, copied: Object},
  };
  const is = {[Array.name]: Array.isArray, [Number.name]: Number.isInteger,
              [Object.name]: (value) => typeof value === 'object' && value !== null};

  function check(message) {
    const fields = MESSAGES[message?.type];
    if (!fields) throw new Error(`a worker message of unknown type ${message?.type}`);
    const names = Object.keys(fields);
    for (const name of Object.keys(message)) {
      if (name !== 'type' && !(name in fields)) {
        throw new Error(`the worker message ${message.type} has a field ${name} of no use`);
      }
    }
    for (const name of names) {
      if (!is[fields[name].name](message[name])) {
        throw new Error(`the worker message ${message.type} lacks its ${name}`);
      }
    }
    return message;
  }

  // The message of the given type, checked.
  const make = (type, fields) => check({type, ...fields});
  // Hands a message, checked, to the handler of its type.
  const handle = (handlers, message) => handlers[check(message).type](message);

  return {make, handle};
})();
