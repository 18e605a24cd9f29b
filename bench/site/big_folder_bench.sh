#!/usr/bin/env bash
# big_folder_bench.sh - a shared folder of 100 files and one of 10,000 opened
# in Chromium as on a phone (390 x 844, touch, nothing cached): the median time
# to the first rows on screen and to the load event, and the bytes sent.
# Runs in a network namespace of its own, so port 60001 is never shared.
# Usage: bench/site/big_folder_bench.sh [application dir]   (default build/linux/app)
# Targets: the 10,000-file folder within 3 times the 100-file folder's times,
# and at most 1 MB (10^6 bytes) over the wire.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
built=$(cd "${1:-$repo/build/linux/app}" && pwd)
rounds=${ROUNDS:-5}

if [ "${OSTREL_BENCH_INSIDE:-}" != 1 ]; then
  # Chromium is driven by the site tests' pinned playwright-core.
  modules=${SITE_TEST_MODULES:-$repo/build/linux/site-tests}
  if ! cmp -s "$repo/tests/site/package-lock.json" "$modules/package-lock.json" || [ ! -d "$modules/node_modules" ]; then
    mkdir -p "$modules"
    cp "$repo/tests/site/package.json" "$repo/tests/site/package-lock.json" "$modules/"
    (cd "$modules" && npm ci --no-audit --no-fund --loglevel=error)
  fi
  export NODE_PATH=$modules/node_modules
fi
source "$here/app_copy.sh" ostrel-big-folder
# Documents, songs and archives of assorted sizes (no pictures: their
# thumbnails are another matter), named as a phone or a scanner names them.
node -e '
  const fs = require("fs");
  const kinds = ["pdf", "txt", "mp3", "docx", "zip", "mp4"];
  for (const [dir, count] of [[process.argv[1], 100], [process.argv[2], 10000]]) {
    fs.mkdirSync(dir, { recursive: true });
    for (let i = 1; i <= count; i++) {
      const file = `${dir}/Document ${String(i).padStart(5, "0")}.${kinds[i % kinds.length]}`;
      fs.writeFileSync(file, "");
      fs.truncateSync(file, (i * 7919) % 5000000);
    }
  }' "$work/share/100" "$work/share/10000"
printf '%s\r\n' "$work/share/100" "$work/share/10000" > "$app/www/dirs.ini"

start_app

base=http://127.0.0.1:60001
node "$here/big_folder.js" "$rounds" "100=$base/?d=0" "10000=$base/?d=1" > "$work/results.json"
plain=$(curl -s -o /dev/null -w '%{size_download}' "$base/?d=1")
packed=$(curl -s -o /dev/null -w '%{size_download}' -H 'Accept-Encoding: gzip' "$base/?d=1")

node -e '
  const r = JSON.parse(require("fs").readFileSync(process.argv[1], "utf8"));
  const [small, big] = [r["100"], r["10000"]];
  const row = (name, x) => console.log(name.padEnd(14) + x.rows.toFixed(0).padStart(16) + x.load.toFixed(0).padStart(16)
    + (x.bytes / 1000).toFixed(1).padStart(18));
  console.log("folder".padEnd(14) + "first rows ms".padStart(16) + "load event ms".padStart(16) + "transferred kB".padStart(18));
  row("100 files", small);
  row("10,000 files", big);
  const rows = big.rows / small.rows, load = big.load / small.load;
  console.log(`\n10,000 / 100: first rows ${rows.toFixed(2)}x, load event ${load.toFixed(2)}x (target <= 3);` +
    ` 10,000 files: ${(big.bytes / 1e6).toFixed(3)} MB over the wire (target <= 1 MB); medians of ${small.runs.length}`);
  console.log(`the 10,000-file page itself: ${process.argv[2]} bytes, ${process.argv[3]} bytes gzip-compressed`);
  const ok = rows <= 3 && load <= 3 && big.bytes <= 1e6;
  console.log(ok ? "all targets met" : "TARGET MISSED");
  process.exit(ok ? 0 : 1);
' "$work/results.json" "$plain" "$packed"
