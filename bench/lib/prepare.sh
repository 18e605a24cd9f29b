# prepare.sh - what the bench sets up before measuring: limits, the helper
# programs, the site, the program's application directory. Sourced by run.sh.

declare -A KERNEL_SAVED

# Descriptors for the idle connections, and kernel headroom for as many
# threads (raised only for the run, when root, and restored at the end).
raise_limits() {
  ulimit -n 65536 2>/dev/null || ulimit -n "$(ulimit -Hn)" 2>/dev/null
  if [ "$(ulimit -n)" -lt $((IDLE_COUNT + 200)) ]; then
    log "warning: only $(ulimit -n) descriptors per process; $IDLE_COUNT idle connections will not fit"
  fi
  need_kernel_limit kernel.threads-max $((IDLE_COUNT * 3))
  need_kernel_limit kernel.pid_max $((IDLE_COUNT * 2 + 4096))
  need_kernel_limit vm.max_map_count $((IDLE_COUNT * 4 + 8192))
}

need_kernel_limit() {
  local key=$1 want=$2 have
  have=$(sysctl -n "$key" 2>/dev/null) || return 0
  [ "$have" -ge "$want" ] && return 0
  if [ "$(id -u)" -eq 0 ] && sysctl -q -w "$key=$want" 2>/dev/null; then
    KERNEL_SAVED[$key]=$have
    log "raised $key from $have to $want for this run"
  else
    log "warning: $key is $have, below the $want that $IDLE_COUNT threads may need"
  fi
}

restore_kernel_limits() {
  local key
  for key in "${!KERNEL_SAVED[@]}"; do
    sysctl -q -w "$key=${KERNEL_SAVED[$key]}" && log "restored $key to ${KERNEL_SAVED[$key]}"
  done
}

build_helpers() {
  gcc -O2 -Wall -Wextra -pthread -o "$TMP/thread_server" "$HERE/thread_server.c" &&
    gcc -O2 -Wall -Wextra -o "$TMP/idle_clients" "$HERE/idle_clients.c" &&
    gcc -O2 -Wall -Wextra -o "$TMP/cpu_ns" "$HERE/cpu_ns.c"
}

# The site: the bench's files and pages under /bench/, and the POST bodies
# with their expected answers.
prepare_site() {
  mkdir -p "$WWW/bench" || return 1
  head -c 1024 /dev/urandom >"$WWW/bench/1k.bin"
  head -c 16384 /dev/urandom >"$WWW/bench/16k.bin"
  head -c $((256 << 20)) /dev/urandom >"$WWW/bench/256m.bin"
  cp "$HERE/pages/"*.php "$WWW/bench/"
  head -c $((1 << 20)) /dev/urandom >"$TMP/post-1m.bin"
  head -c $((100 << 20)) /dev/urandom >"$TMP/post-100m.bin"
  local f
  for f in post-1m post-100m; do
    echo "$(stat -c %s "$TMP/$f.bin") $(md5sum <"$TMP/$f.bin" | cut -d' ' -f1)" >"$TMP/$f.sum"
  done
  # nginx's workers read the site under another user.
  chmod 755 "$TMP" && chmod -R a+rX "$APP"
}

# The program's application directory: the program, www/ beside it (made by
# prepare_site) and php/ with the interpreter's links; HOME and the runtime
# directory (upload directory, single-copy lock) stay inside the run's folder.
prepare_app() {
  mkdir -p "$APP/php/temp" "$TMP/home" "$TMP/run" || return 1
  chmod 700 "$TMP/run"
  ln -sf /usr/bin/php-cgi "$APP/php/php-cgi"
  # As the set-up lays it out: the system's extension directory is the
  # extension_dir that php.ini names.
  ln -sfn "$(echo '<?php echo PHP_EXTENSION_DIR;' | php-cgi -n -q)" "$APP/php/extensions"
  if [ -x "$OURS_BIN" ]; then
    cp "$OURS_BIN" "$APP/ostrel"
  else
    log "warning: no program at $OURS_BIN; build it first (see bench/README.md)"
  fi
}

describe_machine() {
  echo "date: $(date -R)"
  echo "repository: $(git -C "$REPO" log -1 --format='%h %s' 2>/dev/null)"
  echo "program: $OURS_BIN ($(stat -c '%y' "$OURS_BIN" 2>/dev/null || echo missing))"
  echo "kernel: $(uname -r); cpus: $(nproc) x $(awk -F': ' '/model name/ {print $2; exit}' /proc/cpuinfo)"
  echo "memory: $(awk '/MemTotal/ {printf "%.0f MiB", $2 / 1024}' /proc/meminfo); load: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "open files: $(ulimit -n); threads-max $(sysctl -n kernel.threads-max);" \
       "pid_max $(sysctl -n kernel.pid_max); max_map_count $(sysctl -n vm.max_map_count)"
  echo "nginx: $(nginx -v 2>&1 | sed 's/.*\///'); lighttpd: $(lighttpd -v 2>&1 | head -1 | cut -d' ' -f1);" \
       "$(php-cgi -v 2>/dev/null | head -1 | cut -d' ' -f1-2); $(wrk -v 2>&1 | head -1 | cut -d' ' -f1-2);" \
       "$(curl -V | head -1 | cut -d' ' -f1-2)"
  [ -n "${WRK_ROUNDS:-}" ] && echo "wrk: $WRK_ROUNDS rounds of $WRK_SECONDS s, 2 threads, Connection: close"
  echo "network namespace: $([ "$OSTREL_BENCH_NETNS" = 1 ] && echo "private (unshare -n)" || echo "shared with the machine")"
}
