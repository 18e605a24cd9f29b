// upload_pieces.test.js - uploads in pieces through the real program and
// Debian's php-cgi: the piece page over plain HTTP against hostile and
// mistaken pieces, then Chromium as a phone on a link held to 16 MB/s
// (lib/link.js) whose connections are reset, whose network goes for 6 s, and
// whose page is reloaded mid-way. Environment: as site.test.js.
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

/** One request to the piece page: the file's fields (and offset) in the query, the piece as the body. [status, answer]. */
async function piece(who, fields, body = '', headers = {}) {
  const reply = await request('/upload_piece.php?' + new URLSearchParams(fields), { method: 'POST', body, from: who.from,
    headers: { Cookie: who.cookie, 'X-Upload-Token': who.token, ...headers } });
  return [reply.status, JSON.parse(reply.body)];
}

/** The unfinished uploads in the hidden place: {path, name (as sent), size}. */
function partials() {
  const root = path.join(site.uploadDir, HIDDEN);
  const folders = fs.existsSync(root) ? fs.readdirSync(root).filter((n) => /^[0-9a-f]{32}$/.test(n)) : [];
  return folders.flatMap((folder) => fs.readdirSync(path.join(root, folder)).filter((n) => n.endsWith('.part')).map((n) => {
    const part = path.join(root, folder, n);
    return { path: part, name: JSON.parse(fs.readFileSync(part.replace(/\.part$/, '.json'))).name, size: fs.statSync(part).size };
  }));
}
const partial = (name) => partials().find((p) => p.name === name);

describe('the piece page', () => {
  it('appends pieces at the offset it holds, refuses any other piece, and names the whole file once', async () => {
    const who = await visit('127.0.0.2');
    const data = crypto.randomBytes(3 * MiB + 5);
    fs.writeFileSync(path.join(site.uploadDir, 'clip.mov'), 'an older clip');
    const file = { name: 'clip.mov', size: data.length, modified: 1700000000123 };
    const at = (offset, end = offset + MiB) => piece(who, { ...file, offset }, data.subarray(offset, end));
    assert.deepEqual(await piece(who, file), [200, { ok: true, offset: 0, size: data.length, done: false }]);
    assert.deepEqual(await at(0), [200, { ok: true, offset: MiB, size: data.length, done: false }]);
    // [fields in place of the file's, body, headers, status]; a piece at another offset is told the one held.
    const refused = [
      ...[0, MiB - 1, MiB + 1, 2 * MiB].map((offset) => [{ offset }, data.subarray(offset, offset + 1000), {}, 409]),
      [{ offset: MiB }, data.subarray(MiB - 1), {}, 413],
      [{ offset: MiB }, data.subarray(MiB, 2 * MiB), { 'Content-Type': 'application/x-www-form-urlencoded' }, 415],
      [{ size: 2 ** 53 }, '', {}, 507],
      ...[{ name: '' }, { name: 'n'.repeat(1025) }, { size: 'ten' }, { modified: '' }].map((fields) => [fields, '', {}, 400]),
      [{}, 'a piece without its offset', {}, 400],
      [{ offset: -1 }, 'abc', {}, 400],
    ];
    for (const [fields, body, headers, status] of refused) {
      const [got, answer] = await piece(who, { ...file, ...fields }, body, headers);
      assert.deepEqual([got, got === 409 ? answer.offset : MiB], [status, MiB], JSON.stringify(fields));
    }
    assert.deepEqual(partials().map((p) => [p.name, p.size]), [['clip.mov', MiB]], 'nothing refused was written');
    assert.equal((await request('/upload_piece.php')).status, 405);
    assert.match((await request('/host.php')).body.toString(),
      /Upload, in progress<\/td><td><span class="host-name">clip\.mov<\/span><\/td><td><progress[^>]*><\/progress> 1\.0 MB of 3\.0 MB<\/td><td>127\.0\.0\.2</);

    const [status, done] = await at(MiB, data.length);
    assert.deepEqual([status, { ...done, free: typeof done.free }], [200, { ok: true, offset: data.length, size: data.length,
      done: true, stored: 'clip (2).mov', renamed: 'taken', free: 'number' }]);
    assert.ok(fs.readFileSync(path.join(site.uploadDir, 'clip (2).mov')).equals(data));
    assert.equal(fs.readFileSync(path.join(site.uploadDir, 'clip.mov'), 'utf8'), 'an older clip');
    // The answer to the last piece lost: asked again, or the piece sent again, the same answer, no second copy.
    for (const again of [await piece(who, file), await at(MiB, data.length)]) assert.equal(again[1].stored, 'clip (2).mov');
    assert.ok(!fs.existsSync(path.join(site.uploadDir, 'clip (3).mov')) && !partial('clip.mov'));
    const host = (await request('/host.php')).body.toString();
    assert.doesNotMatch(host, /in progress<\/td><td><span class="host-name">clip\.mov/);
    assert.match(host, /<td>Upload<\/td><td><span class="host-name">clip \(2\)\.mov<\/span><\/td><td>3\.0 MB<\/td>/);
    // An empty file is whole at once.
    assert.equal((await piece(who, { name: 'empty.txt', size: 0, modified: 1 }))[1].stored, 'empty.txt');
    assert.equal(fs.statSync(path.join(site.uploadDir, 'empty.txt')).size, 0);
  });

  it('keeps an unfinished upload to the device that started it, and takes nothing without its token from this site', async () => {
    const [owner, other] = [await visit('127.0.0.2'), await visit('127.0.0.3')];
    const data = crypto.randomBytes(2 * MiB);
    const file = { name: 'private.bin', size: data.length, modified: 7 };
    assert.equal((await piece(owner, { ...file, offset: 0 }, data.subarray(0, MiB)))[1].offset, MiB);
    assert.equal((await piece(other, file))[1].offset, 0, 'the other device starts a file of its own');
    const [status, { offset }] = await piece(other, { ...file, offset: MiB }, data.subarray(MiB));
    assert.deepEqual([status, offset], [409, 0]);
    // The upload form's checks (tested with it), on every piece: a token harvested from another device, another site.
    for (const [who, headers] of [[{ ...owner, cookie: other.cookie }, {}], [owner, { Origin: 'http://evil.example' }]]) {
      assert.equal((await piece(who, { ...file, offset: MiB }, data.subarray(MiB), headers))[0], 403, JSON.stringify(headers));
    }
    assert.deepEqual(partials().filter((p) => p.name === 'private.bin').map((p) => p.size).sort(), [0, MiB]);
    assert.ok(!fs.existsSync(path.join(site.uploadDir, 'private.bin')));
  });

  it('never lists, searches, serves, previews or zips an unfinished upload, even in a shared upload directory', async () => {
    await piece(await visit('127.0.0.2'), { name: 'secret draft.jpg', size: 300000, modified: 9, offset: 0 }, crypto.randomBytes(1000));
    const part = partial('secret draft.jpg').path;
    const rel = path.relative(site.uploadDir, part).split(path.sep).map(encodeURIComponent).join('/');
    const dirsIni = path.join(site.app, 'www', 'dirs.ini');
    const shared = fs.readFileSync(dirsIni);
    const link = path.join(site.shares.photos, 'sneaky');
    try {
      // Shares 3 and 4: the home folder with the upload directory, and the hidden place itself.
      fs.appendFileSync(dirsIni, `${site.home}\r\n${path.join(site.uploadDir, HIDDEN)}\r\n`);
      fs.symlinkSync(path.dirname(part), link);
      const up = 'Upload%20Directory';
      assert.match((await request(`/?d=3&p=${up}`)).body.toString(), /data-name="clip \(2\)\.mov"/);
      for (const page of [`/?d=3&p=${up}`, `/?d=3&q=${HIDDEN}`, '/?d=3&q=part', '/?d=0']) {
        assert.doesNotMatch((await request(page)).body.toString(), /data-name="[^"]*(ostrel-partial|\.part"|sneaky)/i, page);
      }
      for (const page of [`/file.php?d=3&p=${up}/${rel}`, `/file.php?d=3&p=${up}/${rel.toUpperCase()}`,
        `/file.php?d=3&p=${up}/${rel}&view=1`, `/thumb.php?d=3&p=${up}/${rel}`, `/zip.php?d=3&p=${up}/${HIDDEN}`,
        `/file.php?d=0&p=sneaky/${path.basename(part)}`, '/?d=4', '/zip.php?d=4']) {
        assert.equal((await request(page)).status, 403, page);
      }
      const zip = await request(`/zip.php?d=3&p=${up}`, { timeoutMs: 120000 });
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
    const start = async (name, by = who) => (await piece(by, { name, size: 10, modified: 1 }))[0];
    const idle = (name, seconds) => fs.utimesSync(partial(name).path, Date.now() / 1000 - seconds, Date.now() / 1000 - seconds);
    for (let i = 0; i < 16; i++) assert.equal(await start(`many ${i}.bin`), 200);
    assert.equal(await start('many 16.bin'), 429);
    idle('many 3.bin', 11 * 60);
    assert.equal(await start('many 16.bin'), 200, 'the one resting for 11 minutes makes room');
    assert.equal(partial('many 3.bin'), undefined);
    idle('many 5.bin', 25 * 3600);
    assert.equal(await start('one more.bin', await visit('127.0.0.5')), 200);
    assert.equal(partial('many 5.bin'), undefined, 'a day untouched, it is given up whoever starts an upload');
  });
});

describe('in Chromium as a phone, on a link held to 16 MB/s', () => {
  let browser;
  let page;
  let link;
  let watcher;
  const tempFiles = new Set();

  before(async () => {
    fs.mkdirSync(ARTIFACTS, { recursive: true });
    // A copy of a body through php/temp would show as one of the interpreter's files there.
    watcher = fs.watch(path.join(site.app, 'php', 'temp'), (event, name) => tempFiles.add(String(name)));
    link = await openLink(16 * 1000 * 1000);
    browser = await openBrowser(path.join(site.work, 'phone-profile'),
      { viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true });
    page = await browser.newPage();
    page.on('pageerror', (e) => assert.fail(`script error: ${e.message}`));
    await page.goto(`http://127.0.0.1:${link.port}/`);
  });
  after(async () => {
    watcher?.close();
    await browser?.close();
    await link?.close();
  });

  const status = () => page.textContent('#upload-list li:last-child .status');
  const waitFor = async (test, what, ms = 30000) => {
    for (const until = Date.now() + ms; !(await test());) {
      if (Date.now() > until) throw new Error(`waited ${ms} ms for ${what}`);
      await sleep(50);
    }
  };
  // Read while the server writes: a part file may be there before its
  // description, or go with it, between the folder's listing and the reads.
  const held = (name) => {
    try {
      return partial(name)?.size ?? 0;
    } catch (error) {
      if (error.code === 'ENOENT') return 0;
      throw error;
    }
  };
  /** Picks a new file of 64 MiB. */
  async function pick(name) {
    const file = path.join(site.work, name);
    if (!fs.existsSync(file)) fs.writeFileSync(file, crypto.randomBytes(64 * MiB));
    await page.setInputFiles('#upload-input', file);
  }
  async function assertArrived(name) {
    await page.waitForSelector('#upload-list li.done', { timeout: 60000 });
    assert.ok(fs.readFileSync(path.join(site.uploadDir, name)).equals(fs.readFileSync(path.join(site.work, name))));
  }

  it('finishes a 64 MiB upload by itself through reset connections and 6 s without network', async () => {
    await pick('phone video.mp4');
    await sleep(2000);
    assert.match(await status(), /^Sending… /);
    link.resetAll();
    await waitFor(async () => /^Continuing… /.test(await status()), 'the upload to go on after the reset');
    await waitFor(() => held('phone video.mp4') > 32 * MiB, 'half of the file');
    link.cutOff();
    await waitFor(async () => (await status()) === 'Connection lost, trying again…', 'the page to say so', 5000);
    await page.screenshot({ path: path.join(ARTIFACTS, 'upload-connection-lost-phone.png'), fullPage: true });
    await sleep(6000);
    link.back();
    await assertArrived('phone video.mp4');
    assert.equal(await status(), 'Uploaded.');
    await page.screenshot({ path: path.join(ARTIFACTS, 'upload-done-phone.png'), fullPage: true });
    assert.ok(link.bytesToServer() <= 1.5 * 64 * MiB, `the server read ${link.bytesToServer()} bytes for 64 MiB`);
    assert.deepEqual([...tempFiles].filter((n) => /^php[0-9A-Za-z]{6}$/.test(n)), [], 'no copy went through php/temp');
  });

  it('continues a file chosen again after a reload, sending only what the server lacked', async () => {
    await pick('second video.mp4');
    await waitFor(() => held('second video.mp4') > 0.4 * 64 * MiB, '40% of the file');
    await page.reload();
    let last = -1;
    for (let now = held('second video.mp4'); now !== last; now = held('second video.mp4')) {
      last = now;
      await sleep(700);  // the server ends the cut-off request's interpreter within half a second
    }
    const before = link.bytesToServer();
    await pick('second video.mp4');
    assert.match(await page.textContent('#upload-list li .resumed'),
      /^Continuing where it stopped: \d+ MB of 64 MB were already on the server\.$/);
    await assertArrived('second video.mp4');
    // At most what was missing and one piece (the first, of 4 MiB), with the requests' heads.
    const sent = link.bytesToServer() - before;
    assert.ok(sent <= 64 * MiB - last + 4 * MiB, `${sent} bytes read after the reload; ${64 * MiB - last} were missing`);
  });
});
