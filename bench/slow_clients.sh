#!/usr/bin/env bash
# slow_clients.sh - the program and lighttpd under slow clients (slowhttptest):
# slowloris heads, slow POST bodies to a page and slow readers of a 3 MB file,
# each for SLOW_SECONDS (after a quiet round without any), while probes time a
# normal static request and a PHP page; once with the usual open-files limit (soft 1,024, hard the machine's:
# each server raises its soft limit itself) and once with a hard limit of 1,024.
# Usage: bench/slow_clients.sh [path/to/ostrel]   (default: build/bench-linux/app/ostrel)
set -uo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO=$(dirname "$HERE")
OURS_BIN=${1:-$REPO/build/bench-linux/app/ostrel}
SLOW_SECONDS=${SLOW_SECONDS:-120}
QUIET_SECONDS=${QUIET_SECONDS:-60}
SLOWLORIS=${SLOWLORIS:-5000}
SLOW_POSTS=${SLOW_POSTS:-1000}
SLOW_READERS=${SLOW_READERS:-2000}
SLOW_LIMITS=${SLOW_LIMITS:-"usual 1024"}
SLOW_ATTACKS=${SLOW_ATTACKS:-"quiet slowloris slowpost slowread"}
SLOW_SERVERS=${SLOW_SERVERS:-"ours lighttpd"}
# Kernel headroom for the threads of the largest attack (raise_limits).
IDLE_COUNT=$SLOWLORIS
PACKAGES_EXTRA=slowhttptest

source "$HERE/lib/common.sh"
source "$HERE/lib/servers.sh"
source "$HERE/lib/measure.sh"
source "$HERE/lib/prepare.sh"
source "$HERE/lib/slow.sh"

enter_private_network "$0" "$@" || exit 1

open_workspace "slow-$(date +%Y%m%d-%H%M%S)" || exit 1
SUMMARY=$RES/summary.txt
: >"$SUMMARY"

# The site: a small file for the probe, the slow readers' 3 MB file, and the
# pages (method.php for the probe, post.php reads the slow bodies).
prepare_slow_site() {
  mkdir -p "$WWW/bench" "$TMP/lighttpd/upload" || return 1
  head -c 1024 /dev/urandom >"$WWW/bench/1k.bin"
  head -c $((3 * 1000 * 1000)) /dev/urandom >"$WWW/bench/3m.bin"
  cp "$HERE/pages/"*.php "$WWW/bench/"
  chmod 755 "$TMP" && chmod -R a+rX "$APP"
}

raise_limits
build_helpers || exit 1
prepare_slow_site || exit 1
prepare_app || exit 1
{
  describe_machine
  echo "slowhttptest: $(dpkg-query -W -f='${Version}' slowhttptest 2>/dev/null);" \
       "$SLOWLORIS slowloris, $SLOW_POSTS slow POSTs, $SLOW_READERS slow readers, $SLOW_SECONDS s each;" \
       "hard open-files limit of the machine: $(ulimit -Hn)"
} >"$RES/machine.txt"
cat "$RES/machine.txt" >&2

# One server at a time, each attack in turn: the servers do not share the
# machine's cores with each other's attack.
for limit in $SLOW_LIMITS; do
  if [ "$limit" = usual ]; then
    export SERVER_NOFILE_SOFT=1024 SERVER_NOFILE_HARD=
  else
    export SERVER_NOFILE_SOFT=$limit SERVER_NOFILE_HARD=$limit
  fi
  for name in $SLOW_SERVERS; do
    start_server "$name" || continue
    check_file "$name" 3m.bin 3000000 || { stop_server "$name"; continue; }
    log "$name with open-files limit $limit: $(grep 'Max open files' "/proc/${PID[$name]}/limits" | tr -s ' ')"
    for kind in $SLOW_ATTACKS; do slow_round "$name" "$limit" "$kind"; done
    stop_server "$name"
  done
done

{
  print_slow_table
  echo
  echo "static: a 1 KiB file every 0.1 s (5 s limit); PHP: method.php every 0.5 s (10 s limit); a failure counts as its limit."
  echo "ran out: seconds into the attack when the server's descriptors came within 8 of the limit;" \
       "refused, again: seconds after that until the first failed static probe, and until the next answered one."
  echo "CPU: the server process's own, in % of one core; load: the machine's mean 1-minute load average over the round" \
       "($(nproc) cores)."
  echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg) (at the start: see machine.txt)"
} | tee "$RES/table.txt"
echo "raw output: $RES"
