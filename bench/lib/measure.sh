# measure.sh - the bench's measurements; each records its figures for one
# server with record(). Sourced by run.sh.

declare -A ROUND_REQUESTS ROUND_CPU_NS

# The others listen on 127.0.0.1; ours on every address, and is asked at
# OURS_HOST: the program takes a connection from another address than the one
# it reached for a visitor's, whose requests go through the caps.
OURS_HOST=${OURS_HOST:-127.0.0.1}
url_of() { echo "http://$([ "$1" = ours ] && echo "$OURS_HOST" || echo 127.0.0.1):${PORT[$1]}/bench/$2"; }

# Whether the server answers the file whole (size and status).
check_file() {
  local got
  got=$(curl -s -m 10 -o /dev/null -w '%{http_code} %{size_download}' "$(url_of "$1" "$2")")
  [ "$got" = "200 $3" ] || { log "$1: /bench/$2 answered '$got', expected '200 $3'"; return 1; }
}

# wrk's latency text (830.00us, 1.20ms, 2.00s) in milliseconds.
wrk_ms() {
  awk -v v="$1" 'BEGIN {
    n = v + 0; u = v; sub(/^[0-9.]+/, "", u)
    if (u == "us") n /= 1000; else if (u == "s") n *= 1000; else if (u == "m") n *= 60000
    printf "%.2f", n }'
}

# One wrk round with "Connection: close", kept as wrk-<server>-<id>-r<round>.txt.
# Prints the number of requests answered.
wrk_round() {
  local name=$1 id=$2 path=$3 conns=$4 round=$5 out
  out="$RES/wrk-$name-$id-r$round.txt"
  wrk -t2 -c"$conns" -d"${WRK_SECONDS}s" --timeout 5s --latency -H 'Connection: close' \
      "$(url_of "$name" "$path")" >"$out" 2>&1
  awk '/requests in/ {print $1}' "$out"
}

# Records <id>_rps, <id>_p99 and <id>_err from the server's best round.
wrk_record() {
  local name=$1 id=$2 best p99 errs
  best=$(for f in "$RES/wrk-$name-$id"-r*.txt; do
           [ -e "$f" ] && awk -v f="$f" '/^Requests\/sec:/ {print $2, f}' "$f"
         done | sort -rn | head -1 | cut -d' ' -f2-)
  [ -n "$best" ] || return 0
  record "${id}_rps" "$name" "$(awk '/^Requests\/sec:/ {printf "%.0f", $2}' "$best")"
  p99=$(awk '$1 == "99%" {print $2}' "$best")
  record "${id}_p99" "$name" "$([ -n "$p99" ] && wrk_ms "$p99")"
  errs=$(awk '/Socket errors:/ {gsub(",", ""); n += $4 + $6 + $8 + $10}
              /Non-2xx/ {n += $NF} END {print n + 0}' "$best")
  record "${id}_err" "$name" "$errs"
}

declare -A DL_BEST

# One 256 MiB download round with curl: a single download, or 4 at once
# (total bytes over the wall time); keeps the best in MB/s (10^6 bytes) in
# DL_BEST[<server>.<id>].
download_round() {
  local name=$1 id=$2 url s j t0 t1 pids=()
  url=$(url_of "$name" 256m.bin)
  if [ "$id" = dl1 ]; then
    s=$(curl -s -m 60 -o /dev/null -w '%{speed_download}' "$url")
    s=$(calc "${s:-0} / 1e6" 0)
  else
    t0=$(now_ns)
    for j in 1 2 3 4; do
      curl -s -m 60 -o /dev/null -w '%{size_download}\n' "$url" >"$TMP/dl.$j" &
      pids+=($!)
    done
    wait "${pids[@]}"
    t1=$(now_ns)
    s=$(cat "$TMP"/dl.[1-4] | awk -v ns=$((t1 - t0)) '{n += $1} END {printf "%.0f", n * 1000 / ns}')
  fi
  echo "$name $id $s" >>"$RES/downloads.txt"
  [ "$s" -gt "${DL_BEST[$name.$id]:-0}" ] && DL_BEST[$name.$id]=$s
}

# Opens $2 idle connections and waits until the server holds them; the
# client's pid is left in IDLE_CLIENT for the caller to end.
open_idle() {
  local name=$1 n=$2 hold=$3 pid=${PID[$1]} base i
  base=$(tree_fds "$pid")
  "$TMP/idle_clients" "${PORT[$name]}" "$n" "$hold" >"$RES/idle-$name-$n.txt" 2>&1 &
  IDLE_CLIENT=$!
  for i in $(seq $((hold * 10))); do
    grep -q '^open' "$RES/idle-$name-$n.txt" && break
    sleep 0.1
  done
  # The connections count once the server has accepted them (1% slack for
  # servers that keep fewer descriptors, none for ours).
  wait_fds "$pid" -ge $((base + n * 99 / 100)) 30 || log "$name: not all $n connections accepted"
}

# Resident memory with IDLE_COUNT idle connections open, and the latency of a
# normal request meanwhile (the worst of 5).
idle_figures() {
  local name=$1 pid=${PID[$1]} client base worst=0 t i held
  base=$(tree_fds "$pid")
  record rss_rest "$name" "$(calc "$(tree_rss_kib "$pid") / 1024" 1)"
  open_idle "$name" "$IDLE_COUNT" 120
  client=$IDLE_CLIENT
  sleep 1
  held=$(( $(tree_fds "$pid") - base ))
  record idle_held "$name" "$held"
  record idle_rss "$name" "$(calc "$(tree_rss_kib "$pid") / 1024" 1)"
  echo "$name: $(cat "$RES/idle-$name-$IDLE_COUNT.txt"), held $held, threads $(threads_of "$pid")" \
    >>"$RES/idle-summary.txt"
  for i in 1 2 3 4 5; do
    # A request that gets no answer in 5 s ends the series.
    t=$(curl -s -m 5 -o /dev/null -w '%{http_code} %{time_total}' "$(url_of "$name" 1k.bin)")
    echo "$name: request $i with the idle connections: ${t:-failed} s" >>"$RES/idle-summary.txt"
    [ "${t%% *}" = 200 ] || { worst=timeout; break; }
    worst=$(awk -v a="$worst" -v b="${t#* }" 'BEGIN {print (b > a) ? b : a}')
  done
  record idle_lat "$name" "$([ "$worst" = timeout ] && echo none || calc "$worst * 1000" 1)"
  kill -TERM "$client" 2>/dev/null
  wait "$client" 2>/dev/null
  wait_fds "$pid" -le $((base + 10)) 30 || log "$name: idle connections still held after the client ended"
}

# SIGTERM with 100 idle connections open: time until the process has ended.
stop_figures() {
  local name=$1 client
  open_idle "$name" 100 30
  client=$IDLE_CLIENT
  sleep 0.5
  stop_timed "${PID[$name]}" 10
  PID[$name]=
  record stop_ms "$name" "$STOP_MS"
  echo "$name: stop took $STOP_MS ms, exit status $STOP_RC" >>"$RES/stop-summary.txt"
  kill -TERM "$client" 2>/dev/null
  wait "$client" 2>/dev/null
}

# A POST of the file to post.php; prints the page's answer.
post_file() {
  curl -s -m 120 -H 'Expect:' -H 'Content-Type: application/octet-stream' \
       --data-binary @"$2" "$(url_of "$1" post.php)"
}

# Whether the PHP page echoes GET and POST.
check_php() {
  local got ok=0
  got=$(curl -s -m 10 "$(url_of "$1" method.php)")
  [ "$got" = GET ] || { log "$1: method.php answered '$got' to GET"; ok=1; }
  got=$(curl -s -m 10 -X POST -H 'Content-Length: 0' "$(url_of "$1" method.php)")
  [ "$got" = POST ] || { log "$1: method.php answered '$got' to POST"; ok=1; }
  return $ok
}

# One wrk round that also adds the requests answered and the server's CPU time
# meanwhile to ROUND_REQUESTS and ROUND_CPU_NS: with scope "self" the server
# process's own (the PHP page: not the interpreters'), with "tree" that of all
# its processes (nginx's workers).
cpu_round() {
  local name=$1 id=$2 path=$3 conns=$4 round=$5 scope=$6 c0 c1 n
  c0=$(cpu_of "${PID[$name]}" "$scope")
  n=$(wrk_round "$name" "$id" "$path" "$conns" "$round")
  c1=$(cpu_of "${PID[$name]}" "$scope")
  ROUND_REQUESTS[$name.$id]=$(( ${ROUND_REQUESTS[$name.$id]:-0} + ${n:-0} ))
  ROUND_CPU_NS[$name.$id]=$(( ${ROUND_CPU_NS[$name.$id]:-0} + c1 - c0 ))
}

cpu_of() {
  local p sum=0
  if [ "$2" = self ]; then cpu_ns "$1"; return; fi
  for p in $(tree_pids "$1"); do sum=$(( sum + $(cpu_ns "$p" || echo 0) )); done
  echo "$sum"
}

# Records <id>_cpu, the CPU time per request in $3 nanoseconds (1000: µs).
cpu_record() {
  local name=$1 id=$2 unit=$3
  [ "${ROUND_REQUESTS[$name.$id]:-0}" -gt 0 ] &&
    record "${id}_cpu" "$name" "$(calc "${ROUND_CPU_NS[$name.$id]} / $unit / ${ROUND_REQUESTS[$name.$id]}" 3)"
}

# POST bodies of 1 MiB and 100 MiB reach the page whole; the server's memory
# before and after the big one, and its peak meanwhile.
post_figures() {
  local name=$1 pid=${PID[$1]} got before after peak sampler
  got=$(post_file "$name" "$TMP/post-1m.bin")
  record post1m "$name" "$([ "$got" = "$(cat "$TMP/post-1m.sum")" ] && echo yes || echo "no")"
  before=$(rss_kib "$pid")
  # Samples the server's memory while the body passes.
  (peak=0; while kill -0 "$pid" 2>/dev/null; do
     v=$(rss_kib "$pid"); [ "${v:-0}" -gt "$peak" ] && peak=$v && echo "$peak" >"$TMP/peak"
     sleep 0.05; done) &
  sampler=$!
  got=$(post_file "$name" "$TMP/post-100m.bin")
  kill "$sampler" 2>/dev/null
  wait "$sampler" 2>/dev/null
  after=$(rss_kib "$pid")
  peak=$(cat "$TMP/peak" 2>/dev/null || echo "$after")
  rm -f "$TMP/peak"
  record post100m "$name" "$([ "$got" = "$(cat "$TMP/post-100m.sum")" ] && echo yes || echo "no")"
  record post100m_grow "$name" "$(calc "($after - $before) / 1024" 1)"
  record post100m_peak "$name" "$(calc "($peak - $before) / 1024" 1)"
}
