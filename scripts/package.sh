#!/usr/bin/env bash
# Makes the two Windows packages from a Release build of their own
# (build/package): the portable zip and the per-user installer.
# Usage: scripts/package.sh   (the files land in build/package/)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/package -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=Release -DOSTREL_BUILD_TESTS=OFF >/dev/null
cmake --build build/package -j"$(nproc)"
(cd build/package && cpack)
ls -l build/package/*-portable.zip build/package/*-setup.exe
