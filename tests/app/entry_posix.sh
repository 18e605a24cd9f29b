#!/usr/bin/env bash
# Black-box test of the Linux entry: the headless run, one copy at a time,
# "-auto" with AutoRun off, the service commands with the systemd stand-in,
# SIGTERM. Runs in a network namespace of its own (unshare -n).
# Usage: entry_posix.sh <ostrel>
set -u
program=$1
. "$(dirname "$0")/../e2e/lib.sh"
ip link set lo up 2>/dev/null

work=$(mktemp -d /tmp/ostrel-entry.XXXXXX)
trap 'for p in ${pids:-}; do kill -9 "$p" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"' EXIT
app="$work/app"
mkdir -p "$app/www" "$app/php/temp" "$app/php/extensions" "$work/run" "$work/home" "$work/units"
cp "$program" "$app/ostrel"
printf '<html>entry</html>' > "$app/www/index.html"
export XDG_RUNTIME_DIR="$work/run" HOME="$work/home"
export OSTREL_SYSTEMD_DIR="$work/units" OSTREL_SYSTEMCTL="$work/systemctl"
printf '#!/bin/sh\necho "$*" >> "%s/calls"\n' "$work" > "$work/systemctl"; chmod +x "$work/systemctl"
pids=""

exit_code() {  # seconds command...: the exit code, or "timeout"
  local t=$1; shift
  timeout "$t" "$@" > /dev/null 2>&1; local rc=$?
  [ $rc -eq 124 ] && echo timeout || echo $rc
}

# --- the interactive (headless) run and the single-copy rule -----------------
"$app/ostrel" > "$work/out1.txt" 2>&1 & first=$!; pids="$first"
wait_port 60001 && ok "started without arguments: serves on 60001" || fail "no server on 60001"
check "the site" "<html>entry</html>" "$(curl -s --max-time 5 http://127.0.0.1:60001/)"
grep -q "Status: started" "$work/out1.txt" && ok "prints its status" || fail "status: $(cat "$work/out1.txt")"
check "a second copy ends at once with 0" "0" "$(exit_code 5 "$app/ostrel")"
check "a second -auto copy too" "0" "$(exit_code 5 "$app/ostrel" -auto)"
[ -e "$XDG_RUNTIME_DIR/Ostrel File Sharing Server_OneCopyMutex" ] && ok "lock file in XDG_RUNTIME_DIR" \
  || fail "no lock file"
# The service commands do not take the lock: they work while a copy runs.
check "-install while a copy runs" "0" "$(exit_code 5 "$app/ostrel" -install)"
[ -f "$work/units/ostrel_kelv_2008.service" ] && ok "unit written while a copy runs" || fail "no unit"
kill -TERM "$first"; wait "$first"; rc=$?
check "SIGTERM ends with exit code 0" "0" "$rc"
wait_closed 60001 && ok "port closed after SIGTERM" || fail "port still open"
"$app/ostrel" > /dev/null 2>&1 & again=$!; pids="$again"
wait_port 60001 && ok "the lock is free again after the first copy ended" || fail "no restart"
kill -INT "$again"; wait "$again"; check "SIGINT ends with exit code 0" "0" "$?"
wait_closed 60001

# --- the interpreter: PHP's command-line program is refused, with one line ------
printf '<?php echo "page";' > "$app/www/page.php"
grep -q '^PHP pages are off: .*/php/php-cgi is missing; ' "$work/out1.txt" && ok "a missing interpreter is named" \
  || fail "no line for the missing interpreter: $(cat "$work/out1.txt")"
if [ -x /usr/bin/php ]; then
  ln -s /usr/bin/php "$app/php/php-cgi"
  "$app/ostrel" > "$work/out2.txt" 2>&1 & cli=$!; pids="$cli"
  wait_port 60001 || fail "no server with the command-line PHP"
  check "one line names the refused file" \
    "PHP pages are off: $app/php/php-cgi is PHP's command-line program; link PHP's CGI program there (Debian package php-cgi): ln -sf /usr/bin/php-cgi '$app/php/php-cgi'" \
    "$(grep '^PHP pages are off' "$work/out2.txt")"
  codes=""
  for _ in 1 2 3 4 5; do codes+="$(curl -s -o /dev/null --max-time 10 http://127.0.0.1:60001/page.php; echo $?) "; done
  check "pages closed at once without a reply (curl: empty reply)" "52 52 52 52 52 " "$codes"
  check "POST closed too" "52" "$(curl -s -o /dev/null --max-time 10 --data-binary @/dev/null -H 'Content-Length: 50' \
    http://127.0.0.1:60001/page.php; echo $?)"
  check "no PHP process left" "" "$(pgrep -P "$cli")"
  kill -TERM "$cli"; wait "$cli"; wait_closed 60001
  ln -sf /usr/bin/php-cgi "$app/php/php-cgi"
  "$app/ostrel" > "$work/out3.txt" 2>&1 & cgi=$!; pids="$cgi"
  wait_port 60001
  check "php-cgi runs the page" "page" "$(curl -s --max-time 10 http://127.0.0.1:60001/page.php)"
  grep -q '^PHP pages are off' "$work/out3.txt" && fail "a line for php-cgi" || ok "no line for php-cgi"
  kill -TERM "$cgi"; wait "$cgi"; wait_closed 60001
  rm -f "$app/php/php-cgi"
fi

# --- service commands ---------------------------------------------------------
rm -f "$work/units/ostrel_kelv_2008.service" "$work/calls"
check "-INSTALL" "0" "$(exit_code 10 "$app/ostrel" -INSTALL extra-argument)"
grep -qx "ExecStart=\"$app/ostrel\" -auto" "$work/units/ostrel_kelv_2008.service" \
  && ok "unit runs this program with -auto" || fail "unit: $(cat "$work/units/ostrel_kelv_2008.service")"
check "-Install again" "0" "$(exit_code 10 "$app/ostrel" -Install)"
check "-RUN" "0" "$(exit_code 10 "$app/ostrel" -RUN)"
check "-RUN starts it" "start ostrel_kelv_2008.service" "$(grep start "$work/calls")"
: > "$work/calls"
exit_code 10 "$app/ostrel" -run > /dev/null
check "-run with the unit present only starts it" "start ostrel_kelv_2008.service" "$(grep -v daemon-reload "$work/calls")"
check "-UNINSTALL" "0" "$(exit_code 10 "$app/ostrel" -uninstall)"
[ ! -e "$work/units/ostrel_kelv_2008.service" ] && ok "unit removed" || fail "unit still there"
check "-UNINSTALL without the unit" "0" "$(exit_code 10 "$app/ostrel" -UNINSTALL)"

# /INSTALL is no switch: the interactive run.
"$app/ostrel" /INSTALL > /dev/null 2>&1 & slash=$!; pids="$slash"
wait_port 60001 && ok "/INSTALL serves" || fail "/INSTALL did not serve"
[ ! -e "$work/units/ostrel_kelv_2008.service" ] && ok "/INSTALL installs nothing" || fail "/INSTALL installed"
kill -TERM "$slash"; wait "$slash"; wait_closed 60001

# --- "-auto" ------------------------------------------------------------------
printf '[Kelv]\r\nAutoRun=0\r\n' > "$app/Setup.ini"
rm -f "$app/php/php.ini"
check "-auto with AutoRun=0 ends at once with 0" "0" "$(exit_code 5 "$app/ostrel" -auto)"
[ ! -e "$app/php/php.ini" ] && ok "-auto with AutoRun=0 writes no php.ini" || fail "php.ini written"
printf '[Kelv]\r\nAutoRun=1\r\n' > "$app/Setup.ini"
"$app/ostrel" -AUTO > /dev/null 2>&1 & auto=$!; pids="$auto"
wait_port 60001 && ok "-AUTO with AutoRun=1 serves" || fail "-AUTO did not serve"
[ -s "$app/php/php.ini" ] && ok "php.ini written on an automatic start" || fail "no php.ini"
kill -TERM "$auto"; wait "$auto"; check "-auto copy ends with 0" "0" "$?"

finish
