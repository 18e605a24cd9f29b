#!/usr/bin/env bash
# The Windows packages under Wine: the zip holds exactly the shipped tree; the
# installer's silent mode installs per user (and downloads no PHP), the
# installed program serves, an upgrade ends the running copy and keeps the
# settings, and the silent uninstall ends a running copy and removes the files,
# the shortcut, the installed-programs entry and an installed service. Its
# pages: Install, then Finish sets up PHP from a release folder served on
# loopback, shows the lines of -GETPHP, and starts the program.
# Usage: installer_wine.sh <build dir> <ostrel_probe.exe> <wineprefix> <version> <php-cgi stand-in>
set -u
build=$1; PROBE=$2; prefix=$3; version=$4; cgi=$5
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)
. "$here/../e2e/lib.sh"
. "$here/../ui/wine_gui.sh"

work=$(mktemp -d /tmp/ostrel-pack.XXXXXX)
name="Ostrel File Sharing Server"
key="HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$name"
service='HKLM\System\CurrentControlSet\Services\OSTREL_KELV_2008'

regvalue() {  # key value
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v k="$2" '$1 == k { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}
present() { wine reg query "$1" > /dev/null 2>&1 && echo yes || echo no; }
winpath() { wine cmd /c "echo $1" 2>/dev/null | tr -d '\r'; }
# What an interrupted run may have left: the service, the copy, the files, the keys.
leftovers() {
  [ -n "${instwin:-}" ] && [ -f "$inst/ostrel.exe" ] && timeout 60 wine "$instwin\\ostrel.exe" -UNINSTALL > /dev/null 2>&1
  probe closeself > /dev/null 2>&1
  wine reg delete "$key" /f > /dev/null 2>&1
  wine reg delete "HKCU\\Software\\$name" /f > /dev/null 2>&1
  [ -n "${inst:-}" ] && rm -rf "$inst"
  [ -n "${shortcut:-}" ] && rm -f "$shortcut"
}
server=""
trap 'leftovers; [ -n "$server" ] && kill "$server" 2>/dev/null; gui_teardown; rm -rf "$work"' EXIT
gui_setup "$prefix" "$work" || { fail "no display"; finish; exit 1; }
# PHP's release folder on loopback; every run of the installer sees its address.
python3 "$src/tests/getphp/make_releases.py" "$work/releases" "$cgi" "$cgi" good
python3 "$src/tests/getphp/release_server.py" "$work/releases" 18080 "$work/server.log" &
server=$!
wait_port 18080 || fail "the release server does not answer"
export OSTREL_PHP_RELEASES=http://127.0.0.1:18080/good/releases.json
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe="  # no menu entries on this machine

# --- the packages ---------------------------------------------------------------
command -v makensis > /dev/null || { fail "makensis is missing (Debian's nsis; scripts/setup.sh installs it)"; finish; exit 1; }
cpack --config "$build/CPackConfig.cmake" -B "$work/pkg" > "$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log"; fail "cpack"; finish; exit 1; }
zip=$(ls "$work"/pkg/*-portable.zip); setup=$(ls "$work"/pkg/*-setup.exe)
ok "both packages made: $(basename "$zip") $(stat -c %s "$zip") bytes, $(basename "$setup") $(stat -c %s "$setup") bytes"
expected=$( (printf 'ostrel.exe\nphp/\nphp/README.txt\nphp/extensions/\nphp/temp/\n'
             cd "$src" && find www site_inc -type d -printf '%p/\n' -o -type f -print) | sort)
check "zip: exactly the shipped tree" "$expected" "$(unzip -Z1 "$zip" | sort)"
unzip -p "$zip" php/README.txt | grep -q 'x64 Non Thread Safe' && unzip -p "$zip" php/README.txt | grep -q 'php-cgi.exe' \
  && unzip -p "$zip" php/README.txt | grep -q 'writes php.ini' && ok "php\\README.txt says which PHP and who writes php.ini" \
  || fail "php\\README.txt: $(unzip -p "$zip" php/README.txt)"

# --- silent install ---------------------------------------------------------------
instwin="$(winpath '%LOCALAPPDATA%')\\Programs\\$name"
inst=$(winepath -u "$instwin" 2>/dev/null)
shortcut=$(winepath -u "$(winpath '%APPDATA%')\\Microsoft\\Windows\\Start Menu\\Programs\\$name.lnk" 2>/dev/null)
leftovers
cp "$setup" "$work/setup.exe"
check "/S installs with exit code 0" "0" "$(timeout 120 wine "$work/setup.exe" /S > /dev/null 2>&1; echo $?)"
[ -f "$inst/ostrel.exe" ] && ok "into the user's own programs folder" \
  || fail "nothing in $inst ($instwin); beside it: $(ls "$(dirname "$inst")" 2>&1 | tr '\n' ' ')"
diff -r "$src/www" "$inst/www" > /dev/null && diff -r "$src/site_inc" "$inst/site_inc" > /dev/null && ok "the site installed whole" || fail "site differs"
[ -d "$inst/php/temp" ] && [ -d "$inst/php/extensions" ] && [ -f "$inst/php/README.txt" ] && ok "php folder laid out" \
  || fail "php folder: $(ls -R "$inst/php" 2>&1)"
[ ! -e "$inst/php/php-cgi.exe" ] && [ ! -s "$work/server.log" ] && ok "a silent install downloads no PHP" \
  || fail "silent install: $(cat "$work/server.log" 2>/dev/null)"
[ -f "$shortcut" ] && ok "Start-menu shortcut" || fail "no shortcut at $shortcut"
check "installed-programs entry" "$name" "$(regvalue "$key" DisplayName)"
check "entry: version" "$version" "$(regvalue "$key" DisplayVersion)"
check "entry: uninstaller" "\"$instwin\\uninstall.exe\"" "$(regvalue "$key" UninstallString)"
check "version resource" "version $name|$version|$version" "$(probe version "$instwin\\ostrel.exe")"

# --- the installed program serves -----------------------------------------------------
wine "$instwin\\ostrel.exe" -auto > /dev/null 2>&1 &
wait_port 60001 && ok "the installed program serves on 60001" || fail "nothing serves"
curl -s --max-time 10 -o "$work/site.css" http://127.0.0.1:60001/assets/site.css
cmp -s "$src/www/assets/site.css" "$work/site.css" && ok "curl gets a static file" || fail "static file differs"

# --- an upgrade over the running copy keeps the settings -----------------------------
printf '[Kelv]\r\nAutoRun=1\r\n' > "$inst/Setup.ini"
printf 'C:\\shared\r\n' > "$inst/www/dirs.ini"
rm "$inst/www/index.php"
check "upgrade: /S again" "0" "$(timeout 120 wine "$work/setup.exe" /S > /dev/null 2>&1; echo $?)"
wait_closed 60001 && ok "upgrade ended the running copy" || fail "the old copy still serves"
check "upgrade keeps Setup.ini" "$(printf '[Kelv]\r\nAutoRun=1\r\n')" "$(cat "$inst/Setup.ini")"
check "upgrade keeps www\\dirs.ini" "$(printf 'C:\\shared\r\n')" "$(cat "$inst/www/dirs.ini")"
[ -f "$inst/www/index.php" ] && ok "upgrade puts back the shipped files" || fail "index.php missing after upgrade"

# --- silent uninstall with a running copy and an installed service --------------------
wine "$instwin\\ostrel.exe" -auto > /dev/null 2>&1 &
wait_port 60001 || fail "not serving before the uninstall"
timeout 60 wine "$instwin\\ostrel.exe" -INSTALL > /dev/null 2>&1
check "service installed" "$instwin\\ostrel.exe" "$(regvalue "$service" ImagePath)"
quiet=$(regvalue "$key" QuietUninstallString)
check "entry: quiet uninstaller" "\"$instwin\\uninstall.exe\" /S" "$quiet"
# The uninstaller runs a copy of itself from the temporary folder and returns at once.
timeout 60 wine "$instwin\\uninstall.exe" /S > /dev/null 2>&1
for _ in $(seq 120); do [ -e "$inst" ] || break; sleep 0.5; done
wait_closed 60001 && ok "uninstall ended the running copy" || fail "the copy still serves"
[ ! -e "$inst" ] && ok "files and folder removed" || fail "left: $(find "$inst" | head -5)"
check "installed-programs entry removed" "no" "$(present "$key")"
check "service removed" "no" "$(present "$service")"
[ ! -e "$shortcut" ] && ok "shortcut removed" || fail "shortcut still there"

# --- the installer's pages: Install, then Finish sets up PHP and starts the program ---
wine "$work/setup.exe" > /dev/null 2>&1 &
setup_pid=$!
for _ in $(seq 120); do probe dialog | grep -q "^dialog .*$name" && break; sleep 0.5; done
probe answer 1  # Install
# Installing ends on the finish page, whose OK button (Finish) sets up PHP
# (its box checked) and then starts the program.
for _ in $(seq 60); do [ -f "$shortcut" ] && break; sleep 1; done
for _ in $(seq 20); do probe dialog | grep -q "^dialog .*$name" && break; sleep 0.5; done
sleep 2
probe answer 1  # Finish
box=$(wait_box 'is ready' 120)
grep -q -F 'PHP 8.5.2 is ready' <<<"$box" && grep -q -F 'Downloading PHP 8.5.2' <<<"$(probe boxes)" \
  && ok "Finish sets up PHP and shows the lines of -GETPHP" || fail "after Finish: $(probe boxes)"
probe answer 1 'is ready'
cmp -s "$cgi" "$inst/php/php-cgi.exe" && ok "php\\php-cgi.exe installed" || fail "no php-cgi.exe: $(ls "$inst/php")"
wait_state '^window visible' 30 && ok "Finish starts the program with its window" || fail "no window after Finish"
wait_exit "$setup_pid" 30; check "the installer ends with 0" "0" "$exit_code"
probe closeself
timeout 60 wine "$instwin\\uninstall.exe" /S > /dev/null 2>&1
for _ in $(seq 120); do [ -e "$inst" ] || break; sleep 0.5; done
[ ! -e "$inst" ] && ok "and the uninstaller removes it again" || fail "left: $(find "$inst" | head -5)"
finish
