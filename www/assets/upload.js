// upload.js - the upload form in the browser: the chosen or dropped files go
// one at a time, each in pieces to /upload_piece.php, which appends a piece
// where the file ends and answers with how much it holds. A piece that fails
// is tried again after growing pauses (at once when the network returns or
// the page is looked at again), from what the server holds; the same file
// chosen again after a reload continues where it stopped. Without script the
// form sends the files whole to upload.php.
(function () {
  'use strict';

  const MiB = 1024 * 1024;
  // A piece is sized to take about this long on the link: each costs a
  // request of its own, and one cut off costs little, as the server keeps
  // what arrived of it.
  const PIECE_SECONDS = 4;
  const PIECE_FIRST = 4 * MiB;
  const PIECE_MIN = MiB;
  const PIECE_MAX = 64 * MiB;
  // A request that moves no byte for this long is taken as lost.
  const STALL_MS = 20000;
  // Seconds before each new try; the last repeats for as long as it takes.
  const PAUSES = [1, 2, 4, 8, 15, 30, 60];
  // Errors of the server's own (not of the file) are tried again this often.
  const SERVER_TRIES = 5;

  const $ = (id) => document.getElementById(id);
  // Sizes as the server writes them in the listing.
  function formatSize(bytes) {
    if (bytes < 1024) return bytes + (bytes === 1 ? ' byte' : ' bytes');
    const units = ['KB', 'MB', 'GB', 'TB', 'PB'];
    let value = bytes / 1024;
    let unit = 0;
    while (value >= 1024 && unit < units.length - 1) {
      value /= 1024;
      unit++;
    }
    return (value < 10 ? value.toFixed(1) : Math.round(value).toLocaleString('en-US')) + ' ' + units[unit];
  }

  // A pause ends early when the network comes back or the page is shown again
  // (a phone that slept): the first chance to go on is taken.
  let wake = () => {};
  window.addEventListener('online', () => wake());
  document.addEventListener('visibilitychange', () => {
    if (document.visibilityState === 'visible') wake();
  });

  function pause(seconds) {
    return new Promise((resolve) => {
      const timer = setTimeout(done, seconds * 1000);
      function done() {
        clearTimeout(timer);
        wake = () => {};
        resolve();
      }
      wake = done;
    });
  }

  // navigator.onLine is no guide: a network without a way out counts as offline.
  function pauseAfter(failures) {
    return pause(PAUSES[Math.min(failures, PAUSES.length) - 1]);
  }

  /**
   * One request for job's file: the piece at offset (null with no piece: what
   * does the server hold?). Resolves with the server's status and answer,
   * rejects when the connection was lost or stalled.
   */
  function post(job, offset, piece) {
    return new Promise((resolve, reject) => {
      const file = job.file;
      const query = new URLSearchParams({ name: file.name, size: String(file.size), modified: String(file.lastModified) });
      if (offset !== null) query.set('offset', String(offset));
      const xhr = new XMLHttpRequest();
      xhr.open('POST', '/upload_piece.php?' + query);
      xhr.responseType = 'json';
      xhr.setRequestHeader('X-Upload-Token', job.token);
      let stall = 0;
      const watch = () => {
        clearTimeout(stall);
        stall = setTimeout(() => xhr.abort(), STALL_MS);
      };
      const lost = () => {
        clearTimeout(stall);
        reject(new Error('connection lost'));
      };
      xhr.upload.addEventListener('progress', (e) => {
        watch();
        if (piece) job.sent(offset + e.loaded);
      });
      xhr.addEventListener('load', () => {
        clearTimeout(stall);
        resolve({ status: xhr.status, answer: xhr.response || {} });
      });
      xhr.addEventListener('error', lost);
      xhr.addEventListener('abort', lost);
      xhr.addEventListener('timeout', lost);
      watch();
      // A slice has no type, so the piece goes without a Content-Type, as the page wants it.
      xhr.send(piece);
    });
  }

  /** Sends job's file until it is stored or refused; resolves with [ok, message, room left or undefined]. */
  async function upload(job) {
    const size = job.file.size;
    let offset = null;  // what the server holds; null: to be asked
    let pieceSize = PIECE_FIRST;
    let failures = 0;
    let serverErrors = 0;
    let conflicts = 0;
    for (;;) {
      const length = offset === null ? 0 : Math.min(pieceSize, size - offset);
      const started = performance.now();
      let reply;
      try {
        reply = await post(job, offset, offset === null ? null : job.file.slice(offset, offset + length));
      } catch (e) {
        failures++;
        offset = null;
        job.interrupted();
        await pauseAfter(failures);
        continue;
      }
      const { status, answer } = reply;
      if (status === 200 && answer.ok && typeof answer.offset === 'number') {
        if (answer.done) return [true, storedMessage(answer), answer.free];
        if (offset === null && answer.offset > 0) job.resumed(answer.offset);
        if (offset !== null && answer.offset === offset + length && length >= PIECE_MIN) {
          pieceSize = nextPieceSize(length, (performance.now() - started) / 1000);
        }
        offset = answer.offset;
        failures = conflicts = 0;
        job.sent(offset);
        continue;
      }
      // Another request for this file (another tab, or one the server was still reading) got there first.
      if (status === 409 && typeof answer.offset === 'number' && ++conflicts <= 50) {
        offset = answer.offset;
        continue;
      }
      if (status >= 500 && status !== 507 && ++serverErrors <= SERVER_TRIES) {
        offset = null;
        job.say('The server could not take this piece, trying again…', 'lost');
        await pauseAfter(serverErrors);
        continue;
      }
      return [false, answer.error || 'The server answered with an error (' + status + ').', answer.free];
    }
  }

  function nextPieceSize(length, seconds) {
    const fitting = Math.round((length / Math.max(seconds, 0.001)) * PIECE_SECONDS / MiB) * MiB;
    return Math.min(PIECE_MAX, Math.max(PIECE_MIN, fitting));
  }

  function storedMessage(answer) {
    const renamed = {
      taken: ' (saved as “' + answer.stored + '”: that name was taken)',
      cleaned: ' (renamed “' + answer.stored + '”: file names cannot hold some of its characters)',
    };
    return 'Uploaded' + (renamed[answer.renamed] || '') + '.';
  }

  function setUpUploads() {
    const form = $('upload-form');
    if (!form) return;
    const input = $('upload-input');
    const zone = $('drop-zone');
    const list = $('upload-list');
    const free = $('free-space');
    const maxUpload = Number(document.body.dataset.maxUpload) || Infinity;
    const queue = [];
    let busy = false;

    function freeBytes() {
      return free.dataset.bytes === '' ? Infinity : Number(free.dataset.bytes);
    }

    function showFree(bytes) {
      if (typeof bytes !== 'number') return;
      free.dataset.bytes = String(bytes);
      free.textContent = formatSize(bytes);
    }

    // A row of the list, and what the upload tells through it.
    function makeJob(file) {
      const item = document.createElement('li');
      const name = document.createElement('div');
      name.className = 'file-name';
      name.textContent = file.name;
      const bar = document.createElement('progress');
      bar.setAttribute('aria-label', 'Upload of ' + file.name);
      bar.max = 100;
      bar.value = 0;
      const status = document.createElement('div');
      status.className = 'status';
      status.textContent = 'Waiting…';
      item.append(name, bar, status);
      list.appendChild(item);
      let continuing = false;
      const job = {
        file,
        item,
        token: '',
        say(text, state) {
          status.textContent = text;
          item.classList.toggle('lost', state === 'lost');
        },
        sent(bytes) {
          const size = file.size;
          bar.value = size === 0 ? 100 : Math.floor((bytes / size) * 100);
          job.say((continuing ? 'Continuing… ' : 'Sending… ') + formatSize(bytes) + ' of ' + formatSize(size));
        },
        interrupted() {
          continuing = true;
          job.say('Connection lost, trying again…', 'lost');
        },
        // The server held part of the file before this page sent any of it.
        resumed(bytes) {
          if (continuing) return;
          continuing = true;
          const note = document.createElement('div');
          note.className = 'resumed';
          note.textContent = 'Continuing where it stopped: ' + formatSize(bytes) + ' of ' + formatSize(file.size)
            + ' were already on the server.';
          item.insertBefore(note, status);
        },
        finish(ok, message) {
          item.classList.remove('lost');
          item.classList.add(ok ? 'done' : 'failed');
          status.textContent = message;
          if (ok) bar.value = 100;
          else bar.remove();
        },
      };
      return job;
    }

    // folders: names of dropped folders, which a browser cannot send as files.
    function add(files, folders = new Set()) {
      Array.from(files).forEach((file) => {
        const job = makeJob(file);
        if (folders.has(file.name)) job.finish(false, 'Not sent: this is a folder. Open it and upload the files inside.');
        else queue.push(job);
      });
      next();
    }

    async function next() {
      if (busy || queue.length === 0) return;
      const job = queue.shift();
      const size = job.file.size;
      if (size > maxUpload) {
        job.finish(false, 'Not sent: this file is larger than the server accepts (' + formatSize(maxUpload) + ' at most).');
      } else if (size > freeBytes()) {
        job.finish(false, 'Not sent: there is not enough room left on the server (' + formatSize(freeBytes()) + ' free).');
      } else {
        busy = true;
        job.token = form.elements.token.value;
        job.say('Sending…');
        const [ok, message, room] = await upload(job);
        showFree(room);
        job.finish(ok, message);
        busy = false;
      }
      next();
    }

    input.addEventListener('change', () => {
      add(input.files);
      input.value = '';
    });
    form.addEventListener('submit', (e) => {
      e.preventDefault();
      add(input.files);
      input.value = '';
    });

    // Files may be dropped anywhere on the page; the zone shows where they go.
    let depth = 0;
    const hasFiles = (e) => e.dataTransfer && Array.from(e.dataTransfer.types || []).includes('Files');
    document.addEventListener('dragenter', (e) => {
      if (!hasFiles(e)) return;
      depth++;
      zone.classList.add('dragging');
    });
    document.addEventListener('dragleave', () => {
      depth = Math.max(0, depth - 1);
      if (depth === 0) zone.classList.remove('dragging');
    });
    document.addEventListener('dragover', (e) => {
      if (hasFiles(e)) e.preventDefault();
    });
    document.addEventListener('drop', (e) => {
      if (!hasFiles(e)) return;
      e.preventDefault();
      depth = 0;
      zone.classList.remove('dragging');
      const folders = new Set();
      Array.from(e.dataTransfer.items || []).forEach((item) => {
        const entry = item.webkitGetAsEntry && item.webkitGetAsEntry();
        if (entry && entry.isDirectory) folders.add(entry.name);
      });
      add(e.dataTransfer.files, folders);
    });
  }

  setUpUploads();
})();
