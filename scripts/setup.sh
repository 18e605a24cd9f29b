#!/usr/bin/env bash
# Installs what the build, the tests and the program need, when missing.
set -euo pipefail
packages=(cmake make g++ googletest g++-mingw-w64-x86-64 wine wine64 php-cgi php-cli nsis xvfb xauth xdotool
          imagemagick curl unzip x11-utils chromium iproute2 util-linux dokuwiki)
packages+=("$@")
# The browser tests need Node.js; the machine's own is used when there is one.
command -v npm >/dev/null || packages+=(nodejs npm)
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
