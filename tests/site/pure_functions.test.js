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

const SITE_INC = path.join(__dirname, '..', '..', 'site_inc');

/** Calls [function, args] pairs in php-cgi and returns their results. */
function php(calls, script = 'pure_functions.php') {
  const out = execFileSync('php-cgi', ['-q', path.join(__dirname, 'php', script)], {
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
  const base64 = (text) => (text === '<NOFILE>' ? null : Buffer.from(text, 'latin1').toString('base64'));

  it('shares the folders of dirs.ini that the program lists, as the case table says', () => {
    const table = cases('dirs_ini.txt');
    // The program writes back what it listed, a line each: the site reads that alike.
    const texts = [...table.map(([, [[text]]]) => text), ...table.map(([, [, folders]]) => folders.join('\r\n'))];
    const read = php(texts.map((text) => ['case_dirs_ini', [base64(text)]]), 'case_tables.php');
    table.forEach(([line, [, , linux, windows]], i) => {
      assert.deepEqual(read[i], [linux, windows].map((paths) => paths.map(base64)), `dirs_ini.txt line ${line}`);
      assert.deepEqual(read[table.length + i], read[i], `dirs_ini.txt line ${line}, as the program saves it`);
    });
  });

  it('reads access.ini\'s mode and damage as the program does, as the case table says', () => {
    const table = cases('access_ini.txt');
    const read = php(table.map(([, [[text]]]) => ['case_access_ini', [base64(text)]]), 'case_tables.php');
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
      [['attacker.lan:60001', own], false],
      [['attacker.local', own], false],
      [['pc', own], false],
      [['nas.fritz.box', own], false],
      [['pc.home.arpa.', own], false],
      [['box.local', own], false],
    ]);
  });

  it('knows this machine by its full and short name, the short one with a router\'s suffix', () => {
    table('site_names_of', [
      ['Box.Example.COM', ['box.example.com', 'box', 'box.lan', 'box.local', 'box.home', 'box.home.arpa',
        'box.internal', 'box.localdomain', 'box.fritz.box']],
      ['pc', ['pc', 'pc.lan', 'pc.local', 'pc.home', 'pc.home.arpa', 'pc.internal', 'pc.localdomain', 'pc.fritz.box']],
      ['', []],
    ]);
  });

  it('opens the host page only under a loopback address, localhost, or this machine\'s own address or name', () => {
    const own = ['box', 'box.lan'];
    const addresses = ['192.168.1.20', 'fd00::2'];
    table('site_host_is_own', [
      ['127.0.0.1:60001', true],
      ['127.9.9.9', true],
      ['[::1]:60001', true],
      ['[0:0:0:0:0:0:0:1]', true],
      ['[::ffff:127.0.0.1]', true],
      ['localhost:60001', true],
      ['192.168.1.20:60001', true],
      ['[FD00:0::2]:60001', true],
      ['BOX.lan.:60001', true],
      ['box', true],
      ['192.168.1.21:60001', false],
      ['10.0.0.5', false],
      ['[fd00::3]', false],
      ['attacker.lan:60001', false],
      ['box.local', false],
      ['', false],
      ['[evil]', false],
    ].map(([host, expected]) => [[host, own, addresses], expected]));
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
    // Segments in hex: a marker and its data, with the length the data gives.
    const seg = (marker, data) => 'ff' + marker + (data.length / 2 + 2).toString(16).padStart(4, '0') + data;
    const sof = (w, h) => seg('c0', '08' + h.toString(16).padStart(4, '0') + w.toString(16).padStart(4, '0') + '01011100');
    const sos = seg('da', '010100003f00');
    const rest = seg('c4', '0001' + '00'.repeat(15) + '00') + sos + '00ff0012ffd300' + 'ffd9';
    const jpeg = (...parts) => ({ hex: 'ffd8' + parts.join('') });
    const frame = (width, height, scans = 1, whole = true) => ({ width, height, scans, whole });
    // Where a reader that takes TEM's next two bytes (ff c0) for a length lands: 0xffc0 - 2 bytes on.
    const app = '00'.repeat(0xffc0 - 17) + sof(16, 16) + '00'.repeat(65531 - (0xffc0 - 17) - 13);
    table('picture_jpeg_frame', [
      [[jpeg(sof(640, 480), rest)], frame(640, 480)],
      [[jpeg('ff01', sof(20000, 20000), seg('e1', app), rest)], frame(20000, 20000)],
      [[jpeg('ffffffd0ff01', sof(300, 200), rest)], frame(300, 200)],
      [[jpeg('0000c0ee', sof(300, 200), 'abcd', rest)], frame(300, 200)],
      [[jpeg(seg('fe', ''), 'ffe00000', sof(300, 200), rest)], frame(300, 200)],
      [[jpeg(sof(300, 200), rest.slice(0, -4), sos, '0000', 'ffd9')], frame(300, 200, 2)],
      [[jpeg(sof(300, 200), rest.slice(0, 60))], frame(300, 200, 1, false)],
      [[jpeg(sof(300, 200), 'ffd9')], frame(300, 200, 0, false)],
      [[jpeg(sof(300, 200), sof(16, 16), rest)], null],
      [[jpeg(sos, sof(300, 200), rest)], null],
      [[jpeg(seg('c2', '0800c8012c0101'), rest)], null],
      [[jpeg('ffd8', sof(300, 200), rest)], null],
      [[{ hex: 'ff01' + sof(300, 200) }], null],
    ]);
    const sizes = php([
      ['picture_size', [jpeg('ff01', sof(20000, 20000), seg('e1', app), rest), 2]],
      ['picture_size', [jpeg(sof(640, 480), rest), 2]],
    ]);
    assert.deepEqual(sizes, [null, [640, 480]], 'the interpreter\'s own reader sees 16 x 16 in the first');
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
