// pure_functions.test.js - the site's path, name and header helpers on
// inputs that the server cannot produce here: Windows paths, hostile upload
// names, odd byte ranges; and the site's side of the case tables that the
// program's test reads too. The interpreter runs them without the server.
'use strict';
const { describe, it } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const fs = require('node:fs');
const os = require('node:os');
const { execFileSync } = require('node:child_process');
const { bytes, seg, frame, huffman, scan, lie, SOI, EOI } = require('./lib/jpeg');

const SITE_INC = path.join(__dirname, '..', '..', 'site_inc');

/** Calls [function, args] pairs in php-cgi and returns their results. */
function php(calls) {
  const out = execFileSync('php-cgi', ['-q', path.join(__dirname, 'php', 'pure_functions.php')], {
    input: JSON.stringify(calls),
    // As the host, whom the gate never holds: it reads no state.
    env: { PATH: process.env.PATH, SITE_INC, PHP_INI_SCAN_DIR: '', REDIRECT_STATUS: '200',
      REMOTE_ADDR: '127.0.0.1', SERVER_ADDR: '127.0.0.1' },
  });
  return JSON.parse(out.toString());
}

function table(fn, cases) {
  const results = php(cases.map(([input]) => [fn, Array.isArray(input) ? input : [input]]));
  cases.forEach(([input, expected], i) => assert.deepEqual(results[i], expected, `${fn}(${JSON.stringify(input)})`));
}

describe('site helpers', () => {
  // The case tables that tests/config/case_tables_test.cpp reads too: [line, fields] of each case, each
  // field's items as byte strings (<xHH> and the named bytes decoded).
  const NAMED = { CR: '\r', LF: '\n', TAB: '\t', NUL: '\0', SP: ' ', EMPTY: '' };
  const cases = (name) => fs.readFileSync(path.join(__dirname, '..', 'cases', name), 'latin1').split('\n')
    .map((line, i) => [i + 1, line]).filter(([, line]) => line.trim() !== '' && !line.startsWith('#'))
    .map(([n, line]) => [n, line.split('|').map((field) => field.split(/[ \t\r]+/).filter(Boolean).map((item) => item
      .replace(/<(CR|LF|TAB|NUL|SP|EMPTY|x[0-9A-Fa-f]{2})>/g, (all, b) => NAMED[b] ?? String.fromCharCode(parseInt(b.slice(1), 16)))))]);
  const hex = (text) => (text === '<NOFILE>' ? null : { hex: Buffer.from(text, 'latin1').toString('hex') });

  it('shares the folders of dirs.ini that the program lists, as the case table says', () => {
    const table = cases('dirs_ini.txt');
    // The program writes back what it listed, a line each: the site reads that alike.
    const texts = [...table.map(([, [[text]]]) => text), ...table.map(([, [, folders]]) => folders.join('\r\n'))];
    const read = php(texts.map((text) => ['case_dirs_ini', [hex(text)]]));
    table.forEach(([line, [, , linux, windows]], i) => {
      const base64 = (text) => Buffer.from(text, 'latin1').toString('base64');
      assert.deepEqual(read[i], [linux, windows].map((paths) => paths.map(base64)), `dirs_ini.txt line ${line}`);
      assert.deepEqual(read[table.length + i], read[i], `dirs_ini.txt line ${line}, as the program saves it`);
    });
  });

  it('reads access.ini\'s mode and damage as the program does, as the case table says', () => {
    const table = cases('access_ini.txt');
    const read = php(table.map(([, [[text]]]) => ['case_access_ini', [hex(text)]]));
    table.forEach(([line, [, [mode], [damaged], [uploads], [code = '']]], i) =>
      assert.deepEqual(read[i], [mode, damaged, uploads, code], `access_ini.txt line ${line}`));
  });

  it('finds the drive of the program\'s path for the upload directory', () => {
    table('upload_windows_drive', [
      ['C:\\Program Files\\Ostrel\\www\\', 'C:'],
      ['e:\\www\\', 'e:'],
      ['\\\\server\\share\\tools\\ostrel\\www\\', '\\\\server\\share'],
      ['\\\\server\\', null],
      ['relative\\www\\', null],
    ]);
  });

  it('cuts a relative path into names, refusing every way up or out', () => {
    table('shares_segments', [
      ['', []],
      ['a/b c/d.txt', ['a', 'b c', 'd.txt']],
      ['a/b/', ['a', 'b']],
      ['../a', null],
      ['a/./b', null],
      ['a//b', null],
      ['/etc', null],
      ['a\\..\\b', null],
      ['a\u0000b', null],
      ['a\nb', null],
      // The upload directory's place for unfinished uploads, in any case.
      ['Upload Directory/.ostrel-partial/0123.part', null],
      ['.OSTREL-Partial', null],
      ['a/.ostrel-partials', ['a', '.ostrel-partials']],
    ]);
    table('hidden_path', [
      ['/home/me/Upload Directory/.ostrel-partial', true],
      ['C:\\Upload Directory\\.Ostrel-Partial\\0123\\4567.part', true],
      ['/home/me/.ostrel-partial.txt', false],
      ['/home/me/x.ostrel-partial/a', false],
    ]);
  });

  it('makes a safe name of whatever an upload is called', () => {
    table('upload_clean_name', [
      ['photo.jpg', 'photo.jpg'],
      ['C:\\Users\\me\\photo.jpg', 'photo.jpg'],
      ['../../etc/passwd', 'passwd'],
      ['a<b>c:d"e|f?g*h.txt', 'a_b_c_d_e_f_g_h.txt'],
      ['name. . ', 'name'],
      ['CON', '_CON'],
      ['nul.txt', '_nul.txt'],
      ['..', 'upload'],
      ['', 'upload'],
      ['Ünïcode ✓.txt', 'Ünïcode ✓.txt'],
      ['x'.repeat(300) + '.jpeg', 'x'.repeat(195) + '.jpeg'],
      ['é'.repeat(150), 'é'.repeat(100)],
      ['\u202Egnp.exe', 'gnp.exe'],
      ['\u2066zero\u200Bwidth\u200D\uFEFF\u00AD\u2069.txt', 'zerowidth.txt'],
      ['a\u2044b\u2215c\u29F8d\uFF0Fe\uFF3Cf\u2216g.txt', 'a_b_c_d_e_f_g.txt'],
      ['a\u0085b\u2028c.txt', 'a_b_c.txt'],
      ['\u200B', 'upload'],
    ]);
  });

  it('serves only a Host that names this machine, whatever its case, port or final dot', () => {
    const own = ['box', 'box.lan', 'box.fritz.box'];
    table('site_host_allowed', [
      [['127.0.0.1:60001', own], true],
      [['10.0.0.5.', own], true],
      [['LOCALHOST.:60001', own], true],
      [['[::1]:60001', own], true],
      [['[fe80::1%25eth0]', own], false],
      [['BOX.lan', own], true],
      [['box.fritz.box.:60001', own], true],
      [['', own], true],
      [['attacker.example:60001', own], false],
      [['1.2.3.4.attacker.example', own], false],
      [['x.localhost', own], false],
      [['box.attacker.example', own], false],
      [['localhost..', own], false],
      [['[evil]', own], false],
      [[':60001', own], false],
      [['127.0.0.1:abc', own], false],
      // Names a router or any device of the network may answer for: a page of theirs could be pointed here.
      ...['attacker.lan:60001', 'attacker.local', 'pc', 'nas.fritz.box', 'pc.home.arpa.', 'box.local'].map((h) => [[h, own], false]),
    ]);
  });

  it('knows this machine by its full and short name, the short one with a router\'s suffix', () => {
    const suffixed = (name) => ['', '.lan', '.local', '.home', '.home.arpa', '.internal', '.localdomain', '.fritz.box'].map((s) => name + s);
    table('site_names_of', [['Box.Example.COM', ['box.example.com', ...suffixed('box')]], ['pc', suffixed('pc')], ['', []]]);
  });

  it('opens the host page only under a loopback address, localhost, or this machine\'s own address or name', () => {
    const own = ['127.0.0.1:60001', '127.9.9.9', '[::1]:60001', '[0:0:0:0:0:0:0:1]', '[::ffff:127.0.0.1]', 'localhost:60001',
      '192.168.1.20:60001', '[FD00:0::2]:60001', 'BOX.lan.:60001', 'box'];
    const foreign = ['192.168.1.21:60001', '10.0.0.5', '[fd00::3]', 'attacker.lan:60001', 'box.local', '', '[evil]'];
    table('site_host_is_own', [...own.map((host) => [host, true]), ...foreign.map((host) => [host, false])]
      .map(([host, expected]) => [[host, ['box', 'box.lan'], ['192.168.1.20', 'fd00::2']], expected]));
  });

  it('reads names and queries regardless of case and accents, and bounds a query', () => {
    table('fold_text', [
      ['Café', 'cafe'],
      ['ÉTÉ', 'ete'],
      ['cafe\u0301', 'cafe'],
      ['Ünïcode “name” ✓.txt', 'unicode “name” ✓.txt'],
      ['Ёлка Άλφα', 'Елка Αλφα'],
    ]);
    table('search_words', [
      ['  Café   ÉTÉ ', ['cafe', 'ete']],
      ['a '.repeat(12), Array(12).fill('a')],
      ['a '.repeat(13), null],
      ['é'.repeat(300), ['e'.repeat(300)]],
      ['é'.repeat(301), null],
    ]);
  });

  it('names files in Content-Disposition for old and new browsers alike', () => {
    table('send_disposition', [
      [['attachment', 'a b.txt'], 'attachment; filename="a b.txt"; filename*=UTF-8\'\'a%20b.txt'],
      [['inline', 'ü"x;%.txt'], 'inline; filename="__x__.txt"; filename*=UTF-8\'\'%C3%BC%22x%3B%25.txt'],
    ]);
  });

  it('reads one byte range, and leaves anything else to a whole reply', () => {
    table('send_range', [
      [['bytes=0-99', 1000], [0, 100]],
      [['bytes=900-', 1000], [900, 100]],
      [['bytes=-100', 1000], [900, 100]],
      [['bytes=-5000', 1000], [0, 1000]],
      [['bytes=990-5000', 1000], [990, 10]],
      [['bytes=1000-', 1000], false],
      [['bytes=5-4', 1000], false],
      [['bytes=-0', 1000], false],
      [['bytes=0-1,4-5', 1000], null],
      [['items=0-1', 1000], null],
    ]);
  });

  it('reads a JPEG\'s frame as its decoder does, whatever a marker without a length or stray bytes are made to hide', () => {
    const rest = bytes(huffman(0, 0), scan(0, 63), '00ff0012ffd300', EOI);
    const jpeg = (...parts) => ({ hex: bytes(SOI, ...parts).toString('hex') });
    const lied = { hex: lie(20000, 20000, rest).toString('hex') };
    const found = (width, height, scans = 1, whole = true) => ({ width, height, scans, whole });
    table('picture_jpeg_frame', [
      [[jpeg(frame(640, 480), rest)], found(640, 480)],
      [[lied], found(20000, 20000)],
      [[jpeg('ffffffd0ff01', frame(300, 200), rest)], found(300, 200)],
      [[jpeg('0000c0ee', frame(300, 200), 'abcd', rest)], found(300, 200)],
      [[jpeg(seg(0xfe, []), 'ffe00000', frame(300, 200), rest)], found(300, 200)],
      [[jpeg(frame(300, 200), rest.subarray(0, -2), scan(0, 63), '0000', EOI)], found(300, 200, 2)],
      [[jpeg(frame(300, 200), rest.subarray(0, 30))], found(300, 200, 1, false)],
      [[jpeg(frame(300, 200), EOI)], found(300, 200, 0, false)],
      [[jpeg(frame(300, 200), frame(16, 16), rest)], null],
      [[jpeg(scan(0, 63), frame(300, 200), rest)], null],
      [[jpeg(seg(0xc2, [8, 0, 0xc8, 1, 0x2c, 1, 1]), rest)], null],
      [[jpeg(SOI, frame(300, 200), rest)], null],
      [[{ hex: bytes('ff01', frame(300, 200)).toString('hex') }], null],
    ]);
    // The interpreter's own reader sees 16 x 16 in the lie.
    table('picture_size', [[[lied, 2], null], [[jpeg(frame(640, 480), rest), 2], [640, 480]]]);
  });

  it('trims the thumbnail cache to its bound, the least recently used first, and nothing else', () => {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'thumbs-'));
    try {
      const names = ['a', 'b', 'c', 'd', 'e'].map((c) => c.repeat(40) + '.jpg');
      names.forEach((name, i) => {
        fs.writeFileSync(path.join(dir, name), Buffer.alloc(10000));
        fs.utimesSync(path.join(dir, name), 1000 + i, 1000 + i);
      });
      fs.writeFileSync(path.join(dir, 'slot0.lock'), '');
      // Marks of attempts: one that nobody has looked at for an hour goes.
      fs.writeFileSync(path.join(dir, names[0] + '.try'), '1');
      fs.utimesSync(path.join(dir, names[0] + '.try'), 1000, 1000);
      fs.writeFileSync(path.join(dir, names[1] + '.try'), '1');
      php([['thumbs_trim', [dir, 35000]]]);
      assert.deepEqual(fs.readdirSync(dir).sort(), [names[1] + '.try', names[3], names[4], 'slot0.lock']);
    } finally {
      fs.rmSync(dir, { recursive: true, force: true });
    }
  });
});
