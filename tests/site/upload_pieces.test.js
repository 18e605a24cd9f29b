// upload_pieces.test.js - uploads in pieces through the real program and
// Debian's php-cgi: the piece page over plain HTTP against hostile and
// mistaken pieces, then Chromium as a phone on a link held to 16 MB/s whose
// connections are reset, whose network goes for 6 s, and whose page is
// reloaded mid-way. The link is a proxy in the test (lib/link.js), which also
// counts the bytes the server reads from the client.
// Environment: SITE_APP_DIR (the built application directory) and
// SITE_ARTIFACTS (where the screenshots go).
'use strict';
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const crypto = require('node:crypto');
const { serveSite, ARTIFACTS } = require('./lib/fixture');
const { request, visit } = require('./lib/http');
const { openBrowser } = require('./lib/browser');
const { openLink } = require('./lib/link');
const { unzipTo } = require('./lib/tree');

const site = serveSite();
const MiB = 1024 * 1024;
const HIDDEN = '.ostrel-partial';
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const json = (reply) => JSON.parse(reply.body.toString());

/** One request to the piece page: file's fields (and offset) in the query, body the piece. */
function piece(who, fields, { body = '', headers = {} } = {}) {
  const query = new URLSearchParams(Object.entries(fields).map(([k, v]) => [k, String(v)]));
  return request('/upload_piece.php?' + query, { method: 'POST', body, from: who.from,
    headers: { Cookie: who.cookie, 'X-Upload-Token': who.token, ...headers } });
}

/** The unfinished uploads in the hidden place: {path, name (as sent), size}. */
function partials() {
  const root = path.join(site.uploadDir, HIDDEN);
  if (!fs.existsSync(root)) return [];
  const found = [];
  for (const folder of fs.readdirSync(root).filter((n) => /^[0-9a-f]{32}$/.test(n))) {
    for (const name of fs.readdirSync(path.join(root, folder)).filter((n) => n.endsWith('.part'))) {
      const part = path.join(root, folder, name);
      const meta = JSON.parse(fs.readFileSync(part.replace(/\.part$/, '.json'), 'utf8'));
      found.push({ path: part, name: meta.name, size: fs.statSync(part).size });
    }
  }
  return found;
}
const partial = (name) => partials().find((p) => p.name === name);

describe('the piece page', () => {
  it('appends pieces at the offset it holds, answers any other with that offset, and names the whole file once', async () => {
    const who = await visit('127.0.0.2');
    const data = crypto.randomBytes(3 * MiB + 5);
    fs.writeFileSync(path.join(site.uploadDir, 'clip.mov'), 'an older clip');
    const file = { name: 'clip.mov', size: data.length, modified: 1700000000123 };
    let reply = await piece(who, file);
    assert.equal(reply.status, 200);
    assert.deepEqual(json(reply), { ok: true, offset: 0, size: data.length, done: false });
    reply = await piece(who, { ...file, offset: 0 }, { body: data.subarray(0, MiB) });
    assert.deepEqual(json(reply), { ok: true, offset: MiB, size: data.length, done: false });
    for (const offset of [0, MiB - 1, MiB + 1, 2 * MiB]) {
      reply = await piece(who, { ...file, offset }, { body: data.subarray(offset, offset + 1000) });
      assert.equal(reply.status, 409, `a piece at ${offset}`);
      assert.equal(json(reply).offset, MiB);
    }
    reply = await piece(who, { ...file, offset: MiB }, { body: data.subarray(MiB - 1) });
    assert.equal(reply.status, 413, 'a piece past the size declared');
    reply = await piece(who, { ...file, offset: MiB }, { body: data.subarray(MiB, 2 * MiB),
      headers: { 'Content-Type': 'application/x-www-form-urlencoded' } });
    assert.equal(reply.status, 415, 'a piece sent as a form');
    assert.equal(partial('clip.mov').size, MiB, 'nothing refused was written');

    const host = (await request('/host.php')).body.toString();
    assert.match(host, /Upload, in progress<\/td><td><span class="host-name">clip\.mov<\/span><\/td><td><progress[^>]*><\/progress> 1\.0 MB of 3\.0 MB<\/td><td>127\.0\.0\.2</);

    reply = await piece(who, { ...file, offset: MiB }, { body: data.subarray(MiB) });
    const done = json(reply);
    assert.equal(reply.status, 200);
    assert.deepEqual({ ...done, free: 0 }, { ok: true, offset: data.length, size: data.length, done: true,
      stored: 'clip (2).mov', renamed: 'taken', free: 0 });
    assert.equal(typeof done.free, 'number');
    assert.ok(fs.readFileSync(path.join(site.uploadDir, 'clip (2).mov')).equals(data));
    assert.equal(fs.readFileSync(path.join(site.uploadDir, 'clip.mov'), 'utf8'), 'an older clip');
    // The answer to the last piece lost: asked again, or the piece sent again, the same answer, no second copy.
    assert.equal(json(await piece(who, file)).stored, 'clip (2).mov');
    assert.equal(json(await piece(who, { ...file, offset: MiB }, { body: data.subarray(MiB) })).stored, 'clip (2).mov');
    assert.ok(!fs.existsSync(path.join(site.uploadDir, 'clip (3).mov')));
    assert.equal(partial('clip.mov'), undefined);
    const after = (await request('/host.php')).body.toString();
    assert.doesNotMatch(after, /in progress<\/td><td><span class="host-name">clip\.mov/);
    assert.match(after, /<td>Upload<\/td><td><span class="host-name">clip \(2\)\.mov<\/span><\/td><td>3\.0 MB<\/td>/);

    // An empty file is whole at once.
    reply = await piece(who, { name: 'empty.txt', size: 0, modified: 1 });
    assert.equal(json(reply).stored, 'empty.txt');
    assert.equal(fs.statSync(path.join(site.uploadDir, 'empty.txt')).size, 0);
  });

  it('keeps an unfinished upload to the device that started it, and takes nothing without its token from this site', async () => {
    const owner = await visit('127.0.0.2');
    const other = await visit('127.0.0.3');
    const data = crypto.randomBytes(2 * MiB);
    const file = { name: 'private.bin', size: data.length, modified: 7 };
    assert.equal(json(await piece(owner, { ...file, offset: 0 }, { body: data.subarray(0, MiB) })).offset, MiB);
    assert.equal(json(await piece(other, file)).offset, 0, 'the other device starts a file of its own');
    const reply = await piece(other, { ...file, offset: MiB }, { body: data.subarray(MiB) });
    assert.equal(reply.status, 409);
    assert.equal(json(reply).offset, 0);
    const refusals = [
      [{ ...owner, cookie: other.cookie }, {}, 'a token harvested from another device'],
      [{ ...owner, cookie: '' }, {}, 'no cookie'],
      [{ ...owner, token: '' }, {}, 'no token'],
      [{ ...owner, token: owner.token.toUpperCase() }, {}, 'a token not exactly the same'],
      [owner, { Origin: 'http://evil.example' }, 'from another site'],
      [owner, { Referer: 'http://evil.example/page.html' }, 'from another site, by its Referer'],
    ];
    for (const [who, headers, what] of refusals) {
      const refused = await piece(who, { ...file, offset: MiB }, { body: data.subarray(MiB), headers });
      assert.equal(refused.status, 403, what);
      assert.match(json(refused).error, /reload the page|another site/, what);
    }
    assert.deepEqual(partials().filter((p) => p.name === 'private.bin').map((p) => p.size).sort(), [0, MiB]);
    assert.ok(!fs.existsSync(path.join(site.uploadDir, 'private.bin')));
  });

  it('refuses a file the disk cannot hold before a byte is written, and pieces that do not say what they are', async () => {
    const who = await visit('127.0.0.2');
    const before = partials().length;
    const huge = await piece(who, { name: 'huge.bin', size: 2 ** 53, modified: 1 });
    assert.equal(huge.status, 507);
    assert.match(json(huge).error, /does not fit: the server’s disk has .* left/);
    assert.equal(typeof json(huge).free, 'number');
    const bad = [
      [{ name: '', size: 1, modified: 1 }, '', 'no name'],
      [{ name: 'n'.repeat(1025), size: 1, modified: 1 }, '', 'a name longer than any file system takes'],
      [{ name: 'a.txt', size: 'ten', modified: 1 }, '', 'a size that is no number'],
      [{ name: 'a.txt', size: 10 }, '', 'no time of change'],
      [{ name: 'a.txt', size: 10, modified: 1 }, 'abc', 'a piece without its offset'],
      [{ name: 'a.txt', size: 10, modified: 1, offset: -1 }, 'abc', 'a negative offset'],
    ];
    for (const [fields, body, what] of bad) {
      const reply = await piece(who, fields, { body });
      assert.equal(reply.status, 400, what);
      assert.ok(json(reply).error, what);
    }
    assert.equal(partials().length, before);
    assert.equal((await request('/upload_piece.php')).status, 405);
  });

  it('never lists, searches, serves, previews or zips an unfinished upload, even in a shared upload directory', async () => {
    const who = await visit('127.0.0.2');
    const file = { name: 'secret draft.jpg', size: 300000, modified: 9 };
    await piece(who, { ...file, offset: 0 }, { body: crypto.randomBytes(100000) });
    const rel = path.relative(site.uploadDir, partial('secret draft.jpg').path).split(path.sep).join('/');
    const dirsIni = path.join(site.app, 'www', 'dirs.ini');
    const shared = fs.readFileSync(dirsIni);
    const link = path.join(site.shares.photos, 'sneaky');
    try {
      // Shares 3 and 4: the home folder with the upload directory, and the hidden place itself.
      fs.appendFileSync(dirsIni, `${site.home}\r\n${path.join(site.uploadDir, HIDDEN)}\r\n`);
      fs.symlinkSync(path.dirname(partial('secret draft.jpg').path), link);
      const up = 'Upload%20Directory';
      for (const page of [`/?d=3&p=${up}`, `/?d=3&q=${encodeURIComponent(HIDDEN)}`, '/?d=3&q=part', '/?d=0']) {
        const names = [...(await request(page)).body.toString().matchAll(/data-name="([^"]*)"/g)].map((m) => m[1]);
        assert.deepEqual(names.filter((n) => /ostrel-partial|\.part$|sneaky/i.test(n)), [], page);
      }
      assert.match((await request(`/?d=3&p=${up}`)).body.toString(), /data-name="clip \(2\)\.mov"/);
      const escaped = rel.split('/').map(encodeURIComponent).join('/');
      for (const page of [`/file.php?d=3&p=${up}/${escaped}`, `/file.php?d=3&p=${up}/${escaped.toUpperCase()}`,
        `/file.php?d=3&p=${up}/${escaped}&view=1`, `/thumb.php?d=3&p=${up}/${escaped}`,
        `/zip.php?d=3&p=${up}/${encodeURIComponent(HIDDEN)}`, `/file.php?d=0&p=sneaky/${path.basename(rel)}`,
        '/?d=4', '/zip.php?d=4']) {
        assert.equal((await request(page)).status, 403, page);
      }
      const zip = await request(`/zip.php?d=3&p=${up}`, { timeoutMs: 120000 });
      assert.equal(zip.status, 200);
      const out = unzipTo(zip.body, path.join(site.work, 'unzip-uploads'));
      const names = fs.readdirSync(path.join(out, 'Upload Directory'), { recursive: true });
      assert.ok(names.includes('clip (2).mov'));
      assert.deepEqual(names.filter((n) => /ostrel-partial|\.part$/i.test(n)), []);
    } finally {
      fs.writeFileSync(dirsIni, shared);
      fs.rmSync(link, { force: true });
    }
  });

  it('holds at most 16 unfinished uploads a device, making room with one resting, and gives up those idle a day', async () => {
    const who = await visit('127.0.0.4');
    const ask = (name) => piece(who, { name, size: 10, modified: 1 });
    for (let i = 0; i < 16; i++) assert.equal((await ask(`many ${i}.bin`)).status, 200);
    const full = await ask('many 16.bin');
    assert.equal(full.status, 429);
    assert.match(json(full).error, /16 unfinished uploads/);
    const back = (name, seconds) => {
      const when = new Date(Date.now() - seconds * 1000);
      fs.utimesSync(partial(name).path, when, when);
    };
    back('many 3.bin', 11 * 60);
    assert.equal((await ask('many 16.bin')).status, 200, 'the one resting for 11 minutes makes room');
    assert.equal(partial('many 3.bin'), undefined);
    back('many 5.bin', 25 * 3600);
    assert.equal((await ask('many 17.bin')).status, 200);
    assert.equal(partial('many 5.bin'), undefined, 'a day untouched, it is given up');
    assert.equal(partials().filter((p) => p.name.startsWith('many ')).length, 16);
  });
});

describe('in Chromium as a phone, on a link held to 16 MB/s', () => {
  let browser;
  let page;
  let link;
  const tempFiles = new Set();
  let watcher;
  const PHONE = { viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true };

  before(async () => {
    fs.mkdirSync(ARTIFACTS, { recursive: true });
    // A copy of a body through php/temp would show as one of the interpreter's files there.
    watcher = fs.watch(path.join(site.app, 'php', 'temp'), (event, name) => tempFiles.add(String(name)));
    link = await openLink({ bytesPerSecond: 16 * 1000 * 1000 });
    browser = await openBrowser(path.join(site.work, 'phone-profile'), [], PHONE);
    page = await browser.newPage();
    page.on('pageerror', (e) => assert.fail(`script error: ${e.message}`));
    await page.goto(`http://127.0.0.1:${link.port}/`);
  });
  after(async () => {
    watcher?.close();
    if (browser) await browser.close();
    if (link) await link.close();
  });

  const status = () => page.textContent('#upload-list li:last-child .status');
  const waitFor = async (test, what, ms = 30000) => {
    for (const until = Date.now() + ms; !(await test());) {
      if (Date.now() > until) throw new Error(`waited ${ms} ms for ${what}`);
      await sleep(50);
    }
  };
  const held = (name) => partial(name)?.size ?? 0;

  function makeFile(name) {
    const file = path.join(site.work, name);
    fs.writeFileSync(file, crypto.randomBytes(64 * MiB));
    return file;
  }

  it('finishes a 64 MiB upload by itself through reset connections and 6 s without network', async () => {
    const file = makeFile('phone video.mp4');
    const size = fs.statSync(file).size;
    await page.setInputFiles('#upload-input', file);
    await sleep(2000);
    assert.match(await status(), /^Sending… /);
    link.resetAll();
    await waitFor(async () => /^Continuing… /.test(await status()), 'the upload to go on after the reset');
    await waitFor(() => held('phone video.mp4') > size / 2, 'half of the file');
    link.cutOff();
    await waitFor(async () => (await status()) === 'Connection lost, trying again…', 'the page to say so', 5000);
    await sleep(300);  // what was on its way before the cut lands
    const during = held('phone video.mp4');
    await page.screenshot({ path: path.join(ARTIFACTS, 'upload-connection-lost-phone.png'), fullPage: true });
    await sleep(5700);
    assert.equal(held('phone video.mp4'), during, 'nothing arrived while the network was gone');
    link.back();
    await page.waitForSelector('#upload-list li.done', { timeout: 60000 });
    assert.equal(await status(), 'Uploaded.');
    await page.screenshot({ path: path.join(ARTIFACTS, 'upload-done-phone.png'), fullPage: true });
    assert.ok(fs.readFileSync(path.join(site.uploadDir, 'phone video.mp4')).equals(fs.readFileSync(file)));
    const read = link.bytesToServer();
    assert.ok(read <= 1.5 * size, `the server read ${read} bytes for a file of ${size}`);
    assert.deepEqual([...tempFiles].filter((n) => /^php[0-9A-Za-z]{6}$/.test(n)), [], 'no copy went through php/temp');
  });

  it('continues a file chosen again after a reload, sending only what the server lacked', async () => {
    const file = makeFile('second video.mp4');
    const size = fs.statSync(file).size;
    await page.setInputFiles('#upload-input', file);
    await waitFor(() => held('second video.mp4') > 0.4 * size, '40% of the file');
    await page.reload();
    let last = -1;
    for (let now = held('second video.mp4'); now !== last; now = held('second video.mp4')) {
      last = now;
      await sleep(700);  // the server ends the cut-off request's interpreter within half a second
    }
    const lacking = size - last;
    const before = link.bytesToServer();
    await page.setInputFiles('#upload-input', file);
    await page.waitForSelector('#upload-list li .resumed');
    assert.match(await page.textContent('#upload-list li .resumed'),
      /^Continuing where it stopped: \d+ MB of 64 MB were already on the server\.$/);
    await page.waitForSelector('#upload-list li.done', { timeout: 60000 });
    assert.ok(fs.readFileSync(path.join(site.uploadDir, 'second video.mp4')).equals(fs.readFileSync(file)));
    const sent = link.bytesToServer() - before;
    // At most what was missing and one piece (the first, of 4 MiB), with the requests' heads.
    assert.ok(sent <= lacking + 4 * MiB, `${sent} bytes read after the reload; ${lacking} were missing`);
  });
});
