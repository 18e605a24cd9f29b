// fixture.js - a throw-away copy of the built application: its own shared
// folders, dirs.ini and HOME, and the real program serving it on port 60001.
'use strict';
const fs = require('node:fs');
const path = require('node:path');
const os = require('node:os');
const crypto = require('node:crypto');
const net = require('node:net');
const { spawn, execFileSync } = require('node:child_process');
const { before, after } = require('node:test');
const assert = require('node:assert/strict');

const PORT = 60001;
const ARTIFACTS = process.env.SITE_ARTIFACTS || path.join(os.tmpdir(), 'site-artifacts');

function write(file, content) {
  fs.mkdirSync(path.dirname(file), { recursive: true });
  fs.writeFileSync(file, content);
}

// A 1x1 PNG, so that an image preview has something real to show.
const PNG = Buffer.from('iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==', 'base64');

/** The shared folders: names, sizes and links chosen to trip the pages up. */
function makeShares(root) {
  const photos = path.join(root, 'Photos ü & Co');
  write(path.join(photos, 'hello.txt'), 'hello, world\n');
  write(path.join(photos, 'Ünïcode “name” ✓.txt'), 'unicode content\n');
  write(path.join(photos, 'pixel.png'), PNG);
  write(path.join(photos, 'page.html'), '<script>document.title="ran"</script>');
  write(path.join(photos, 'random.bin'), crypto.randomBytes(3 * 1024 * 1024 + 17));
  // Previews are told apart by extension only; the contents need not play.
  write(path.join(photos, 'clip.mp4'), crypto.randomBytes(1000));
  write(path.join(photos, 'tune.mp3'), crypto.randomBytes(1000));
  write(path.join(photos, 'doc.pdf'), '%PDF-1.4\n%%EOF\n');
  write(path.join(photos, 'long.log'), 'log line\n'.repeat(200000));
  write(path.join(photos, 'sub', 'deeper', 'needle note.md'), '# found me\n');
  write(path.join(photos, 'sub', 'a10.txt'), 'ten');
  write(path.join(photos, 'sub', 'a9.txt'), 'nine, a longer one');
  fs.mkdirSync(path.join(photos, 'empty folder'), { recursive: true });
  // A sibling whose name starts like the share's: must stay out of reach.
  const sibling = `${photos}-secret`;
  write(path.join(sibling, 'secret.txt'), 'SECRET-SIBLING');
  write(path.join(root, 'outside.txt'), 'SECRET-OUTSIDE');
  fs.symlinkSync(path.join(root, 'outside.txt'), path.join(photos, 'link-out.txt'));
  fs.symlinkSync(sibling, path.join(photos, 'link-out-dir'));
  fs.symlinkSync(path.join(photos, 'hello.txt'), path.join(photos, 'link-in.txt'));

  // Accents and case for the filter and the search to see past.
  const music = path.join(root, 'Music');
  write(path.join(music, 'song.txt'), 'la la la');
  write(path.join(music, 'Café del Mar.txt'), 'café');
  write(path.join(music, 'Été indien', 'été 2024.txt'), 'été');
  // Pictures that GD made, and three that it must not decode.
  const album = path.join(music, 'album');
  fs.mkdirSync(album);
  execFileSync('php-cgi', ['-q', path.join(__dirname, '..', 'php', 'pictures.php')], { env: { ...process.env, DIR: album } });
  return { photos, music, album, sibling, missing: path.join(root, 'not there'), outside: path.join(root, 'outside.txt') };
}

function waitForPort(port, deadlineMs) {
  const until = Date.now() + deadlineMs;
  return new Promise((resolve, reject) => {
    const attempt = () => {
      const socket = net.connect(port, '127.0.0.1');
      socket.once('connect', () => {
        socket.destroy();
        resolve();
      });
      socket.once('error', () => {
        socket.destroy();
        if (Date.now() > until) reject(new Error(`nothing listens on ${port}`));
        else setTimeout(attempt, 100);
      });
    };
    attempt();
  });
}

/** Lays out the application and starts the program; stop() ends it with SIGTERM. */
async function startSite(builtAppDir) {
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'ostrel-site-'));
  const app = path.join(work, 'app');
  fs.cpSync(builtAppDir, app, { recursive: true, verbatimSymlinks: true });
  // The pages under test are the repository's: the build copies them only
  // when it links the program, so the built copy may be older.
  for (const folder of ['www', 'site_inc']) {
    fs.rmSync(path.join(app, folder), { recursive: true, force: true });
    fs.cpSync(path.join(__dirname, '..', '..', '..', folder), path.join(app, folder), { recursive: true });
  }
  fs.rmSync(path.join(app, 'www', 'dirs.ini'), { force: true });
  const shares = makeShares(path.join(work, 'shares'));
  // Blank lines and a missing folder are part of what the page must cope with.
  const lines = [shares.photos, '', shares.music, shares.missing];
  write(path.join(app, 'www', 'dirs.ini'), lines.map((l) => l + '\r\n').join(''));
  const home = path.join(work, 'home');
  fs.mkdirSync(home);

  // The one-copy lock lives in XDG_RUNTIME_DIR: a private one keeps other
  // copies of the program on this machine from stopping this one.
  const env = { ...process.env, HOME: home, XDG_RUNTIME_DIR: work };
  delete env.DISPLAY;
  delete env.WAYLAND_DISPLAY;
  const program = path.join(app, 'ostrel');
  const server = spawn(program, [], { cwd: app, env, stdio: ['ignore', 'pipe', 'pipe'] });
  let output = '';
  server.stdout.on('data', (d) => { output += d; });
  server.stderr.on('data', (d) => { output += d; });
  const exited = new Promise((resolve) => server.once('exit', (code, signal) => resolve({ code, signal })));
  try {
    await waitForPort(PORT, 20000);
  } catch (e) {
    server.kill('SIGKILL');
    throw new Error(`${e.message}; the program printed: ${output}`);
  }

  return {
    work,
    app,
    home,
    shares,
    uploadDir: path.join(home, 'Upload Directory'),
    base: `http://127.0.0.1:${PORT}`,
    output: () => output,
    async stop() {
      server.kill('SIGTERM');
      const timer = setTimeout(() => server.kill('SIGKILL'), 10000);
      const result = await exited;
      clearTimeout(timer);
      return result;
    },
    cleanUp() {
      fs.rmSync(work, { recursive: true, force: true });
    },
  };
}

/** The site of one test file, from SITE_APP_DIR (the built application): filled in before its tests, stopped after them. */
function serveSite() {
  const site = {};
  before(async () => {
    const built = process.env.SITE_APP_DIR;
    assert.ok(built && fs.existsSync(path.join(built, 'ostrel')), 'SITE_APP_DIR must hold the built program');
    Object.assign(site, await startSite(built));
  });
  after(async () => {
    if (!site.stop) return;
    const { code } = await site.stop();
    site.cleanUp();
    assert.equal(code, 0, 'the program ends with exit code 0 on SIGTERM');
  });
  return site;
}

module.exports = { serveSite, PORT, ARTIFACTS };
