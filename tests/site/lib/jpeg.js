// jpeg.js - JPEGs made to lie about their size or to cost their decoder:
// 8-bit grayscale pictures of flat blocks, coded with one-symbol Huffman
// tables (the code "0"), so that the coded data is all zero bytes.
'use strict';
const fs = require('node:fs');
const path = require('node:path');

/** Buffers, byte arrays and hex strings, one after another. */
const bytes = (...parts) => Buffer.concat(parts.map((p) => (typeof p === 'string' ? Buffer.from(p, 'hex') : Buffer.from(p))));
const u16 = (n) => [n >> 8, n & 255];
/** A marker and its data, with the length the data gives. */
const seg = (marker, data) => bytes([0xff, marker, ...u16(data.length + 2)], data);
const frame = (width, height, marker = 0xc0) => seg(marker, [8, ...u16(height), ...u16(width), 1, 1, 0x11, 0]);
const huffman = (kind, symbol) => seg(0xc4, [kind << 4, 1, ...Array(15).fill(0), symbol]);
const scan = (first, last, high = 0) => seg(0xda, [1, 1, 0, first, last, high << 4]);
const SOI = bytes('ffd8');
const EOI = bytes('ffd9');

/**
 * width x height behind a TEM marker, which has no length: a reader that takes
 * its next two bytes (those of the real frame header, FF C0) for one skips
 * 0xFFC0 bytes, into an APP1 segment that holds a 16 x 16 frame header, which
 * the decoder skips whole. rest: what follows the frame.
 */
function lie(width, height, rest) {
  const head = bytes(SOI, 'ff01', frame(width, height));
  const app = Buffer.alloc(65531);
  frame(16, 16).copy(app, 4 + 0xffc0 - (head.length + 4));
  return bytes(head, seg(0xe1, app), rest);
}

/**
 * Progressive, 8192 x 5888 (48 MP): a DC scan, then AC scans of coefficients
 * 1 to 63 whose every 16,384 blocks are one end-of-band run (EOB14, 15 bits).
 */
function progressive(quant, scans, high) {
  const blocks = 1024 * 736;
  const ac = bytes(scan(1, 63, high), Buffer.alloc(Math.ceil(blocks / 16384 * 15 / 8)));
  return bytes(SOI, quant, frame(8192, 5888, 0xc2), huffman(0, 0), huffman(1, 0xe0), scan(0, 0),
    Buffer.alloc(blocks / 8), ...Array(scans).fill(ac), EOI);
}

/**
 * Into dir: lie.jpg, 20,000 x 20,000 (1.6 GB decoded) as above; scans.jpg,
 * 5,000 first scans (0.6 MB, some 25 s of decoding); slow.jpg, 480 refinement
 * scans (0.14 MB), each of which visits all 63 coefficients of every block:
 * some 15 s of decoding.
 */
function writeBombs(dir) {
  const quant = seg(0xdb, [0, ...Array(64).fill(1)]);
  // Each block coded in two bits: DC difference 0, end of block.
  const blocks = Buffer.alloc(2500 * 2500 / 4);
  fs.writeFileSync(path.join(dir, 'lie.jpg'), lie(20000, 20000, bytes(quant, huffman(0, 0), huffman(1, 0), scan(0, 63), blocks, EOI)));
  fs.writeFileSync(path.join(dir, 'scans.jpg'), progressive(quant, 5000, 0));
  fs.writeFileSync(path.join(dir, 'slow.jpg'), progressive(quant, 480, 1));
}

module.exports = { bytes, seg, frame, huffman, scan, lie, SOI, EOI, writeBombs };
