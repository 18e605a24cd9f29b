#!/usr/bin/env bash
# What the interpreter check (one "-v" run of the interpreter) adds to Start:
# the time from launching the program to its "Status:" line, with no
# interpreter (nothing to check), with Debian's php-cgi, and with Debian's
# command-line php in its place (refused); the median of ROUNDS launches each.
# With the Windows build's e2e_serve.exe and cgi_echo.exe it does the same
# under Wine with the stand-in as php-cgi.exe.
# Usage: bench/start_check.sh [ostrel] [e2e_serve.exe cgi_echo.exe]
#   (defaults: build/linux/app/ostrel; the Wine part only when given)
# Run it as root: each launch gets a network namespace of its own (unshare -n).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
ostrel=$(realpath "${1:-$repo/build/linux/app/ostrel}")
serve=${2:-}; echo_exe=${3:-}
ROUNDS=${ROUNDS:-15}
work=$(mktemp -d /tmp/ostrel-start-check.XXXXXX)
trap 'rm -rf "$work"' EXIT

now_ms() { echo $(($(date +%s%N) / 1000000)); }

median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

# Milliseconds from the launch to the "Status:" line (at most 20 s).
launch_ms() {  # out-file command...
  local out=$1; shift
  : > "$out"
  local start; start=$(now_ms)
  "$@" > "$out" 2>&1 &
  local pid=$!
  for _ in $(seq 4000); do grep -q '^Status:' "$out" && break; sleep 0.005; done
  local end; end=$(now_ms)
  echo $((end - start))
  kill -TERM "$pid" 2>/dev/null; touch "$(dirname "$out")/stop"; wait "$pid" 2>/dev/null || true
  rm -f "$(dirname "$out")/stop"
}

linux_round() {  # interpreter-link-target or "" 
  local app=$work/linux
  rm -rf "$app"; mkdir -p "$app/www" "$app/php/temp" "$app/php/extensions" "$work/run" "$work/home"
  cp "$ostrel" "$app/ostrel"
  [ -n "$1" ] && ln -s "$1" "$app/php/php-cgi"
  HOME=$work/home XDG_RUNTIME_DIR=$work/run \
    unshare -n bash -c 'ip link set lo up; exec "$@"' _ bash -c "$(declare -f now_ms launch_ms); launch_ms '$app/out.txt' '$app/ostrel'"
}

report() {  # label values...
  local label=$1; shift
  printf '%-44s median %4d ms  (%s)\n' "$label" "$(printf '%s\n' "$@" | median)" "$*"
}

echo "Start to \"Status:\", $ROUNDS launches each"
declare -a none cgi cli
for _ in $(seq "$ROUNDS"); do
  none+=("$(linux_round "")")
  cgi+=("$(linux_round /usr/bin/php-cgi)")
  cli+=("$(linux_round /usr/bin/php)")
done
report "Linux, no interpreter (no check)" "${none[@]}"
report "Linux, Debian php-cgi (checked, used)" "${cgi[@]}"
report "Linux, Debian php (checked, refused)" "${cli[@]}"
declare -a direct
for _ in $(seq "$ROUNDS"); do
  s=$(now_ms); php-cgi -v > /dev/null; direct+=($(($(now_ms) - s)))
done
report "php-cgi -v alone" "${direct[@]}"
m_none=$(printf '%s\n' "${none[@]}" | median); m_cgi=$(printf '%s\n' "${cgi[@]}" | median)
echo "The check adds about $((m_cgi - m_none)) ms to Start on Linux with Debian's php-cgi."

if [ -n "$serve" ] && [ -n "$echo_exe" ]; then
  export WINEDEBUG=-all WINEPREFIX=${WINEPREFIX:-$repo/build/win/wineprefix}
  app=$work/wine
  declare -a wnone wcgi
  wine_round() {  # with-stand-in
    rm -rf "$app"; mkdir -p "$app/www" "$app/php"
    cp "$serve" "$app/"
    [ "$1" = yes ] && cp "$echo_exe" "$app/php/php-cgi.exe"
    unshare -n bash -c 'ip link set lo up; exec "$@"' _ bash -c \
      "$(declare -f now_ms launch_ms); launch_ms '$app/out.txt' wine '$app/$(basename "$serve")' 60031"
  }
  wine_round no > /dev/null  # the first start of a prefix is slow
  for _ in $(seq "$ROUNDS"); do wnone+=("$(wine_round no)"); wcgi+=("$(wine_round yes)"); done
  report "Wine, no interpreter (no check)" "${wnone[@]}"
  report "Wine, stand-in php-cgi.exe (checked, used)" "${wcgi[@]}"
  m_none=$(printf '%s\n' "${wnone[@]}" | median); m_cgi=$(printf '%s\n' "${wcgi[@]}" | median)
  echo "The check adds about $((m_cgi - m_none)) ms to Start under Wine with the stand-in."
fi
