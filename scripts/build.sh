#!/usr/bin/env bash
# Builds the native Linux build (build/linux), the Windows build (build/win)
# and the sanitizer builds with clang: AddressSanitizer and
# UndefinedBehaviorSanitizer with the fuzz targets (build/asan), and
# ThreadSanitizer (build/tsan).
# Usage: scripts/build.sh [--configure] [linux|win|all|asan|tsan]...   (all: linux and win)
# --configure only configures the folders (the fresh-machine check asks no more).
set -euo pipefail
cd "$(dirname "$0")/.."
compile=true
if [ "${1:-}" = --configure ]; then shift; compile=false; fi
[ $# -gt 0 ] || set -- all
jobs=$(nproc)
# Warnings are errors when the caller asks (the test command does); otherwise
# the build folder keeps what it had.
werror=()
[ -n "${OSTREL_WERROR:-}" ] && werror=(-DOSTREL_WERROR="$OSTREL_WERROR")
native() {  # folder [cmake options...]
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${werror[@]}" "$@" >/dev/null
  if $compile; then cmake --build "$dir" -j"$jobs"; fi
}
builds=()
for what in "$@"; do
  if [ "$what" = all ]; then builds+=(linux win); else builds+=("$what"); fi
done
for what in "${builds[@]}"; do
  case $what in
    linux) native build/linux ;;
    win)
      cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
            -DCMAKE_BUILD_TYPE=RelWithDebInfo "${werror[@]}" >/dev/null
      if $compile; then cmake --build build/win -j"$jobs"; fi ;;
    # CC and CXX count only when a folder is first configured.
    asan) CC=clang CXX=clang++ native build/asan -DOSTREL_SANITIZE=address -DOSTREL_FUZZ=ON ;;
    tsan) CC=clang CXX=clang++ native build/tsan -DOSTREL_SANITIZE=thread ;;
    *) echo "unknown build: $what" >&2; exit 2 ;;
  esac
done
