#!/usr/bin/env bash
# run.sh - the server benchmark: runs the program, nginx, lighttpd and a
# trivial thread-per-connection C server on one prepared site, on loopback
# ports, and prints each figure with its ratio to theirs and the targets.
# Usage: bench/run.sh [path/to/ostrel]   (default: build/bench-linux/app/ostrel)
set -uo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO=$(dirname "$HERE")
OURS_BIN=${1:-$REPO/build/bench-linux/app/ostrel}
WRK_SECONDS=${WRK_SECONDS:-6}
WRK_ROUNDS=${WRK_ROUNDS:-3}
IDLE_COUNT=${IDLE_COUNT:-10000}
# Which measurements run (all of them unless told): a before/after comparison
# of one figure need not wait for the others.
BENCH_PARTS=${BENCH_PARTS:-static downloads php idle stop}
# Ours is asked as a visitor (from 127.0.0.1 at 127.0.0.2), so that its figures
# include the caps per visitor; the idle connections come from the host itself.
OURS_HOST=${OURS_HOST:-127.0.0.2}
part() { [[ " $BENCH_PARTS " == *" $1 "* ]]; }

source "$HERE/lib/common.sh"
source "$HERE/lib/servers.sh"
source "$HERE/lib/measure.sh"
source "$HERE/lib/table.sh"
source "$HERE/lib/prepare.sh"

enter_private_network "$0" "$@" || exit 1

open_workspace "$(date +%Y%m%d-%H%M%S)" || exit 1
FIGURES=$RES/figures.tsv
: >"$FIGURES"

raise_limits
build_helpers || exit 1
prepare_site || exit 1
prepare_app || exit 1
describe_machine >"$RES/machine.txt"
cat "$RES/machine.txt" >&2

# All servers run side by side and each measurement goes through them in
# turn, so that load from elsewhere on the machine falls on all alike; rates
# are the best of WRK_ROUNDS rounds. Ours first: its php.ini is the one
# lighttpd's php-cgi is given too.
SERVERS=()
candidates=(ours lighttpd)
part static || part downloads || part idle || part stop && candidates=(ours nginx lighttpd thr128 thrdef)
for name in "${candidates[@]}"; do
  start_server "$name" && SERVERS+=("$name")
done
STATIC=() PHP=()
for name in "${SERVERS[@]}"; do
  check_file "$name" 1k.bin 1024 && check_file "$name" 16k.bin 16384 &&
    check_file "$name" 256m.bin $((256 << 20)) && STATIC+=("$name")
done
for name in ours lighttpd; do
  [ -n "${PID[$name]:-}" ] && check_php "$name" && PHP+=("$name")
done

part static && for round in $(seq "$WRK_ROUNDS"); do
  for id in k1 k16; do
    log "round $round: $id with ${STATIC[*]}"
    for name in "${STATIC[@]}"; do
      cpu_round "$name" "$id" "${id#k}k.bin" 64 "$round" tree
    done
  done
done
part static && for name in "${STATIC[@]}"; do
  for id in k1 k16; do wrk_record "$name" "$id"; cpu_record "$name" "$id" 1000; done
done

part downloads && for round in $(seq "$WRK_ROUNDS"); do
  log "round $round: 256 MiB downloads with ${STATIC[*]}"
  for id in dl1 dl4; do
    for name in "${STATIC[@]}"; do download_round "$name" "$id"; done
  done
done
part downloads && for name in "${STATIC[@]}"; do
  for id in dl1 dl4; do record "$id" "$name" "${DL_BEST[$name.$id]:-}"; done
done

part php && for round in $(seq "$WRK_ROUNDS"); do
  log "round $round: PHP page with ${PHP[*]}"
  for name in "${PHP[@]}"; do cpu_round "$name" php method.php 8 "$round" self; done
done
part php && for name in "${PHP[@]}"; do
  wrk_record "$name" php
  cpu_record "$name" php 1000000
  log "$name: POST bodies"
  post_figures "$name"
done

part idle && for name in "${SERVERS[@]}"; do log "$name: $IDLE_COUNT idle connections"; idle_figures "$name"; done
part stop && for name in "${SERVERS[@]}"; do log "$name: stop with 100 idle connections"; stop_figures "$name"; done

{
  print_table
  echo "ratio = ours / theirs (for times and memory lower is better); rates are the best of $WRK_ROUNDS rounds of $WRK_SECONDS s."
  echo "wrk also counts a reply that ends by closing the connection (no Content-Length, as the PHP replies) as a read error."
  [ "$(ulimit -n)" -lt $((IDLE_COUNT * 2 + 16)) ] &&
    echo "lighttpd holds at most max-fds/2 connections: with $(ulimit -n) descriptors its request with $IDLE_COUNT idle ones cannot be accepted."
} | tee "$RES/table.txt"
echo
cat "$RES/idle-summary.txt" "$RES/stop-summary.txt" 2>/dev/null
echo "raw output: $RES"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg) (at the start: see machine.txt)"
