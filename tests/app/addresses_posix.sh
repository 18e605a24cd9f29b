#!/usr/bin/env bash
# The address given out, in lib.sh's namespace of two adapters: the console and
# the host page (with what Windows may tell, or a damaged file) give the default
# route's address first, the other beside it; Setup.ini's pick holds while the
# machine has it, and stays while it has not.
# Usage (under unshare -n -m): addresses_posix.sh <built application directory>
set -u
built=$1
. "$(dirname "$0")/../e2e/lib.sh"
two_adapters || { fail "the namespace's links"; finish; exit 1; }

work=$(mktemp -d /tmp/ostrel-addresses.XXXXXX)
trap '[ -n "${pid:-}" ] && kill -9 "$pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
app="$work/app"
make_app "$app" "$built/ostrel"
cp -R "$built/www" "$built/site_inc" "$app/"
link_php "$app"
export HOME="$work" XDG_RUNTIME_DIR="$work"

start() {  # until the program has said its status
  "$app/ostrel" > "$work/out.txt" 2>&1 & pid=$!
  for _ in $(seq 100); do grep -q '^Status: ' "$work/out.txt" && return 0; sleep 0.1; done
  fail "no status line: $(cat "$work/out.txt")"
}
stop() { kill -TERM "$pid"; wait "$pid"; pid=""; wait_closed 60001; }
given() { sed -n 's/^Tell this URL to your friends: //p' "$work/out.txt"; }
page() { curl -s --max-time 10 http://192.168.1.50:60001/host.php; }
listed() { page | grep -o 'data-ip="[0-9.]*"' | cut -d'"' -f2 | paste -sd' '; }
has() {  # name pattern...: every pattern is in the host page
  local name=$1 text; shift; text=$(page)
  for pattern in "$@"; do grep -q -- "$pattern" <<<"$text" || { fail "$name: no $pattern"; return; }; done
  ok "$name"
}

start
check "console: the default route's address given out" "http://192.168.1.50:60001" "$(given)"
check "console: every address with its adapter, the given one first" \
  "  http://192.168.1.50:60001  wifi0 (virtual)|  http://172.20.0.5:60001  vswitch0 (virtual)" \
  "$(sed -n '/^This computer.s addresses, the one above first:$/,/^Status/p' "$work/out.txt" | grep '^  ' | paste -sd'|')"
check "host page, served at the given address: 192.168.1.50 first, 172.20.0.5 beside it" "192.168.1.50 172.20.0.5" "$(listed)"
has "host page: a QR code each, marks, Can't connect? as Linux can tell it" \
  'data-ip="192.168.1.50"><canvas class="host-address-qr" [^>]*data-text="http://192.168.1.50:60001"' \
  'data-text="http://172.20.0.5:60001"' 'http://192.168.1.50:60001</a> <span class="host-mark host-mark-given">' \
  'vswitch0</span> <span class="host-mark host-mark-virtual">Virtual adapter</span>' \
  'port 60001 of every address of this computer' 'class="host-firewall-none"'
mkdir -p "$app/state" && printf '[Access]\r\nMode=code\r\nUploads=on\r\nCode=ABCDEFGH23\r\n' > "$app/state/access.ini"
has "code mode: the code panel's LOCAL_ADDR is the address given out; every address carries the code" \
  'id="host-qr" [^>]*data-text="http://192.168.1.50:60001/?code=ABCDEFGH23"' \
  'data-text="http://172.20.0.5:60001/?code=ABCDEFGH23"'
rm "$app/state/access.ini"
# What Windows may tell (the page reads the file afresh), then a damaged file.
printf 'address\t192.168.1.50\twifi\tWi-Fi\nfirewall\tblocked\nnetworks\tknown\nnetwork\tpublic\tCaf\xc3\xa9 <5G>\n' \
  > "$app/state/network.txt"
has "host page: a blocking firewall and a public network, as Windows tells them" \
  '<details open><summary><h2 id="cant-connect-title">' 'role="alert">Windows Firewall blocks this program' \
  '<li>“Café &lt;5G&gt;”: <strong>Public network</strong> – Windows keeps visitors out'
printf 'address\t999.1.1.1\tvirtual\tx\naddress\t10.0.0.1\tstrange\tx\nfirewall\tmaybe\n' > "$app/state/network.txt"
check "a damaged file: the address given out alone" "192.168.1.50" "$(listed)"
has "a damaged file: the firewall unknown" 'The firewall: unknown'
stop

# A new default route counts at the next start, but not over a pick the machine has.
ip route replace default via 172.20.0.1 dev vswitch0
for pick in 192.168.1.50:192.168.1.50 10.9.9.9:172.20.0.5; do
  printf '[Kelv]\r\nAutoRun=1\r\nAddress=%s\r\n' "${pick%:*}" > "$app/Setup.ini"
  start
  check "after the route moved, Setup.ini's pick ${pick%:*} gives out ${pick#*:}" "http://${pick#*:}:60001" "$(given)"
  stop
done
grep -q '^Address=10.9.9.9' "$app/Setup.ini" && ok "the pick stays for when the address comes back" || fail "pick lost"
finish
