#!/usr/bin/env bash
# Installs what the build, the tests and the program need, when missing.
# Usage: scripts/setup.sh [--run] [package...]
set -euo pipefail
packages=(cmake make g++ googletest g++-mingw-w64-x86-64 wine wine64 php-cgi php-cli php-gd nsis xvfb xauth xdotool
          imagemagick curl unzip x11-utils chromium iproute2 util-linux dokuwiki)
# Reading PHP's release list and its zip: the JSON parser (header-only), zlib
# for the Windows program (linked in statically) and for the native tests.
packages+=(nlohmann-json3-dev libz-mingw-w64-dev zlib1g-dev)
# The set-up's tests serve PHP's release folder with Python's HTTP server.
packages+=(python3)
# clang with its sanitizer and libFuzzer runtimes for the sanitizer builds and
# the fuzz targets; llvm for the symbolizer that names a report's frames.
packages+=(clang libclang-rt-14-dev llvm)
# --run: only what building and running the Linux program needs (php-gd
# makes the site's thumbnails; Debian's conf.d line loads it).
run_only=false
if [ "${1:-}" = --run ]; then shift; run_only=true; packages=(cmake make g++ php-cgi php-gd); fi
packages+=("$@")
# The browser tests need Node.js; the machine's own is used when there is one.
$run_only || command -v npm >/dev/null || packages+=(nodejs npm)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q >/dev/null
  apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
fi
