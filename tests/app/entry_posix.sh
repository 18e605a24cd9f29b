#!/usr/bin/env bash
# Black-box test of the Linux entry: the headless run, one copy at a time,
# "-auto" with AutoRun off, the service commands with the systemd stand-in,
# SIGTERM, the list switches. Runs in a network namespace of its own (unshare -n).
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

# The port opens while the interpreter is still being checked; what the
# program says of it comes before its status line.
wait_status() {  # file: until it holds the status line, at most 20 s
  for _ in $(seq 200); do grep -q '^Status: ' "$1" && return 0; sleep 0.1; done
  return 1
}

# --- the interactive (headless) run and the single-copy rule -----------------
"$app/ostrel" > "$work/out1.txt" 2>&1 & first=$!; pids="$first"
wait_port 60001 && ok "started without arguments: serves on 60001" || fail "no server on 60001"
check "the site" "<html>entry</html>" "$(curl -s --max-time 5 http://127.0.0.1:60001/)"
wait_status "$work/out1.txt"
grep -q "Status: started" "$work/out1.txt" && ok "prints its status" || fail "status: $(cat "$work/out1.txt")"
grep -q -- "^(none) .*--share <directory>" "$work/out1.txt" && ok "an empty list says how to share" \
  || fail "no hint: $(cat "$work/out1.txt")"
check "a second copy ends at once with 0" "0" "$(exit_code 5 "$app/ostrel")"
timeout 10 "$app/ostrel" > "$work/second.out" 2> "$work/second.err"
grep -qE "is already running \(application directory $app\); it serves at http://[0-9.]+:60001\$" "$work/second.err" \
  && [ ! -s "$work/second.out" ] && ok "a second copy says where the first serves, on standard error" \
  || fail "second copy said: [$(cat "$work/second.out" "$work/second.err")]"
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
  wait_port 60001 && wait_status "$work/out2.txt" || fail "no server with the command-line PHP"
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
  wait_status "$work/out3.txt"
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
wait_closed 60001

# --- the list switches --------------------------------------------------------
list_is() {  # name path...: the list file holds exactly these lines, each ended by CR LF
  local name=$1; shift
  if printf '%s\r\n' "$@" | cmp -s - "$app/www/dirs.ini"; then ok "$name"
  else fail "$name: [$(tr '\r\n' '|#' < "$app/www/dirs.ini")]"; fi
}
refused() {  # name message command...: ends with 1, says message, changes nothing
  local name=$1 message=$2; shift 2
  cp "$app/www/dirs.ini" "$work/before.ini"
  timeout 10 "$@" > /dev/null 2> "$work/refused.err"; local rc=$?
  if [ $rc -eq 1 ] && grep -qF -- "$message" "$work/refused.err" && cmp -s "$work/before.ini" "$app/www/dirs.ini"
  then ok "$name"; else fail "$name: rc $rc, said [$(cat "$work/refused.err")]"; fi
}
rm -f "$app/www/dirs.ini"
timeout 10 "$app/ostrel" --shares > "$work/shares.out" 2> "$work/shares.err"
check "--shares of an empty list: nothing on standard output, 0" "0:" "$?:$(cat "$work/shares.out")"
grep -q -- "--share <directory>" "$work/shares.err" && ok "--shares says how to share one" || fail "--shares: $(cat "$work/shares.err")"
mkdir -p "$HOME/Music" "$work/data/sub" "$work/gone"
ln -s "$work/data/sub" "$work/link"

"$app/ostrel" --share "$HOME/Music/" > "$work/shared.out" 2>&1 & sharing=$!; pids="$sharing"
wait_port 60001 && ok "--share then serves" || fail "--share did not serve: $(cat "$work/shared.out")"
list_is "a trailing / is dropped" "$HOME/Music"
grep -qx "Sharing $HOME/Music" "$work/shared.out" && ok "--share says what it shared" || fail "$(cat "$work/shared.out")"
# While that copy runs, each switch changes the list and reports the copy (0).
check "a relative path, while a copy runs" "0" "$(cd "$work" && exit_code 10 "$app/ostrel" --share data)"
list_is "a relative path is made absolute" "$HOME/Music" "$work/data"
check "~" "0" "$(exit_code 10 "$app/ostrel" --share '~/Music')"
list_is "~ is the home directory; a listed folder moves to the end, once" "$work/data" "$HOME/Music"
exit_code 10 "$app/ostrel" --share "$work/link" "$work/gone" > /dev/null
list_is "a link is resolved" "$work/data" "$HOME/Music" "$work/data/sub" "$work/gone"
exit_code 10 "$app/ostrel" --share "$work/data//" "$work/link/../sub/." "$work/data" > /dev/null
list_is "other names of listed folders add no duplicate" "$HOME/Music" "$work/gone" "$work/data/sub" "$work/data"
refused "a missing folder is refused" "cannot share \"$work/nope\": no such directory" "$app/ostrel" --share "$work/data" "$work/nope"
refused "a file is refused" "cannot share \"$app/ostrel\": not a directory" "$app/ostrel" --share "$app/ostrel"
mkdir -m 000 "$work/locked"
if [ "$(id -u)" = 0 ]; then  # root reads anything: the unreadable case runs as nobody
  chmod 755 "$work"
  refused "an unreadable folder is refused" "it cannot be read" \
    setpriv --reuid=65534 --regid=65534 --clear-groups "$app/ostrel" --share "$work/locked"
else
  refused "an unreadable folder is refused" "it cannot be read" "$app/ostrel" --share "$work/locked"
fi
check "--unshare" "0" "$(exit_code 10 "$app/ostrel" --unshare "$work/link/")"
list_is "--unshare finds a folder by another name" "$HOME/Music" "$work/gone" "$work/data"
rmdir "$work/gone"
exit_code 10 "$app/ostrel" --unshare "$work/gone/" > /dev/null
list_is "--unshare of a folder since deleted" "$HOME/Music" "$work/data"
refused "--unshare of a folder not listed" "cannot unshare \"$work\": it is not shared" "$app/ostrel" --unshare "$work" "$work/data"
timeout 10 "$app/ostrel" --shares > "$work/shares.out"
check "--shares prints the list" "$HOME/Music|$work/data|" "$(tr '\n' '|' < "$work/shares.out")"
kill -TERM "$sharing"; wait "$sharing"; check "the sharing copy ends with 0" "0" "$?"

# --- who may come in: --access, and switches that combine -------------------------
timeout 10 "$app/ostrel" --access > "$work/access.out"
check "--access alone ends with 0" "0" "$?"
grep -q "^Access: open - " "$work/access.out" && grep -qE "^Tell this URL to your friends: http://[0-9.]+:60001$" \
  "$work/access.out" && ok "a fresh site is open, its address without a code" || fail "--access: $(cat "$work/access.out")"
refused "--access takes a mode it knows" "--access takes one of open, code or approve" "$app/ostrel" --access closed
timeout 10 "$app/ostrel" --access code --share "$work/data/sub" --shares > "$work/combined.out" 2>&1
check "--access code --share DIR --shares ends with 0" "0" "$?"
check "each switch runs in its turn" "Access: code|Sharing $work/data/sub|$HOME/Music|$work/data|$work/data/sub|" \
  "$(tr '\n' '|' < "$work/combined.out")"
timeout 10 "$app/ostrel" --access > "$work/access.out"
code=$(sed -n 's|^Tell this URL to your friends: http://[0-9.]*:60001/?code=\([2-9A-HJKMNP-Z]\{10\}\)$|\1|p' "$work/access.out")
[ -n "$code" ] && grep -q "^Access: code - " "$work/access.out" && grep -q "^Code=$code" "$app/state/access.ini" \
  && ok "code mode: a code of ten, the address carries it" || fail "code: $(cat "$work/access.out")"
"$app/ostrel" > "$work/coded.out" 2>&1 & coded=$!; pids="$coded"
wait_port 60001 || fail "no server in code mode"
grep -qx "Tell this URL to your friends: http://[0-9.]*:60001/?code=$code" "$work/coded.out" \
  && ok "the server prints the address with the code" || fail "printed: $(cat "$work/coded.out")"
kill -TERM "$coded"; wait "$coded"; wait_closed 60001
printf '[Access]\r\nMode=open\r\nCode=ABC' > "$app/state/access.ini"
timeout 10 "$app/ostrel" --access > "$work/access.out"
grep -q "^Access: approve - " "$work/access.out" && grep -q "found damaged" "$work/access.out" \
  && ok "a damaged file is approve mode, and says so" || fail "damaged: $(cat "$work/access.out")"
exit_code 10 "$app/ostrel" --access open --shares > /dev/null
timeout 10 "$app/ostrel" --access | grep -q "^Access: open - " \
  && ok "--access open writes a sound file again" || fail "after --access open: $(cat "$app/state/access.ini")"
# The state fails shut and holds no command: a pipe or a dangling link for the
# file is damage, read without waiting; a lock another keeps ends a change
# within its limit (3 s), with nothing written; then a change writes a plain file.
for plant in mkfifo "ln -s $work/nowhere"; do
  rm -f "$app/state/access.ini"; $plant "$app/state/access.ini"
  timeout 10 "$app/ostrel" --access > "$work/access.out"
  grep -q "^Access: approve - " "$work/access.out" && grep -q "found damaged" "$work/access.out" \
    && ok "${plant%% *} for the settings: approve mode" || fail "${plant%% *}: $(cat "$work/access.out")"
done
( flock 9; echo held > "$work/held"; sleep 30 ) 9> "$app/state/.lock" & holder=$!; pids="$holder"
for _ in $(seq 50); do [ -s "$work/held" ] && break; sleep 0.1; done
started=$(date +%s%N)
timeout 10 "$app/ostrel" --access open 2> "$work/busy.err" > /dev/null; rc=$?
waited=$(( ($(date +%s%N) - started) / 1000000 ))
[ $rc -eq 1 ] && [ $waited -lt 6000 ] && grep -q "busy" "$work/busy.err" && [ -L "$app/state/access.ini" ] \
  && ok "a held lock ends --access open in ${waited} ms, writing nothing" || fail "held lock: rc $rc, ${waited} ms, $(cat "$work/busy.err")"
kill "$holder"; wait "$holder" 2>/dev/null
[ "$(exit_code 10 "$app/ostrel" --access open --shares)" = 0 ] && [ -f "$app/state/access.ini" ] \
  && [ ! -L "$app/state/access.ini" ] && ok "--access open writes a plain file over the link" || fail "still a link"

# A link planted in place of the lock file is not followed: the copy ends with
# 0, saying why, and creates nothing where the link points.
mkdir -p "$work/run2"
ln -s "$work/elsewhere" "$work/run2/Ostrel File Sharing Server_OneCopyMutex"
XDG_RUNTIME_DIR="$work/run2" timeout 10 "$app/ostrel" 2> "$work/link.err"
check "a linked lock file: ends with 0" "0" "$?"
grep -q "cannot open its lock file" "$work/link.err" && [ ! -e "$work/elsewhere" ] \
  && ok "a linked lock file is not followed, and the copy says so" || fail "linked lock: $(cat "$work/link.err")"

finish
