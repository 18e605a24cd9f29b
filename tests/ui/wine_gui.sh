# wine_gui.sh - helpers of the window tests under Wine: an Xvfb display, a Wine
# prefix of the tests' own with a 1024x768 virtual desktop (it has a taskbar and
# a notification area), the probe, and clicks on the window's controls.
# Sourced after tests/e2e/lib.sh; PROBE must name ostrel_probe.exe.

# Drive T: is work: made before Wine starts, so that the shell lists it.
gui_setup() {  # wineprefix work
  export WINEPREFIX=$(realpath -m "$1") WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  local n
  for n in $(seq 91 140); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp > /dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo > /dev/null 2>&1 && break; sleep 0.1; done
    xdpyinfo > /dev/null 2>&1 && break
    kill "$XVFB_PID" 2>/dev/null; XVFB_PID=""
  done
  [ -n "${XVFB_PID:-}" ] || { echo "no X display"; return 1; }
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i > /dev/null 2>&1
    wineserver -w
  fi
  ln -sfn "$2" "$WINEPREFIX/dosdevices/t:"
  # Every process of the prefix shares one virtual desktop, the service's copy too.
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f > /dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f > /dev/null 2>&1
  # The desktop a prefix's programs share is made once and kept while its
  # server runs; in a new prefix the one above has already been made without
  # these keys. A fresh server makes it anew, with them and with drive T:.
  wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
  wait_tray_area || { echo "no notification area on the virtual desktop"; return 1; }
}

# The desktop starts with the first program that asks for it (the probe here)
# and its taskbar's notification area a moment later; the taskbar shows once
# it holds something. A program started before the area exists gets no tray
# icon, so the tests wait for it first.
wait_tray_area() {
  for _ in $(seq 240); do
    probe trayarea | grep -q -E '^trayarea (visible|hidden)' && return 0
    sleep 0.25
  done
  return 1
}

gui_teardown() {
  rm -f "$WINEPREFIX/dosdevices/t:"
  wineserver -k 2>/dev/null
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null
}

probe() { wine "$PROBE" "$@" 2>/dev/null | tr -d '\r'; }

# An application directory, app/ inside work, with the program, a small site
# and the stand-in browser (found through App Paths). Drive T: is work (see
# gui_setup), so the upload directory (the root of the program's drive) lies
# inside it too.
# Sets app (the Linux path) and winexe (the program's Windows path).
make_gui_app() {  # work ostrel.exe iexplore.exe
  app="$1/app"
  mkdir -p "$app/www" "$app/php/temp" "$app/php/extensions"
  cp "$2" "$3" "$app/"
  printf '<html>ui test site</html>' > "$app/www/index.html"
  winexe='T:\app\ostrel.exe'
  wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\IEXPLORE.EXE' /ve \
    /d 'T:\app\iexplore.exe' /f > /dev/null 2>&1
}

wait_state() {  # pattern seconds: until a line of the probe's state matches
  local i
  for i in $(seq $(($2 * 4))); do
    probe state | grep -q -E "$1" && return 0
    sleep 0.25
  done
  return 1
}

# A box is there before its icon is painted; until then the icon reads as
# "other" or "none". Prints the last line seen when time runs out.
wait_box() {  # pattern seconds: until a message box's line matches, its icon painted; prints it
  local i line=""
  for i in $(seq $(($2 * 4))); do
    line=$(probe boxes | grep -E "$1" | head -1)
    [ -n "$line" ] && ! grep -q -E '\|icon=(other|none)\|' <<<"$line" && { echo "$line"; return 0; }
    sleep 0.25
  done
  [ -n "$line" ] && echo "$line"
  return 1
}

# Sets exit_code to the process's exit code, or "running". Not in a $(...):
# only this shell can wait for its own children.
wait_exit() {  # pid seconds
  local i
  exit_code=running
  for i in $(seq $(($2 * 10))); do
    if ! kill -0 "$1" 2>/dev/null; then wait "$1"; exit_code=$?; return; fi
    sleep 0.1
  done
}

ctl_line() { probe state | grep -E "^ctl $1 "; }

# Clicks the middle of a control (or a point inside it, dx dy from its corner).
click_ctl() {  # id [dx dy]
  local client ctl cx cy x y w h
  client=$(probe state | grep '^client ')
  ctl=$(ctl_line "$1")
  read -r _ cx cy _ _ <<<"$client"
  read -r _ _ _ x y w h _ <<<"$ctl"
  local px=$((cx + x + ${2:-$((w / 2))})) py=$((cy + y + ${3:-$((h / 2))}))
  xdotool mousemove "$px" "$py" click 1
}
