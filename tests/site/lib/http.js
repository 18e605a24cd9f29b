// http.js - raw HTTP over one socket: the exact request bytes go out (no
// client tidies a "../" away), and the reply is read until the server closes.
// Every request accepts gzip, as browsers do; a compressed body is unpacked
// (body), the bytes as sent stay in wire.
'use strict';
const net = require('node:net');
const zlib = require('node:zlib');
const { PORT } = require('./fixture');

function parse(raw) {
  const end = raw.indexOf('\r\n\r\n');
  if (end < 0) return { status: 0, headers: {}, body: raw, raw };
  const lines = raw.subarray(0, end).toString('latin1').split('\r\n');
  const status = Number((lines[0].match(/^HTTP\/1\.[01] (\d{3})/) || [])[1] || 0);
  const headers = {};
  for (const line of lines.slice(1)) {
    const colon = line.indexOf(':');
    if (colon > 0) headers[line.slice(0, colon).trim().toLowerCase()] = line.slice(colon + 1).trim();
  }
  const wire = raw.subarray(end + 4);
  const body = headers['content-encoding'] === 'gzip' ? zlib.gunzipSync(wire) : wire;
  return { status, statusLine: lines[0], headers, body, wire, raw };
}

/**
 * Sends method and target as given; body is a Buffer or string; headers may
 * replace Host. from: the local address to connect from (127.0.0.2 is a
 * visitor; 127.0.0.1, the default, is the host). onFirstData runs once, with
 * reading paused, when the first bytes of the reply arrive. Times out after timeoutMs.
 */
function request(target, { method = 'GET', headers = {}, body = null, timeoutMs = 60000, onFirstData = null,
  from = '127.0.0.1' } = {}) {
  return new Promise((resolve, reject) => {
    const socket = net.connect({ port: PORT, host: '127.0.0.1', localAddress: from });
    const chunks = [];
    const timer = setTimeout(() => {
      socket.destroy();
      reject(new Error(`no full reply to ${method} ${target} in ${timeoutMs} ms`));
    }, timeoutMs);
    socket.on('data', (d) => {
      chunks.push(d);
      if (!onFirstData) return;
      const first = onFirstData;
      onFirstData = null;
      socket.pause();
      Promise.resolve().then(first).then(() => socket.resume(), (e) => {
        clearTimeout(timer);
        socket.destroy();
        reject(e);
      });
    });
    socket.on('error', (e) => {
      clearTimeout(timer);
      reject(e);
    });
    socket.on('end', () => {
      clearTimeout(timer);
      resolve(parse(Buffer.concat(chunks)));
    });
    let head = `${method} ${target} HTTP/1.1\r\n`;
    const all = {
      Host: `127.0.0.1:${PORT}`, 'User-Agent': 'site-test', Accept: '*/*', 'Accept-Encoding': 'gzip', ...headers,
    };
    if (body !== null) all['Content-Length'] = Buffer.byteLength(body);
    for (const [name, value] of Object.entries(all)) head += `${name}: ${value}\r\n`;
    socket.write(head + '\r\n');
    if (body !== null) socket.write(body);
  });
}

/** A multipart/form-data body with text fields and files ({name, filename, content}). */
function multipart(fields, files) {
  const boundary = '----site-test-' + Math.random().toString(16).slice(2);
  const parts = [];
  for (const [name, value] of Object.entries(fields)) {
    parts.push(Buffer.from(`--${boundary}\r\nContent-Disposition: form-data; name="${name}"\r\n\r\n${value}\r\n`));
  }
  for (const file of files) {
    parts.push(Buffer.from(`--${boundary}\r\nContent-Disposition: form-data; name="${file.name}"; ` +
      `filename="${file.filename}"\r\nContent-Type: application/octet-stream\r\n\r\n`));
    parts.push(Buffer.from(file.content));
    parts.push(Buffer.from('\r\n'));
  }
  parts.push(Buffer.from(`--${boundary}--\r\n`));
  return { body: Buffer.concat(parts), type: `multipart/form-data; boundary=${boundary}` };
}

/** The upload form's token and the cookie it is bound to, as a visitor's browser at from holds them. */
async function visit(from) {
  const reply = await request('/', { from });
  const token = reply.body.toString().match(/name="token" value="([^"]+)"/);
  if (!token) throw new Error('the page carries no upload token');
  return { token: token[1], cookie: (reply.headers['set-cookie'] || '').split(';')[0], from };
}

module.exports = { request, multipart, visit };
