#!/usr/bin/env bash
# PHP in one step under Wine, against release folders in the PHP project's
# format served on loopback: -GETPHP takes the newest x64 Non Thread Safe
# build (from archives/ when just superseded), keeps the user's conf.d and
# serves a page through it; a wrong checksum, a cut-off download, an entry
# outside the folder, a list without such a build, a refused connection and a
# plain http:// address elsewhere each end non-zero with a clear line and leave
# everything byte for byte as it was; a stand-in that needs a missing DLL names
# the Visual C++ runtime. Then the window: the offer is made once per run,
# never to -auto; Yes sets PHP up (timed, for a 30 MB zip) and Start goes on
# with it; Cancel stops a download and changes nothing.
# Usage: getphp_wine.sh <ostrel.exe> <cgi stand-in> <stand-in needing a DLL> <ostrel_probe.exe> <iexplore.exe>
#                       <wineprefix> <artifacts dir>
set -u
program=$1; cgi=$2; needs_dll=$3; PROBE=$4; browser=$5; prefix=$6; artifacts=$7
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/lib.sh"
. "$here/../ui/wine_gui.sh"

work=$(mktemp -d /tmp/ostrel-getphp.XXXXXX)
# Not the build folder: the DLL that the stand-in misses lies there, and a
# program's current folder is searched for DLLs.
cd "$work" || exit 1
server=""
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; gui_teardown; rm -rf "$work"' EXIT
gui_setup "$prefix" "$work" || { fail "no display"; finish; exit 1; }
python3 "$here/make_releases.py" "$work/releases" "$cgi" "$needs_dll" || { fail "release folders not made"; finish; exit 1; }
port=18080
python3 "$here/release_server.py" "$work/releases" "$port" "$work/server.log" &
server=$!
wait_port "$port" || { fail "the release server does not answer"; finish; exit 1; }
make_gui_app "$work" "$program" "$browser"
mkdir -p "$app/php/conf.d"
printf 'memory_limit = 64M\r\n' > "$app/php/conf.d/mine.ini"
printf '<?php /* mode=env */ ?>' > "$app/www/page.php"
list() { echo "http://127.0.0.1:$port/$1/releases.json"; }
zip=php-8.5.2-nts-Win32-vs17-x64.zip

# Every file and folder under work with its checksum, but the served releases,
# their log, the stand-in browser's and -GETPHP's lines.
snapshot() {
  (cd "$work" && find . \( -path ./releases -o -path ./server.log -o -path ./app/iexplore.log -o -path ./out.txt \) -prune -o -print | sort |
     while IFS= read -r f; do if [ -f "$f" ]; then echo "$f $(md5sum < "$f" | cut -c1-32)"; else echo "$f"; fi; done)
}
# Runs -GETPHP against the list at $1; sets rc and out (its lines).
getphp() {
  OSTREL_PHP_RELEASES=$1 timeout 180 wine "$winexe" -GETPHP > "$work/out.txt" 2> /dev/null
  rc=$?
  out=$(tr -d '\r' < "$work/out.txt")
}
requests() { grep -c "GET /$1" "$work/server.log" 2>/dev/null; }

# --- failures change nothing ----------------------------------------------------
before=$(snapshot)
while IFS='|' read -r what address expected; do
  getphp "$address"
  check "$what: exit code 1" "1" "$rc"
  last=$(tail -n 1 <<<"$out")
  grep -q -F -- "$expected" <<<"$last" && ok "$what: $last" || fail "$what: the last line is [$last]"
  check "$what: everything as before" "$before" "$(snapshot)"
done <<EOF_CASES
checksum that does not match|$(list badsum)|does not match the SHA-256 checksum in the list of releases; nothing was changed.
download cut off half way|$(list cut)|the download ended after
entry ../evil.txt|$(list evil)|was refused: entry "../evil.txt": a ".." segment; nothing was changed.
no x64 Non Thread Safe build|$(list nox64)|the release list names no x64 Non Thread Safe build of PHP.
connection refused|http://127.0.0.1:$((port + 1))/good/releases.json|the connection failed (refused or unreachable).
plain http:// elsewhere|http://downloads.php.net/~windows/releases/releases.json|is plain http://, which is taken only from this computer
EOF_CASES
[ ! -e "$work/evil.txt" ] && [ ! -e "$app/evil.txt" ] && ok "nothing written outside" || fail "evil.txt written"

# --- the newest x64 Non Thread Safe build, set up and serving -------------------
getphp "$(list good)"
check "-GETPHP: exit code 0" "0" "$rc"
check "-GETPHP: its last line" "PHP 8.5.2 is ready" "$(tail -n 1 <<<"$out")"
grep -q "^Downloading PHP 8.5.2 (.*): http://127.0.0.1:$port/good/$zip$" <<<"$out" && ok "-GETPHP: says what it downloads" \
  || fail "-GETPHP: lines [$out]"
check "the nts-vs17-x64 build, and no other zip, was fetched" "1 1" \
  "$(requests "good/$zip") $(grep -c 'GET /good/.*\.zip' "$work/server.log")"
cmp -s "$cgi" "$app/php/php-cgi.exe" && [ -f "$app/php/ext/php_curl.dll" ] && ok "php\\php-cgi.exe and ext\\ in place" \
  || fail "php folder: $(ls -R "$app/php" | tr '\n' ' ')"
check "the user's conf.d file stays" "$(printf 'memory_limit = 64M\r\n')" "$(cat "$app/php/conf.d/mine.ini")"
check "no folder left beside php" "" "$(ls -d "$app"/php.* 2>/dev/null)"
wine "$winexe" -auto > /dev/null 2>&1 &
wait_port 60001 || fail "-auto does not serve"
page=$(curl -s --max-time 10 http://127.0.0.1:60001/page.php | head -c 3)
check "a .php page runs through the new php-cgi.exe" "ENV" "$page"
probe closeself; wait_closed 60001

getphp "$(list archived)"
check "just superseded: exit code 0" "0" "$rc"
check "from archives/ after the 404" "1 1" "$(requests "archived/$zip") $(requests "archived/archives/$zip")"

getphp "$(list runtime)"
check "a stand-in that needs a missing DLL: exit code 2" "2" "$rc"
grep -q -F "PHP needs the Microsoft Visual C++ Redistributable (x64)" <<<"$(tail -n 1 <<<"$out")" \
  && grep -q -F "https://aka.ms/vs/17/release/vc_redist.x64.exe" <<<"$out" && ok "the outcome names the Visual C++ runtime" \
  || fail "runtime: [$out]"

# --- the window's offer -----------------------------------------------------------
rm -f "$app/php/php-cgi.exe"
start_window() {  # list
  OSTREL_PHP_RELEASES=$1 wine "$winexe" > /dev/null 2>&1 &
  pid=$!
  wait_state '^window visible' 60 || fail "no window"
}
end_window() { probe closeself; wait_exit "$pid" 30; wait_closed 60001; }
offer='The site.s pages need PHP, and the php folder holds none. Download PHP 8.5.2 for Windows \(([0-9.]+ [KM]B)\) from the PHP project and set it up now\?'

lists=$(requests good/releases.json); zips=$(requests "good/$zip")
start_window "$(list good)"
click_ctl 108
box=$(wait_box "$offer" 30)
grep -q -E "^box Ostrel File Sharing Server\|$offer\|yes=1\|no=1\|ok=0\|icon=question\|owner=main$" <<<"$box" \
  && ok "Start without PHP asks: $(cut -d'|' -f2 <<<"$box")" || fail "offer: [$box] $(probe progress)"
probe answer 7 'need PHP'  # No
for _ in $(seq 40); do balloon=$(probe balloons | grep 'No PHP in the php folder'); [ -n "$balloon" ] && break; sleep 0.25; done
[ -n "$balloon" ] && ok "No: the balloon, as without the offer" || fail "No: no balloon"
click_ctl 109; wait_closed 60001
click_ctl 108; wait_port 60001
sleep 3
check "asked once per run: a second Start does not ask" "" "$(probe boxes)"
check "the list read once, no zip fetched" "$((lists + 1)) $zips" "$(requests good/releases.json) $(requests "good/$zip")"
end_window

OSTREL_PHP_RELEASES=$(list good) wine "$winexe" -auto > /dev/null 2>&1 &
pid=$!
wait_port 60001 && sleep 3
check "-auto never asks" "" "$(probe boxes)"
check "-auto reads no list" "$((lists + 1))" "$(requests good/releases.json)"
end_window

# Cancel: a download that trickles, stopped half way.
before=$(snapshot)
start_window "$(list slow)"
click_ctl 108
wait_box "$offer" 30 > /dev/null && xdotool key Return
for _ in $(seq 80); do progress=$(probe progress); grep -q '^progress Downloading.*|[0-9.]* of ' <<<"$progress" && break; sleep 0.25; done
mkdir -p "$artifacts" && import -window root "$artifacts/php_progress.png" 2>/dev/null
read -r cx cy cw ch <<<"$(sed -E 's/.*\|cancel (-?[0-9]+) (-?[0-9]+) ([0-9]+) ([0-9]+) .*/\1 \2 \3 \4/' <<<"$progress")"
xdotool mousemove $((cx + cw / 2)) $((cy + ch / 2)) click 1
for _ in $(seq 80); do probe progress | grep -q '^progress none' && break; sleep 0.25; done
check "Cancel: the progress window goes" "progress none" "$(probe progress)"
check "Cancel: no box" "" "$(probe boxes)"
end_window
check "Cancel: everything as before" "$before" "$(snapshot)"

# Yes: a 30 MB zip, timed from the key press to the box that says it is ready.
start_window "$(list big)"
click_ctl 108
box=$(wait_box "$offer" 30)
size=$(sed -E "s/.*$offer.*/\1/" <<<"$box")
grep -q -E '^3[01]\.[0-9] MB$' <<<"$size" && ok "the offer names the size: $size" || fail "size: [$size]"
started=$(date +%s.%N)
xdotool key Return  # Yes, the default button
for _ in $(seq 40); do seen=$(probe progress); grep -q -v '^progress none' <<<"$seen" && break; sleep 0.1; done
box=$(wait_box 'is ready' 120)
ended=$(date +%s.%N)
check "Yes: the box says it" "box Ostrel File Sharing Server|PHP 8.5.2 is ready|yes=0|no=0|ok=1|icon=information|owner=main" "$box"
echo "     from Yes to \"ready\" for a 30 MB zip: $(awk -v a="$started" -v b="$ended" 'BEGIN { printf "%.1f", b - a }') s" \
     "(progress window seen: ${seen#progress })"
probe answer 1 'is ready'
# Start again with the new interpreter; until then the old server may answer.
for _ in $(seq 40); do page=$(curl -s --max-time 10 http://127.0.0.1:60001/page.php | head -c 3); [ "$page" = ENV ] && break; sleep 0.25; done
check "Start goes on with PHP: the page runs" "ENV" "$page"
wait_state '^ctl 115 .* text=Status: started$' 10 && ok "Status: started" || fail "status"
for _ in $(seq 40); do [ -s "$app/iexplore.log" ] && break; sleep 0.25; done
grep -q -E -x 'http://[0-9.]+:60001' "$app/iexplore.log" && ok "and the browser opens" || fail "browser: $(cat "$app/iexplore.log" 2>/dev/null)"
check "the user's conf.d file stays" "$(printf 'memory_limit = 64M\r\n')" "$(cat "$app/php/conf.d/mine.ini")"
end_window
finish
