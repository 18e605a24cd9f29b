#!/usr/bin/env bash
# The window's address under Wine, in a network namespace whose two veth pairs
# stand in for a virtual switch listed first (172.20.0.5) and a Wi-Fi-like
# adapter that carries the default route (192.168.1.50): the window shows the
# route's address; the button beside it offers the other, whose pick the
# window shows at once, keeps in Setup.ini and gives out at Start (the browser,
# the host page's file); picking the program's own choice again clears the
# pick, while serving too; a new default route shows at once when the system
# says that the addresses changed (posted here: Wine never says it). Prints what Wine tells of the firewall and the
# networks. Runs under unshare -n -m, so that Wine's services start in the
# namespace and sysfs shows its links.
# Usage: address_wine.sh <ostrel.exe> <ostrel_probe.exe> <iexplore.exe> <wineprefix> <artifacts dir>
set -u
program=$1; PROBE=$2; browser=$3; prefix=$4; artifacts=$5
here=$(dirname "$0")
. "$here/../e2e/lib.sh"
. "$here/wine_gui.sh"

mount -t sysfs sysfs /sys || { fail "sysfs of the namespace"; finish; exit 1; }
ip link set lo up
pair() {  # name address/prefix: a veth link whose peer stays in the namespace, both up
  ip link add "$1" type veth peer name "$1-peer" && ip addr add "$2" dev "$1" &&
    ip link set "$1" up && ip link set "$1-peer" up
}
pair vswitch0 172.20.0.5/16 && pair wifi0 192.168.1.50/24 && ip route add default via 192.168.1.1 dev wifi0 ||
  { fail "the namespace's links"; finish; exit 1; }

work=$(mktemp -d /tmp/ostrel-address.XXXXXX)
trap 'gui_teardown; rm -rf "$work"' EXIT
gui_setup "$prefix" "$work" || { fail "no display"; finish; exit 1; }
make_gui_app "$work" "$program" "$browser"
# Start's offer of PHP finds no release list at once (a name lookup would wait
# for the namespace's router, which is not there).
export OSTREL_PHP_RELEASES=http://127.0.0.1:9/releases.json
url() { ctl_line 114 | sed 's/.* text=//'; }
pick() {  # n [picture]: the n-th address of the button's menu; the open menu kept as a picture
  click_ctl 116
  sleep 1
  [ -n "${2:-}" ] && mkdir -p "$artifacts" && import -window root "$artifacts/$2" 2>/dev/null
  for _ in $(seq "$1"); do xdotool key Down; sleep 0.2; done
  xdotool key Return
}
setting() { tr -d '\r' < "$app/Setup.ini" | grep '^Address=' ; }
first_listed() { sed -n 's/^address\t\([0-9.]*\)\t.*/\1/p' "$app/state/network.txt" 2>/dev/null | head -1; }

wine "$winexe" > /dev/null 2>&1 & pid=$!
wait_state '^window visible' 60 || { fail "no window"; finish; exit 1; }
check "the window shows the default route's address" "http://192.168.1.50:60001" "$(url)"

pick 2 address_menu.png
wait_state '^ctl 114 .* text=http://172.20.0.5:60001$' 10 && ok "a pick shows at once" || fail "after the pick: $(url)"
check "and is kept in Setup.ini" "Address=172.20.0.5" "$(setting)"

click_ctl 108
wait_port 60001 && ok "Start: the port listens" || fail "Start: nothing listens"
for _ in $(seq 40); do [ -s "$app/iexplore.log" ] && break; sleep 0.25; done
check "Start opens the picked address" "http://172.20.0.5:60001" "$(tr -d '\r' < "$app/iexplore.log" 2>/dev/null | head -1)"
check "the host page's list starts with it" "172.20.0.5" "$(first_listed)"
check "the window still shows it" "http://172.20.0.5:60001" "$(url)"
echo "What Wine tells the program (state/network.txt):"
sed 's/^/    /' "$app/state/network.txt"
grep -q -x -E 'firewall	(unknown|off|allowed|blocked|inactive|missing)' "$app/state/network.txt" &&
  grep -q -x -E 'networks	(unknown|known)' "$app/state/network.txt" && ok "firewall and networks: known or unknown" ||
  fail "firewall and networks lines"

pick 2  # the program's own choice, second in the menu now
wait_state '^ctl 114 .* text=http://192.168.1.50:60001$' 10 && ok "the program's own choice again" || fail "$(url)"
check "no pick is kept" "Address=" "$(setting)"
check "while serving, the host page's list follows at once" "192.168.1.50" "$(first_listed)"

# A new network while serving: the notification's message brings it to the
# box and the host page's list at once.
ip route replace default via 172.20.0.1 dev vswitch0
probe addresses-changed
wait_state '^ctl 114 .* text=http://172.20.0.5:60001$' 10 && ok "a new default route shows at once" || fail "$(url)"
check "and reaches the host page's list" "172.20.0.5" "$(first_listed)"

probe closeself
wait_exit "$pid" 30; check "close-self: exit code 0" "0" "$exit_code"
finish
