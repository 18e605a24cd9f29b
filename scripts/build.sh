#!/usr/bin/env bash
# Builds the native Linux build (build/linux) and the Windows build (build/win).
# Usage: scripts/build.sh [linux|win|all]
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-all}
jobs=$(nproc)
# Warnings are errors when the caller asks (the test command does); otherwise
# the build folder keeps what it had.
werror=()
[ -n "${OSTREL_WERROR:-}" ] && werror=(-DOSTREL_WERROR="$OSTREL_WERROR")
if [ "$what" = linux ] || [ "$what" = all ]; then
  cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo "${werror[@]}" >/dev/null
  cmake --build build/linux -j"$jobs"
fi
if [ "$what" = win ] || [ "$what" = all ]; then
  cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo "${werror[@]}" >/dev/null
  cmake --build build/win -j"$jobs"
fi
