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
# 127.0.0.2's connections, its threads, and all its descriptors.
# The round "many" (not run by default) is MANY_ADDRESSES visitors of their
# own (127.1.x.y), each opening MANY_PER_ADDRESS unfinished heads for
# MANY_SECONDS, opened again MANY_REOPEN_MS after the server closes them,
# against the cap of all visitors together; every round also times the host's
# own requests (from 127.0.0.1).
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
MANY_ADDRESSES=${MANY_ADDRESSES:-150}
MANY_PER_ADDRESS=${MANY_PER_ADDRESS:-64}
MANY_SECONDS=${MANY_SECONDS:-30}
MANY_REOPEN_MS=${MANY_REOPEN_MS:-1000}
VISITOR=127.0.0.2
PROBE_FROM=127.0.0.3
# Descriptors for the heads (raise_limits).
IDLE_COUNT=$(( VISITOR_HEADS > MANY_ADDRESSES * MANY_PER_ADDRESS ? VISITOR_HEADS : MANY_ADDRESSES * MANY_PER_ADDRESS ))

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

# The server's connections from $2: in the private network only the server
# has port 60001 (without -p: matching sockets to processes would cost more
# than the server's own work under thousands of connections).
descriptors_of() {
  ss -Htn "( sport = :60001 and dst $2 )" 2>/dev/null | wc -l
}

# Twice a second in $3 until the file $2 exists: time (ms), the visitor's
# interpreters, all interpreters, the server's descriptors of the visitor's
# connections, its threads, all its descriptors.
visitor_sample_loop() {
  local pid=$1 stop=$2 out=$3
  while [ ! -e "$stop" ] && kill -0 "$pid" 2>/dev/null; do
    echo "$(now_ms) $(interpreters_of "$pid" "$VISITOR") $(children_of "$pid")" \
         "$(descriptors_of "$pid" "$VISITOR") $(threads_of "$pid") $(fds_of "$pid")" >>"$out"
    sleep 0.5
  done
}

# MANY_ADDRESSES visitors at once, one idle_clients each; their reports one line each.
many_visitors() {
  local a pids=()
  for a in $(seq "$MANY_ADDRESSES"); do
    "$TMP/idle_clients" 60001 "$MANY_PER_ADDRESS" "$MANY_SECONDS" "127.1.$((a / 250)).$((a % 250 + 1))" \
      'GET /bench/1k.bin HTTP/1.1\r\nHost: x\r\n' "$MANY_REOPEN_MS" >"$TMP/many-$a.txt" 2>&1 &
    pids+=($!)
  done
  wait "${pids[@]}"
  # The opening counts and the closing counts, summed.
  cat "$TMP"/many-*.txt | awk '$1 == "open" { o += $2; t = $3 > t ? $3 : t } $1 == "closed" { c += $2; r += $4 }
    END { printf "%d addresses: open %d (%.1f s) closed %d reopened %d\n", NR / 2, o, t, c, r }'
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
    many) many_visitors ;;
  esac >"$2" 2>&1
}

# One round: sampler and probes around the visitor, then the wait for the
# server to come back to where it was. Appends a line to $SUMMARY.
visitor_round() {
  local kind=$1 pid=${PID[ours]} stop=$TMP/stop-$1 helpers base after peaks sstat pstat hstat clients t0 last
  rm -f "$stop"
  t0=$(now_ms)
  base="$(fds_of "$pid") $(threads_of "$pid") $(children_of "$pid")"
  visitor_sample_loop "$pid" "$stop" "$RES/samples-$kind.txt" & helpers=($!)
  probe_loop ours 1k.bin 0.1 "$RES/static-$kind.txt" "$stop" 5 & helpers+=($!)
  probe_loop ours method.php 0.5 "$RES/php-$kind.txt" "$stop" 10 & helpers+=($!)
  PROBE_FROM='' OURS_HOST=127.0.0.1 probe_loop ours 1k.bin 0.1 "$RES/host-$kind.txt" "$stop" 5 & helpers+=($!)
  log "$kind: starts (baseline fds/threads/interpreters: $base)"
  visitor_run "$kind" "$RES/clients-$kind.txt"
  touch "$stop"
  wait "${helpers[@]}"
  after=$(settle "$pid" 90 "$base")
  peaks=$(awk '{ if ($2 > a) a = $2; if ($3 > b) b = $3; if ($4 > c) c = $4; if ($5 > d) d = $5; if ($6 > e) e = $6 }
               END { printf "%d %d %d %d %d\n", a, b, c, d, e }' "$RES/samples-$kind.txt")
  # When an interpreter of the visitor was last seen, in seconds into the round.
  last=$(awk -v t0="$t0" '$2 > 0 { t = $1 } END { print t ? sprintf("%.1f", (t - t0) / 1000) : "-" }' \
    "$RES/samples-$kind.txt")
  peaks="$peaks $last"
  sstat=$(probe_stats "$RES/static-$kind.txt")
  pstat=$(probe_stats "$RES/php-$kind.txt")
  hstat=$(probe_stats "$RES/host-$kind.txt")
  clients=$(tr '\n' ' ' <"$RES/clients-$kind.txt" | sed 's/ *$//')
  printf '%s | %s | %s | %s | %s | %s | %s\n' "$kind" "$peaks" "$sstat" "$pstat" "$hstat" "$base -> $after" \
    "${clients:--}" >>"$SUMMARY"
  log "$kind: peaks (interpreters of $VISITOR, all; fds of $VISITOR; threads; all fds) $peaks |" \
    "static $sstat | php $pstat | host $hstat"
}

raise_limits
build_helpers || exit 1
prepare_visitor_site || exit 1
prepare_app || exit 1
{
  describe_machine
  echo "visitor $VISITOR: $VISITOR_READERS page readers, $VISITOR_HEADS unfinished heads, $VISITOR_SECONDS s each;" \
       "probes from $PROBE_FROM; many: $MANY_ADDRESSES addresses x $MANY_PER_ADDRESS heads, $MANY_SECONDS s"
} >"$RES/machine.txt"
cat "$RES/machine.txt" >&2

start_server ours || exit 1
for kind in $VISITOR_ROUNDS; do visitor_round "$kind"; done
stop_server ours

{
  fmt='%-8s | %-30s | %-28s | %-28s | %-28s | %-24s | %s\n'
  # shellcheck disable=SC2059
  printf "$fmt" round "peak int/all fd thr fds, last" "static ms: p50 p99 max n fail" "PHP ms: p50 p99 max n fail" \
    "host ms: p50 p99 max n fail" "fd thr int: before -> after" "visitor's connections"
  awk -F' [|] ' -v fmt="$fmt" '{ printf fmt, $1, $2, $3, $4, $5, $6, $7 }' "$SUMMARY"
  echo
  echo "peak: the most interpreters running for $VISITOR, interpreters in all, the server's descriptors of" \
       "$VISITOR's connections, its threads, all its descriptors (sampled every 0.5 s); last: seconds into" \
       "the round when an interpreter of $VISITOR was last seen."
  echo "static: a 1 KiB file every 0.1 s (5 s limit); PHP: method.php every 0.5 s (10 s limit), both from" \
       "$PROBE_FROM; host: the 1 KiB file every 0.1 s from 127.0.0.1; a failure counts as its limit."
} | tee "$RES/table.txt"
echo "raw output: $RES"
