// site.test.js - the site's pages through the real program and Debian's
// php-cgi: plain HTTP for statuses, headers and bytes, then headless Chromium
// for what a visitor does (browse, sort, filter, search, preview, download,
// upload, QR code, phone layout).
// Environment: SITE_APP_DIR (the built application directory) and
// SITE_ARTIFACTS (where the screenshots go).
'use strict';
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const crypto = require('node:crypto');
const zlib = require('node:zlib');
const os = require('node:os');
const { execFileSync, spawn } = require('node:child_process');
const { serveSite, ARTIFACTS } = require('./lib/fixture');
const { request, multipart, visit } = require('./lib/http');
const { openBrowser } = require('./lib/browser');
const { treeOf, unzipTo } = require('./lib/tree');
const { writeBombs } = require('./lib/jpeg');

const site = serveSite();
const q = (p) => encodeURIComponent(p).replace(/%2F/g, '/');

/** A reply that a visitor may see: no interpreter message, no path of the server's disk. */
function assertClean(reply) {
  const text = reply.body.toString('utf8');
  assert.doesNotMatch(text, /(Warning|Notice|Fatal error|Deprecated|Parse error)\b.*:/);
  assert.ok(!text.includes(site.work), 'no server path in the reply');
}

/** Samples the peak memory of the site's interpreters (those in its www folder) every 10 ms; stop() gives it in MiB. */
function watchInterpreters() {
  let peak = 0;
  const look = () => fs.readdirSync('/proc').filter((pid) => /^\d+$/.test(pid)).forEach((pid) => {
    try {
      if (fs.readlinkSync(`/proc/${pid}/cwd`) !== path.join(site.app, 'www')) return;
      peak = Math.max(peak, Number(fs.readFileSync(`/proc/${pid}/status`, 'latin1').match(/^VmHWM:\s+(\d+)/m)[1]) >> 10);
    } catch { /* ended meanwhile */ }
  });
  const timer = setInterval(look, 10);
  return { stop() { clearInterval(timer); look(); return peak; } };
}

/**
 * Asks for target count times, workers at a time, while the shared name flips between a hard link to regular
 * and a link to outside (with touch, regular's time moving on each round); no reply may be classified 'outside'.
 * Its own process flips the name by renames, so the name always exists, and as long a regular file as a link.
 */
async function flipRace(name, { regular, outside, target, count, workers, touch = false, classify }) {
  fs.linkSync(regular, name);
  const flipper = spawn(process.execPath, ['-e', `const fs = require('fs');
    const [name, outside, regular, touch] = process.argv.slice(1);
    for (let t = 1e9; ; t++) {
      fs.symlinkSync(outside, name + '.l'); fs.renameSync(name + '.l', name);
      if (touch) fs.utimesSync(regular, t, t);
      fs.linkSync(regular, name + '.f'); fs.renameSync(name + '.f', name);
    }`, name, outside, regular, touch ? 'touch' : ''], { stdio: 'ignore' });
  const counts = { inside: 0, outside: 0, refused: 0 };
  try {
    let left = count;
    const worker = async () => {
      for (; left > 0; left--) counts[classify(await request(target))]++;
    };
    await Promise.all(Array.from({ length: workers }, worker));
  } finally {
    flipper.kill('SIGKILL');
    if (flipper.exitCode === null && flipper.signalCode === null) await new Promise((resolve) => flipper.once('exit', resolve));
    for (const flipped of [name, name + '.l', name + '.f']) fs.rmSync(flipped, { force: true });
  }
  console.log(`${target} while it flips: ${JSON.stringify(counts)}`);
  assert.equal(counts.outside, 0);
  assert.ok(counts.inside > 0 && counts.refused > 0, 'the race was run: both sides were met');
}

/** POSTs files to the upload page in JSON mode, with the visitor's token and cookie. */
function upload(files, { token, cookie }, headers = {}, target = '/upload.php?format=json') {
  const form = multipart({ token }, files);
  return request(target, { method: 'POST', body: form.body, headers: { 'Content-Type': form.type, Cookie: cookie, ...headers } });
}

describe('listing and browsing', () => {
  it('lists the shared folders in the order of dirs.ini, a missing one without a link', async () => {
    const reply = await request('/');
    assert.equal(reply.status, 200);
    assert.match(reply.headers['content-type'], /^text\/html; charset=utf-8/i);
    assert.equal(reply.headers['content-encoding'], 'gzip');
    const html = reply.body.toString();
    const names = [...html.matchAll(/<tr class="entry[^"]*" data-name="([^"]*)"/g)].map((m) => m[1]);
    assert.deepEqual(names, ['Photos ü &amp; Co', 'Music', 'not there']);
    assert.match(html, /<span class="name">not there<\/span>.*Not available/);
    assert.match(html, /href="\/\?d=0">Photos ü &amp; Co<\/a>/);
    assertClean(reply);
    assert.ok(fs.statSync(site.uploadDir).isDirectory(), 'the page creates the upload directory');
  });

  it('shows a folder with breadcrumbs, sizes, dates and kinds, and no links that lead out', async () => {
    const reply = await request('/?d=0');
    assert.equal(reply.status, 200);
    const html = reply.body.toString();
    assert.match(html, /<li><a href="\/">Shared folders<\/a><\/li><li aria-current="page">Photos ü &amp; Co<\/li>/);
    assert.match(html, /data-name="random.bin" data-size="3145745"/);
    assert.match(html, /<time datetime="\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ">/);
    assert.match(html, /data-name="pixel.png".*PNG image/);
    assert.match(html, /data-name="link-in.txt"/);
    assert.doesNotMatch(html, /link-out/);
    const names = [...html.matchAll(/data-name="([^"]*)" data-size/g)].map((m) => m[1]);
    assert.deepEqual(names.slice(0, 2), ['empty folder', 'sub'], 'folders come first');
    const deep = (await request('/?d=0&p=sub/deeper')).body.toString();
    assert.match(deep, /<li><a href="\/\?d=0&amp;p=sub">sub<\/a><\/li><li aria-current="page">deeper<\/li>/);
  });

  it('finds names below the current folder, whatever their case and accents', async () => {
    const reply = await request('/?d=0&q=NEEDLE');
    assert.equal(reply.status, 200);
    assert.equal(reply.headers['content-encoding'], 'gzip');
    const html = reply.body.toString();
    assert.match(html, /data-name="needle note.md".*<span class="where">in sub\/deeper<\/span>/);
    assert.match(html, /href="\/file.php\?d=0&amp;p=sub\/deeper\/needle%20note.md"/);
    assert.match(html, /1 match for/);
    assert.match((await request('/?d=0&q=nothing-like-this')).body.toString(), /Nothing found/);
    const found = async (query) => [...(await request('/?d=1&q=' + q(query))).body.toString()
      .matchAll(/<tr class="entry[^"]*" data-name="([^"]*)"/g)].map((m) => m[1]);
    assert.deepEqual(await found('cafe'), ['Café del Mar.txt']);
    assert.deepEqual(await found('ÉTÉ'), ['Été indien', 'été 2024.txt']);
    assert.deepEqual(await found('cafe\u0301 MAR'), ['Café del Mar.txt'], 'accents typed as marks of their own');
  });

  it('refuses a search of too many words at once, and ends one of thousands within its deadline', async () => {
    // A folder of many names that every word matches: each name costs the search every word.
    const many = path.join(site.shares.music, 'many');
    fs.mkdirSync(many);
    try {
      for (let i = 0; i < 2000; i++) fs.writeFileSync(path.join(many, `a${i}.txt`), '');
      const started = Date.now();
      const reply = await request('/?d=1&q=' + 'a+'.repeat(20000) + 'nowhere', { timeoutMs: 120000 });
      const seconds = (Date.now() - started) / 1000;
      assert.equal(reply.status, 200);
      assert.match(reply.body.toString(), /This search is too long: use at most 12 words and 300 characters/);
      assert.ok(seconds < 5 + 20, `the search took ${seconds} s; its deadline is 5 s`);
      const twelve = (await request('/?d=1&q=' + 'a+'.repeat(12))).body.toString();
      assert.match(twelve, /500 matches for/, 'twelve words are searched');
      const thirteen = (await request('/?d=1&q=' + 'a+'.repeat(13))).body.toString();
      assert.match(thirteen, /too long/);
      assert.match((await request('/?d=1&q=' + 'a'.repeat(301))).body.toString(), /too long/);
    } finally {
      fs.rmSync(many, { recursive: true, force: true });
    }
  });
});

describe('downloads', () => {
  it('sends a file whole, with its length, type and name', async () => {
    const reply = await request('/file.php?d=0&p=random.bin');
    const original = fs.readFileSync(path.join(site.shares.photos, 'random.bin'));
    assert.equal(reply.status, 200);
    assert.equal(reply.headers['content-length'], String(original.length));
    assert.equal(reply.headers['content-type'], 'application/octet-stream');
    assert.equal(reply.headers['content-encoding'], undefined, 'a download is never compressed');
    assert.match(reply.headers['content-disposition'], /^attachment; filename="random.bin"/);
    assert.ok(reply.body.equals(original), 'the bytes are the file\'s');
  });

  it('keeps a non-ASCII file name through Content-Disposition', async () => {
    const name = 'Ünïcode “name” ✓.txt';
    const reply = await request('/file.php?d=0&p=' + q(name));
    assert.equal(reply.status, 200);
    const star = reply.headers['content-disposition'].match(/filename\*=UTF-8''(\S+)/);
    assert.equal(decodeURIComponent(star[1]), name);
    assert.match(reply.headers['content-disposition'], /filename="[\x20-\x7e]+"/);
    assert.equal(reply.body.toString(), 'unicode content\n');
  });

  it('previews images as themselves and web pages only as plain text, never as part of the site', async () => {
    const image = await request('/file.php?d=0&p=pixel.png&view=1');
    assert.equal(image.headers['content-type'], 'image/png');
    assert.match(image.headers['content-disposition'], /^inline;/);
    assert.match(image.headers['content-security-policy'], /sandbox/);
    const pageFile = await request('/file.php?d=0&p=page.html&view=1');
    assert.match(pageFile.headers['content-type'], /^text\/plain/);
    assert.equal(pageFile.headers['x-content-type-options'], 'nosniff');
  });

  it('previews audio, video, PDF and text inline with their own types', async () => {
    const kinds = { 'clip.mp4': 'video/mp4', 'tune.mp3': 'audio/mpeg', 'doc.pdf': 'application/pdf' };
    for (const [name, type] of Object.entries(kinds)) {
      const reply = await request('/file.php?d=0&p=' + name + '&view=1');
      assert.equal(reply.headers['content-type'], type, name);
      assert.match(reply.headers['content-disposition'], /^inline;/, name);
      assert.ok(reply.body.equals(fs.readFileSync(path.join(site.shares.photos, name))), name);
    }
    const noPreview = await request('/file.php?d=0&p=random.bin&view=1');
    assert.match(noPreview.headers['content-disposition'], /^attachment;/, 'no preview for unknown kinds');
  });

  it('previews only the start of a long text, and downloads all of it', async () => {
    const whole = fs.readFileSync(path.join(site.shares.photos, 'long.log'));
    const preview = await request('/file.php?d=0&p=long.log&view=1');
    assert.equal(Number(preview.headers['content-length']), preview.body.length);
    assert.ok(preview.body.subarray(0, 1048576).equals(whole.subarray(0, 1048576)));
    assert.match(preview.body.subarray(1048576).toString(), /The preview ends here: the file holds 1,800,000 bytes/);
    assert.ok((await request('/file.php?d=0&p=long.log')).body.equals(whole));
  });

  it('follows a link that stays inside the shared folder', async () => {
    const reply = await request('/file.php?d=0&p=link-in.txt');
    assert.equal(reply.status, 200);
    assert.equal(reply.body.toString(), 'hello, world\n');
  });

  it('sends a folder as one zip with the exact announced length, holding every file and folder', async () => {
    const reply = await request('/zip.php?d=0', { timeoutMs: 120000 });
    assert.equal(reply.status, 200);
    assert.equal(reply.headers['content-type'], 'application/zip');
    assert.equal(reply.headers['content-encoding'], undefined);
    assert.equal(Number(reply.headers['content-length']), reply.body.length);
    const star = reply.headers['content-disposition'].match(/filename\*=UTF-8''(\S+)/);
    assert.equal(decodeURIComponent(star[1]), 'Photos ü & Co.zip');
    const out = unzipTo(reply.body, path.join(site.work, 'unzip-http'));
    assert.deepEqual(treeOf(path.join(out, 'Photos ü & Co')), treeOf(site.shares.photos, { insideOnly: true }));
  });

  it('writes zeros, not what a link names, for a file swapped for a link while the zip is sent', async () => {
    const swap = path.join(site.shares.music, 'swap');
    fs.mkdirSync(swap);
    try {
      // The big first file holds the page back while the second is swapped.
      const big = crypto.randomBytes(32 * 1024 * 1024);
      fs.writeFileSync(path.join(swap, 'a-big.bin'), big);
      fs.writeFileSync(path.join(swap, 'b.txt'), 'x'.repeat(100));
      const reply = await request('/zip.php?d=1&p=swap', {
        timeoutMs: 120000,
        onFirstData: () => {
          fs.rmSync(path.join(swap, 'b.txt'));
          fs.symlinkSync(site.shares.outside, path.join(swap, 'b.txt'));
        },
      });
      assert.equal(Number(reply.headers['content-length']), reply.body.length);
      assert.ok(!reply.body.includes('SECRET-OUTSIDE'), 'nothing of the link\'s target is in the archive');
      const out = unzipTo(reply.body, path.join(site.work, 'unzip-swap'));
      assert.ok(fs.readFileSync(path.join(out, 'swap', 'b.txt')).equals(Buffer.alloc(100)));
      assert.ok(fs.readFileSync(path.join(out, 'swap', 'a-big.bin')).equals(big));
    } finally {
      fs.rmSync(swap, { recursive: true, force: true });
    }
  });

  it('never sends a byte of what a file is swapped for while it flips to a link outside and back', async () => {
    const regular = path.join(site.work, 'flip-regular.txt');
    fs.writeFileSync(regular, 'inside');
    // 400 catch the check-then-open fault about 15 times; SITE_SWAP_DOWNLOADS=3000 for the full run.
    await flipRace(path.join(site.shares.music, 'flip.txt'), {
      regular, outside: site.shares.outside, target: '/file.php?d=1&p=flip.txt', workers: 4,
      count: Number(process.env.SITE_SWAP_DOWNLOADS || 400),
      classify: ({ status, body }) => (body.includes('SECRET') ? 'outside' : status === 200 && body.toString() === 'inside' ? 'inside' : 'refused'),
    });
  });

  it('zips a subfolder under its own name', async () => {
    const reply = await request('/zip.php?d=0&p=sub');
    const out = unzipTo(reply.body, path.join(site.work, 'unzip-sub'));
    assert.deepEqual(fs.readdirSync(out), ['sub']);
    assert.deepEqual(treeOf(path.join(out, 'sub')), treeOf(path.join(site.shares.photos, 'sub')));
  });
});

describe('uploads over HTTP', () => {
  it('stores every file of one request, giving a taken name a new one and saying why a name changed', async () => {
    const batch = Array.from({ length: 22 }, (_, i) => ({ name: 'files[]', filename: `batch ${i}.txt`, content: `${i}` }));
    const reply = await upload([
      { name: 'files[]', filename: 'dup.txt', content: 'first' },
      { name: 'files[]', filename: 'dup.txt', content: 'second' },
      { name: 'files[]', filename: '../../escape.txt', content: 'third' },
      { name: 'files[]', filename: 'empty.txt', content: '' },
      { name: 'files[]', filename: 'what?.txt', content: 'fifth' },
      ...batch,
    ], await visit());
    assert.equal(reply.status, 200);
    const json = JSON.parse(reply.body);
    assert.equal(json.ok, true);
    assert.deepEqual(json.files.map((f) => f.stored),
      ['dup.txt', 'dup (2).txt', 'escape.txt', 'empty.txt', 'what_.txt', ...batch.map((f) => f.filename)]);
    assert.deepEqual(json.files.slice(0, 5).map((f) => f.renamed), ['', 'taken', '', '', 'cleaned']);
    assert.equal(fs.readFileSync(path.join(site.uploadDir, 'batch 21.txt'), 'utf8'), '21');
    assert.equal(fs.statSync(path.join(site.uploadDir, 'empty.txt')).size, 0);
    assert.equal(fs.readFileSync(path.join(site.uploadDir, 'dup.txt'), 'utf8'), 'first');
    assert.equal(fs.readFileSync(path.join(site.uploadDir, 'dup (2).txt'), 'utf8'), 'second');
    assert.ok(!fs.existsSync(path.join(site.home, 'escape.txt')));
    assert.equal(typeof json.free, 'number');
  });

  it('never writes through a link planted in the upload directory, broken or not', async () => {
    const dangling = path.join(site.home, 'planted.txt');
    const victim = path.join(site.home, 'victim.txt');
    fs.writeFileSync(victim, 'the original');
    fs.symlinkSync(dangling, path.join(site.uploadDir, 'trap.txt'));
    fs.symlinkSync(victim, path.join(site.uploadDir, 'victim.txt'));
    const reply = await upload([
      { name: 'files[]', filename: 'trap.txt', content: 'through a broken link' },
      { name: 'files[]', filename: 'victim.txt', content: 'through a link' },
    ], await visit());
    assert.deepEqual(JSON.parse(reply.body).files.map((f) => f.stored), ['trap (2).txt', 'victim (2).txt']);
    assert.ok(!fs.existsSync(dangling), 'nothing is created where the broken link points');
    assert.equal(fs.readFileSync(victim, 'utf8'), 'the original');
    assert.ok(fs.lstatSync(path.join(site.uploadDir, 'trap.txt')).isSymbolicLink());
    assert.equal(fs.readFileSync(path.join(site.uploadDir, 'trap (2).txt'), 'utf8'), 'through a broken link');
    assert.deepEqual(fs.readdirSync(site.uploadDir).filter((n) => n.startsWith('.')), [], 'no temporary file is left');
  });

  it('gives a name taken a few times a random suffix, not the next number', async () => {
    const reply = await upload(Array.from({ length: 8 }, () => ({ name: 'files[]', filename: 'same.txt', content: 'x' })),
      await visit());
    const stored = JSON.parse(reply.body).files.map((f) => f.stored);
    assert.deepEqual(stored.slice(0, 5), ['same.txt', 'same (2).txt', 'same (3).txt', 'same (4).txt', 'same (5).txt']);
    for (const name of stored.slice(5)) assert.match(name, /^same \([0-9a-f]{8}\)\.txt$/);
  });

  it('stores nothing without the token of the visitor\'s own cookie, exactly, in the form, from this site', async () => {
    const visitor = await visit();
    const other = await visit();
    const file = [{ name: 'files[]', filename: 'csrf.txt', content: 'x' }];
    const refusals = [
      [{ ...visitor, token: '' }],
      [{ ...visitor, token: 'not-a-token' }],
      [{ ...visitor, token: visitor.token + '\n' }],
      [{ ...visitor, token: visitor.token.toUpperCase() }],
      [{ ...visitor, cookie: '' }],
      [{ ...visitor, cookie: other.cookie }, {}, 'a token harvested from another visitor'],
      [{ ...visitor, token: '' }, {}, 'the token in the query', `/upload.php?format=json&token=${visitor.token}`],
      [visitor, { Origin: 'http://evil.example' }],
      [visitor, { Origin: 'null' }],
      [visitor, { Referer: 'http://evil.example/upload.html' }],
      [visitor, { Origin: 'http://127.0.0.1:60001.evil.example' }],
    ];
    for (const [who, headers = {}, what = JSON.stringify([who, headers]), target = undefined] of refusals) {
      const reply = await upload(file, who, headers, target);
      assert.equal(reply.status, 403, what);
      assert.match(JSON.parse(reply.body).error, /reload the page|another site/, what);
    }
    const page = await upload(file, { token: 'x', cookie: visitor.cookie }, {}, '/upload.php');
    assert.equal(page.status, 403);
    assert.match(page.body.toString(), /<h1>403 Forbidden<\/h1>/);
    assert.ok(!fs.existsSync(path.join(site.uploadDir, 'csrf.txt')));
    assert.equal((await request('/upload.php')).status, 405);
    const own = await upload(file, visitor, { Origin: 'http://127.0.0.1:60001', Referer: 'http://evil.example/' });
    assert.equal(own.status, 200, 'the Origin, when sent, is what counts');
  });
});

describe('refusals', () => {
  // Each target must be refused with a plain page: the status, and no byte of
  // anything outside the shared folders.
  const attempts = [
    ['/file.php?d=0&p=../Photos%20%C3%BC%20%26%20Co-secret/secret.txt', 403],
    ['/file.php?d=0&p=..%2F..%2Foutside.txt', 403],
    ['/file.php?d=0&p=%2e%2e/outside.txt', 403],
    ['/file.php?d=0&p=sub/../../outside.txt', 403],
    ['/file.php?d=0&p=./hello.txt', 403],
    ['/file.php?d=0&p=/etc/passwd', 403],
    ['/file.php?d=0&p=%2Fetc%2Fpasswd', 403],
    ['/file.php?d=0&p=..%5C..%5Coutside.txt', 403],
    ['/file.php?d=0&p=C:%5CWindows%5Cwin.ini', 403],
    ['/file.php?d=0&p=sub//a9.txt', 403],
    ['/file.php?d=0&p=link-out.txt', 403],
    ['/file.php?d=0&p=link-out-dir/secret.txt', 403],
    ['/file.php?d=0&p=%252e%252e/outside.txt', 404],
    ['/file.php?d=0&p=sub', 404],
    ['/file.php?d=0&p=no-such-file', 404],
    ['/file.php?d=9&p=hello.txt', 404],
    ['/file.php?d=-1&p=hello.txt', 404],
    ['/file.php?d[]=0&p=hello.txt', 404],
    ['/file.php?d=0&p[]=hello.txt', 404],
    ['/file.php?d=2&p=x', 404],
    ['/file.php', 404],
    ['/?d=0&p=..', 403],
    ['/?d=0&p=link-out-dir', 403],
    ['/zip.php?d=0&p=..', 403],
    ['/zip.php?d=0&p=link-out-dir', 403],
    ['/zip.php?d=0&p=hello.txt', 404],
    ['/thumb.php?d=0&p=link-out.txt', 403],
    ['/thumb.php?d=0&p=..%2F..%2Foutside.txt', 403],
  ];
  it('refuses every way out with a readable page and the right status', async () => {
    for (const [target, status] of attempts) {
      const reply = await request(target);
      assert.equal(reply.status, status, target);
      assert.match(reply.statusLine, status === 403 ? / 403 Forbidden$/ : / 404 Not Found$/, target);
      const html = reply.body.toString();
      assert.match(html, new RegExp(`<h1>${status} `), target);
      assert.doesNotMatch(html, /SECRET|root:/, target);
      assertClean(reply);
    }
    // An escaped NUL never reaches a page: the server closes such a request unanswered.
    assert.equal((await request('/file.php?d=0&p=hello.txt%00.png')).raw.length, 0);
  });

  it('answers only to names of this machine, so a page of another site cannot rebind its name here', async () => {
    const { token, cookie } = await visit();
    const form = multipart({ token }, [{ name: 'files[]', filename: 'rebound.txt', content: 'x' }]);
    const targets = [
      ['GET', '/'], ['GET', '/?d=0'], ['GET', '/file.php?d=0&p=hello.txt'], ['GET', '/zip.php?d=0&p=sub'],
      ['GET', '/thumb.php?d=1&p=album/a%20photo.jpg'],
      ['POST', '/upload.php?format=json'],
    ];
    // attacker.lan: a name that a device of the network answers for, and may point at this machine.
    for (const host of ['attacker.example', 'attacker.example:60001', '127.0.0.1.attacker.example', 'localhost.attacker.example',
      'attacker.lan:60001']) {
      for (const [method, target] of targets) {
        const reply = await request(target, {
          method, headers: { Host: host, Cookie: cookie, ...(method === 'POST' ? { 'Content-Type': form.type } : {}) },
          body: method === 'POST' ? form.body : null,
        });
        assert.equal(reply.status, 403, `${host} ${target}`);
        assert.doesNotMatch(reply.body.toString(), /hello, world|Photos|PK|JFIF/, `${host} ${target}`);
      }
    }
    assert.ok(!fs.existsSync(path.join(site.uploadDir, 'rebound.txt')));
    for (const host of ['localhost:60001', 'LOCALHOST', '[::1]:60001', '192.168.1.20:60001', os.hostname()]) {
      assert.equal((await request('/?d=0', { headers: { Host: host } })).status, 200, host);
    }
  });

  it('never runs an include file on its own: no URL reaches the folder beside the site', async () => {
    for (const file of ['bootstrap', 'shares', 'zip_stream', 'token', 'thumbs', 'picture', 'listing']) {
      for (const target of [`/inc/${file}.php`, `/../site_inc/${file}.php`, `/%2e%2e/site_inc/${file}.php`]) {
        assert.equal((await request(target)).raw.length, 0, target);
      }
    }
  });
});

describe('thumbnails', () => {
  // Pictures made to cost the machine; lib/jpeg.js says what each is.
  const bombs = () => path.join(site.shares.music, 'bombs');
  before(() => { fs.mkdirSync(bombs()); writeBombs(bombs()); });
  after(() => fs.rmSync(bombs(), { recursive: true, force: true }));

  it('gives pictures that cannot be decoded safely no thumbnail, at once, and serves on meanwhile', async () => {
    for (const name of ['huge.png', 'cut.jpg', 'not a picture.jpg']) {
      const started = Date.now();
      const reply = await request('/thumb.php?d=1&p=album/' + q(name));
      assert.equal(reply.status, 404, name);
      assert.ok(Date.now() - started < 5000, `${name} took ${Date.now() - started} ms`);
      assert.equal((await request('/?d=1')).status, 200);
    }
  });

  it('makes at most two thumbnails at once on the machine', async () => {
    // Both slots held by someone else: a new thumbnail waits until one is free.
    const slot = (n) => path.join(site.app, 'php', 'temp', 'thumbs', `slot${n}.lock`);
    const holder = spawn('flock', [slot(0), 'flock', slot(1), 'sh', '-c', 'echo held; sleep 2']);
    await new Promise((resolve) => holder.stdout.once('data', resolve));
    const started = Date.now();
    const reply = await request('/thumb.php?d=1&p=album/b%20drawing.png');
    assert.equal(reply.status, 200);
    assert.equal(reply.headers['content-type'], 'image/webp');
    assert.ok(Date.now() - started > 1500, `made after ${Date.now() - started} ms, while both slots were taken`);
  });

  it('measures a JPEG by the frame its decoder reads: a lie or thousands of scans get no thumbnail, at once', async () => {
    for (const name of ['lie.jpg', 'scans.jpg']) {
      const [peak, started] = [watchInterpreters(), Date.now()];
      const reply = await request('/thumb.php?d=1&p=bombs/' + name);
      const [ms, mib] = [Date.now() - started, peak.stop()];
      assert.ok(reply.status === 404 && ms < 3000 && mib < 512, `${name}: ${reply.status} after ${ms} ms, an interpreter of ${mib} MiB`);
    }
  });

  it('gives up a picture past its time budget, remembers that, and shows no error text', async () => {
    const started = Date.now();
    // Two at once: one makes the attempt, the other waits for its outcome, while another thumbnail is made.
    const firsts = [0, 1].map(() => request('/thumb.php?d=1&p=bombs/slow.jpg', { timeoutMs: 120000 }));
    assert.equal((await request('/thumb.php?d=1&p=album/c%20clip.gif')).status, 200);
    const [first, waiter] = (await Promise.all(firsts)).sort((a, b) => b.status - a.status);
    const firstMs = Date.now() - started;
    assert.ok(first.status >= 500 && waiter.status === 404 && firstMs < 60000, `${first.status}, ${waiter.status} in ${firstMs} ms`);
    [first, waiter].forEach(assertClean);
    const again = Date.now();
    const second = await request('/thumb.php?d=1&p=bombs/slow.jpg');
    assert.ok(second.status === 404 && /max-age=3600/.test(second.headers['cache-control']) && Date.now() - again < 3000,
      `the second request: ${second.status} after ${Date.now() - again} ms`);
    console.log(`time budget: first requests ${firstMs} ms (${first.status}), second ${Date.now() - again} ms`);
  });

  it('never makes a thumbnail of what a picture is swapped for while it flips to a link outside and back', async () => {
    const regular = path.join(site.work, 'flip-regular.jpg');
    const outside = path.join(site.work, 'flip-outside.jpg');
    fs.copyFileSync(path.join(site.shares.album, 'e sideways.jpg'), regular);
    fs.copyFileSync(path.join(site.shares.album, 'a photo.jpg'), outside);
    const inside = await request('/thumb.php?d=1&p=album/e%20sideways.jpg');
    assert.equal(inside.status, 200);
    // The picture's time moves on every round, so that every request finds a new cache key and makes its thumbnail.
    // SITE_THUMB_SWAPS=1000 for the full run; two at a time, as many as are made at once.
    await flipRace(path.join(site.shares.music, 'flip.jpg'), {
      regular, outside, target: '/thumb.php?d=1&p=flip.jpg', workers: 2, touch: true,
      count: Number(process.env.SITE_THUMB_SWAPS || 100),
      classify: ({ status, body }) => (status !== 200 ? 'refused' : body.equals(inside.body) ? 'inside' : 'outside'),
    });
  });

  it('never serves a cached thumbnail that was replaced by a link', async () => {
    const cache = path.join(site.app, 'php', 'temp', 'thumbs');
    assert.equal((await request('/thumb.php?d=1&p=album/a%20photo.jpg')).status, 200);
    const cached = fs.readdirSync(cache).filter((name) => /^[0-9a-f]{40}\.jpg$/.test(name));
    for (const name of cached) {
      fs.rmSync(path.join(cache, name));
      fs.symlinkSync(site.shares.outside, path.join(cache, name));
    }
    const reply = await request('/thumb.php?d=1&p=album/a%20photo.jpg');
    assert.equal(reply.status, 200);
    assert.ok(!reply.body.includes('SECRET'), 'the link\'s target was served');
    assert.ok(cached.some((name) => fs.lstatSync(path.join(cache, name)).isFile()), 'made again in the link\'s place it was looked up by');
  });
});

/** Sets who may come in as the host's page would store it; no mode: a fresh site (open). */
function setAccess(mode, { code = 'ABCDEFGH23', text = null } = {}) {
  const state = path.join(site.app, 'state');
  fs.rmSync(state, { recursive: true, force: true });
  if (mode === undefined && text === null) return;
  fs.mkdirSync(state);
  fs.writeFileSync(path.join(state, 'access.ini'), text ?? `[Access]\r\nMode=${mode}\r\nUploads=on\r\nCode=${code}\r\n`);
}

/** A host-page POST of action with the fields, as the host's browser sends it. */
async function hostPost(action, fields = {}, { token, cookie }, headers = { Origin: 'http://127.0.0.1:60001' }) {
  const body = new URLSearchParams({ token, action, ...fields }).toString();
  return request('/host.php', { method: 'POST', body,
    headers: { 'Content-Type': 'application/x-www-form-urlencoded', Cookie: cookie, ...headers } });
}

describe('who may come in', () => {
  after(() => setAccess());
  const visitor = (target, options = {}) => request(target, { from: '127.0.0.2', ...options });
  const cookieOf = (reply) => (reply.headers['set-cookie'] || '').split(';')[0];
  const stateOf = (file) => path.join(site.app, 'state', file);
  const hostOf = async (headers = {}) => {
    const page = await request('/host.php', { headers, timeoutMs: 10000 });
    const html = page.body.toString();
    return { status: page.status, html, token: (html.match(/name="token" value="([^"]+)"/) || [])[1] || '', cookie: cookieOf(page) };
  };
  /** A visitor is shown nothing, within 10 s, and the host page says that approve mode is in force; gives the host page. */
  async function assertShut(what, status = 403) {
    const reply = await visitor('/?d=0', { timeoutMs: 10000 });
    assert.equal(reply.status, status, what);
    assert.doesNotMatch(reply.body.toString(), /Photos|random\.bin/, what);
    const { html } = await hostOf();
    assert.match(html, /id="mode-now">In force now: <strong>Approve<\/strong>/, what);
    return html;
  }

  it('in code mode reveals and takes nothing without the code, and the code and its cookie let a visitor in', async () => {
    setAccess();
    assert.match((await visitor('/?d=0')).body.toString(), /data-name="random.bin"/, 'open: as before, for anyone');
    assert.equal((await visitor('/file.php?d=0&p=hello.txt')).body.toString(), 'hello, world\n');
    setAccess('code');
    const form = multipart({ token: 'x' }, [{ name: 'files[]', filename: 'gatecrash.txt', content: 'x' }]);
    const targets = [['/'], ['/?d=0'], ['/?d=0&q=hello'], ['/file.php?d=0&p=hello.txt'], ['/zip.php?d=0'],
      ['/file.php?d=0&p=pixel.png&view=1'], ['/upload.php?format=json', form]];
    for (const [target, upload] of targets) {
      const reply = await visitor(target, upload ? { method: 'POST', body: upload.body, headers: { 'Content-Type': upload.type } } : {});
      assert.equal(reply.status, 401, target);
      assert.doesNotMatch(reply.body.toString('latin1'), /Photos|random\.bin|hello, world|PK\x03\x04|PNG/, target);
    }
    assert.ok(!fs.existsSync(path.join(site.uploadDir, 'gatecrash.txt')));
    assert.match((await request('/')).body.toString(), /Photos ü/, 'the host is never asked');
    assert.match((await visitor('/wait.php')).body.toString(), /"none"/);

    const admitted = await visitor('/file.php?d=0&p=hello.txt&code=abcde-fgh23');
    assert.equal(admitted.status, 303);
    assert.equal(admitted.headers.location, '/file.php?d=0&p=hello.txt', 'the code leaves the address');
    assert.match(admitted.headers['set-cookie'], /HttpOnly; SameSite=Lax/);
    const cookie = cookieOf(admitted);
    assert.equal((await visitor('/file.php?d=0&p=hello.txt', { headers: { Cookie: cookie } })).body.toString(), 'hello, world\n');
    const { token } = await visitor('/', { headers: { Cookie: cookie } })
      .then((r) => ({ token: r.body.toString().match(/name="token" value="([^"]+)"/)[1] }));
    const own = multipart({ token }, [{ name: 'files[]', filename: 'let in.txt', content: 'in' }]);
    const upload2 = await visitor('/upload.php?format=json', { method: 'POST', body: own.body,
      headers: { 'Content-Type': own.type, Cookie: cookie } });
    assert.equal(JSON.parse(upload2.body).files[0].stored, 'let in.txt');
    assert.equal((await visitor('/', { headers: { Cookie: 'ostrel_device=' + 'a'.repeat(48) } })).status, 401);
  });

  it('locks an address out after ten wrong codes, even for the right one, and tells the host', async () => {
    setAccess('code');
    const statuses = [];
    for (let i = 0; i < 10; i++) statuses.push((await visitor('/?code=WRONGCODE' + (i % 8 + 2))).status);
    assert.deepEqual(statuses, Array(10).fill(401));
    const locked = await visitor('/?code=ABCDEFGH23');
    assert.equal(locked.status, 401);
    assert.match(locked.body.toString(), /Too many wrong codes came from this address\. It is let in again in 10 minutes/);
    assert.equal((await request('/?code=WRONG', { from: '127.0.0.3' })).status, 401);
    assert.equal((await request('/?code=ABCDEFGH23', { from: '127.0.0.3' })).status, 303, 'other addresses go on');
    assert.match((await request('/host.php')).body.toString(), /id="locked"[^]*<td>127\.0\.0\.2<\/td><td>10<\/td>/);
  });

  it('changes nothing on a host-page POST without its token or from another site, and answers others 403', async () => {
    setAccess('approve');
    const page = await request('/host.php');
    const host = { token: page.body.toString().match(/name="token" value="([^"]+)"/)[1], cookie: cookieOf(page) };
    const refused = [
      [{ ...host, token: '' }],
      [{ ...host, token: host.token + '\n' }],
      [{ ...host, cookie: '' }],
      [host, { Origin: 'http://evil.example' }],
      [host, { Referer: 'http://evil.example/' }],
      [host, {}],
    ];
    for (const [who, headers] of refused) {
      const reply = await hostPost('saved', { mode: 'open', uploads: 'on' }, who, headers);
      assert.equal(reply.status, 403, JSON.stringify([who, headers]));
    }
    assert.equal((await visitor('/host.php')).status, 403);
    const fromVisitor = await visitor('/host.php', { method: 'POST', body: `token=${host.token}&action=saved&mode=open`,
      headers: { 'Content-Type': 'application/x-www-form-urlencoded', Cookie: host.cookie, Origin: 'http://127.0.0.1:60001' } });
    assert.equal(fromVisitor.status, 403);
    assert.match(fs.readFileSync(path.join(site.app, 'state', 'access.ini'), 'utf8'), /Mode=approve/);
    const saved = await hostPost('saved', { mode: 'code', uploads: 'on' }, host);
    assert.equal(saved.status, 303);
    assert.match(fs.readFileSync(path.join(site.app, 'state', 'access.ini'), 'utf8'), /Mode=code\r\nUploads=on\r\nCode=[2-9A-HJKMNP-Z]{10}\r/);
    await hostPost('saved', { mode: 'open' }, host);
    assert.match(JSON.parse((await visitor('/upload.php?format=json', { method: 'POST', body: '' })).body).error,
      /turned uploads off/);
    assert.match((await visitor('/')).body.toString(), /The host has turned uploads off/);
  });

  it('goes over to approve mode, and tells the host, when the state is damaged by hand, deleted, a link, a folder or a pipe', async () => {
    const ini = stateOf('access.ini');
    const replace = (file, make) => { fs.rmSync(stateOf(file)); make(stateOf(file)); };
    const damages = [
      ['garbled', 'access.ini', () => fs.writeFileSync(ini, '[Access]\r\nMode=op')],
      ['garbled', 'visitors.json', () => fs.writeFileSync(stateOf('visitors.json'), '{"devices": [')],
      ['deleted', 'access.ini', () => fs.rmSync(ini)],
      ['a dangling link', 'access.ini', () => replace('access.ini', (file) => fs.symlinkSync(path.join(site.work, 'nowhere'), file))],
      ['a folder', 'access.ini', () => replace('access.ini', fs.mkdirSync)],
      ...['access.ini', 'visitors.json'].map((file) => ['a pipe', file, () => replace(file, (fifo) => execFileSync('mkfifo', [fifo]))]),
    ];
    for (const [how, file, damage] of damages) {
      const what = `${file} ${how}`;
      setAccess('open');
      assert.equal((await visitor('/?d=0')).status, 200);
      damage();
      assert.match(await assertShut(what), /state file was found damaged.*approve mode/, what);
      assert.match(fs.readFileSync(ini, 'utf8'), /Damaged=[0-9]+/, what);
      // What was there is kept aside, whatever it is.
      assert.ok(how === 'deleted' || fs.lstatSync(stateOf(file + '.damaged'), { throwIfNoEntry: false }), what);
    }
    setAccess();
    fs.writeFileSync(path.join(site.app, 'state'), '');
    assert.match(await assertShut('a state that is a file', 503), /cannot use its state folder/);
    // Only a folder that holds nothing yet but its lock is a fresh site.
    setAccess();
    fs.mkdirSync(path.join(site.app, 'state'));
    fs.writeFileSync(stateOf('.lock'), '');
    assert.equal((await visitor('/?d=0')).status, 200);
  });

  // DNS rebinding: a name that a device of the network answers for, pointed
  // at this machine after the host's browser opened a page under it.
  it('answers the host page and its changes only under this machine\'s own names and addresses, whatever the Origin', async () => {
    setAccess('code');
    const host = await hostOf();
    for (const name of ['attacker.lan:60001', 'attacker.local', '192.0.2.55:60001']) {
      const read = await hostOf({ Host: name });
      assert.ok(read.status === 403 && !/ABCDEFGH23|name="token"/.test(read.html), name);
      const change = await hostPost('saved', { mode: 'open', uploads: 'on' }, host, { Host: name, Origin: `http://${name}` });
      assert.equal(change.status, 403, name);
    }
    assert.match(fs.readFileSync(stateOf('access.ini'), 'utf8'), /Mode=code/, 'the mode stays');
    // This machine's own name with a router's suffix: the code page for a visitor, the host page for the host.
    const own = `${os.hostname()}.lan:60001`;
    assert.match((await visitor('/?d=0', { headers: { Host: own } })).body.toString(), /id="gate-code"/);
    assert.equal((await hostOf({ Host: own })).status, 200);
  });

  it('ends every wait: a held lock or a pipe for it answers "busy" within its limit and writes nothing', async () => {
    setAccess('code');
    const host = await hostOf();
    // A group of its own, so that the end takes the holder's child too.
    const holder = spawn('flock', [stateOf('.lock'), 'sh', '-c', 'echo held; sleep 30'], { detached: true });
    try {
      await new Promise((resolve) => holder.stdout.once('data', resolve));
      const started = Date.now();
      const replies = await Promise.all([visitor('/?d=0&code=ABCDEFGH23'), visitor('/wait.php'), request('/host.php'),
        hostPost('saved', { mode: 'open', uploads: 'on' }, host)]);
      assert.ok(Date.now() - started < 10000, `the requests took ${Date.now() - started} ms`);
      for (const reply of replies) assert.ok(reply.status === 503 && /busy, try again/.test(reply.body), reply.statusLine);
      assert.deepEqual(fs.readdirSync(path.join(site.app, 'state')).sort(), ['.lock', 'access.ini']);
      assert.match(fs.readFileSync(stateOf('access.ini'), 'utf8'), /Mode=code/);
    } finally {
      process.kill(-holder.pid, 'SIGKILL');
    }
    setAccess('code');
    execFileSync('mkfifo', [stateOf('.lock')]);
    await assertShut('a pipe for the lock', 503);
  });

  /** visitors.json with these devices, in the form the site writes it. */
  const writeDevices = (devices) => fs.writeFileSync(stateOf('visitors.json'),
    JSON.stringify({ devices, wrong: {}, locked: {}, seen: {}, transfers: [] }));
  const devicesOf = () => JSON.parse(fs.readFileSync(stateOf('visitors.json'), 'utf8')).devices;
  /** Adds a device of the code ABCDEFGH23 to devices, last used at last (s); gives its key. */
  function addDevice(devices, status, addr, last) {
    const key = crypto.randomBytes(32).toString('hex');
    devices[key] = { status, number: String(1000 + Math.floor(Math.random() * 9000)), addr, since: last, seen: last,
      name: 'Test', expires: last + 86400, code: crypto.createHash('sha256').update('code ABCDEFGH23').digest('hex').slice(0, 16) };
    return key;
  }

  it('keeps approve mode open to an honest device: one place per address, turned-away addresses kept off, quiet places first', async () => {
    setAccess('approve');
    const attackers = [1, 2, 3, 4, 5, 6, 7].map((i) => `127.0.1.${i}`);
    for (let i = 0; i < 3; i++) await Promise.all(attackers.map((from) => request('/', { from })));
    const honest = await request('/', { from: '127.0.2.1' });
    assert.match(honest.body.toString(), /Your number: <strong>\d{4}<\/strong>/, 'seven addresses hold seven places');
    const waiting = Object.entries(devicesOf()).filter(([, d]) => d.status === 'waiting');
    assert.equal(waiting.length, 8);
    // Turned away, or turned away with the address blocked: the address asks no more.
    const host = await hostOf();
    assert.match(host.html, /Deny and block this address/);
    for (const [action, from] of [['deny', attackers[0]], ['block', attackers[1]]]) {
      assert.equal((await hostPost(action, { device: waiting.find(([, d]) => d.addr === from)[0] }, host)).status, 303);
      assert.match((await request('/', { from })).body.toString(), /<h1 id="gate-title">Not let in<\/h1>/, from);
    }
    // A full list: the oldest place whose device stopped asking goes to a newcomer; then none is left.
    const now = Math.floor(Date.now() / 1000);
    const full = {};
    for (let i = 0; i < 20; i++) addDevice(full, 'waiting', `127.0.3.${i + 1}`, i === 5 ? now - 600 : now - 10);
    writeDevices(full);
    assert.match((await request('/', { from: '127.0.4.1' })).body.toString(), /Your number/);
    const addresses = Object.values(devicesOf()).map((d) => d.addr);
    assert.ok(addresses.includes('127.0.4.1') && !addresses.includes('127.0.3.6'), 'the quiet place went');
    assert.match((await request('/', { from: '127.0.4.2' })).body.toString(), /too many are waiting/);
  });

  it('drops devices let in by last use, never one in use, and lets one address in only five times a minute', async () => {
    setAccess('code');
    const cookie = cookieOf(await visitor('/?code=ABCDEFGH23'));
    // It was last used two minutes ago; 498 others are in use and one has not been for two hours.
    const now = Math.floor(Date.now() / 1000);
    const devices = devicesOf();
    const [own] = Object.keys(devices);
    Object.assign(devices[own], { since: now - 120, seen: now - 120 });
    for (let i = 0; i < 498; i++) addDevice(devices, 'allowed', `10.0.${i >> 8}.${i & 255}`, now);
    const stale = addDevice(devices, 'allowed', '10.1.0.1', now - 7200);
    writeDevices(devices);
    const newcomers = await Promise.all([1, 2, 3, 4, 5].map((i) => request('/?code=ABCDEFGH23', { from: `127.0.5.${i}` })));
    assert.deepEqual(newcomers.map((r) => r.status).sort(), [303, 403, 403, 403, 403], 'the unused device made room, then none was left');
    assert.ok(!(stale in devicesOf()));
    assert.equal((await visitor('/file.php?d=0&p=hello.txt', { headers: { Cookie: cookie } })).body.toString(), 'hello, world\n');
    assert.ok(devicesOf()[own].seen >= now, 'its use is noted');
    setAccess('code');
    const statuses = await Promise.all(Array.from({ length: 6 }, () => request('/?code=ABCDEFGH23', { from: '127.0.6.1' })));
    assert.deepEqual(statuses.map((r) => r.status).sort(), [303, 303, 303, 303, 303, 429]);
  });
});

describe('in the browser', () => {
  let browser;
  let page;
  before(async () => {
    fs.mkdirSync(ARTIFACTS, { recursive: true });
    browser = await openBrowser(path.join(site.work, 'profile'));
    page = await browser.newPage();
    page.on('pageerror', (e) => assert.fail(`script error: ${e.message}`));
  });
  after(async () => {
    if (browser) await browser.close();
  });

  const rowNames = () => page.$$eval('#entries tbody tr:not([hidden])', (rows) => rows.map((r) => r.dataset.name));

  it('browses from the shared folders down and back with the breadcrumbs', async () => {
    await page.goto(site.base + '/');
    assert.deepEqual(await rowNames(), ['Photos ü & Co', 'Music', 'not there']);
    await page.click('text=Photos ü & Co');
    await page.click('a.name:text-is("sub")');
    assert.deepEqual(await page.$$eval('.crumbs li', (li) => li.map((x) => x.textContent)),
      ['Shared folders', 'Photos ü & Co', 'sub']);
    await page.click('.crumbs a:text-is("Photos ü & Co")');
    assert.equal(new URL(page.url()).search, '?d=0');
  });

  it('sorts by name, size and date, folders always first', async () => {
    await page.goto(site.base + '/?d=0&p=sub');
    assert.deepEqual(await rowNames(), ['deeper', 'a9.txt', 'a10.txt'], 'natural name order');
    await page.click('th[data-sort="name"] button');
    assert.deepEqual(await rowNames(), ['deeper', 'a10.txt', 'a9.txt']);
    await page.click('th[data-sort="size"] button');
    assert.deepEqual(await rowNames(), ['deeper', 'a10.txt', 'a9.txt']);
    await page.click('th[data-sort="size"] button');
    assert.deepEqual(await rowNames(), ['deeper', 'a9.txt', 'a10.txt']);
    const touched = path.join(site.shares.photos, 'sub', 'a10.txt');
    fs.utimesSync(touched, new Date(2001, 0, 1), new Date(2001, 0, 1));
    await page.reload();
    await page.click('th[data-sort="date"] button');
    assert.deepEqual(await rowNames(), ['deeper', 'a10.txt', 'a9.txt']);
  });

  it('filters the listing as one types, regardless of case and accents', async () => {
    await page.goto(site.base + '/?d=0');
    await page.fill('#filter', 'ÜNÏ');
    assert.deepEqual(await rowNames(), ['Ünïcode “name” ✓.txt']);
    await page.fill('#filter', 'unicode NAME');
    assert.deepEqual(await rowNames(), ['Ünïcode “name” ✓.txt']);
    await page.fill('#filter', 'zzz');
    assert.deepEqual(await rowNames(), []);
    assert.equal(await page.isVisible('#no-match'), true);
    await page.fill('#filter', '');
    assert.ok((await rowNames()).length > 5);
    await page.goto(site.base + '/?d=1');
    await page.fill('#filter', 'cafe');
    assert.deepEqual(await rowNames(), ['Café del Mar.txt']);
    await page.fill('#filter', 'ÉTÉ');
    assert.deepEqual(await rowNames(), ['Été indien']);
  });

  it('searches below the folder', async () => {
    await page.goto(site.base + '/?d=0');
    await page.fill('form.search input[name="q"]', 'needle');
    await page.press('form.search input[name="q"]', 'Enter');
    await page.waitForURL(/q=needle/);
    assert.deepEqual(await rowNames(), ['needle note.md']);
    assert.equal(await page.textContent('.where'), 'in sub/deeper');
  });

  it('downloads a file and a whole folder by clicking, byte for byte', async () => {
    await page.goto(site.base + '/?d=0');
    const [file] = await Promise.all([page.waitForEvent('download'), page.click('a.name:text-is("random.bin")')]);
    assert.ok(fs.readFileSync(await file.path()).equals(fs.readFileSync(path.join(site.shares.photos, 'random.bin'))));
    const [named] = await Promise.all([page.waitForEvent('download'), page.click('a.name:has-text("Ünïcode")')]);
    assert.equal(named.suggestedFilename(), 'Ünïcode “name” ✓.txt');
    const [zip] = await Promise.all([page.waitForEvent('download'), page.click('a.zip')]);
    assert.equal(zip.suggestedFilename(), 'Photos ü & Co.zip');
    const out = unzipTo(fs.readFileSync(await zip.path()), path.join(site.work, 'unzip-browser'));
    assert.deepEqual(treeOf(path.join(out, 'Photos ü & Co')), treeOf(site.shares.photos, { insideOnly: true }));
  });

  it('previews images, video, audio and PDF, and shows a web page as text without running it', async () => {
    await page.goto(site.base + '/?d=0');
    // Each "Preview" is named after its file for a reader of the links.
    await page.getByRole('link', { name: 'Preview pixel.png', exact: true }).click();
    await page.waitForFunction(() => {
      const img = document.querySelector('#preview-body img');
      return img && img.complete && img.naturalWidth === 1;
    });
    assert.equal(await page.getAttribute('#preview-body img', 'alt'), 'pixel.png');
    await page.click('#preview-close');
    await page.waitForSelector('#preview-body img', { state: 'detached' });
    const shown = {};
    for (const name of ['clip.mp4', 'tune.mp3', 'doc.pdf']) {
      await page.click(`tr[data-name="${name}"] a.view`);
      shown[name] = await page.$eval('#preview-body > *', (el) => [el.tagName, new URL(el.src).search]);
      await page.click('#preview-close');
    }
    assert.deepEqual(shown, {
      'clip.mp4': ['VIDEO', '?d=0&p=clip.mp4&view=1'],
      'tune.mp3': ['AUDIO', '?d=0&p=tune.mp3&view=1'],
      'doc.pdf': ['IFRAME', '?d=0&p=doc.pdf&view=1'],
    });
    await page.click('tr[data-name="page.html"] a.view');
    const frame = await (await page.waitForSelector('#preview-body iframe')).contentFrame();
    await frame.waitForLoadState();
    assert.match(await frame.content(), /&lt;script&gt;document.title="ran"/);
    assert.notEqual(await page.title(), 'ran');
    await page.keyboard.press('Escape');
  });

  it('uploads three files by picking them, a 50 MiB one among them, with progress and no overwrite', async () => {
    const src = path.join(site.work, 'to-upload');
    fs.mkdirSync(src);
    const files = {
      'small.txt': Buffer.from('small file\n'),
      'taken.txt': Buffer.from('the new taken.txt'),
      'big upload.bin': crypto.randomBytes(50 * 1024 * 1024),
    };
    for (const [name, data] of Object.entries(files)) fs.writeFileSync(path.join(src, name), data);
    fs.writeFileSync(path.join(site.uploadDir, 'taken.txt'), 'the old one');
    await page.goto(site.base + '/');
    await page.setInputFiles('#upload-input', Object.keys(files).map((n) => path.join(src, n)));
    await page.waitForFunction(() => document.querySelectorAll('#upload-list li.done, #upload-list li.failed').length === 3,
      null, { timeout: 120000 });
    assert.equal(await page.locator('#upload-list li.done').count(), 3, await page.textContent('#upload-list'));
    assert.equal(await page.getAttribute('#upload-list li:nth-child(1) progress', 'aria-label'), 'Upload of small.txt');
    assert.match(await page.textContent('#upload-list li:nth-child(2) .status'), /saved as “taken \(2\).txt”/);
    assert.equal(fs.readFileSync(path.join(site.uploadDir, 'taken.txt'), 'utf8'), 'the old one');
    assert.ok(fs.readFileSync(path.join(site.uploadDir, 'taken (2).txt')).equals(files['taken.txt']));
    assert.ok(fs.readFileSync(path.join(site.uploadDir, 'small.txt')).equals(files['small.txt']));
    assert.ok(fs.readFileSync(path.join(site.uploadDir, 'big upload.bin')).equals(files['big upload.bin']));
    assert.match(await page.textContent('#free-space'), /\d (KB|MB|GB|TB)/);
  });

  it('uploads dropped files, saying so when a name had to be cleaned', async () => {
    await page.goto(site.base + '/');
    const transfer = await page.evaluateHandle(() => {
      const dt = new DataTransfer();
      dt.items.add(new File(['dropped content'], 'dropped.txt', { type: 'text/plain' }));
      dt.items.add(new File(['odd name'], 'why? not.txt', { type: 'text/plain' }));
      return dt;
    });
    await page.dispatchEvent('#drop-zone', 'dragenter', { dataTransfer: transfer });
    assert.equal(await page.getAttribute('#drop-zone', 'class'), 'drop-zone dragging');
    await page.dispatchEvent('#drop-zone', 'drop', { dataTransfer: transfer });
    await page.waitForFunction(() => document.querySelectorAll('#upload-list li.done').length === 2);
    assert.equal(fs.readFileSync(path.join(site.uploadDir, 'dropped.txt'), 'utf8'), 'dropped content');
    assert.equal(await page.textContent('#upload-list li:nth-child(1) .status'), 'Uploaded.');
    assert.match(await page.textContent('#upload-list li:nth-child(2) .status'), /^Uploaded \(renamed “why_ not.txt”/);
    assert.equal(fs.readFileSync(path.join(site.uploadDir, 'why_ not.txt'), 'utf8'), 'odd name');
  });

  it('tells in plain words why an upload was refused', async () => {
    await page.goto(site.base + '/');
    await page.$eval('#upload-form', (form) => { form.elements.token.value = '1-' + 'a'.repeat(64); });
    await page.setInputFiles('#upload-input', { name: 'refused.txt', mimeType: 'text/plain', buffer: Buffer.from('x') });
    await page.waitForSelector('#upload-list li.failed');
    assert.match(await page.textContent('#upload-list li.failed .status'), /expired or did not come from this site/);
    assert.ok(!fs.existsSync(path.join(site.uploadDir, 'refused.txt')));
  });

  it('shows a readable error page for a refused address', async () => {
    const reply = await page.goto(site.base + '/file.php?d=0&p=..%2F..%2Foutside.txt');
    assert.equal(reply.status(), 403);
    assert.equal(await page.textContent('h1'), '403 Forbidden');
  });

  it('shows a QR code that reads back as the page\'s own address', async () => {
    const { decodeCanvas } = require('./lib/browser');
    await page.goto(site.base + '/?d=0&p=sub');
    assert.equal(await decodeCanvas(page, '#qr-code'), page.url());
    assert.equal(await page.textContent('#qr-url'), page.url());
  });

  it('shows a folder of pictures as thumbnails of at most 256 px, icons where GD cannot help', async () => {
    await page.goto(site.base + '/?d=1&p=album');
    await page.waitForFunction(() => Array.from(document.querySelectorAll('img.thumb'))
      .every((img) => img.complete && img.naturalWidth > 0) && document.querySelectorAll('img.thumb').length === 5);
    const thumbs = await page.$$eval('img.thumb', (imgs) => imgs.map((img) =>
      [img.closest('tr').dataset.name, img.naturalWidth, img.naturalHeight]));
    assert.deepEqual(thumbs, [['a photo.jpg', 256, 171], ['b drawing.png', 256, 171], ['c clip.gif', 256, 171],
      ['d web.webp', 256, 171], ['e sideways.jpg', 128, 256]]);
    assert.deepEqual(await page.$$eval('tr.file:not(.picture)', (rows) => rows.map((r) => r.dataset.name)),
      ['cut.jpg', 'huge.png', 'not a picture.jpg']);
    const grid = () => page.$eval('.listing', (listing) => listing.classList.contains('grid'));
    await page.click('#view-switch button[data-view="list"]');
    await page.reload();
    assert.equal(await grid(), false, 'the list, as chosen');
    await page.click('#view-switch button[data-view="grid"]');
    assert.equal(await grid(), true);
  });

  it('pages the preview through the folder\'s pictures with the arrow keys', async () => {
    await page.goto(site.base + '/?d=1&p=album');
    await page.click('tr[data-name="b drawing.png"] a.view');
    const shown = async () => [await page.textContent('#preview-title'), await page.textContent('.pager-count')];
    assert.deepEqual(await shown(), ['b drawing.png', '2 of 8']);
    await page.keyboard.press('ArrowRight');
    assert.deepEqual(await shown(), ['c clip.gif', '3 of 8']);
    await page.keyboard.press('ArrowLeft');
    await page.keyboard.press('ArrowLeft');
    assert.deepEqual(await shown(), ['a photo.jpg', '1 of 8']);
    assert.match(await page.getAttribute('#preview-body img', 'src'), /p=album\/a%20photo.jpg&view=1$/);
    assert.equal(await page.isDisabled('button[aria-label="Previous picture"]'), true);
    await page.keyboard.press('Escape');
  });

  it('opens a folder of 10,000 files whose every entry the filter, the sort and the scroll reach', async () => {
    const big = path.join(site.shares.music, 'big');
    fs.mkdirSync(big);
    try {
      for (let i = 1; i <= 10000; i++) fs.writeFileSync(path.join(big, `file ${String(i).padStart(5, '0')}.txt`), 'x'.repeat(i % 100));
      fs.writeFileSync(path.join(big, 'file 07777.txt'), 'x'.repeat(5000));
      await page.goto(site.base + '/?d=1&p=big');
      assert.equal(await page.locator('#entries tbody tr').count(), 200, 'the first rows only');
      await page.fill('#filter', 'FILE 09990');
      assert.deepEqual(await rowNames(), ['file 09990.txt']);
      await page.fill('#filter', '');
      await page.click('th[data-sort="size"] button');
      await page.click('th[data-sort="size"] button');
      assert.equal((await rowNames())[0], 'file 07777.txt', 'the largest first');
      await page.locator('.more').scrollIntoViewIfNeeded();
      await page.waitForFunction(() => document.querySelectorAll('#entries tbody tr').length === 400);
      // A row the page made from the data is the server's row, but for the date it shows in local time.
      const made = await page.$eval('#entries tbody tr:nth-child(300)', (r) => r.outerHTML);
      const found = (await request(`/?d=1&p=big&q=${q(made.match(/data-name="([^"]+)"/)[1])}`)).body.toString();
      const noDate = (row) => row.replace(/(<time[^>]*>)[^<]*/, '$1');
      assert.equal(noDate(made), noDate(found.match(/<tr class="entry.*?<\/tr>/)[0]));
    } finally {
      fs.rmSync(big, { recursive: true, force: true });
    }
  });

  it('fits a phone screen', async () => {
    await page.setViewportSize({ width: 375, height: 740 });
    await page.goto(site.base + '/?d=0');
    const overflow = await page.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
    assert.ok(overflow <= 0, `the page is ${overflow}px wider than the phone`);
    const nameBox = await page.locator('tr[data-name="random.bin"] td.col-name').boundingBox();
    assert.ok(nameBox.width > 300, 'a name gets the whole width on a phone');
    assert.equal(await page.isVisible('#qr-code'), true);
    await page.setViewportSize({ width: 1280, height: 800 });
  });

  it('skips to the content from the first key press', async () => {
    await page.goto(site.base + '/?d=0');
    await page.keyboard.press('Tab');
    assert.equal(await page.evaluate(() => document.activeElement.textContent), 'Skip to the content');
    const box = await page.locator('a.skip').boundingBox();
    assert.ok(box.y >= 0, 'the focused skip link is on screen');
    await page.keyboard.press('Enter');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'main');
  });

  // The host's browser (page) and a visitor's, whose two host names are two devices to the site.
  it('lets a waiting visitor in from the host page, which then goes on by itself, and keeps a denied one out', async () => {
    setAccess('open');
    await page.goto(site.base + '/host.php');
    assert.ok(await page.$$eval('#addresses canvas.host-address-qr', (all) => all.length > 0 && all.every((c) => c.width > 0)),
      'each address of the computer has its QR code');
    await page.check('input[name="mode"][value="approve"]');
    await Promise.all([page.waitForURL(/said=saved/), page.click('#settings-title ~ form button[type="submit"]')]);
    const visitorBrowser = await openBrowser(path.join(site.work, 'profile-visitor'));
    try {
      const guest = await visitorBrowser.newPage();
      const stranger = await visitorBrowser.newPage();
      const numberOf = async (p) => {
        assert.equal(await p.textContent('h1'), 'Waiting for the host to let you in');
        return (await p.textContent('.gate-number strong')).trim();
      };
      // Both come from 127.0.0.1, and one address holds one waiting place: the stranger asks once the guest is in.
      await guest.goto('http://127.0.0.2:60001/?d=0');
      const allowed = await numberOf(guest);
      // The host's page shows the new device without being reloaded.
      const row = (n) => page.locator('#waiting tr', { has: page.locator(`strong:text-is("${n}")`) });
      await row(allowed).waitFor();
      await Promise.all([page.waitForURL(/said=allow/), row(allowed).getByRole('button', { name: /^Allow/ }).click()]);
      await stranger.goto('http://127.0.0.3:60001/?d=0');
      const denied = await numberOf(stranger);
      await page.goto(site.base + '/host.php');
      await Promise.all([page.waitForURL(/said=deny/), row(denied).getByRole('button', { name: /^Deny (?!and block)/ }).click()]);
      await guest.waitForSelector('#entries', { timeout: 15000 });
      const [file] = await Promise.all([guest.waitForEvent('download'), guest.click('a.name:text-is("random.bin")')]);
      assert.ok(fs.readFileSync(await file.path()).equals(fs.readFileSync(path.join(site.shares.photos, 'random.bin'))));
      await stranger.waitForFunction(() => document.querySelector('h1')?.textContent === 'Not let in', null, { timeout: 15000 });
      assert.doesNotMatch(await stranger.content(), /Photos|random\.bin|hello/);
      await page.goto(site.base + '/host.php');
      assert.match(await page.textContent('#transfers'), /Download\s*random\.bin\s*3\.0 MB\s*127\.0\.0\.1/);
    } finally {
      await visitorBrowser.close();
      setAccess();
    }
  });

  // Every page and state a visitor meets, at both sizes and in both colour
  // schemes: no serious or critical finding of axe, one <h1>, targets a
  // finger can hit on the phone, and a screenshot of each kept.
  it('serves every page accessibly at desktop and phone sizes, light and dark', async () => {
    const axeSource = fs.readFileSync(require.resolve('axe-core/axe.min.js'), 'utf8');
    const sizes = { desktop: { width: 1280, height: 800 }, phone: { width: 375, height: 740 } };
    const pages = {
      shares: async () => {
        await page.goto(site.base + '/');
        await page.setInputFiles('#upload-input', { name: 'axe.txt', mimeType: 'text/plain', buffer: Buffer.from('x') });
        await page.waitForSelector('#upload-list li.done');
      },
      folder: () => page.goto(site.base + '/?d=0'),
      search: () => page.goto(site.base + '/?d=0&q=' + q('a')),
      grid: () => page.goto(site.base + '/?d=1&p=album'),
      'grid-preview': async () => {
        await page.goto(site.base + '/?d=1&p=album');
        await page.click('tr[data-name="b drawing.png"] a.view');
        await page.waitForSelector('#preview-body img');
      },
      preview: async () => {
        await page.goto(site.base + '/?d=0');
        await page.click('tr[data-name="pixel.png"] a.view');
        await page.waitForSelector('#preview-body img');
      },
      'upload-result': async () => {
        // The form as a browser without script sends it: a copy has none of the page's handlers.
        await page.goto(site.base + '/');
        await page.$eval('#upload-form', (form) => document.body.append(Object.assign(form.cloneNode(true), { id: 'plain' })));
        await page.setInputFiles('#plain input[type="file"]', [
          { name: 'plain form.txt', mimeType: 'text/plain', buffer: Buffer.from('x') },
          { name: 'a<b>.txt', mimeType: 'text/plain', buffer: Buffer.from('y') },
        ]);
        await Promise.all([page.waitForNavigation(), page.$eval('#plain', (form) => form.submit())]);
        assert.match(await page.textContent('main'), /“a<b>.txt” was uploaded \(renamed “a_b_.txt”/);
      },
      error: () => page.goto(site.base + '/file.php?d=0&p=..%2F..%2Foutside.txt'),
      // The gate and the host's page: a visitor is the browser at another of the machine's addresses.
      code: () => {
        setAccess('code');
        return page.goto('http://127.0.0.2:60001/?d=0&code=WRONGCODE2');
      },
      waiting: () => {
        setAccess('approve');
        return page.goto('http://127.0.0.2:60001/');
      },
      host: async () => {
        await request('/file.php?d=0&p=hello.txt');
        return page.goto(site.base + '/host.php');
      },
    };
    const findings = [];
    for (const [name, open] of Object.entries(pages)) {
      await page.emulateMedia({ colorScheme: 'light' });
      await page.setViewportSize(sizes.desktop);
      await open();
      const headings = await page.locator('h1').count();
      if (headings !== 1) findings.push(`${name}: ${headings} <h1> instead of one`);
      await page.evaluate(axeSource);
      for (const scheme of ['light', 'dark']) {
        await page.emulateMedia({ colorScheme: scheme });
        for (const [size, viewport] of Object.entries(sizes)) {
          await page.setViewportSize(viewport);
          const where = `${name}, ${size}, ${scheme}`;
          const violations = await page.evaluate(async () => (await window.axe.run(document, {
            resultTypes: ['violations'],
          })).violations.map((v) => ({ id: v.id, impact: v.impact, targets: v.nodes.map((n) => n.target.join(' ')) })));
          for (const v of violations) {
            if (v.impact === 'serious' || v.impact === 'critical') findings.push(`${where}: ${v.id} at ${v.targets.join(', ')}`);
          }
          if (size === 'phone') {
            for (const small of await smallTargets()) findings.push(`${where}: ${small} is smaller than 44 x 44`);
          }
          await page.screenshot({ path: path.join(ARTIFACTS, `${name}-${size}-${scheme}.png`), fullPage: true });
        }
      }
    }
    setAccess();
    await page.emulateMedia({ colorScheme: 'light' });
    await page.setViewportSize(sizes.desktop);
    assert.deepEqual(findings, []);
  });

  /** Controls a finger may tap that are smaller than 44 x 44 CSS pixels, as "tag.class "text"". */
  function smallTargets() {
    return page.$$eval('a[href], button, input:not([type="hidden"]), select, textarea, label.button', (controls) =>
      controls.filter((el) => {
        const box = el.getBoundingClientRect();
        const style = getComputedStyle(el);
        // Hidden, or hidden from sight behind a visible label.
        if (el.getClientRects().length === 0 || style.visibility === 'hidden' || style.opacity === '0') return false;
        if (box.width <= 1 || box.height <= 1) return false;
        return box.width < 44 || box.height < 44;
      }).map((el) => `${el.tagName.toLowerCase()}.${el.className} "${el.textContent.trim().slice(0, 30)}"`));
  }
});

// The interpreter run directly: for a Range header, which the server does not
// pass, and for settings other than the shipped ones.
describe('the interpreter run directly', () => {
  function phpCgi(query, range, { page = 'file.php', args = [], body = '', type = '', cookie = '' } = {}) {
    const www = path.join(site.app, 'www');
    const out = execFileSync(path.join(site.app, 'php', 'php-cgi'), args, {
      maxBuffer: 64 * 1024 * 1024,
      cwd: www,
      input: body,
      env: {
        PATH: process.env.PATH, HOME: site.home, PHPRC: path.join(site.app, 'php', 'php.ini'), PHP_INI_SCAN_DIR: '',
        GATEWAY_INTERFACE: 'CGI/1.1', REQUEST_METHOD: body ? 'POST' : 'GET', QUERY_STRING: query,
        CONTENT_TYPE: type, CONTENT_LENGTH: String(body.length), OSTREL_PARSE_BODY: '1',
        PATH_TRANSLATED: path.join(www, page), SCRIPT_NAME: '/' + page, HTTP_RANGE: range, HTTP_ACCEPT_ENCODING: 'gzip',
        HTTP_COOKIE: cookie,
      },
    });
    const end = out.indexOf('\r\n\r\n');
    return { head: out.subarray(0, end).toString(), body: out.subarray(end + 4) };
  }

  it('reports the files of one upload past the interpreter\'s limit as not stored', async () => {
    const names = ['limit one.txt', 'limit two.txt', 'limit three.txt'];
    const { token, cookie } = await visit();
    const form = multipart({ token }, names.map((filename) => ({ name: 'files[]', filename, content: 'x' })));
    // Errors are never shown to visitors: the warning is the page's to read.
    const reply = phpCgi('format=json', '', {
      page: 'upload.php', args: ['-d', 'max_file_uploads=2', '-d', 'display_errors=0'], body: form.body, type: form.type, cookie,
    });
    const json = JSON.parse(reply.body);
    assert.equal(json.ok, false);
    assert.deepEqual(json.files.map((f) => f.stored), ['limit one.txt', 'limit two.txt', null]);
    assert.match(json.files[2].error, /^Only the first 2 files of one upload can be taken: the others were not stored/);
    assert.ok(!fs.existsSync(path.join(site.uploadDir, 'limit three.txt')));
  });

  it('lists pictures as other files, without thumbnails, where the interpreter has no GD', () => {
    // Without the scan directory no module loads: GD is missing.
    const html = zlib.gunzipSync(phpCgi('d=1&p=album', '', { page: 'index.php' }).body).toString();
    assert.match(html, /data-name="a photo.jpg"/);
    assert.doesNotMatch(html, /thumb\.php|class="listing grid"/);
  });

  it('sends the asked part of a file for seeking, and refuses a part beyond the end', () => {
    const original = fs.readFileSync(path.join(site.shares.photos, 'random.bin'));
    const mid = phpCgi('d=0&p=random.bin', 'bytes=1000-1999');
    assert.match(mid.head, /^Status: 206 Partial Content/m);
    assert.match(mid.head, new RegExp(`^Content-Range: bytes 1000-1999/${original.length}$`, 'm'));
    assert.ok(mid.body.equals(original.subarray(1000, 2000)));
    const tail = phpCgi('d=0&p=random.bin', 'bytes=-10');
    assert.ok(tail.body.equals(original.subarray(original.length - 10)));
    const open = phpCgi('d=0&p=random.bin', `bytes=${original.length - 5}-`);
    assert.ok(open.body.equals(original.subarray(original.length - 5)));
    assert.match(phpCgi('d=0&p=random.bin', `bytes=${original.length}-`).head, /^Status: 416/m);
    assert.doesNotMatch(phpCgi('d=0&p=random.bin', 'bytes=0-1,5-6').head, /^Status:/m, 'several ranges: the whole file');
  });
});
