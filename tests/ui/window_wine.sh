#!/usr/bin/env bash
# The window under Wine and Xvfb: its frame and controls where they belong,
# a screenshot, Start and Stop from real clicks, the single copy, the list's
# Delete, an escaped error, the tray icon's clicks and menu, the exit question
# (from the window and from the taskbar) and the close-self message.
# Usage: window_wine.sh <ostrel.exe> <ostrel_probe.exe> <iexplore.exe> <wineprefix> <artifacts dir>
set -u
program=$1; PROBE=$2; browser=$3; prefix=$4; artifacts=$5
here=$(dirname "$0")
. "$here/../e2e/lib.sh"
. "$here/wine_gui.sh"

work=$(mktemp -d /tmp/ostrel-window.XXXXXX)
trap 'gui_teardown; rm -rf "$work"' EXIT
gui_setup "$prefix" "$work" || { fail "no display"; finish; exit 1; }
mkdir -p "$artifacts"
make_gui_app "$work" "$program" "$browser"
printf 'c:\\data\r\nt:\r\nD:\r\n' > "$app/www/dirs.ini"

start_program() {
  wine "$winexe" "$@" > /dev/null 2>&1 &
  pid=$!
}

# --- the window as it opens ---------------------------------------------------
start_program
wait_state '^window visible' 60 && ok "window appears" || { fail "no window"; finish; exit 1; }
sleep 1
state=$(probe state)
read -r _ _ fx fy fw fh <<<"$(grep '^window ' <<<"$state")"
check "centred horizontally" "$(((1024 - fw) / 2))" "$fx"
check "centred vertically" "$(((768 - fh) / 2))" "$fy"
check "client area" "402 368" "$(grep '^client ' <<<"$state" | cut -d' ' -f4,5)"
check "caption" "caption Ostrel File Sharing Server" "$(grep '^caption ' <<<"$state")"
check "fixed frame, minimize box only" "style maximizebox=0 minimizebox=1 sysmenu=1 thickframe=0" \
  "$(grep '^style ' <<<"$state")"
grep -q '^appwindow visible exstyle=0x[0-9a-f]* title=Ostrel File Sharing Server$' <<<"$state" &&
  ! grep -q '^appwindow .*exstyle=0x[0-9a-f]*8[0-9a-f]$' <<<"$state" &&
  ok "application window: titled, with a taskbar button" || fail "application window: $(grep '^appwindow' <<<"$state")"
check "list loaded" "items 3" "$(grep '^items ' <<<"$state")"

# id, left, top, width, height ("-" where the text decides), text, enabled
expected=(
  "100 0 0 402 46 - 1"
  "101 12 16 - - Share_files_with_friends_or_colleagues. 1"
  "102 0 44 402 1 - 1"
  "103 12 60 - - 1.Shared_directories: 1"
  "104 237 55 74 23 &Add... 1"
  "105 316 55 74 23 &Delete 0"
  "106 12 83 378 133 - 1"
  "107 12 228 - - 2.Press_the_right_button: 1"
  "108 237 223 74 23 &Start 1"
  "109 316 223 74 23 &Stop 0"
  "110 12 249 378 86 - 1"
  "111 25 272 - - Default_upload_directory: 1"
  "113 25 303 - - Tell_this_URL_to_your_friends: 1"
  "112 174 268 202 21 - 1"
  "114 174 299 181 21 - 1"
  "116 355 299 21 21 Other_addresses 1"
)
for row in "${expected[@]}"; do
  read -r id ex ey ew eh etext een <<<"$row"
  read -r _ _ _ x y w h en text <<<"$(grep -E "^ctl $id " <<<"$state" | sed 's/enabled=//; s/text=//')"
  got="$x $y"; want="$ex $ey"
  [ "$ew" != - ] && { got="$got $w $h"; want="$want $ew $eh"; }
  [ "$etext" != - ] && { got="$got ${text// /_}"; want="$want $etext"; }
  check "control $id at its place" "$want $een" "$got $en"
done
read -r _ _ _ x y w h _ <<<"$(grep -E '^ctl 115 ' <<<"$state")"
check "status label: right edge 390, top 343" "390 343" "$((x + w)) $y"
grep -q '^ctl 115 .* text=Status: stopped$' <<<"$state" && ok "Status: stopped" || fail "status text"
grep -q '^ctl 112 .* text=T:\\Upload Directory$' <<<"$state" && [ -d "$work/Upload Directory" ] \
  && ok "upload directory created and shown" \
  || fail "upload directory: $(grep '^ctl 112 ' <<<"$state")"
grep -q -E '^ctl 114 .* text=http://[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+:60001$' <<<"$state" && ok "address shown" \
  || fail "address: $(grep '^ctl 114 ' <<<"$state")"
check "tab order (disabled buttons skipped)" "104 106 108 112 114 116" "$(probe tabs | tr '\n' ' ' | sed 's/ $//')"
(exec 3<>/dev/tcp/127.0.0.1/60001) 2>/dev/null && fail "something listens before Start" || ok "nothing listens before Start"

import -window root "$artifacts/desktop.png" 2>/dev/null
convert "$artifacts/desktop.png" -crop "${fw}x${fh}+${fx}+${fy}" +repage "$artifacts/main_window.png" 2>/dev/null
[ -s "$artifacts/main_window.png" ] && ok "screenshot kept in $artifacts" || fail "no screenshot"
# The tray icon is drawn in the notification area at the taskbar's right end.
tray_colours() {  # colours in the notification area's last icon place
  import -window root "$work/tray.png" 2>/dev/null
  convert "$work/tray.png" -crop 16x16+1006+750 +repage -unique-colors txt:- 2>/dev/null | wc -l
}
[ "$(tray_colours)" -gt 8 ] && ok "tray icon drawn" || fail "no tray icon"
# A new notification area ("TaskbarCreated") gets the icon back.
probe untray
sleep 1
[ "$(tray_colours)" -le 8 ] && ok "icon taken away" || fail "icon did not go"
probe broadcast TaskbarCreated
sleep 1
[ "$(tray_colours)" -gt 8 ] && ok "TaskbarCreated adds the icon again" || fail "icon not back"

# --- a second copy --------------------------------------------------------------
start=$(date +%s)
timeout 60 wine "$winexe" > /dev/null 2>&1; rc=$?
check "second copy exits with 0" "0" "$rc"
[ $(($(date +%s) - start)) -lt 20 ] && ok "second copy ends at once" || fail "second copy took long"
kill -0 "$pid" 2>/dev/null && ok "first copy still runs" || fail "first copy ended"

# --- Start and Stop by clicks -------------------------------------------------
# The host's site went over to code mode since the window was made: Start
# shows, and opens, the address with the code.
mkdir -p "$app/state" && printf '[Access]\r\nMode=code\r\nUploads=on\r\nCode=ABCDEFGH23\r\n' > "$app/state/access.ini"
click_ctl 108
wait_port 60001 && ok "Start: the port listens" || fail "Start: nothing listens"
check "Start: curl gets the site" "<html>ui test site</html>" "$(curl -s --max-time 5 http://127.0.0.1:60001/)"
wait_state '^ctl 115 .* text=Status: started$' 10 && ok "Status: started" || fail "status after Start"
for _ in $(seq 40); do balloon=$(probe balloons | grep 'No PHP in the php folder'); [ -n "$balloon" ] && break; sleep 0.25; done
[ -n "$balloon" ] && ok "no PHP: a balloon from the tray icon says so" || fail "no balloon: $(probe balloons)"
check "and no message box" "" "$(probe boxes)"
state=$(probe state)
check "started: Add, Delete, list, Start, Stop" "0 0 0 0 1" "$(for i in 104 105 106 108 109; do
  grep -E "^ctl $i " <<<"$state" | sed -E 's/.*enabled=([01]).*/\1/'; done | tr '\n' ' ' | sed 's/ $//')"
for _ in $(seq 40); do [ -s "$app/iexplore.log" ] && break; sleep 0.25; done
sleep 1
grep -E -x -c 'http://[0-9.]+:60001/\?code=ABCDEFGH23' "$app/iexplore.log" 2>/dev/null | grep -q -x 1 \
  && ok "Start opens the address, with the code, in the browser" || fail "browser: $(cat "$app/iexplore.log" 2>/dev/null)"
grep -q -E '^ctl 114 .* text=http://[0-9.]+:60001/\?code=ABCDEFGH23$' <<<"$state" && ok "the window shows it too" \
  || fail "address after Start: $(grep '^ctl 114 ' <<<"$state")"
rm -rf "$app/state"
click_ctl 109
wait_closed 60001 && ok "Stop: the port closes" || fail "Stop: still listening"
wait_state '^ctl 115 .* text=Status: stopped$' 10 && ok "Status: stopped after Stop" || fail "status after Stop"

# --- Add through the folder browser ---------------------------------------------
click_ctl 104
for _ in $(seq 40); do dialog=$(probe dialog | grep '^dialog '); [ -n "$dialog" ] && break; sleep 0.25; done
read -r _ dx dy dw dh _ <<<"$dialog"
check "folder browser centred on the screen" "$(((1024 - dw) / 2)) $(((768 - dh) / 2))" "$dx $dy"
before=$(stat -c '%Y %s' "$app/www/dirs.ini")
sleep 1.1
probe answer 2  # Cancel
sleep 1
check "cancel closes the browser" "" "$(probe dialog)"
check "cancel changes nothing" "items 3" "$(probe state | grep '^items ')"
check "cancel writes nothing" "$before" "$(stat -c '%Y %s' "$app/www/dirs.ini")"
click_ctl 104
for _ in $(seq 40); do [ -n "$(probe dialog)" ] && break; sleep 0.25; done
# A click on the tree's first row (My Computer) gives it the keyboard; then
# down the tree until the folder box names drive T.
read -r _ tx ty _ _ <<<"$(probe dialog | grep '^tree ')"
xdotool mousemove $((tx + 28)) $((ty + 9)) click 1
sleep 0.5
for _ in $(seq 8); do
  probe dialog | grep -q '^dialog .*|.*T:' && break
  xdotool key Down
  sleep 0.4
done
probe dialog | grep -q '^dialog .*|.*T:' || { fail "drive T not found in the browser"; import -window root "$artifacts/browser.png"; }
probe answer 1  # OK
sleep 1.5
check "drive root added as T:, the listed t: moved to the end" "c:\data D: T:" \
  "$(tr -d '\r' < "$app/www/dirs.ini" | tr '\n' ' ' | sed 's/ $//')"
check "the list shows it" "items 3" "$(probe state | grep '^items ')"

# --- Delete, and an error that escapes a handler ------------------------------
click_ctl 106 150 26  # the first row, under the header
wait_state '^ctl 105 .* enabled=1 ' 5 && ok "selecting an item enables Delete" || fail "Delete still disabled"
click_ctl 105
box=$(wait_box 'Do you want to delete' 10)
check "delete question" "box Ostrel File Sharing Server|Do you want to delete?|yes=1|no=1|ok=0|icon=question|owner=main" "$box"
probe answer 7  # No
sleep 1
check "No keeps the list" "items 3" "$(probe state | grep '^items ')"
click_ctl 105
wait_box 'Do you want to delete' 10 > /dev/null && probe answer 6
wait_state '^items 2$' 10 && ok "Yes removes the item" || fail "item not removed"
check "list file rewritten" "D: T:" "$(tr -d '\r' < "$app/www/dirs.ini" | tr '\n' ' ' | sed 's/ $//')"
rm -f "$app/www/dirs.ini"; mkdir "$app/www/dirs.ini"  # the file can no longer be written
click_ctl 106 150 26
click_ctl 105
wait_box 'Do you want to delete' 10 > /dev/null && probe answer 6
box=$(wait_box 'Cannot create file' 10)
grep -q -E '^box Ostrel File Sharing Server\|Cannot create file ".*dirs\.ini"\. .*\.\|yes=0\|no=0\|ok=1\|icon=stop' <<<"$box" \
  && ok "escaped error in the error box" || fail "error box: $box"
probe answer 1
sleep 1
check "the program goes on, the list already changed" "items 1" "$(probe state | grep '^items ')"
rmdir "$app/www/dirs.ini"

# --- the tray icon: clicks, hiding, the menu ------------------------------------
probe tray 514  # a left click hides
wait_state '^window hidden' 10 && ok "left click hides the window" || fail "left click did not hide"
wait_state '^appwindow hidden exstyle=0x[0-9a-f]*8[0-9a-f] ' 10 && ok "hidden: no taskbar button" \
  || fail "application window: $(probe state | grep '^appwindow')"
probe tray 514
wait_state '^window visible' 10 && ok "a second left click shows it" || fail "not shown again"
wait_state '^appwindow visible' 10 && ok "shown: the taskbar button is back" || fail "no taskbar button"
probe tray 514; probe tray 515; probe tray 514  # a double click toggles once
sleep 1.5
probe state | grep -q '^window hidden' && ok "double click toggles once" || fail "double click toggled twice"
probe tray 514
wait_state '^window visible' 10
probe minimize  # the minimize button
wait_state '^window hidden' 10 && ok "minimizing hides to the tray" || fail "minimize did not hide"
probe tray 514
wait_state '^window visible' 10 && ok "left click restores a minimized window" || fail "not restored"

# The real icon: right click opens the menu; "r" chooses the AutoRun item.
autorun() { tr -d '\r' < "$app/Setup.ini" | grep '^AutoRun=' ; }
check "AutoRun on at first" "AutoRun=1" "$(autorun)"
xdotool mousemove 1013 757 click 3
sleep 1.5
xdotool key r
box=$(wait_box 'automatically' 10)
check "AutoRun off: notice" \
  "box Ostrel File Sharing Server|This program will not run automatically when Windows starts!|yes=0|no=0|ok=1|icon=information|owner=main" "$box"
check "AutoRun off: Setup.ini" "AutoRun=0" "$(autorun)"
probe answer 1
sleep 1
xdotool mousemove 500 300
probe tray 517
sleep 1.5
xdotool key r
box=$(wait_box 'automatically' 10)
check "AutoRun on again: notice" "This program will run automatically when Windows starts!" "$(cut -d'|' -f2 <<<"$box")"
check "AutoRun on again: Setup.ini" "AutoRun=1" "$(autorun)"
probe answer 1

# --- the exit question ----------------------------------------------------------
click_ctl 108
wait_port 60001
probe close
box=$(wait_box 'Do you want to exit' 10)
check "exit question" "box Ostrel File Sharing Server|Do you want to exit?|yes=1|no=1|ok=0|icon=question|owner=main" "$box"
probe answer 7
sleep 1
kill -0 "$pid" 2>/dev/null && (exec 3<>/dev/tcp/127.0.0.1/60001) 2>/dev/null && ok "No: everything stays, the server too" \
  || fail "No ended something"
# Closing from the taskbar asks the same question: "End task" (No), then the
# button's Close (Yes).
probe appclose
box=$(wait_box 'Do you want to exit' 10)
check "taskbar close asks" "box Ostrel File Sharing Server|Do you want to exit?|yes=1|no=1|ok=0|icon=question|owner=main" "$box"
probe answer 7
sleep 1
kill -0 "$pid" 2>/dev/null && ok "taskbar close, No: the program stays" || fail "taskbar close ended the program"
probe appclose sys
wait_box 'Do you want to exit' 10 > /dev/null && probe answer 6
wait_exit "$pid" 30; check "Yes: exit code 0" "0" "$exit_code"
wait_closed 60001 && ok "Yes: the port is closed" || fail "port still open after exit"

# --- the close-self message ---------------------------------------------------
start_program
wait_state '^window visible' 60
click_ctl 108
wait_port 60001 && ok "started again" || fail "no second start"
probe closeself
wait_exit "$pid" 30; check "close-self: exit code 0" "0" "$exit_code"
wait_closed 60001 && ok "close-self: the port is closed" || fail "close-self: port still open"
check "close-self: no question asked" "" "$(probe boxes)"

# --- an error while the window is created ---------------------------------------
rmdir "$work/Upload Directory"; : > "$work/Upload Directory"  # a file where the directory belongs
start_program
box=$(wait_box 'I/O error' 60)
check "creation error in the error box, with its full stop" \
  "box Ostrel File Sharing Server|I/O error 183.|yes=0|no=0|ok=1|icon=stop|owner=main" "$box"
probe answer 1
wait_state '^window visible' 30 && ok "the window still opens" || fail "no window after the error"
click_ctl 108
wait_port 60001 && ok "and its server still starts" || fail "no server after the creation error"
probe closeself
wait_exit "$pid" 30; check "exit code 0 after a creation error" "0" "$exit_code"

finish
