#!/usr/bin/env bash
# The window's address under Wine, in lib.sh's namespace of two adapters (unshare
# -n -m, so that Wine's services start in it): the default route's address; a
# pick from the button's menu shows at once, is kept and given out at Start;
# picking the program's own choice clears it; a new default route shows when the
# system says the addresses changed (posted here: Wine never says it).
# Usage: address_wine.sh <ostrel.exe> <ostrel_probe.exe> <iexplore.exe> <wineprefix> <artifacts dir>
set -u
program=$1; PROBE=$2; browser=$3; prefix=$4; artifacts=$5
here=$(dirname "$0")
. "$here/../e2e/lib.sh"
. "$here/wine_gui.sh"
two_adapters || { fail "the namespace's links"; finish; exit 1; }

work=$(mktemp -d /tmp/ostrel-address.XXXXXX)
trap 'gui_teardown; rm -rf "$work"' EXIT
gui_setup "$prefix" "$work" || { fail "no display"; finish; exit 1; }
make_gui_app "$work" "$program" "$browser"
# Start's offer of PHP finds no release list at once, without a name lookup.
export OSTREL_PHP_RELEASES=http://127.0.0.1:9/releases.json
shows() { wait_state "^ctl 114 .* text=http://$2:60001\$" 10 && ok "$1" || fail "$1: $(ctl_line 114)"; }
pick() {  # n [picture]: the n-th address of the button's menu; the open menu kept as a picture
  click_ctl 116; sleep 1
  [ -n "${2:-}" ] && mkdir -p "$artifacts" && import -window root "$artifacts/$2" 2>/dev/null
  for _ in $(seq "$1"); do xdotool key Down; sleep 0.2; done; xdotool key Return
}
setting() { tr -d '\r' < "$app/Setup.ini" | grep '^Address='; }
first_listed() { sed -n 's/^address\t\([0-9.]*\)\t.*/\1/p' "$app/state/network.txt" 2>/dev/null | head -1; }

wine "$winexe" > /dev/null 2>&1 & pid=$!
wait_state '^window visible' 60 || { fail "no window"; finish; exit 1; }
shows "the window shows the default route's address" 192.168.1.50
pick 2 address_menu.png
shows "a pick shows at once" 172.20.0.5
check "and is kept in Setup.ini" "Address=172.20.0.5" "$(setting)"

click_ctl 108
wait_port 60001 && ok "Start: the port listens" || fail "Start: nothing listens"
for _ in $(seq 40); do [ -s "$app/iexplore.log" ] && break; sleep 0.25; done
check "Start opens the picked address" "http://172.20.0.5:60001" "$(tr -d '\r' < "$app/iexplore.log" 2>/dev/null | head -1)"
check "the host page's list starts with it" "172.20.0.5" "$(first_listed)"

pick 2  # the program's own choice, second in the menu now
shows "the program's own choice again" 192.168.1.50
check "no pick is kept" "Address=" "$(setting)"
check "while serving, the host page's list follows at once" "192.168.1.50" "$(first_listed)"
ip route replace default via 172.20.0.1 dev vswitch0
probe addresses-changed
shows "a new default route shows at once" 172.20.0.5
check "and reaches the host page's list" "172.20.0.5" "$(first_listed)"

probe closeself
wait_exit "$pid" 30; check "close-self: exit code 0" "0" "$exit_code"
finish
