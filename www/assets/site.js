// site.js - what the page does in the browser: local dates, previews and the
// QR code (list.js sorts and filters the listing, upload.js sends uploads).
// Without it the page still lists, downloads, searches and uploads.
(function () {
  'use strict';

  const $ = (id) => document.getElementById(id);
  document.documentElement.classList.add('js');

  function localDates() {
    const format = new Intl.DateTimeFormat(undefined, { dateStyle: 'medium', timeStyle: 'short' });
    document.querySelectorAll('.entries time[datetime]').forEach((el) => {
      const date = new Date(el.getAttribute('datetime'));
      if (!isNaN(date)) el.textContent = format.format(date);
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
  setUpPreview();
  setUpQr();
})();
