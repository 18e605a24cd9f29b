// browser.js - headless Chromium from Debian, driven by playwright-core, with
// a fresh profile; and reading a QR code off a canvas of the page.
'use strict';
const { chromium } = require('playwright-core');
const jsQR = require('jsqr');

const ARGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];

/** A browser context on a profile of its own; close() ends the browser. options: a phone's viewport, say. */
function openBrowser(profileDir, options = {}) {
  return chromium.launchPersistentContext(profileDir, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ARGS,
    acceptDownloads: true,
    viewport: { width: 1280, height: 800 },
    ...options,
  });
}

/** The text of the QR code drawn on the canvas matched by selector, or null. */
async function decodeCanvas(page, selector) {
  const image = await page.$eval(selector, (canvas) => {
    const pixels = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height);
    return { width: canvas.width, height: canvas.height, data: Array.from(pixels.data) };
  });
  const code = jsQR(Uint8ClampedArray.from(image.data), image.width, image.height);
  return code ? code.data : null;
}

module.exports = { openBrowser, decodeCanvas };
