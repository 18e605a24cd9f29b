// qr.test.js - the page's own QR encoder, read back by an independent decoder
// at every size an address can have, up to the largest code there is.
'use strict';
const { describe, it } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const jsQR = require('jsqr');
const qr = require(path.join(__dirname, '..', '..', 'www', 'assets', 'qr.js'));

function decode(text) {
  const code = qr.encode(text);
  assert.ok(code, `no code for ${text.length} bytes`);
  const scale = 3;
  const quiet = 4;
  const side = (code.size + quiet * 2) * scale;
  const pixels = new Uint8ClampedArray(side * side * 4).fill(255);
  for (let y = 0; y < code.size; y++) {
    for (let x = 0; x < code.size; x++) {
      if (!code.dark(x, y)) continue;
      for (let dy = 0; dy < scale; dy++) {
        for (let dx = 0; dx < scale; dx++) {
          const k = (((y + quiet) * scale + dy) * side + (x + quiet) * scale + dx) * 4;
          pixels[k] = pixels[k + 1] = pixels[k + 2] = 0;
        }
      }
    }
  }
  const result = jsQR(pixels, side, side);
  return { version: code.version, text: result && result.data };
}

describe('QR encoder', () => {
  it('makes codes that read back, from version 1 to 40', () => {
    const seen = new Set();
    const filler = 'abcdefghijklmnopqrstuvwxyz0123456789'.repeat(70);
    for (const length of [1, 9, 14, 20, 40, 60, 100, 150, 200, 300, 400, 550, 700, 900, 1100, 1400, 1700, 2000, 2331]) {
      const text = filler.slice(0, length);
      const { version, text: read } = decode(text);
      assert.equal(read, text, `${text.length} bytes, version ${version}`);
      seen.add(version);
    }
    assert.ok(seen.has(1) && seen.has(40) && seen.size >= 15, [...seen].join(','));
  });

  it('carries non-ASCII text as UTF-8', () => {
    const text = 'http://10.0.0.2:60001/?d=0&p=Fotos%20%C3%BC/日本語 ✓';
    assert.equal(decode(text).text, text);
  });

  it('says no to text longer than the largest code holds', () => {
    assert.equal(qr.encode('x'.repeat(2332)), null);
    assert.ok(qr.encode('x'.repeat(2331)));
  });
});
