# servers.sh - installs the compared servers and starts and stops each of them
# on its own loopback port, all serving $WWW. Sourced by run.sh.

declare -A PID PORT
PORT=([ours]=60001)
# The others' ports are picked free at their start, from this one on.
PORT_BASE=${PORT_BASE:-18480}

# Installs what the bench uses when missing; the web servers' packages must not
# leave system services running or enabled (the bench starts its own copies).
install_packages() {
  local p missing=() made_policy=0
  for p in wrk nginx lighttpd curl php-cgi gcc libc6-dev iproute2 procps "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && { quiet_system_services; return 0; }
  [ "$(id -u)" -eq 0 ] || { log "missing packages (${missing[*]}); run as root or install them"; return 1; }
  log "installing: ${missing[*]}"
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    # Keeps the packages' maintainer scripts from starting the services.
    printf '#!/bin/sh\nexit 101\n' >/usr/sbin/policy-rc.d && chmod +x /usr/sbin/policy-rc.d && made_policy=1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get update -q >/dev/null
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
  local rc=$?
  [ $made_policy -eq 1 ] && rm -f /usr/sbin/policy-rc.d
  quiet_system_services
  return $rc
}

# Stops and disables the packages' own service instances (port 80).
quiet_system_services() {
  local s
  [ "$(id -u)" -eq 0 ] || return 0
  for s in nginx lighttpd; do
    [ -e "/etc/init.d/$s" ] || continue
    # Only the packages' own instance, known by its pid file; copies that
    # others run from their own configurations are left alone.
    [ -s "/run/$s.pid" ] && service "$s" stop >/dev/null 2>&1
    update-rc.d "$s" disable >/dev/null 2>&1
    command -v systemctl >/dev/null && systemctl disable "$s" >/dev/null 2>&1
  done
  if port_in_use 80; then
    log "warning: something still listens on port 80: $(ss -Hltnp 'sport = :80' | head -1)"
  fi
}

# Fills a configuration template.
fill_template() {
  sed -e "s|@DIR@|$2|g" -e "s|@WWW@|$WWW|g" -e "s|@PORT@|$3|g" \
      -e "s|@NOFILE@|${SERVER_NOFILE_HARD:-$(ulimit -n)}|g" -e "s|@PHPRC@|$APP/php|g" "$1"
}

# The open-files limits a server starts with, when the caller sets them:
# SERVER_NOFILE_SOFT (a desktop's usual 1,024, say) and SERVER_NOFILE_HARD
# (lowered for the server alone; its clients keep the bench's own).
server_limits() {
  if [ -n "${SERVER_NOFILE_SOFT:-}" ]; then ulimit -Sn "$SERVER_NOFILE_SOFT" || return 1; fi
  if [ -n "${SERVER_NOFILE_HARD:-}" ]; then ulimit -Hn "$SERVER_NOFILE_HARD" || return 1; fi
  return 0
}

start_server() {
  local name=$1 port out="$RES/server-$1.log"
  [ "$name" = ours ] || PORT[$name]=$(free_port "$PORT_BASE")
  port=${PORT[$name]}
  case $name in
    ours) start_ours "$out" || { stop_server ours; return 1; } ;;
    nginx)
      mkdir -p "$TMP/nginx"
      fill_template "$HERE/conf/nginx.conf.in" "$TMP/nginx" "$port" >"$TMP/nginx/nginx.conf"
      (exec nginx -c "$TMP/nginx/nginx.conf" -p "$TMP/nginx" -e "$TMP/nginx/error.log" >"$out" 2>&1) &
      PID[$name]=$! ;;
    lighttpd)
      mkdir -p "$TMP/lighttpd/upload"
      fill_template "$HERE/conf/lighttpd.conf.in" "$TMP/lighttpd" "$port" >"$TMP/lighttpd/lighttpd.conf"
      (server_limits && exec lighttpd -D -f "$TMP/lighttpd/lighttpd.conf" >"$out" 2>&1) &
      PID[$name]=$! ;;
    thr128) (exec "$TMP/thread_server" "$port" "$WWW" 128 >"$out" 2>&1) & PID[$name]=$! ;;
    thrdef) (exec "$TMP/thread_server" "$port" "$WWW" 0 >"$out" 2>&1) & PID[$name]=$! ;;
  esac
  if ! wait_listening "${PID[$name]:-0}" "$port" 10; then
    log "$name did not start listening on $port (see $out)"
    stop_server "$name"
    return 1
  fi
  log "$name listens on 127.0.0.1:$port (pid ${PID[$name]})"
}

# The program in its application directory $APP; it serves at once without a
# display and writes php/php.ini beside itself.
start_ours() {
  local out=$1 i
  for i in $(seq 30); do port_in_use 60001 || break; sleep 1; done
  if port_in_use 60001; then
    # The program would end whatever listens there: leave that process alone.
    log "port 60001 is taken by someone else: $(ss -Hltnp 'sport = :60001' | head -1)"
    return 1
  fi
  (cd "$APP" && server_limits && exec env -u DISPLAY -u WAYLAND_DISPLAY HOME="$TMP/home" XDG_RUNTIME_DIR="$TMP/run" \
     ./ostrel >"$out" 2>&1) &
  PID[ours]=$!
  for i in $(seq 100); do
    grep -q '^Status: started' "$out" 2>/dev/null && return 0
    grep -q '^Status: stopped' "$out" 2>/dev/null && break
    kill -0 "${PID[ours]}" 2>/dev/null || break
    sleep 0.1
  done
  log "the program did not start (see $out)"
  return 1
}

# Sends SIGTERM and waits for the process (a child of this shell) to end; sets
# STOP_MS to the milliseconds that took and STOP_RC to its exit status. A
# process still there after $2 seconds is killed.
stop_timed() {
  local pid=$1 limit_ns=$(( ${2:-10} * 1000000000 )) t0 t1 st state
  t0=$(now_ns)
  kill -TERM "$pid" 2>/dev/null
  while read -r st 2>/dev/null <"/proc/$pid/stat"; do
    st=${st#*) }
    state=${st%% *}
    [ "$state" = Z ] && break
    if [ $(( $(now_ns) - t0 )) -gt "$limit_ns" ]; then
      kill -KILL "$pid" 2>/dev/null
      break
    fi
    sleep 0.002
  done
  t1=$(now_ns)
  wait "$pid" 2>/dev/null
  STOP_RC=$?
  STOP_MS=$(( (t1 - t0) / 1000000 ))
}

stop_server() {
  local name=$1
  [ -n "${PID[$name]:-}" ] || return 0
  stop_timed "${PID[$name]}" 10
  PID[$name]=
}
