// site.js - what the page does in the browser: local dates, uploads with
// progress, previews and the QR code (list.js sorts and filters the listing).
// Without it the page still lists, downloads, searches and uploads.
(function () {
  'use strict';

  const $ = (id) => document.getElementById(id);
  document.documentElement.classList.add('js');

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

  function localDates() {
    const format = new Intl.DateTimeFormat(undefined, { dateStyle: 'medium', timeStyle: 'short' });
    document.querySelectorAll('.entries time[datetime]').forEach((el) => {
      const date = new Date(el.getAttribute('datetime'));
      if (!isNaN(date)) el.textContent = format.format(date);
    });
  }

  // --- Uploads -------------------------------------------------------------

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

    // folders: names of dropped folders, which a browser cannot send as files.
    function add(files, folders = new Set()) {
      Array.from(files).forEach((file) => {
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
        const job = { file, item, bar, status };
        if (folders.has(file.name)) finish(job, false, 'Not sent: this is a folder. Open it and upload the files inside.', true);
        else queue.push(job);
      });
      next();
    }

    // quiet: a job that never started, so nothing else is waiting on it.
    function finish(job, ok, message, quiet) {
      job.item.classList.add(ok ? 'done' : 'failed');
      job.status.textContent = message;
      if (ok) job.bar.value = 100;
      else job.bar.remove();
      if (quiet) return;
      busy = false;
      next();
    }

    function next() {
      if (busy || queue.length === 0) return;
      const job = queue.shift();
      const size = job.file.size;
      if (size > maxUpload) {
        finish(job, false, 'Not sent: this file is larger than the server accepts (' + formatSize(maxUpload) + ' at most).');
        return;
      }
      if (size > freeBytes()) {
        finish(job, false, 'Not sent: there is not enough room left on the server (' + formatSize(freeBytes()) + ' free).');
        return;
      }
      busy = true;
      send(job);
    }

    function send(job) {
      const data = new FormData();
      data.append('token', form.elements.token.value);
      data.append('files[]', job.file, job.file.name);
      const xhr = new XMLHttpRequest();
      xhr.open('POST', '/upload.php?format=json');
      xhr.responseType = 'json';
      xhr.upload.addEventListener('progress', (e) => {
        if (!e.lengthComputable) return;
        job.bar.value = Math.floor((e.loaded / e.total) * 100);
        job.status.textContent = 'Sending… ' + formatSize(e.loaded) + ' of ' + formatSize(e.total);
      });
      xhr.addEventListener('load', () => {
        const reply = xhr.response;
        if (reply && typeof reply.free === 'number') {
          free.dataset.bytes = String(reply.free);
          free.textContent = formatSize(reply.free);
        }
        const result = reply && reply.files && reply.files[0];
        if (result && result.stored) {
          const renamed = {
            taken: ' (saved as “' + result.stored + '”: that name was taken)',
            cleaned: ' (renamed “' + result.stored + '”: file names cannot hold some of its characters)',
          };
          finish(job, true, 'Uploaded' + (renamed[result.renamed] || '') + '.');
        } else {
          const reason = (result && result.error) || (reply && reply.error) ||
            'The server answered with an error (' + xhr.status + ').';
          finish(job, false, reason);
        }
      });
      xhr.addEventListener('error', () => finish(job, false, 'The connection to the server was lost. Please try again.'));
      xhr.addEventListener('abort', () => finish(job, false, 'The upload was stopped.'));
      job.status.textContent = 'Sending…';
      xhr.send(data);
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

  // --- Preview ---------------------------------------------------------------

  function setUpPreview() {
    const dialog = $('preview');
    if (!dialog || typeof dialog.showModal !== 'function') return;
    const body = $('preview-body');
    const title = $('preview-title');
    const download = $('preview-download');
    const make = {
      image: (src, name) => Object.assign(document.createElement('img'), { src, alt: name }),
      audio: (src) => Object.assign(document.createElement('audio'), { src, controls: true, autoplay: true }),
      video: (src) => Object.assign(document.createElement('video'), { src, controls: true, autoplay: true, playsInline: true }),
      pdf: (src) => Object.assign(document.createElement('iframe'), { src, title: 'PDF preview' }),
      text: (src) => Object.assign(document.createElement('iframe'), { src, title: 'Text preview' }),
    };
    // Shows the file of a "Preview" link; the listing pages through pictures with it.
    function show(link) {
      title.textContent = link.dataset.name;
      download.href = link.dataset.download;
      body.replaceChildren(make[link.dataset.preview](link.href, link.dataset.name));
      if (!dialog.open) dialog.showModal();
      dialog.dispatchEvent(new CustomEvent('preview', { detail: link }));
    }
    window.OstrelPreview = { show };
    document.addEventListener('click', (e) => {
      const link = e.target.closest('a.view');
      if (!link || !make[link.dataset.preview]) return;
      e.preventDefault();
      show(link);
    });
    $('preview-close').addEventListener('click', () => dialog.close());
    // Emptying the dialog stops a playing video or song. The event comes late:
    // by then another preview may have opened, which must stay.
    dialog.addEventListener('close', () => {
      if (!dialog.open) body.replaceChildren();
    });
    dialog.addEventListener('click', (e) => {
      if (e.target === dialog) dialog.close();
    });
  }

  // --- QR code of the page's address ------------------------------------------

  // A phone cannot reach "localhost": show the server's network address then.
  // The host's page in code mode carries the code, as the address handed out does.
  function pageAddress() {
    const url = new URL(window.location.href);
    const lan = document.body.dataset.lanHost;
    const loopback = /^(localhost|127(\.\d+){3}|\[::1\])$/i.test(url.hostname);
    if (loopback && lan && !/^127\./.test(lan)) url.hostname = lan;
    if (document.body.dataset.code) url.searchParams.set('code', document.body.dataset.code);
    url.hash = '';
    return url.href;
  }

  function setUpQr() {
    const canvas = $('qr-code');
    if (!canvas || !window.OstrelQr) return;
    let address = pageAddress();
    if (!window.OstrelQr.draw(canvas, address, 4)) {
      address = new URL('/', address).href;  // a very long address: the site's start page instead
      window.OstrelQr.draw(canvas, address, 4);
    }
    const link = $('qr-url');
    link.href = address;
    link.textContent = address;
  }

  localDates();
  setUpUploads();
  setUpPreview();
  setUpQr();
})();
