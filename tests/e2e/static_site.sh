#!/usr/bin/env bash
# Black-box test of the static site: replies byte for byte, redirects, refusals
# and the root check, against the Linux program or the Windows build under Wine.
# Usage: static_site.sh linux <ostrel> | static_site.sh wine <e2e_serve.exe>
set -u
mode=$1; program=$2
here=$(dirname "$0")
. "$here/lib.sh"
[ "$mode" = linux ] && ip link set lo up 2>/dev/null

app=$(mktemp -d /tmp/ostrel-e2e.XXXXXX)
trap 'touch "$app/stop"; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$app"' EXIT
make_app "$app" "$program"
printf '<html>home</html>' > "$app/www/index.html"
printf '<p>a</p>\n' > "$app/www/a.html"
: > "$app/www/empty.txt"
printf 'xyz' > "$app/www/data.unknownext"
printf 'body{}' > "$app/www/site.css"
printf '<?php echo "docs-index"; ?>' > "$app/www/docs/index.php"
printf '<?php /* SOURCE-SECRET */ ?>' > "$app/www/page.php"
head -c 1048577 /dev/urandom > "$app/www/big.bin"
printf 'SECRET-OUTSIDE' > "$app/secret.txt"
mkdir -p "$app/www2" "$app/wwwdata"
printf 'SECRET-SIBLING' > "$app/www2/secret.txt"
printf 'SECRET-SIBLING' > "$app/wwwdata/secret.txt"
printf 'C:\\Users\\SECRET-DIRS\r\n' > "$app/www/dirs.ini"
mkdir -p "$app/www/del"$'\x7f'
[ "$mode" = linux ] && mkdir -p "$app/www/ctl"$'\r\n'"X-Injected: 1"

if [ "$mode" = linux ]; then
  port=60001
  link_php "$app"
  # Started with a soft open-files limit below the hard one, which it raises.
  (ulimit -Sn $(( $(ulimit -Hn) / 2 )) && XDG_RUNTIME_DIR="$app" exec "$app/$(basename "$program")") \
    > "$app/out.txt" 2>&1 &
else
  port=60011
  wine "$app/$(basename "$program")" $port > "$app/out.txt" 2>&1 &
fi
pid=$!
wait_port $port || { cat "$app/out.txt"; fail "server did not start"; finish; exit 1; }
url="http://127.0.0.1:$port"

# --- replies -----------------------------------------------------------------
check "GET / gives index.html" "<html>home</html>" "$(curl -s "$url/")"
head=$(raw $port 'GET /a.html HTTP/1.1\r\nHost: x\r\n\r\n' | head -c 200 | sed -n '1,/^\r$/p')
charset=$(grep -o 'charset=[a-z0-9-]*' <<<"$head" | cut -d= -f2)
case "$charset" in utf-8|iso-8859-1|gb2312) ok "html gets a charset ($charset)";; *) fail "charset [$charset]";; esac
expected=$(printf 'HTTP/1.1 200 OK\r\nServer: Ovrin\r\nConnection: close\r\nContent-Type: text/html; charset=%s\r\nContent-Length: 9\r\n\r' "$charset")
check "file reply head byte for byte" "$expected" "$head"
check "lower-case method accepted" "<p>a</p>" "$(raw $port 'get /a.html HTTP/1.1\r\n\r\n' | tail -n 1)"
check "unknown extension" "application/octet-stream" \
  "$(curl -s -o /dev/null -w '%{content_type}' "$url/data.unknownext")"
check "css gets a charset" "text/css; charset=$charset" "$(curl -s -o /dev/null -w '%{content_type}' "$url/site.css")"
check "empty file: length 0" "Content-Length: 0" "$(curl -s -D - -o /dev/null "$url/empty.txt" | grep -i '^Content-Length' | tr -d '\r')"
check "empty file: no body" "0" "$(raw $port 'GET /empty.txt HTTP/1.1\r\n\r\n' | sed '1,/^\r$/d' | wc -c)"
curl -s -o "$app/big.got" "$url/big.bin"
cmp -s "$app/www/big.bin" "$app/big.got" && ok "1 MiB file arrives byte for byte" || fail "1 MiB file differs"
redirect=$(raw $port 'GET /sub%20dir HTTP/1.1\r\n\r\n')
expected=$(printf 'HTTP/1.1 302 Object Moved\r\nServer: Ovrin\r\nConnection: close\r\nContent-Type: text/html\r\nLocation: /sub dir/\r\n\r\n')
check "directory without slash redirected" "$expected" "$redirect"
if [ "$mode" = linux ]; then
  check "index.php when only it exists" "docs-index" "$(curl -s "$url/docs/")"
fi

# --- refusals: closed without a reply ----------------------------------------
for req in 'HEAD / HTTP/1.1\r\n\r\n' 'PUT /a.html HTTP/1.1\r\nContent-Length: 0\r\n\r\n' \
           'OPTIONS / HTTP/1.1\r\n\r\n' 'POST /a.html HTTP/1.1\r\nContent-Length: 0\r\n\r\n' \
           'POST /docs HTTP/1.1\r\nContent-Length: 0\r\n\r\n' 'GET /missing.html HTTP/1.1\r\n\r\n' \
           'GET /a.html\r\n\r\n' 'GET /a.html HTTP/1.1\r\n Host: x\r\n\r\n' \
           'GET /a.html?x=\ry HTTP/1.1\r\n\r\n' 'GET /a.html%00 HTTP/1.1\r\n\r\n'; do
  check "no reply: ${req%% HTTP*}" "" "$(raw $port "$req")"
done
[ "$mode" = wine ] && check "no reply: .php without interpreter" "" "$(raw $port 'GET /page.php HTTP/1.1\r\n\r\n')"
# Folders outside the root (no redirect tells they exist), control bytes that
# would reach the Location line (Windows resolves ".." by its text), and the
# shared folders' list.
hostile=('/..' '/%2e%2e' '/../www2' '/docs/../..' '/del%7f' '/docs/%0d%0aX-Injected:%201/..' '/docs/%0aX/..'
         '/dirs.ini' '/./dirs.ini' '/docs/../dirs.ini' '/%64irs.ini')
[ "$mode" = linux ] && hostile+=('/ctl%0d%0aX-Injected:%201')
[ "$mode" = wine ] && hostile+=('/DIRS.INI' '/Dirs.Ini' '/dirs.ini.' '/dirs.ini::$DATA')
for h in "${hostile[@]}"; do
  check "no reply: $h" "" "$(raw $port "GET $h HTTP/1.1\r\n\r\n")"
done
if [ "$mode" = linux ]; then
  limits=$(grep '^Max open files' "/proc/$pid/limits")
  check "soft open-files limit raised to the hard one" "$(awk '{print $5}' <<<"$limits")" "$(awk '{print $4}' <<<"$limits")"
fi

# --- the root check ----------------------------------------------------------
attacks=('/../secret.txt' '/%2e%2e/secret.txt' '/%2E%2E%2Fsecret.txt' '/..%2fsecret.txt' '/..%5csecret.txt'
         '/..\\secret.txt' '//..//secret.txt' '/./../secret.txt' '/docs/../../secret.txt'
         '/%2e%2e%2f%2e%2e%2f%2e%2e%2f%2e%2e%2fetc%2fpasswd' '/../www2/secret.txt' '/..%2fwww2%2fsecret.txt'
         '/../wwwdata/secret.txt' '/%c0%ae%c0%ae/secret.txt' '/%252e%252e/secret.txt' '/..%00/secret.txt'
         '/C:/windows/win.ini' '/..%5c..%5c..%5c..%5cwindows%5cwin.ini' '/\\\\127.0.0.1\\c$\\secret.txt'
         '/page.php.' '/page.php%20' '/page.php::$DATA' '/page.php%3a%3a$DATA' '/PAGE.PHP.%20.')
for a in "${attacks[@]}"; do
  reply=$(raw $port "GET $a HTTP/1.1\r\n\r\n")
  if grep -q -e SECRET -e 'root:' -e '\[fonts\]' <<<"$reply"; then fail "leak through $a"
  elif [ -n "$reply" ] && ! grep -q '^HTTP/1.1 302' <<<"$reply"; then fail "reply to $a: $(head -1 <<<"$reply")"
  else ok "refused $a"; fi
done

# --- stop ----------------------------------------------------------------------
if [ "$mode" = linux ]; then kill -TERM "$pid"; else touch "$app/stop"; fi
wait "$pid"; rc=$?
pid=
check "stops with exit code 0" 0 "$rc"
wait_closed $port && ok "port closed after stop" || fail "port still open after stop"
finish
