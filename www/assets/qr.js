// qr.js - a small QR code encoder (byte mode, error correction level M,
// versions 1 to 40) and a canvas painter, so the page can show its own address
// without any outside library.
(function (root) {
  'use strict';

  // Error correction codewords per block and number of blocks, level M, by version.
  const ECC_PER_BLOCK = [0, 10, 16, 26, 18, 24, 16, 18, 22, 22, 26, 30, 22, 22, 24, 24, 28, 28, 26, 26,
    26, 26, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28];
  const NUM_BLOCKS = [0, 1, 1, 1, 2, 2, 4, 4, 4, 5, 5, 5, 8, 9, 9, 10, 10, 11, 13, 14, 16, 17, 17,
    18, 20, 21, 23, 25, 26, 28, 29, 31, 33, 35, 37, 38, 40, 43, 45, 47, 49];
  const FORMAT_LEVEL_M = 0;

  function rawDataModules(ver) {
    let result = (16 * ver + 128) * ver + 64;
    if (ver >= 2) {
      const numAlign = Math.floor(ver / 7) + 2;
      result -= (25 * numAlign - 10) * numAlign - 55;
      if (ver >= 7) result -= 36;
    }
    return result;
  }

  function dataCodewords(ver) {
    return Math.floor(rawDataModules(ver) / 8) - ECC_PER_BLOCK[ver] * NUM_BLOCKS[ver];
  }

  // Multiplication in GF(256) modulo x^8 + x^4 + x^3 + x^2 + 1.
  function gfMul(x, y) {
    let z = 0;
    for (let i = 7; i >= 0; i--) {
      z = (z << 1) ^ ((z >>> 7) * 0x11d);
      z ^= ((y >>> i) & 1) * x;
    }
    return z & 0xff;
  }

  function rsDivisor(degree) {
    const result = new Array(degree).fill(0);
    result[degree - 1] = 1;
    let rootVal = 1;
    for (let i = 0; i < degree; i++) {
      for (let j = 0; j < degree; j++) {
        result[j] = gfMul(result[j], rootVal);
        if (j + 1 < degree) result[j] ^= result[j + 1];
      }
      rootVal = gfMul(rootVal, 0x02);
    }
    return result;
  }

  function rsRemainder(data, divisor) {
    const result = new Array(divisor.length).fill(0);
    for (const b of data) {
      const factor = b ^ result.shift();
      result.push(0);
      divisor.forEach((coef, i) => { result[i] ^= gfMul(coef, factor); });
    }
    return result;
  }

  function utf8Bytes(text) {
    return Array.from(new TextEncoder().encode(text));
  }

  // The data codewords: mode, count, bytes, terminator and padding.
  function dataBits(bytes, ver) {
    const bits = [];
    const push = (value, len) => { for (let i = len - 1; i >= 0; i--) bits.push((value >>> i) & 1); };
    push(0x4, 4);
    push(bytes.length, ver <= 9 ? 8 : 16);
    bytes.forEach((b) => push(b, 8));
    const capacity = dataCodewords(ver) * 8;
    push(0, Math.min(4, capacity - bits.length));
    push(0, (8 - bits.length % 8) % 8);
    for (let pad = 0xec; bits.length < capacity; pad ^= 0xec ^ 0x11) push(pad, 8);
    const words = [];
    for (let i = 0; i < bits.length; i += 8) {
      words.push(bits.slice(i, i + 8).reduce((acc, bit) => (acc << 1) | bit, 0));
    }
    return words;
  }

  function withErrorCorrection(data, ver) {
    const numBlocks = NUM_BLOCKS[ver];
    const eccLen = ECC_PER_BLOCK[ver];
    const rawCodewords = Math.floor(rawDataModules(ver) / 8);
    const numShort = numBlocks - rawCodewords % numBlocks;
    const shortLen = Math.floor(rawCodewords / numBlocks);
    const divisor = rsDivisor(eccLen);
    const blocks = [];
    for (let i = 0, k = 0; i < numBlocks; i++) {
      const dat = data.slice(k, k + shortLen - eccLen + (i < numShort ? 0 : 1));
      k += dat.length;
      const ecc = rsRemainder(dat, divisor);
      if (i < numShort) dat.push(0);
      blocks.push(dat.concat(ecc));
    }
    const result = [];
    for (let i = 0; i < blocks[0].length; i++) {
      blocks.forEach((block, j) => {
        if (i !== shortLen - eccLen || j >= numShort) result.push(block[i]);
      });
    }
    return result;
  }

  function alignmentPositions(ver, size) {
    if (ver === 1) return [];
    const numAlign = Math.floor(ver / 7) + 2;
    const step = ver === 32 ? 26 : Math.ceil((ver * 4 + 4) / (numAlign * 2 - 2)) * 2;
    const result = [6];
    for (let pos = size - 7; result.length < numAlign; pos -= step) result.splice(1, 0, pos);
    return result;
  }

  class Matrix {
    constructor(ver) {
      this.ver = ver;
      this.size = ver * 4 + 17;
      this.dark = new Uint8Array(this.size * this.size);
      this.fixed = new Uint8Array(this.size * this.size);
    }

    get(x, y) { return this.dark[y * this.size + x] === 1; }

    setFixed(x, y, isDark) {
      this.dark[y * this.size + x] = isDark ? 1 : 0;
      this.fixed[y * this.size + x] = 1;
    }

    drawFunctionPatterns() {
      const size = this.size;
      for (let i = 0; i < size; i++) {
        this.setFixed(6, i, i % 2 === 0);
        this.setFixed(i, 6, i % 2 === 0);
      }
      this.drawFinder(3, 3);
      this.drawFinder(size - 4, 3);
      this.drawFinder(3, size - 4);
      const pos = alignmentPositions(this.ver, size);
      const n = pos.length;
      for (let i = 0; i < n; i++) {
        for (let j = 0; j < n; j++) {
          const overlapsFinder = (i === 0 && j === 0) || (i === 0 && j === n - 1) || (i === n - 1 && j === 0);
          if (!overlapsFinder) this.drawAlignment(pos[i], pos[j]);
        }
      }
      this.drawFormat(0);
      this.drawVersion();
    }

    drawFinder(x, y) {
      for (let dy = -4; dy <= 4; dy++) {
        for (let dx = -4; dx <= 4; dx++) {
          const dist = Math.max(Math.abs(dx), Math.abs(dy));
          const xx = x + dx;
          const yy = y + dy;
          if (xx >= 0 && xx < this.size && yy >= 0 && yy < this.size) this.setFixed(xx, yy, dist !== 2 && dist !== 4);
        }
      }
    }

    drawAlignment(x, y) {
      for (let dy = -2; dy <= 2; dy++) {
        for (let dx = -2; dx <= 2; dx++) this.setFixed(x + dx, y + dy, Math.max(Math.abs(dx), Math.abs(dy)) !== 1);
      }
    }

    drawFormat(mask) {
      const data = (FORMAT_LEVEL_M << 3) | mask;
      let rem = data;
      for (let i = 0; i < 10; i++) rem = (rem << 1) ^ ((rem >>> 9) * 0x537);
      const bits = ((data << 10) | rem) ^ 0x5412;
      const bit = (i) => ((bits >>> i) & 1) !== 0;
      const size = this.size;
      for (let i = 0; i <= 5; i++) this.setFixed(8, i, bit(i));
      this.setFixed(8, 7, bit(6));
      this.setFixed(8, 8, bit(7));
      this.setFixed(7, 8, bit(8));
      for (let i = 9; i < 15; i++) this.setFixed(14 - i, 8, bit(i));
      for (let i = 0; i < 8; i++) this.setFixed(size - 1 - i, 8, bit(i));
      for (let i = 8; i < 15; i++) this.setFixed(8, size - 15 + i, bit(i));
      this.setFixed(8, size - 8, true);
    }

    drawVersion() {
      if (this.ver < 7) return;
      let rem = this.ver;
      for (let i = 0; i < 12; i++) rem = (rem << 1) ^ ((rem >>> 11) * 0x1f25);
      const bits = (this.ver << 12) | rem;
      for (let i = 0; i < 18; i++) {
        const isDark = ((bits >>> i) & 1) !== 0;
        const a = this.size - 11 + (i % 3);
        const b = Math.floor(i / 3);
        this.setFixed(a, b, isDark);
        this.setFixed(b, a, isDark);
      }
    }

    drawCodewords(words) {
      const size = this.size;
      let i = 0;
      for (let right = size - 1; right >= 1; right -= 2) {
        if (right === 6) right = 5;
        for (let vert = 0; vert < size; vert++) {
          for (let j = 0; j < 2; j++) {
            const x = right - j;
            const upward = ((right + 1) & 2) === 0;
            const y = upward ? size - 1 - vert : vert;
            if (!this.fixed[y * size + x] && i < words.length * 8) {
              this.dark[y * size + x] = (words[i >>> 3] >>> (7 - (i & 7))) & 1;
              i++;
            }
          }
        }
      }
    }

    applyMask(mask) {
      const tests = [
        (x, y) => (x + y) % 2 === 0,
        (x, y) => y % 2 === 0,
        (x) => x % 3 === 0,
        (x, y) => (x + y) % 3 === 0,
        (x, y) => (Math.floor(x / 3) + Math.floor(y / 2)) % 2 === 0,
        (x, y) => (x * y) % 2 + (x * y) % 3 === 0,
        (x, y) => ((x * y) % 2 + (x * y) % 3) % 2 === 0,
        (x, y) => ((x + y) % 2 + (x * y) % 3) % 2 === 0,
      ];
      const test = tests[mask];
      for (let y = 0; y < this.size; y++) {
        for (let x = 0; x < this.size; x++) {
          const k = y * this.size + x;
          if (!this.fixed[k] && test(x, y)) this.dark[k] ^= 1;
        }
      }
    }

    // The standard's penalty: long runs, 2x2 blocks, finder look-alikes and an
    // uneven share of dark modules all make a code harder to read.
    penalty() {
      const size = this.size;
      let score = 0;
      const lineScore = (at) => {
        let run = 1;
        let s = 0;
        let bits = 0;
        for (let i = 0; i < size; i++) {
          const v = at(i);
          if (i > 0 && v === at(i - 1)) {
            run++;
            if (run === 5) s += 3;
            else if (run > 5) s += 1;
          } else {
            run = 1;
          }
          bits = ((bits << 1) | v) & 0x7ff;
          if (i >= 10 && (bits === 0x5d0 || bits === 0x05d)) s += 40;
        }
        return s;
      };
      for (let y = 0; y < size; y++) score += lineScore((x) => this.dark[y * size + x]);
      for (let x = 0; x < size; x++) score += lineScore((y) => this.dark[y * size + x]);
      let darkCount = 0;
      for (let y = 0; y < size; y++) {
        for (let x = 0; x < size; x++) {
          const v = this.dark[y * size + x];
          darkCount += v;
          if (x < size - 1 && y < size - 1 && v === this.dark[y * size + x + 1] &&
              v === this.dark[(y + 1) * size + x] && v === this.dark[(y + 1) * size + x + 1]) score += 3;
        }
      }
      const total = size * size;
      score += Math.floor(Math.abs(darkCount * 20 - total * 10) / total) * 10;
      return score;
    }
  }

  /** Encodes text; returns {size, dark(x, y)} or null when it is too long for any version. */
  function encode(text) {
    const bytes = utf8Bytes(text);
    let ver = 1;
    while (ver <= 40 && 4 + (ver <= 9 ? 8 : 16) + bytes.length * 8 > dataCodewords(ver) * 8) ver++;
    if (ver > 40) return null;
    const words = withErrorCorrection(dataBits(bytes, ver), ver);
    let best = null;
    let bestScore = Infinity;
    for (let mask = 0; mask < 8; mask++) {
      const m = new Matrix(ver);
      m.drawFunctionPatterns();
      m.drawCodewords(words);
      m.applyMask(mask);
      m.drawFormat(mask);
      const score = m.penalty();
      if (score < bestScore) {
        best = m;
        bestScore = score;
      }
    }
    return { size: best.size, version: ver, dark: (x, y) => best.get(x, y) };
  }

  /** Paints the code on a canvas with a quiet zone of four modules. */
  function draw(canvas, text, pixelsPerModule) {
    const code = encode(text);
    if (!code) return false;
    const scale = pixelsPerModule || 4;
    const quiet = 4;
    const side = (code.size + quiet * 2) * scale;
    canvas.width = side;
    canvas.height = side;
    const ctx = canvas.getContext('2d');
    ctx.fillStyle = '#fff';
    ctx.fillRect(0, 0, side, side);
    ctx.fillStyle = '#000';
    for (let y = 0; y < code.size; y++) {
      for (let x = 0; x < code.size; x++) {
        if (code.dark(x, y)) ctx.fillRect((x + quiet) * scale, (y + quiet) * scale, scale, scale);
      }
    }
    return true;
  }

  const api = { encode, draw };
  if (typeof module !== 'undefined' && module.exports) module.exports = api;
  else root.OstrelQr = api;
})(this);
