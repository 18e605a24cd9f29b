#!/usr/bin/env bash
# Start while another process listens on port 60001: that process is ended and
# the server binds on its next attempt.
set -u
program=$1
here=$(dirname "$0")
. "$here/lib.sh"
ip link set lo up 2>/dev/null

work=$(mktemp -d /tmp/ostrel-freeport.XXXXXX)
trap 'kill $holder $pid 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
for n in first second; do
  make_app "$work/$n" "$program"
  printf '%s' "$n" > "$work/$n/www/index.html"
done
# Each copy keeps its single-copy lock in a folder of its own.
mkdir -p "$work/run1" "$work/run2"
XDG_RUNTIME_DIR="$work/run1" "$work/first/ostrel" > "$work/first.out" 2>&1 &
holder=$!
wait_port 60001 || { fail "first server did not start"; finish; exit 1; }
check "the first copy serves" "first" "$(curl -s http://127.0.0.1:60001/)"

XDG_RUNTIME_DIR="$work/run2" "$work/second/ostrel" > "$work/second.out" 2>&1 &
pid=$!
for _ in $(seq 100); do grep -q '^Status:' "$work/second.out" && break; sleep 0.1; done
check "the second copy started" "Status: started" "$(grep '^Status:' "$work/second.out")"
for _ in $(seq 50); do kill -0 $holder 2>/dev/null || break; sleep 0.1; done
kill -0 $holder 2>/dev/null && fail "the listening process still runs" || ok "the listening process was ended"
check "the second copy serves" "second" "$(curl -s http://127.0.0.1:60001/)"
kill -TERM $pid; wait $pid; rc=$?
check "exit code 0 on SIGTERM" 0 "$rc"
finish
