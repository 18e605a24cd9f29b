#!/usr/bin/env bash
# The address given out, in a network namespace whose two veth pairs stand in
# for a virtual switch listed first (172.20.0.5) and a Wi-Fi-like adapter that
# carries the default route (192.168.1.50): the console and the host page give
# the route's address first and list the other, the address answers and is
# the pages' LOCAL_ADDR; Setup.ini's pick holds while the machine has the
# address; a new default route counts at the next start.
# Runs under unshare -n -m: sysfs is mounted afresh, so that it shows the
# namespace's own links.
# Usage: addresses_posix.sh <built application directory>
set -u
built=$1
here=$(dirname "$0")
. "$here/../e2e/lib.sh"

mount -t sysfs sysfs /sys || { fail "sysfs of the namespace"; finish; exit 1; }
ip link set lo up
pair() {  # name address/prefix: a veth link whose peer stays in the namespace, both up
  ip link add "$1" type veth peer name "$1-peer" && ip addr add "$2" dev "$1" &&
    ip link set "$1" up && ip link set "$1-peer" up
}
pair vswitch0 172.20.0.5/16 && pair wifi0 192.168.1.50/24 && ip route add default via 192.168.1.1 dev wifi0 ||
  { fail "the namespace's links"; finish; exit 1; }

work=$(mktemp -d /tmp/ostrel-addresses.XXXXXX)
trap '[ -n "${pid:-}" ] && kill -9 "$pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
app="$work/app"
make_app "$app" "$built/ostrel"
cp -R "$built/www" "$built/site_inc" "$app/"
link_php "$app"
export HOME="$work" XDG_RUNTIME_DIR="$work"

start() {  # until the program has said its status (the last run's words gone first)
  rm -f "$work/out.txt"
  "$app/ostrel" > "$work/out.txt" 2>&1 & pid=$!
  for _ in $(seq 100); do grep -q '^Status: ' "$work/out.txt" 2>/dev/null && return 0; sleep 0.1; done
  fail "no status line: $(cat "$work/out.txt")"
}
stop() { kill -TERM "$pid"; wait "$pid"; pid=""; wait_closed 60001; }
host_page() { curl -s --max-time 10 "http://$1:60001/host.php"; }
listed() { grep -o 'data-ip="[0-9.]*"' | sed 's/data-ip="\(.*\)"/\1/' | tr '\n' ' ' | sed 's/ $//'; }

# --- the default route's adapter first --------------------------------------------
start
check "console: the default route's address given out" "Tell this URL to your friends: http://192.168.1.50:60001" \
  "$(grep '^Tell this URL' "$work/out.txt")"
check "console: every address with its adapter, the given one first" \
  "  http://192.168.1.50:60001  wifi0 (virtual)|  http://172.20.0.5:60001  vswitch0 (virtual)" \
  "$(sed -n '/^This computer.s addresses, the one above first:$/,/^Status/p' "$work/out.txt" | grep '^  ' | paste -sd'|')"
check "the given-out address answers" "200" "$(curl -s -o /dev/null -w '%{http_code}' --max-time 10 http://192.168.1.50:60001/)"
page=$(host_page 192.168.1.50)
check "host page: 192.168.1.50 first, 172.20.0.5 beside it" "192.168.1.50 172.20.0.5" "$(listed <<<"$page")"
grep -q 'data-ip="192.168.1.50"><canvas class="host-address-qr" [^>]*data-text="http://192.168.1.50:60001"' <<<"$page" &&
  grep -q 'data-text="http://172.20.0.5:60001"' <<<"$page" && ok "host page: a QR code for each address" ||
  fail "host page: QR codes"
grep -q 'http://192.168.1.50:60001</a> <span class="host-mark host-mark-given">Given out</span>' <<<"$page" &&
  grep -q 'vswitch0</span> <span class="host-mark host-mark-virtual">Virtual adapter</span> <span class="note">Phones' <<<"$page" &&
  ok "host page: the given-out one and the virtual adapters marked" || fail "host page: marks"
grep -q 'port 60001 of every address of this computer' <<<"$page" && grep -q 'class="host-firewall-none"' <<<"$page" &&
  ! grep -q 'Network category' <<<"$page" && ok "host page: Can't connect? as Linux can tell it" ||
  fail "host page: Can't connect?"
check "a visitor does not get the host page" "403" \
  "$(curl -s -o /dev/null -w '%{http_code}' --max-time 10 --interface 172.20.0.5 http://192.168.1.50:60001/host.php)"
# In code mode the pages' LOCAL_ADDR, and with it the host's code panel, is the address given out.
mkdir -p "$app/state" && printf '[Access]\r\nMode=code\r\nUploads=on\r\nCode=ABCDEFGH23\r\n' > "$app/state/access.ini"
page=$(host_page 192.168.1.50)
grep -q 'id="host-qr" [^>]*data-text="http://192.168.1.50:60001/?code=ABCDEFGH23"' <<<"$page" &&
  grep -q 'data-text="http://172.20.0.5:60001/?code=ABCDEFGH23"' <<<"$page" &&
  ok "code mode: LOCAL_ADDR is the address given out; every address carries the code" || fail "code mode"
rm -f "$app/state/access.ini"
# What Windows may tell (the page reads the file afresh): a blocking rule and
# a public network open the section; a damaged file leaves LOCAL_ADDR alone.
printf 'address\t192.168.1.50\twifi\tWi-Fi\nfirewall\tblocked\nnetworks\tknown\nnetwork\tpublic\tCaf\xc3\xa9 <5G>\n' \
  > "$app/state/network.txt"
page=$(host_page 192.168.1.50)
grep -q '<details open><summary><h2 id="cant-connect-title">' <<<"$page" &&
  grep -q 'role="alert">Windows Firewall blocks this program' <<<"$page" &&
  grep -q '<li>“Café &lt;5G&gt;”: <strong>Public network</strong> – Windows keeps visitors out' <<<"$page" &&
  grep -q 'Wi-Fi</span> <span class="host-kind">Wi-Fi</span>' <<<"$page" &&
  ok "host page: a blocking firewall and a public network, as Windows tells them" || fail "host page: Windows's words"
printf 'address\t999.1.1.1\tvirtual\tx\naddress\t10.0.0.1\tstrange\tx\nfirewall\tmaybe\n' > "$app/state/network.txt"
page=$(host_page 192.168.1.50)
check "a damaged file: the address given out alone" "192.168.1.50" "$(listed <<<"$page")"
grep -q 'The firewall: unknown' <<<"$page" && ok "a damaged file: the firewall unknown" || fail "damaged file: firewall"
stop

# --- the user's pick, while the machine has it ----------------------------------------
printf '[Kelv]\r\nAutoRun=1\r\nAddress=172.20.0.5\r\n' > "$app/Setup.ini"
start
check "picked: given out first" "Tell this URL to your friends: http://172.20.0.5:60001" \
  "$(grep '^Tell this URL' "$work/out.txt")"
check "picked: first on the host page too" "172.20.0.5 192.168.1.50" "$(listed <<<"$(host_page 172.20.0.5)")"
stop
printf '[Kelv]\r\nAutoRun=1\r\nAddress=10.9.9.9\r\n' > "$app/Setup.ini"
start
check "a pick the machine no longer has: the program's own choice" \
  "Tell this URL to your friends: http://192.168.1.50:60001" "$(grep '^Tell this URL' "$work/out.txt")"
grep -q '^Address=10.9.9.9' "$app/Setup.ini" && ok "the pick stays for when the address comes back" || fail "pick lost"
stop

# --- a new default route counts at the next start -------------------------------------
rm -f "$app/Setup.ini"
ip route replace default via 172.20.0.1 dev vswitch0
start
check "the route moved: the other address given out" "Tell this URL to your friends: http://172.20.0.5:60001" \
  "$(grep '^Tell this URL' "$work/out.txt")"
stop

finish
