// big_folder.js - opens listing pages in Chromium as a phone would (390 x 844,
// touch, a fresh cache each time) and prints, per page, the median time to
// the first rows on screen, to the load event, and the bytes that came over
// the wire. Run by big_folder_bench.sh, which starts the server.
// Usage: node big_folder.js <rounds> <name>=<url>...
'use strict';
const { chromium } = require('playwright-core');

// The first row's name is marked for the browser's element timing as soon as
// the parser inserts it: its render time is when the first rows were painted.
function markFirstRow() {
  new MutationObserver((changes, observer) => {
    const name = document.querySelector('#entries tbody tr a.name, #entries tbody tr .name');
    if (!name) return;
    name.setAttribute('elementtiming', 'first-row');
    observer.disconnect();
  }).observe(document, { childList: true, subtree: true });
}

async function measure(browser, url) {
  const context = await browser.newContext({
    viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true,
  });
  const page = await context.newPage();
  await page.addInitScript(markFirstRow);
  const cdp = await context.newCDPSession(page);
  await cdp.send('Network.enable');
  let bytes = 0;
  cdp.on('Network.loadingFinished', (e) => { bytes += e.encodedDataLength; });
  await page.goto(url, { waitUntil: 'load' });
  const times = await page.evaluate(() => new Promise((resolve) => {
    const load = performance.getEntriesByType('navigation')[0].loadEventStart;
    new PerformanceObserver((list) => {
      const row = list.getEntries().find((e) => e.identifier === 'first-row');
      if (row) resolve({ rows: row.renderTime || row.loadTime, load });
    }).observe({ type: 'element', buffered: true });
    setTimeout(() => resolve({ rows: NaN, load }), 5000);
  }));
  // Anything still arriving after the load event counts too.
  await page.waitForTimeout(300);
  await context.close();
  return { ...times, bytes };
}

const median = (values) => values.slice().sort((a, b) => a - b)[Math.floor((values.length - 1) / 2)];

(async () => {
  const [rounds, ...pages] = process.argv.slice(2);
  const browser = await chromium.launch({
    executablePath: '/usr/bin/chromium', args: ['--no-sandbox', '--disable-gpu', '--disable-quic'],
  });
  const results = {};
  for (const spec of pages) results[spec.split('=')[0]] = [];
  // Round by round, so that outside load falls on every page alike.
  for (let round = 0; round < Number(rounds); round++) {
    for (const spec of pages) {
      const [name, url] = [spec.slice(0, spec.indexOf('=')), spec.slice(spec.indexOf('=') + 1)];
      results[name].push(await measure(browser, url));
    }
  }
  await browser.close();
  const out = {};
  for (const [name, runs] of Object.entries(results)) {
    out[name] = { rows: median(runs.map((r) => r.rows)), load: median(runs.map((r) => r.load)),
      bytes: median(runs.map((r) => r.bytes)), runs };
  }
  process.stdout.write(JSON.stringify(out) + '\n');
})().catch((e) => {
  console.error(e);
  process.exit(1);
});
