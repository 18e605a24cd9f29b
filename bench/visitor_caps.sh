#!/usr/bin/env bash
# visitor_caps.sh - one visitor (127.0.0.2) against the caps per visitor,
# while probes from another (127.0.0.3) time a static file and a PHP page:
# first VISITOR_READERS connections that ask for a 64 MiB page and never read
# it (each opened again 100 ms after the server closes it), then
# VISITOR_HEADS heads that are never finished, each for VISITOR_SECONDS,
# after a quiet round without either; last, one reader of the page that never
# reads, for STALL_SECONDS, whose reply the write time-out must end (its
# interpreter last seen about 60 s in). A sampler reads twice a second the
# interpreters running for 127.0.0.2 and in all, the server's descriptors of
# 127.0.0.2's connections, and its threads.
# Usage: bench/visitor_caps.sh [path/to/ostrel]   (default: build/bench-linux/app/ostrel)
set -uo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO=$(dirname "$HERE")
OURS_BIN=${1:-$REPO/build/bench-linux/app/ostrel}
VISITOR_SECONDS=${VISITOR_SECONDS:-60}
VISITOR_READERS=${VISITOR_READERS:-300}
VISITOR_HEADS=${VISITOR_HEADS:-20000}
QUIET_SECONDS=${QUIET_SECONDS:-10}
STALL_SECONDS=${STALL_SECONDS:-75}
VISITOR_ROUNDS=${VISITOR_ROUNDS:-"quiet readers heads stall"}
VISITOR=127.0.0.2
PROBE_FROM=127.0.0.3
# Descriptors for the heads (raise_limits).
IDLE_COUNT=$VISITOR_HEADS

source "$HERE/lib/common.sh"
source "$HERE/lib/servers.sh"
source "$HERE/lib/measure.sh"
source "$HERE/lib/prepare.sh"
source "$HERE/lib/slow.sh"

enter_private_network "$0" "$@" || exit 1

open_workspace "visitor-$(date +%Y%m%d-%H%M%S)" || exit 1
SUMMARY=$RES/summary.txt
: >"$SUMMARY"

prepare_visitor_site() {
  mkdir -p "$WWW/bench" || return 1
  head -c 1024 /dev/urandom >"$WWW/bench/1k.bin"
  cp "$HERE/pages/"*.php "$WWW/bench/"
  chmod 755 "$TMP" && chmod -R a+rX "$APP"
}

# Interpreters of the server $1 whose request came from $2 (as the
# interpreter's REMOTE_ADDR says).
interpreters_of() {
  local c n=0
  for c in $(pgrep -P "$1" 2>/dev/null); do
    tr '\0' '\n' 2>/dev/null <"/proc/$c/environ" | grep -qx "REMOTE_ADDR=$2" && n=$((n + 1))
  done
  echo "$n"
}

# The server's descriptors of connections from $2.
descriptors_of() {
  ss -Htnp "( sport = :60001 and dst $2 )" 2>/dev/null | grep -c "pid=$1,"
}

# Twice a second in $3 until the file $2 exists: time (ms), the visitor's
# interpreters, all interpreters, the server's descriptors of the visitor's
# connections, its threads.
visitor_sample_loop() {
  local pid=$1 stop=$2 out=$3
  while [ ! -e "$stop" ] && kill -0 "$pid" 2>/dev/null; do
    echo "$(now_ms) $(interpreters_of "$pid" "$VISITOR") $(children_of "$pid")" \
         "$(descriptors_of "$pid" "$VISITOR") $(threads_of "$pid")" >>"$out"
    sleep 0.5
  done
}

# The visitor of round $1, its report in $2.
visitor_run() {
  case $1 in
    quiet) echo "no visitor: the probes alone for $QUIET_SECONDS s"; sleep "$QUIET_SECONDS" ;;
    readers)
      "$TMP/idle_clients" 60001 "$VISITOR_READERS" "$VISITOR_SECONDS" "$VISITOR" \
        'GET /bench/stream.php HTTP/1.1\r\nHost: x\r\n\r\n' 100 ;;
    heads)
      "$TMP/idle_clients" 60001 "$VISITOR_HEADS" "$VISITOR_SECONDS" "$VISITOR" \
        'GET /bench/1k.bin HTTP/1.1\r\nHost: x\r\n' ;;
    stall)
      "$TMP/idle_clients" 60001 1 "$STALL_SECONDS" "$VISITOR" 'GET /bench/stream.php HTTP/1.1\r\nHost: x\r\n\r\n' ;;
  esac >"$2" 2>&1
}

# One round: sampler and probes around the visitor, then the wait for the
# server to come back to where it was. Appends a line to $SUMMARY.
visitor_round() {
  local kind=$1 pid=${PID[ours]} stop=$TMP/stop-$1 helpers base after peaks sstat pstat clients t0 last
  rm -f "$stop"
  t0=$(now_ms)
  base="$(fds_of "$pid") $(threads_of "$pid") $(children_of "$pid")"
  visitor_sample_loop "$pid" "$stop" "$RES/samples-$kind.txt" & helpers=($!)
  probe_loop ours 1k.bin 0.1 "$RES/static-$kind.txt" "$stop" 5 & helpers+=($!)
  probe_loop ours method.php 0.5 "$RES/php-$kind.txt" "$stop" 10 & helpers+=($!)
  log "$kind: starts (baseline fds/threads/interpreters: $base)"
  visitor_run "$kind" "$RES/clients-$kind.txt"
  touch "$stop"
  wait "${helpers[@]}"
  after=$(settle "$pid" 90 "$base")
  peaks=$(awk '{ if ($2 > a) a = $2; if ($3 > b) b = $3; if ($4 > c) c = $4; if ($5 > d) d = $5 }
               END { printf "%d %d %d %d\n", a, b, c, d }' "$RES/samples-$kind.txt")
  # When an interpreter of the visitor was last seen, in seconds into the round.
  last=$(awk -v t0="$t0" '$2 > 0 { t = $1 } END { print t ? sprintf("%.1f", (t - t0) / 1000) : "-" }' \
    "$RES/samples-$kind.txt")
  peaks="$peaks $last"
  sstat=$(probe_stats "$RES/static-$kind.txt")
  pstat=$(probe_stats "$RES/php-$kind.txt")
  clients=$(tr '\n' ' ' <"$RES/clients-$kind.txt" | sed 's/ *$//')
  printf '%s | %s | %s | %s | %s | %s\n' "$kind" "$peaks" "$sstat" "$pstat" "$base -> $after" \
    "${clients:--}" >>"$SUMMARY"
  log "$kind: peaks (interpreters of $VISITOR, all; fds of $VISITOR; threads) $peaks | static $sstat | php $pstat"
}

raise_limits
build_helpers || exit 1
prepare_visitor_site || exit 1
prepare_app || exit 1
{
  describe_machine
  echo "visitor $VISITOR: $VISITOR_READERS page readers, $VISITOR_HEADS unfinished heads, $VISITOR_SECONDS s each;" \
       "probes from $PROBE_FROM"
} >"$RES/machine.txt"
cat "$RES/machine.txt" >&2

start_server ours || exit 1
for kind in $VISITOR_ROUNDS; do visitor_round "$kind"; done
stop_server ours

{
  fmt='%-8s | %-26s | %-28s | %-28s | %-24s | %s\n'
  # shellcheck disable=SC2059
  printf "$fmt" round "peak int/all fd thr, last" "static ms: p50 p99 max n fail" "PHP ms: p50 p99 max n fail" \
    "fd thr int: before -> after" "visitor's connections"
  awk -F' [|] ' -v fmt="$fmt" '{ printf fmt, $1, $2, $3, $4, $5, $6 }' "$SUMMARY"
  echo
  echo "peak: the most interpreters running for $VISITOR, interpreters in all, the server's descriptors of" \
       "$VISITOR's connections, its threads (sampled every 0.5 s); last: seconds into the round when an" \
       "interpreter of $VISITOR was last seen."
  echo "static: a 1 KiB file every 0.1 s (5 s limit); PHP: method.php every 0.5 s (10 s limit), both from" \
       "$PROBE_FROM; a failure counts as its limit."
} | tee "$RES/table.txt"
echo "raw output: $RES"
