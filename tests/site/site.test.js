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
const { execFileSync } = require('node:child_process');
const { startSite } = require('./lib/fixture');
const { request, multipart } = require('./lib/http');
const { openBrowser } = require('./lib/browser');
const { treeOf, unzipTo } = require('./lib/tree');

const APP_DIR = process.env.SITE_APP_DIR;
const ARTIFACTS = process.env.SITE_ARTIFACTS || path.join(require('node:os').tmpdir(), 'site-artifacts');

let site;
const q = (p) => encodeURIComponent(p).replace(/%2F/g, '/');

before(async () => {
  assert.ok(APP_DIR && fs.existsSync(path.join(APP_DIR, 'ostrel')), 'SITE_APP_DIR must hold the built program');
  site = await startSite(APP_DIR);
});

after(async () => {
  if (!site) return;
  const { code } = await site.stop();
  site.cleanUp();
  assert.equal(code, 0, 'the program ends with exit code 0 on SIGTERM');
});

/** A reply that a visitor may see: no interpreter message, no path of the server's disk. */
function assertClean(reply) {
  const text = reply.body.toString('utf8');
  assert.doesNotMatch(text, /(Warning|Notice|Fatal error|Deprecated|Parse error)\b.*:/);
  assert.ok(!text.includes(site.work), 'no server path in the reply');
}

async function pageToken() {
  const reply = await request('/');
  const m = reply.body.toString().match(/name="token" value="([^"]+)"/);
  assert.ok(m, 'the page carries an upload token');
  return m[1];
}

describe('listing and browsing', () => {
  it('lists the shared folders in the order of dirs.ini, a missing one without a link', async () => {
    const reply = await request('/');
    assert.equal(reply.status, 200);
    assert.match(reply.headers['content-type'], /^text\/html; charset=utf-8/i);
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

  it('finds names below the current folder, whatever their case', async () => {
    const reply = await request('/?d=0&q=NEEDLE');
    assert.equal(reply.status, 200);
    const html = reply.body.toString();
    assert.match(html, /data-name="needle note.md".*<span class="where">in sub\/deeper<\/span>/);
    assert.match(html, /href="\/file.php\?d=0&amp;p=sub\/deeper\/needle%20note.md"/);
    assert.match(html, /1 match for/);
    assert.match((await request('/?d=0&q=nothing-like-this')).body.toString(), /Nothing found/);
  });
});

describe('downloads', () => {
  it('sends a file whole, with its length, type and name', async () => {
    const reply = await request('/file.php?d=0&p=random.bin');
    const original = fs.readFileSync(path.join(site.shares.photos, 'random.bin'));
    assert.equal(reply.status, 200);
    assert.equal(reply.headers['content-length'], String(original.length));
    assert.equal(reply.headers['content-type'], 'application/octet-stream');
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
    assert.equal(Number(reply.headers['content-length']), reply.body.length);
    const star = reply.headers['content-disposition'].match(/filename\*=UTF-8''(\S+)/);
    assert.equal(decodeURIComponent(star[1]), 'Photos ü & Co.zip');
    const out = unzipTo(reply.body, path.join(site.work, 'unzip-http'));
    assert.deepEqual(treeOf(path.join(out, 'Photos ü & Co')), treeOf(site.shares.photos, { insideOnly: true }));
  });

  it('zips a subfolder under its own name', async () => {
    const reply = await request('/zip.php?d=0&p=sub');
    const out = unzipTo(reply.body, path.join(site.work, 'unzip-sub'));
    assert.deepEqual(fs.readdirSync(out), ['sub']);
    assert.deepEqual(treeOf(path.join(out, 'sub')), treeOf(path.join(site.shares.photos, 'sub')));
  });
});

describe('uploads over HTTP', () => {
  it('stores every file of one request, giving a taken name a new one', async () => {
    const token = await pageToken();
    const form = multipart({ token }, [
      { name: 'files[]', filename: 'dup.txt', content: 'first' },
      { name: 'files[]', filename: 'dup.txt', content: 'second' },
      { name: 'files[]', filename: '../../escape.txt', content: 'third' },
      { name: 'files[]', filename: 'empty.txt', content: '' },
    ]);
    const reply = await request('/upload.php?format=json', {
      method: 'POST', body: form.body, headers: { 'Content-Type': form.type },
    });
    assert.equal(reply.status, 200);
    const json = JSON.parse(reply.body);
    assert.deepEqual(json.files.map((f) => f.stored), ['dup.txt', 'dup (2).txt', 'escape.txt', 'empty.txt']);
    assert.equal(fs.statSync(path.join(site.uploadDir, 'empty.txt')).size, 0);
    assert.equal(fs.readFileSync(path.join(site.uploadDir, 'dup.txt'), 'utf8'), 'first');
    assert.equal(fs.readFileSync(path.join(site.uploadDir, 'dup (2).txt'), 'utf8'), 'second');
    assert.ok(!fs.existsSync(path.join(site.home, 'escape.txt')));
    assert.equal(typeof json.free, 'number');
  });

  it('refuses a form without this site\'s token, or with a forged one, and stores nothing', async () => {
    const token = await pageToken();
    const [time, mac] = token.split('-');
    const forged = [
      '',
      'not-a-token',
      `${Number(time) + 1}-${mac}`,
      `${time}-${'0'.repeat(64)}`,
      `${Math.floor(Date.now() / 1000) - 3 * 86400}-${mac}`,
    ];
    for (const bad of forged) {
      const form = multipart({ token: bad }, [{ name: 'files[]', filename: 'csrf.txt', content: 'x' }]);
      const reply = await request('/upload.php?format=json', {
        method: 'POST', body: form.body, headers: { 'Content-Type': form.type },
      });
      assert.equal(reply.status, 403, `token "${bad}"`);
      assert.match(JSON.parse(reply.body).error, /reload the page/);
    }
    const plain = multipart({ token: 'x' }, [{ name: 'files[]', filename: 'csrf.txt', content: 'x' }]);
    const page = await request('/upload.php', {
      method: 'POST', body: plain.body, headers: { 'Content-Type': plain.type },
    });
    assert.equal(page.status, 403);
    assert.match(page.body.toString(), /<h1>403 Forbidden<\/h1>/);
    assert.ok(!fs.existsSync(path.join(site.uploadDir, 'csrf.txt')));
    assert.equal((await request('/upload.php')).status, 405);
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
    ['/file.php?d=0&p=hello.txt%00.png', 403],
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
  });

  it('answers a direct request for an include file with nothing', async () => {
    for (const file of ['bootstrap', 'shares', 'zip_stream', 'token']) {
      const reply = await request(`/inc/${file}.php`);
      assert.equal(reply.status, 404, file);
      assert.equal(reply.body.length, 0, file);
    }
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

  it('filters the listing as one types, regardless of case', async () => {
    await page.goto(site.base + '/?d=0');
    await page.fill('#filter', 'ÜNÏ');
    assert.deepEqual(await rowNames(), ['Ünïcode “name” ✓.txt']);
    await page.fill('#filter', 'zzz');
    assert.deepEqual(await rowNames(), []);
    assert.equal(await page.isVisible('#no-match'), true);
    await page.fill('#filter', '');
    assert.ok((await rowNames()).length > 5);
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
    await page.click('tr[data-name="pixel.png"] a.view');
    await page.waitForFunction(() => {
      const img = document.querySelector('#preview-body img');
      return img && img.complete && img.naturalWidth === 1;
    });
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
    assert.match(await page.textContent('#upload-list li:nth-child(2) .status'), /saved as “taken \(2\).txt”/);
    assert.equal(fs.readFileSync(path.join(site.uploadDir, 'taken.txt'), 'utf8'), 'the old one');
    assert.ok(fs.readFileSync(path.join(site.uploadDir, 'taken (2).txt')).equals(files['taken.txt']));
    assert.ok(fs.readFileSync(path.join(site.uploadDir, 'small.txt')).equals(files['small.txt']));
    assert.ok(fs.readFileSync(path.join(site.uploadDir, 'big upload.bin')).equals(files['big upload.bin']));
    assert.match(await page.textContent('#free-space'), /\d (KB|MB|GB|TB)/);
  });

  it('uploads a dropped file', async () => {
    await page.goto(site.base + '/');
    const transfer = await page.evaluateHandle(() => {
      const dt = new DataTransfer();
      dt.items.add(new File(['dropped content'], 'dropped.txt', { type: 'text/plain' }));
      return dt;
    });
    await page.dispatchEvent('#drop-zone', 'dragenter', { dataTransfer: transfer });
    assert.equal(await page.getAttribute('#drop-zone', 'class'), 'drop-zone dragging');
    await page.dispatchEvent('#drop-zone', 'drop', { dataTransfer: transfer });
    await page.waitForSelector('#upload-list li.done');
    assert.equal(fs.readFileSync(path.join(site.uploadDir, 'dropped.txt'), 'utf8'), 'dropped content');
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

  it('fits a phone screen, and keeps screenshots of both layouts', async () => {
    await page.setViewportSize({ width: 1280, height: 800 });
    await page.goto(site.base + '/?d=0');
    await page.screenshot({ path: path.join(ARTIFACTS, 'listing-desktop.png'), fullPage: true });
    await page.setViewportSize({ width: 375, height: 740 });
    await page.goto(site.base + '/?d=0');
    const overflow = await page.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
    assert.ok(overflow <= 0, `the page is ${overflow}px wider than the phone`);
    const nameBox = await page.locator('tr[data-name="random.bin"] td.col-name').boundingBox();
    assert.ok(nameBox.width > 300, 'a name gets the whole width on a phone');
    assert.equal(await page.isVisible('#qr-code'), true);
    await page.screenshot({ path: path.join(ARTIFACTS, 'listing-phone.png'), fullPage: true });
  });
});

describe('byte ranges (the interpreter run directly, since the server passes no Range header)', () => {
  function phpCgi(query, range) {
    const www = path.join(site.app, 'www');
    const out = execFileSync(path.join(site.app, 'php', 'php-cgi'), [], {
      maxBuffer: 64 * 1024 * 1024,
      cwd: www,
      env: {
        PATH: process.env.PATH, HOME: site.home, PHPRC: path.join(site.app, 'php', 'php.ini'), PHP_INI_SCAN_DIR: '',
        GATEWAY_INTERFACE: 'CGI/1.1', REQUEST_METHOD: 'GET', QUERY_STRING: query,
        PATH_TRANSLATED: path.join(www, 'file.php'), SCRIPT_NAME: '/file.php', HTTP_RANGE: range,
      },
    });
    const end = out.indexOf('\r\n\r\n');
    return { head: out.subarray(0, end).toString(), body: out.subarray(end + 4) };
  }

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
