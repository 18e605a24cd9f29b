#!/usr/bin/env bash
# upload_pieces.sh - one big file uploaded over loopback, side by side in one
# run: whole in one request through upload.php (the form's way), and in
# pieces through upload_piece.php (the page's way), at the piece sizes the
# page uses (64 MiB on a fast link, the most it sends; 4 MiB, its first).
# Rounds alternate the ways, so the machine's moods fall on each alike; the
# median of each way counts. Every upload is checked byte for byte.
# Runs in a network namespace of its own, so port 60001 is never shared.
# Usage: bench/site/upload_pieces.sh [application dir]   (default build/linux/app)
# Settings: SIZE_MIB (1024), ROUNDS (3). Target: the pieces of 64 MiB at no
# less than 0.8 times the single request's speed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
built=$(cd "${1:-$repo/build/linux/app}" && pwd)
size_mib=${SIZE_MIB:-1024}
rounds=${ROUNDS:-3}

source "$here/app_copy.sh" ostrel-pieces-bench
: > "$app/www/dirs.ini"
start_app
base=http://127.0.0.1:60001
uploads="$work/home/Upload Directory"

big=$work/big.bin
head -c $((size_mib * 1048576)) /dev/urandom > "$big"
bytes=$(stat -c %s "$big")
for mib in 64 4; do
  mkdir "$work/pieces-$mib"
  split -b ${mib}M -a 4 -d "$big" "$work/pieces-$mib/"
done
token=$(curl -s -c "$work/jar" $base/ | sed -n 's/.*name="token" value="\([0-9a-f]*\)".*/\1/p')

# Prints the seconds one upload took, after checking what was stored.
single() {
  local start end
  start=$(date +%s.%N)
  curl -s -b "$work/jar" -o "$work/reply.json" -F "token=$token" -F "files[]=@$big;filename=single.bin" \
    "$base/upload.php?format=json"
  end=$(date +%s.%N)
  grep -q '"ok":true' "$work/reply.json" || { echo "the single upload failed: $(cat "$work/reply.json")" >&2; exit 1; }
  stored "single.bin"
  echo "$end - $start" | bc
}

# The pieces in order, each one request, as the page sends them.
pieces() {
  local mib=$1 start end offset=0 piece name="pieces-$1.bin"
  start=$(date +%s.%N)
  for piece in "$work/pieces-$mib"/*; do
    curl -s -b "$work/jar" -o "$work/reply.json" -H "X-Upload-Token: $token" -H 'Expect:' -X POST -T "$piece" \
      "$base/upload_piece.php?name=$name&size=$bytes&modified=1&offset=$offset"
    offset=$((offset + $(stat -c %s "$piece")))
  done
  end=$(date +%s.%N)
  grep -q '"done":true' "$work/reply.json" || { echo "the pieces failed: $(cat "$work/reply.json")" >&2; exit 1; }
  stored "$name"
  echo "$end - $start" | bc
}

stored() {
  cmp -s "$big" "$uploads/$1" || { echo "$1 was not stored byte for byte" >&2; exit 1; }
  rm -f "$uploads/$1"
}

for round in $(seq "$rounds"); do
  echo "$(single)" >> "$work/single.txt"
  echo "$(pieces 64)" >> "$work/p64.txt"
  echo "$(pieces 4)" >> "$work/p4.txt"
done

median() { sort -g "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
speed() { awk -v b="$bytes" -v s="$1" 'BEGIN { printf "%.0f", b / s / 1e6 }'; }
s=$(median "$work/single.txt"); p64=$(median "$work/p64.txt"); p4=$(median "$work/p4.txt")
echo "$size_mib MiB over loopback, median of $rounds rounds:"
printf '  %-34s %6.2f s  %5s MB/s\n' "one request (upload.php)" "$s" "$(speed "$s")" \
  "pieces of 64 MiB (upload_piece.php)" "$p64" "$(speed "$p64")" \
  "pieces of 4 MiB (upload_piece.php)" "$p4" "$(speed "$p4")"
ratio=$(awk -v s="$s" -v p="$p64" 'BEGIN { printf "%.2f", s / p }')
echo "ratio, pieces of 64 MiB to one request: $ratio"
awk -v r="$ratio" 'BEGIN { exit !(r >= 0.8) }' && echo "target met" || { echo "TARGET MISSED"; exit 1; }
