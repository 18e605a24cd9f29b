#!/usr/bin/env bash
# upload_names.sh - one name uploaded many times through upload.php: the time
# of each upload, the first ones against the last ones. Each upload of a taken
# name must cost about what the first did (a few ordered names, then random
# suffixes), never more with each copy.
# Runs in a network namespace of its own, so port 60001 is never shared.
# Usage: bench/site/upload_names.sh [application dir]   (default build/linux/app)
# Settings: UPLOADS (1000). Target: the median of the last 50 uploads within
# 1.5 times the median of the first 50, and every upload stored.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
built=$(cd "${1:-$repo/build/linux/app}" && pwd)
uploads=${UPLOADS:-1000}

source "$here/app_copy.sh" ostrel-upload-bench
: > "$app/www/dirs.ini"
head -c 65536 /dev/urandom > "$work/photo.jpg"
start_app

# The form's token is bound to the cookie of the page that carries it.
token=$(curl -s -c "$work/jar" http://127.0.0.1:60001/ | sed -n 's/.*name="token" value="\([0-9a-f]*\)".*/\1/p')
for i in $(seq "$uploads"); do
  curl -s -b "$work/jar" -o "$work/reply.json" -w '%{time_total}\n' -F "token=$token" \
    -F "files[]=@$work/photo.jpg" 'http://127.0.0.1:60001/upload.php?format=json' >> "$work/times.txt"
  grep -q '"ok":true' "$work/reply.json" || { echo "upload $i was not stored: $(cat "$work/reply.json")" >&2; exit 1; }
done

median() { sort -g | awk '{ v[NR] = $1 } END { printf "%.1f", v[int((NR + 1) / 2)] * 1000 }'; }
first=$(head -50 "$work/times.txt" | median)
last=$(tail -50 "$work/times.txt" | median)
stored=$(find "$work/home/Upload Directory" -name 'photo*.jpg' | wc -l)
echo "$uploads uploads of photo.jpg (64 KiB), $stored files stored"
echo "upload 1: $(sed -n 1p "$work/times.txt" | median) ms, upload $uploads: $(tail -1 "$work/times.txt" | median) ms"
echo "median of the first 50: $first ms, of the last 50: $last ms"
[ "$stored" = "$uploads" ] && awk -v f="$first" -v l="$last" 'BEGIN { exit !(l <= 1.5 * f) }' \
  && echo "target met" || { echo "TARGET MISSED"; exit 1; }
