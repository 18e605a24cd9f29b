# common.sh - helpers shared by the bench's steps: logging, clocks, process
# figures from /proc, the figures file. Sourced by run.sh.

log() { printf '[%s] %s\n' "$(date +%H:%M:%S)" "$*" >&2; }

# The packages come from the network; everything else runs in a network
# namespace of its own when possible, so that no other process on the machine
# shares the loopback ports (port 60001 above all: the program frees it by
# ending whoever listens there). Call as: enter_private_network "$0" "$@"
# (the script starts again inside the namespace); extra packages to install
# in PACKAGES_EXTRA.
enter_private_network() {
  if [ -z "${OSTREL_BENCH_NETNS:-}" ]; then
    install_packages ${PACKAGES_EXTRA:-} || return 1
    if [ "$(id -u)" -eq 0 ] && unshare -n true 2>/dev/null; then
      exec env OSTREL_BENCH_NETNS=1 unshare -n bash "$@"
    fi
    log "warning: no private network namespace (needs root and unshare); sharing the machine's ports"
    OSTREL_BENCH_NETNS=0
  fi
  [ "$OSTREL_BENCH_NETNS" = 1 ] && ip link set lo up
  return 0
}

now_ns() { date +%s%N; }

# The run's folders: results in bench/results/$1 (RES), and a temporary
# folder (TMP) with the application directory (APP, its site WWW); at the exit
# the servers stop, their logs are kept and the kernel limits restored.
open_workspace() {
  RES=$HERE/results/$1
  mkdir -p "$RES" || return 1
  TMP=$(mktemp -d /tmp/ostrel-bench.XXXXXX) || return 1
  APP=$TMP/app
  WWW=$APP/www
  trap close_workspace EXIT
  trap 'exit 130' INT TERM
}

close_workspace() {
  local name
  for name in "${!PID[@]}"; do stop_server "$name"; done
  cp "$TMP/nginx/error.log" "$RES/nginx-error.log" 2>/dev/null
  cp "$TMP/lighttpd/error.log" "$RES/lighttpd-error.log" 2>/dev/null
  cp "$APP/php/php.ini" "$RES/php.ini" 2>/dev/null
  restore_kernel_limits
  rm -rf "$TMP"
}

# Records one figure: id, server, value ("-" when it could not be measured).
record() { printf '%s\t%s\t%s\n' "$1" "$2" "${3:--}" >>"$FIGURES"; }

# The process and all its descendants.
tree_pids() {
  local p
  echo "$1"
  for p in $(pgrep -P "$1" 2>/dev/null); do tree_pids "$p"; done
}

# Resident memory of the process tree, in KiB.
tree_rss_kib() {
  local p sum=0 v
  for p in $(tree_pids "$1"); do
    v=$(awk '/^VmRSS:/ {print $2}' "/proc/$p/status" 2>/dev/null)
    sum=$((sum + ${v:-0}))
  done
  echo "$sum"
}

rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status" 2>/dev/null; }

threads_of() { awk '/^Threads:/ {print $2}' "/proc/$1/status" 2>/dev/null; }

# Open descriptors of the process tree.
tree_fds() {
  local p sum=0 n
  for p in $(tree_pids "$1"); do
    n=$(ls "/proc/$p/fd" 2>/dev/null | wc -l)
    sum=$((sum + n))
  done
  echo "$sum"
}

# The process's own CPU time (utime + stime of /proc/<pid>/stat: all its
# threads, not its children) in nanoseconds, through the process's CPU clock,
# which is not rounded to clock ticks.
cpu_ns() { "$TMP/cpu_ns" "$1" 2>/dev/null; }

# Waits until the process tree of $1 listens on the port $2; false after $3
# seconds (or when someone else holds the port).
wait_listening() {
  local pid=$1 port=$2 limit=$(( $(date +%s) + ${3:-10} )) owner
  while [ "$(date +%s)" -le "$limit" ]; do
    owner=$(ss -Hltnp "sport = :$port" 2>/dev/null | grep -o 'pid=[0-9]*' | head -1)
    if [ -n "$owner" ]; then
      tree_pids "$pid" | grep -qx "${owner#pid=}" && return 0
    fi
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# The first port from $1 on that nobody listens on and that no other server
# of this run was given.
free_port() {
  local port=$1
  while port_in_use "$port" || [[ " ${PORT[*]} " == *" $port "* ]]; do port=$((port + 1)); done
  echo "$port"
}

port_in_use() { ss -Hltn "sport = :$1" 2>/dev/null | grep -q .; }

# Waits until the tree's descriptor count compares to $3 as $2 says (-ge, -le),
# at most $4 seconds: wait_fds PID -ge 100 30.
wait_fds() {
  local pid=$1 test=$2 want=$3 limit=$(( $(date +%s) + $4 ))
  while [ "$(date +%s)" -le "$limit" ]; do
    [ "$(tree_fds "$pid")" "$test" "$want" ] && return 0
    sleep 0.2
  done
  return 1
}

# Arithmetic on decimals.
calc() { awk "BEGIN { printf \"%.${2:-1}f\", $1 }"; }
