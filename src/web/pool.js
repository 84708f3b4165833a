// SPDX-License-Identifier: MIT
// The listing workers: up to four, at most one per processor, each with its
// own copy of the compiled reader. Jobs are handed out in rounds; a new
// round (a toggle, Cancel, Clear) drops what the last one had not started,
// and a worker still busy with outdated work a moment later, in a huge file
// or a hostile one, is ended and replaced.
'use strict';

function createPool({onResult, onReady, onBroken}) {
  const GRACE_MS = 150;
  const count = Math.max(1, Math.min(4, navigator.hardwareConcurrency || 1));
  // Chromium starts no Worker from a file:// script, but does from a Blob;
  // the worker unpacks with the page's own zip reader.
  const url = URL.createObjectURL(new Blob([`const Zip = (${tamrikZip})();\n(${tamrikWorker})();`],
                                           {type: 'text/javascript'}));
  // The jobs not yet handed out, the next one last: taken from the end, a
  // long queue costs nothing to take from.
  let queue = [];
  const slots = [];
  let round = 1;
  // Each job carries its File (or its archive's Blob) to the one worker
  // that lists it: the first time Chromium hands a File on costs the page
  // half a millisecond or more, after that almost nothing.
  // Jobs a worker holds at once: the reads of their first bytes wait for the
  // browser together, and a new round drops those not yet started. Jobs
  // from what was kept read nothing and take a moment each: more of them
  // keep a worker from waiting for the page.
  const JOBS_AT_ONCE = 16;
  const KEPT_JOBS_AT_ONCE = 32;
  const HEAD_BYTES = 8192;

  // What a worker says, by type.
  function handlers(slot) {
    return {
      ready({layout}) {
        slot.ready = true;
        onReady(layout);
      },
      dropped({jobs}) {
        slot.jobs = slot.jobs.filter((job) =>
          !jobs.some(([id, jobRound]) => job.id === id && job.round === jobRound));
      },
      results({results}) {
        let retire = false;
        for (const {id, round: jobRound, result, kept, retire: stopped} of results) {
          const at = slot.jobs.findIndex((job) => job.id === id && job.round === jobRound);
          if (at < 0) continue;
          const [job] = slot.jobs.splice(at, 1);
          if (job.live) onResult(job.id, result, kept);
          retire ||= stopped;
        }
        // The reader stopped in the middle of its work: its memory is not
        // to be trusted with another file, and it took no more.
        if (retire) replace(slot, 0);
      },
    };
  }

  function spawn() {
    const slot = {worker: new Worker(url), ready: false, jobs: []};
    const said = handlers(slot);
    slot.worker.onmessage = ({data}) => {
      Protocol.handle(said, data);
      feed();
    };
    slot.worker.onerror = (event) => {
      event.preventDefault();
      if (!slot.ready) {
        // It cannot start here; another would not either.
        slot.worker.terminate();
        slots.splice(slots.indexOf(slot), 1);
        if (slots.length === 0) onBroken();
        return;
      }
      // An error the worker did not catch is a fault of the page's own.
      const [failed] = slot.jobs;
      replace(slot, 1);
      if (failed?.live) onResult(failed.id, {state: 'fault', reason: event.message}, undefined);
      feed();
    };
    return slot;
  }

  // Ends a worker and hands out again its live jobs from the given one on.
  function replace(slot, from) {
    slot.worker.terminate();
    slots[slots.indexOf(slot)] = spawn();
    const requeue = slot.jobs.slice(from).filter((job) => job.live);
    for (let i = requeue.length - 1; i >= 0; i--) queue.push(requeue[i].job);
  }

  function feed() {
    for (const slot of slots) {
      const jobs = [];
      while (slot.ready && queue.length > 0 &&
             slot.jobs.length < (queue.at(-1).kept ? KEPT_JOBS_AT_ONCE : JOBS_AT_ONCE)) {
        const job = queue.pop();
        slot.jobs.push({id: job.id, round: job.round, live: true, job});
        jobs.push(job);
      }
      if (jobs.length > 0) send(slot, jobs);
    }
  }

  // A file's first bytes, which hold the header and most directories, are
  // read here, where the file was chosen, as a page that only read them
  // would: the look at the file that reading it takes first is then not
  // taken again to hand it to a worker, nor by the worker to read it.
  async function send(slot, jobs) {
    await Promise.all(jobs.map(async (job) => {
      if (!job.file || job.kept || job.head) return;
      try {
        job.head = await job.file.slice(0, HEAD_BYTES).arrayBuffer();
        job.size = job.file.size;
      } catch (error) {
        job.headError = error.name;
      }
    }));
    if (slots.includes(slot)) slot.worker.postMessage(Protocol.make('list', {jobs}));
  }

  // Ends the workers still in outdated work once it had a moment to finish.
  function endStuck() {
    const running = slots.map((slot) => slot.jobs[0]);
    setTimeout(() => {
      slots.forEach((slot, i) => {
        const job = slot.jobs[0];
        if (job && job === running[i] && !job.live) replace(slot, 1);
      });
      feed();
    }, GRACE_MS);
  }

  for (let i = 0; i < count; i++) slots.push(spawn());

  return {
    // Lists images under the given toggles in the current round, from what
    // was kept of them where the image has it.
    list(images, {sortByName, alwaysBytes}) {
      const jobs = images.map((image) => ({
        id: image.id, round, name: image.name, file: image.file, head: null, size: null,
        headError: null,
        member: image.member && {zip: image.zip, ...image.member}, kept: image.kept,
        sortByName, alwaysBytes,
      }));
      // Taken after those handed before.
      queue = jobs.reverse().concat(queue);
      feed();
    },
    // Drops all work, for a page emptied.
    reset() {
      this.newRound();
    },
    // Drops all work handed out so far.
    newRound() {
      round += 1;
      queue.length = 0;
      for (const slot of slots) {
        for (const job of slot.jobs) job.live = false;
        slot.worker.postMessage(Protocol.make('round', {round}));
      }
      endStuck();
    },
    // Drops the work for one image.
    forget(id) {
      const at = queue.findIndex((job) => job.id === id);
      if (at >= 0) queue.splice(at, 1);
      for (const slot of slots) for (const job of slot.jobs) if (job.id === id) job.live = false;
      endStuck();
    },
  };
}
