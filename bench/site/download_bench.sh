#!/usr/bin/env bash
# download_bench.sh - a 1 GiB file downloaded through the site's file.php and
# the same file served statically by the program: the interpreter's peak
# memory (resident set, from GNU time around php-cgi) and both speeds; then
# the folder as a zip through zip.php.
# Runs in a network namespace of its own, so port 60001 is never shared.
# Usage: bench/site/download_bench.sh [application dir]   (default build/linux/app)
# Targets: peak memory under 32 MiB, file.php at least half the static speed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
built=$(cd "${1:-$repo/build/linux/app}" && pwd)
rounds=${ROUNDS:-5}
size_mib=${SIZE_MIB:-1024}

source "$here/app_copy.sh" ostrel-site-bench
mkdir -p "$work/share"
printf '%s\r\n' "$work/share" > "$app/www/dirs.ini"
head -c "$((size_mib * 1024 * 1024))" /dev/urandom > "$work/share/big.bin"
ln "$work/share/big.bin" "$app/www/big.bin"   # the same bytes for the static reply
cat "$work/share/big.bin" > /dev/null          # both runs read from the page cache

# php-cgi wrapped in GNU time: its maximum resident set size, per run.
real_php=$(readlink -f "$app/php/php-cgi")
rm "$app/php/php-cgi"
cat > "$app/php/php-cgi" <<EOF
#!/bin/sh
exec /usr/bin/time -f %M -a -o "$work/php-rss.txt" "$real_php" "\$@"
EOF
chmod +x "$app/php/php-cgi"

# time writes its line once php-cgi has ended, which may be after the reply's
# last byte: wait (a few seconds at most) for the lines of the runs so far.
await_rss() {
  for _ in $(seq 50); do
    [ "$(cat "$work/php-rss.txt" 2>/dev/null | wc -l)" -ge "$1" ] && return
    sleep 0.1
  done
}

start_app
# The program's own check of the interpreter at its start is no download.
await_rss 1
: > "$work/php-rss.txt"

fetch() {  # url -> "bytes seconds bytes_per_second"
  curl -s -o /dev/null --max-time 300 -w '%{size_download} %{time_total} %{speed_download}\n' "$1"
}

expected=$((size_mib * 1024 * 1024))
best_static=0 best_php=0
printf '%-8s %-10s %12s %10s %12s\n' round reply bytes seconds MiB/s
for round in $(seq "$rounds"); do
  for kind in static php; do
    if [ "$kind" = static ]; then url=http://127.0.0.1:60001/big.bin
    else url='http://127.0.0.1:60001/file.php?d=0&p=big.bin'; fi
    read -r bytes secs speed < <(fetch "$url")
    if [ "$bytes" != "$expected" ]; then
      echo "$kind: got $bytes bytes instead of $expected" >&2
      exit 1
    fi
    mibs=$(awk -v s="$speed" 'BEGIN { printf "%.1f", s / 1048576 }')
    printf '%-8s %-10s %12s %10s %12s\n' "$round" "$kind" "$bytes" "$secs" "$mibs"
    echo "$speed" >> "$work/speeds-$kind.txt"
    if [ "$kind" = static ]; then best_static=$(awk -v a="$best_static" -v b="$speed" 'BEGIN { print (b > a ? b : a) }')
    else best_php=$(awk -v a="$best_php" -v b="$speed" 'BEGIN { print (b > a ? b : a) }'); fi
  done
done

await_rss "$rounds"
peak_kib=$(sort -n "$work/php-rss.txt" | tail -1)

# The same folder as one zip: every byte is read twice (checksum, then data).
: > "$work/php-rss.txt"
read -r zip_bytes zip_secs zip_speed < <(fetch 'http://127.0.0.1:60001/zip.php?d=0')
await_rss 1
zip_peak_kib=$(sort -n "$work/php-rss.txt" | tail -1)
ratio=$(awk -v p="$best_php" -v s="$best_static" 'BEGIN { printf "%.2f", p / s }')
echo
echo "php-cgi peak resident memory: $((peak_kib / 1024)) MiB ($peak_kib KiB) over $rounds downloads (target < 32 MiB)"
echo "best speed: static $(awk -v s="$best_static" 'BEGIN { printf "%.1f", s / 1048576 }') MiB/s," \
     "file.php $(awk -v s="$best_php" 'BEGIN { printf "%.1f", s / 1048576 }') MiB/s, ratio $ratio (target >= 0.50)"
median() { sort -g "$1" | awk '{ v[NR] = $1 } END { printf "%.1f", v[int((NR + 1) / 2)] / 1048576 }'; }
echo "median speed: static $(median "$work/speeds-static.txt") MiB/s, file.php $(median "$work/speeds-php.txt") MiB/s"
echo "zip of the folder: $zip_bytes bytes in $zip_secs s" \
     "($(awk -v s="$zip_speed" 'BEGIN { printf "%.1f", s / 1048576 }') MiB/s), php-cgi peak $((zip_peak_kib / 1024)) MiB"
ok=1
[ "$peak_kib" -lt $((32 * 1024)) ] || ok=0
awk -v r="$ratio" 'BEGIN { exit !(r >= 0.5) }' || ok=0
[ "$ok" = 1 ] && echo "both targets met" || { echo "TARGET MISSED"; exit 1; }
