#!/usr/bin/env bash
# The Windows entry under Wine: the service commands against Wine's service
# control manager, the service starting the "-auto" copy, "-auto" with AutoRun
# off and on, /INSTALL, and the service path outside the service manager.
# Usage: entry_wine.sh <ostrel.exe> <ostrel_probe.exe> <iexplore.exe> <wineprefix>
set -u
program=$1; PROBE=$2; browser=$3; prefix=$4
here=$(dirname "$0")
. "$here/../e2e/lib.sh"
. "$here/../ui/wine_gui.sh"

work=$(mktemp -d /tmp/ostrel-entry-wine.XXXXXX)
trap 'wine "$winexe" -UNINSTALL > /dev/null 2>&1; gui_teardown; rm -rf "$work"' EXIT
gui_setup "$prefix" "$work" || { fail "no display"; finish; exit 1; }
make_gui_app "$work" "$program" "$browser"
exe=$winexe
key='HKLM\System\CurrentControlSet\Services\OSTREL_KELV_2008'

run() { timeout 60 wine "$winexe" "$@" > /dev/null 2>&1; echo $?; }
registered() { wine reg query "$key" > /dev/null 2>&1 && echo yes || echo no; }
value() { wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | awk -v k="$1" '$1 == k { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'; }
# Ends the running copy through its close-self message; true when it is gone.
end_copy() {
  probe closeself
  for _ in $(seq 100); do probe state | grep -q '^window none' && return 0; sleep 0.2; done
  return 1
}

# --- -INSTALL -------------------------------------------------------------------
wine "$winexe" -UNINSTALL > /dev/null 2>&1
check "-INSTALL exits with 0" "0" "$(run -INSTALL second-argument-ignored)"
check "service registered" "yes" "$(registered)"
check "own process, interactive" "0x110" "$(value Type)"
check "started with the system" "0x2" "$(value Start)"
check "errors ignored" "0x0" "$(value ErrorControl)"
check "binary path: the executable, unquoted" "$exe" "$(value ImagePath)"
check "display name" "OSTREL_KELV_2008" "$(value DisplayName)"
check "-INSTALL when it exists" "0" "$(run -INSTALL)"
check "-UNINSTALL exits with 0" "0" "$(run -UNINSTALL)"
check "service removed" "no" "$(registered)"
check "-UNINSTALL when it does not exist" "0" "$(run -UNINSTALL)"
run -install > /dev/null
check "-install acts as -INSTALL" "yes" "$(registered)"
run -uninstall > /dev/null
check "-uninstall acts as -UNINSTALL" "no" "$(registered)"
run -Install > /dev/null
check "-Install acts as -INSTALL" "yes" "$(registered)"

# --- -RUN: the service launches the "-auto" copy, which serves hidden -----------
check "-RUN exits with 0" "0" "$(run -RUN)"
wait_port 60001 && ok "the service's -auto copy serves on 60001" || fail "nothing serves after -RUN"
check "-auto copy: site" "<html>ui test site</html>" "$(curl -s --max-time 5 http://127.0.0.1:60001/)"
wait_state '^window hidden' 20 && ok "-auto copy: no window shown" || fail "window: $(probe state | head -1)"
probe state | grep -q '^appwindow hidden exstyle=0x[0-9a-f]*8[0-9a-f] ' && ok "-auto copy: no taskbar button" \
  || fail "appwindow: $(probe state | grep '^appwindow')"
probe state | grep -q '^ctl 115 .* text=Status: started$' && ok "-auto copy: Status: started" || fail "status"
check "the service process has ended: one copy runs" "1" "$(probe processes ostrel.exe)"
end_copy && ok "close-self ends the -auto copy" || fail "-auto copy still there"
wait_closed 60001 && ok "port closed" || fail "port still open"
check "-UNINSTALL" "0" "$(run -UNINSTALL)"
check "-RUN without the service installs it" "0" "$(run -run)"
check "registered by -RUN" "yes" "$(registered)"
wait_port 60001 && ok "and starts it" || fail "not started"
end_copy; wait_closed 60001
run -UNINSTALL > /dev/null
check "gone again" "no" "$(registered)"

# --- the service path outside the service manager ------------------------------
check "show-window 0 with -INSTALL ends with 0" "exit 0" "$(probe spawn-hidden "$exe" -INSTALL)"
check "and does nothing (no service)" "no" "$(registered)"

# --- /INSTALL is no switch -----------------------------------------------------
wine "$winexe" /INSTALL > /dev/null 2>&1 &
pid=$!
wait_state '^window visible' 60 && ok "/INSTALL starts the window" || fail "/INSTALL: no window"
check "/INSTALL installs nothing" "no" "$(registered)"
end_copy
wait_exit "$pid" 30; check "close-self exit code" "0" "$exit_code"

# --- "-auto" -------------------------------------------------------------------
printf '[Kelv]\r\nAutoRun=0\r\n' > "$app/Setup.ini"
rm -f "$app/php/php.ini"
start=$(date +%s)
check "-auto with AutoRun=0 exits with 0" "0" "$(run -auto)"
[ $(($(date +%s) - start)) -lt 20 ] && ok "and at once" || fail "it took long"
[ ! -e "$app/php/php.ini" ] && ok "no php.ini written" || fail "php.ini written"
(exec 3<>/dev/tcp/127.0.0.1/60001) 2>/dev/null && fail "port bound" || ok "port not bound"
check "no window left" "window none" "$(probe state | head -1)"
printf '[Kelv]\r\nAutoRun=1\r\n' > "$app/Setup.ini"
wine "$winexe" -AUTO > /dev/null 2>&1 &
pid=$!
wait_port 60001 && ok "-AUTO with AutoRun=1 serves at once" || fail "-AUTO did not serve"
[ -s "$app/php/php.ini" ] && ok "php.ini written" || fail "no php.ini"
wait_state '^window hidden' 20 && ok "window hidden" || fail "window shown"
[ ! -e "$app/iexplore.log" ] && ok "no browser on an automatic start" || fail "browser opened"
probe tray 514
wait_state '^window visible' 10 && ok "a left click on the icon opens the window" || fail "not opened"
probe state | grep -q '^ctl 115 .* text=Status: started$' && ok "showing Status: started" || fail "status"
end_copy
wait_exit "$pid" 30; check "exit code 0" "0" "$exit_code"

finish
