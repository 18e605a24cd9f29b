# slow.sh - the slow-client runs: slowhttptest against one server while
# probes time a normal static request and a PHP page, and a sampler follows
# the server's descriptors, threads, interpreters and CPU. Sourced by
# slow_clients.sh.

# Clock for the logs: milliseconds since the epoch.
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# Interpreter processes the server has started (its children).
children_of() {
  local n
  n=$(pgrep -c -P "$1" 2>/dev/null)
  echo "${n:-0}"
}

# Requests $2 every $3 seconds until the file $5 exists (or the run's folder
# is gone: the run was cut short); one line per request in $4: start time
# (ms), HTTP status (000: none) and the time taken (s). A request gets $6
# seconds. With PROBE_FROM set, the probes connect from that address.
probe_loop() {
  local name=$1 path=$2 every=$3 out=$4 stop=$5 limit=$6 url t r
  url=$(url_of "$name" "$path")
  while [ ! -e "$stop" ] && [ -d "$TMP" ]; do
    t=$(now_ms)
    r=$(curl -s -m "$limit" ${PROBE_FROM:+--interface "$PROBE_FROM"} -o /dev/null -w '%{http_code} %{time_total}' "$url")
    echo "$t ${r:-000 $limit}" >>"$out"
    sleep "$every"
  done
}

# The server process's own descriptors (not its interpreters').
fds_of() { ls "/proc/$1/fd" 2>/dev/null | wc -l; }

# One line a second in $3 until the file $2 exists: time (ms), the server's
# descriptors, threads, interpreters, its own CPU time (ns) and the machine's
# load average.
sample_loop() {
  local pid=$1 stop=$2 out=$3
  while [ ! -e "$stop" ] && kill -0 "$pid" 2>/dev/null; do
    echo "$(now_ms) $(fds_of "$pid") $(threads_of "$pid") $(children_of "$pid") $(cpu_ns "$pid" || echo 0)" \
         "$(cut -d' ' -f1 /proc/loadavg)" >>"$out"
    sleep 1
  done
}

# The attack of kind $2 on server $1 for SLOW_SECONDS, its report in $3; the
# kind "quiet" is none, for the probes' figures on this machine as it is.
slowhttptest_run() {
  local name=$1 kind=$2 out=$3 common
  common=(-l "$SLOW_SECONDS" -p 3 -r 1000)
  case $kind in
    quiet) echo "no attack: the probes alone for $QUIET_SECONDS s"; sleep "$QUIET_SECONDS" ;;
    slowloris)
      slowhttptest -H -c "$SLOWLORIS" -i 10 -x 24 -t GET -u "$(url_of "$name" 1k.bin)" "${common[@]}" ;;
    slowpost)
      slowhttptest -B -c "$SLOW_POSTS" -i 10 -x 10 -s 65536 -t POST -f application/octet-stream \
        -u "$(url_of "$name" post.php)" "${common[@]}" ;;
    slowread)
      slowhttptest -X -c "$SLOW_READERS" -w 512 -y 1024 -n 5 -z 32 -k 1 -u "$(url_of "$name" 3m.bin)" \
        "${common[@]}" ;;
  esac >"$out" 2>&1
}

# p50, p99 and the worst of a probe log's times in ms, with the count and the
# failures (a failure counts as its whole time limit); from the time $2 on
# (ms; 0 for all).
probe_stats() {
  awk -v from="${2:-0}" '$1 >= from {
      n++; ms = $3 * 1000; if ($2 != 200) { bad++ } ; t[n] = ms }
    END {
      if (n == 0) { print "- - - 0 0"; exit }
      # insertion sort is enough for a few thousand samples
      for (i = 2; i <= n; i++) { v = t[i]; j = i - 1; while (j > 0 && t[j] > v) { t[j + 1] = t[j]; j-- } t[j + 1] = v }
      p50 = t[int((n - 1) * 0.50) + 1]; p99 = t[int((n - 1) * 0.99) + 1]
      printf "%.0f %.0f %.0f %d %d\n", p50, p99, t[n], n, bad + 0 }' "$1"
}

# From the sampler log: peak descriptors, threads and interpreters, the
# server's average CPU (% of one core), its busiest stretch of 5 s or more,
# and the machine's mean load average.
sampler_stats() {
  awk 'NF < 6 { next }
    { n++; if ($2 > fd) fd = $2; if ($3 > th) th = $3; if ($4 > ch) ch = $4
      t[n] = $1; c[n] = $5; load += $6
      for (k = n - 1; k >= 1 && t[n] - t[k] < 5000; k--) {}
      if (k >= 1) { w = (c[n] - c[k]) / 1e7 / ((t[n] - t[k]) / 1000); if (w > peak) peak = w } }
    END { avg = (n > 1 && t[n] > t[1]) ? (c[n] - c[1]) / 1e7 / ((t[n] - t[1]) / 1000) : 0
          printf "%d %d %d %.0f %.0f %.1f\n", fd, th, ch, avg, peak, n ? load / n : 0 }' "$1"
}

# When the descriptors ran out (ms; 0 when they never did): the first sample
# with the server within 8 of its limit.
exhausted_at() {
  awk -v limit="$2" '$2 >= limit - 8 { print $1; found = 1; exit } END { if (!found) print 0 }' "$1"
}

# After the time $2 (ms): seconds until the first failed static probe, and
# from then until the next answered one ("-" for none).
recovery() {
  awk -v from="$2" '$1 >= from && !down && $2 != 200 { down = $1 }
    down && $2 == 200 && $1 > down { up = $1; exit }
    END { if (!down) { print "- -"; exit }
          printf "%.1f %s\n", (down - from) / 1000, up ? sprintf("%.1f", (up - from) / 1000) : "never" }' "$1"
}

# Waits up to $2 seconds for the server's threads, descriptors and
# interpreters to come back to the baseline "$3" ("fds threads children");
# prints what they are at the end.
settle() {
  local pid=$1 limit=$(( $(date +%s) + $2 )) fds threads children
  read -r fds threads children <<<"$3"
  while [ "$(date +%s)" -le "$limit" ]; do
    [ "$(fds_of "$pid")" -le "$fds" ] && [ "$(threads_of "$pid")" -le "$threads" ] &&
      [ "$(children_of "$pid")" -le "$children" ] && break
    sleep 1
  done
  echo "$(fds_of "$pid") $(threads_of "$pid") $(children_of "$pid")"
}

# One attack on one server: probes and sampler around slowhttptest, then the
# wait for the baseline. Appends a line to $SUMMARY.
slow_round() {
  local name=$1 limit=$2 kind=$3 pid=${PID[$1]} tag="$1-$2-$3" stop base after t0 ran_out
  local sstat pstat samp rec helpers
  stop=$TMP/stop-$tag
  rm -f "$stop"
  base="$(fds_of "$pid") $(threads_of "$pid") $(children_of "$pid")"
  t0=$(now_ms)
  sample_loop "$pid" "$stop" "$RES/samples-$tag.txt" & helpers=($!)
  probe_loop "$name" 1k.bin 0.1 "$RES/static-$tag.txt" "$stop" 5 & helpers+=($!)
  probe_loop "$name" method.php 0.5 "$RES/php-$tag.txt" "$stop" 10 & helpers+=($!)
  log "$tag: starts (baseline fds/threads/interpreters: $base)"
  slowhttptest_run "$name" "$kind" "$RES/slowhttptest-$tag.txt"
  touch "$stop"
  wait "${helpers[@]}"
  after=$(settle "$pid" 90 "$base")
  sstat=$(probe_stats "$RES/static-$tag.txt")
  pstat=$(probe_stats "$RES/php-$tag.txt")
  samp=$(sampler_stats "$RES/samples-$tag.txt")
  ran_out=0 rec="- -"
  if [ "$limit" != usual ]; then
    ran_out=$(exhausted_at "$RES/samples-$tag.txt" "$limit")
    [ "$ran_out" != 0 ] && rec=$(recovery "$RES/static-$tag.txt" "$ran_out")
  fi
  printf '%s %s %s | %s | %s | %s | %s | %s | %s\n' "$limit" "$kind" "$name" "$sstat" "$pstat" "$samp" \
    "$([ "$ran_out" = 0 ] && echo - || echo $(( (ran_out - t0) / 1000 )))" "$rec" "$base -> $after" >>"$SUMMARY"
  log "$tag: static $sstat | php $pstat | peak fds/threads/interp, CPU avg/5s-max %, load $samp | after: $after"
}

# The summary as a table.
print_slow_table() {
  local fmt='%-6s %-9s %-8s | %-28s | %-28s | %-14s | %-9s | %-4s | %-7s | %-15s | %s\n'
  # shellcheck disable=SC2059
  printf "$fmt" limit attack server "static ms: p50 p99 max n fail" "PHP ms: p50 p99 max n fail" \
    "peak fd/thr/int" "CPU% avg/5s" "load" "ran out" "refused, again" "fd thr int: before -> after"
  awk -F' [|] ' -v fmt="$fmt" '{ split($1, h, " "); split($4, m, " ")
    printf fmt, h[1], h[2], h[3], $2, $3, m[1] "/" m[2] "/" m[3], m[4] "/" m[5], m[6], $5, $6, $7 }' "$SUMMARY"
}
