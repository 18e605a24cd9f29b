// list.js - the listing in the browser, however many entries it holds: the
// server sends the first rows as HTML and the rest as data (#entries-data);
// rows are made as the visitor scrolls to them, while sorting and filtering
// cover every entry. Also the switch between pictures and list, thumbnails
// that fail, and paging the preview through the folder's pictures.
// The rows, their size texts and the folding of names are the server's: a row
// made here is the server's own row (#entry-template) filled with the data's
// values, and names fold by the server's table (#fold-table).
(function () {
  'use strict';

  const $ = (id) => document.getElementById(id);
  const table = $('entries');
  if (!table) return;
  const body = table.tBodies[0];
  const CHUNK = 200;
  const json = (id) => ($(id) ? JSON.parse($(id).textContent) : null);
  const data = json('entries-data');
  const dates = new Intl.DateTimeFormat(undefined, { dateStyle: 'medium', timeStyle: 'short' });

  // Each letter of the table's "from" is the letter at the same place in its
  // "to" without its accents; combining marks go, and case is not compared.
  const foldTable = json('fold-table') || { from: '', to: '' };
  const folds = new Map();
  const to = Array.from(foldTable.to);
  Array.from(foldTable.from).forEach((letter, i) => folds.set(letter, to[i]));
  function fold(text) {
    if (!/[^\0-\x7f]/.test(text)) return text.toLowerCase();
    let folded = '';
    for (const letter of text) folded += folds.get(letter) || letter;
    return folded.replace(/\p{Mn}+/gu, '').toLowerCase();
  }

  // Rows on the page keep their element; the others get one when first shown.
  const all = Array.from(body.rows, (row) => ({
    row,
    name: row.dataset.name,
    size: Number(row.dataset.size),
    mtime: Number(row.dataset.mtime),
    isDir: row.classList.contains('folder'),
    preview: (row.querySelector('a.view') || { dataset: {} }).dataset.preview || '',
  }));
  if (data) {
    for (const [name, kind, size, sizeText, mtime, where, query] of data.rows) {
      const [label, preview, thumb, isDir] = data.kinds[kind];
      all.push({ name, size, sizeText, mtime, label, preview, thumb, isDir: isDir === 1, where: where || '', query });
    }
  }
  let shown = all;
  let made = body.rows.length;

  // As the server's rawurlencode, keeping the path's slashes.
  function encode(path) {
    return encodeURIComponent(path).replace(/[!'()*]/g, (c) => '%' + c.charCodeAt(0).toString(16).toUpperCase())
      .replace(/%2F/g, '/');
  }

  function element(tag, className, text) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text) node.textContent = text;
    return node;
  }

  // The server's row with every part, filled with the item's values; the
  // parts it lacks go.
  const template = $('entry-template');
  function makeRow(item) {
    const query = item.query || 'd=' + data.d + '&p=' + encode([data.p, item.where, item.name].filter(Boolean).join('/'));
    const href = (item.isDir ? '/?' : '/file.php?') + query;
    const row = template.content.firstElementChild.cloneNode(true);
    row.classList.toggle('folder', item.isDir);
    row.classList.toggle('file', !item.isDir);
    row.classList.toggle('picture', item.thumb === 1);
    Object.assign(row.dataset, { name: item.name, size: item.size, mtime: item.mtime });
    const link = row.querySelector('.name');
    link.href = href;
    link.append(item.name);
    const view = row.querySelector('.view');
    if (item.preview) {
      view.href = '/file.php?' + query + '&view=1';
      Object.assign(view.dataset, { preview: item.preview, name: item.name, download: href });
      const img = view.querySelector('.thumb');
      if (item.thumb) img.src = '/thumb.php?' + query + '&v=' + item.mtime + '-' + item.size;
      else img.remove();
      view.querySelector('.visually-hidden').append(item.name);
    } else {
      view.previousSibling.remove();
      view.remove();
    }
    const where = row.querySelector('.where');
    if (item.where) where.append(item.where);
    else where.remove();
    const time = row.querySelector('time');
    if (item.mtime > 0) {
      time.textContent = dates.format(new Date(item.mtime * 1000));
      time.dateTime = new Date(item.mtime * 1000).toISOString().replace(/\.\d+Z$/, 'Z');
    } else {
      time.remove();
    }
    row.querySelector('.col-size').textContent = item.sizeText;
    row.querySelector('.col-kind').textContent = item.label;
    return row;
  }

  // --- Rows as they are scrolled to ------------------------------------------

  const more = element('div', 'more');
  more.setAttribute('aria-hidden', 'true');
  table.after(more);
  const watcher = new IntersectionObserver((seen) => {
    if (!seen.some((e) => e.isIntersecting) || made >= shown.length) return;
    showMore();
    // Still in sight after the new rows (a tall screen): look again.
    watcher.unobserve(more);
    watcher.observe(more);
  }, { rootMargin: '0px 0px 1500px 0px' });

  function showMore() {
    const rows = document.createDocumentFragment();
    for (const end = Math.min(shown.length, made + CHUNK); made < end; made++) {
      const item = shown[made];
      rows.append(item.row || (item.row = makeRow(item)));
    }
    body.append(rows);
    more.hidden = made >= shown.length;
  }

  function showAgain() {
    body.replaceChildren();
    made = 0;
    showMore();
    $('no-match').hidden = shown.length > 0 || all.length === 0;
  }
  more.hidden = made >= shown.length;
  watcher.observe(more);

  // --- Sorting and filtering --------------------------------------------------

  const collator = new Intl.Collator(undefined, { numeric: true, sensitivity: 'base' });
  const keys = {
    name: (a, b) => collator.compare(a.name, b.name),
    size: (a, b) => a.size - b.size,
    date: (a, b) => a.mtime - b.mtime,
  };
  let words = [];
  const matches = (item) => words.length === 0 ||
    words.every((word) => (item.folded || (item.folded = fold(item.name))).includes(word));

  table.querySelectorAll('th[data-sort] button').forEach((button) => {
    button.addEventListener('click', () => {
      const th = button.closest('th');
      const descending = th.getAttribute('aria-sort') === 'ascending';
      table.querySelectorAll('th[data-sort]').forEach((other) => other.removeAttribute('aria-sort'));
      th.setAttribute('aria-sort', descending ? 'descending' : 'ascending');
      const compare = keys[th.dataset.sort];
      // Folders stay above files whichever way the list is sorted.
      all.sort((a, b) => (b.isDir - a.isDir) || (descending ? -1 : 1) * (compare(a, b) || keys.name(a, b)));
      shown = all.filter(matches);
      showAgain();
    });
  });

  $('filter').addEventListener('input', (e) => {
    words = fold(e.target.value).split(/\s+/).filter(Boolean);
    shown = all.filter(matches);
    showAgain();
  });

  // --- Pictures or list ---------------------------------------------------------

  // The choice is remembered for folders like this one: those mostly of
  // pictures, and those with a few among other files.
  const switcher = $('view-switch');
  if (switcher) {
    const listing = table.closest('.listing');
    const key = 'ostrel.view.' + (listing.classList.contains('grid') ? 'pictures' : 'mixed');
    const setView = (view) => {
      listing.classList.toggle('grid', view === 'grid');
      switcher.querySelectorAll('button').forEach((b) => b.setAttribute('aria-pressed', String(b.dataset.view === view)));
    };
    let stored = null;
    try {
      stored = localStorage.getItem(key);
    } catch (e) { /* storage refused: the folder's own choice stays */ }
    if (stored === 'grid' || stored === 'list') setView(stored);
    switcher.hidden = false;
    switcher.addEventListener('click', (e) => {
      const button = e.target.closest('button[data-view]');
      if (!button) return;
      setView(button.dataset.view);
      try {
        localStorage.setItem(key, button.dataset.view);
      } catch (err) { /* remembered for this page only */ }
    });
  }

  // A picture without a thumbnail shows its icon, as in the list.
  document.addEventListener('error', (e) => {
    const img = e.target;
    if (!(img instanceof HTMLImageElement) || !img.classList.contains('thumb')) return;
    const row = img.closest('tr');
    if (row) row.classList.remove('picture');
    img.remove();
  }, true);

  // --- Paging the preview through the pictures -----------------------------------

  const dialog = $('preview');
  if (!dialog || !window.OstrelPreview) return;
  const bar = dialog.querySelector('.preview-bar');
  const pager = element('div', 'pager');
  const prev = element('button', '', '‹');
  const count = element('span', 'pager-count');
  const next = element('button', '', '›');
  prev.type = next.type = 'button';
  prev.setAttribute('aria-label', 'Previous picture');
  next.setAttribute('aria-label', 'Next picture');
  count.setAttribute('aria-live', 'polite');
  pager.append(prev, count, next);
  bar.insertBefore(pager, $('preview-download'));
  pager.hidden = true;
  let pictures = [];
  let at = -1;

  dialog.addEventListener('preview', (e) => {
    pictures = e.detail.dataset.preview === 'image' ? shown.filter((item) => item.preview === 'image') : [];
    at = pictures.findIndex((item) => item.row && item.row.contains(e.detail));
    pager.hidden = at < 0 || pictures.length < 2;
    if (pager.hidden) return;
    count.textContent = (at + 1) + ' of ' + pictures.length;
    prev.disabled = at === 0;
    next.disabled = at === pictures.length - 1;
    const img = dialog.querySelector('.preview-body img');
    if (img) img.draggable = false;
  });

  function go(step) {
    const item = pictures[at + step];
    if (pager.hidden || !item) return;
    window.OstrelPreview.show((item.row || (item.row = makeRow(item))).querySelector('a.view'));
  }
  prev.addEventListener('click', () => go(-1));
  next.addEventListener('click', () => go(1));
  dialog.addEventListener('keydown', (e) => {
    if (!pager.hidden && (e.key === 'ArrowLeft' || e.key === 'ArrowRight')) {
      e.preventDefault();
      go(e.key === 'ArrowLeft' ? -1 : 1);
    }
  });
  // A swipe: mostly sideways, and far enough to be meant.
  let start = null;
  const stage = $('preview-body');
  stage.addEventListener('pointerdown', (e) => { start = e; });
  stage.addEventListener('pointerup', (e) => {
    if (!start) return;
    const dx = e.clientX - start.clientX;
    const dy = e.clientY - start.clientY;
    start = null;
    if (Math.abs(dx) > 50 && Math.abs(dx) > 2 * Math.abs(dy)) go(dx < 0 ? 1 : -1);
  });
  stage.addEventListener('pointercancel', () => { start = null; });
})();
