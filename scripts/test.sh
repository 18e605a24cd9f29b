#!/usr/bin/env bash
# Builds every build and runs every test: the native tests with ctest, again
# under AddressSanitizer with UndefinedBehaviorSanitizer and under
# ThreadSanitizer, each fuzz target for a short while, then the Windows test
# programs under Wine. Prints ctest's summaries and a closing
# "N passed, N failed" line; exits non-zero on any failure. No test is run a
# second time: a test that fails once has failed.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh || exit 1
OSTREL_WERROR=ON scripts/build.sh all asan tsan || { echo "0 passed, 1 failed"; exit 1; }

export WINEDEBUG=-all
export WINEPREFIX="$PWD/build/win/wineprefix"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Initialising the Wine prefix (first run only)..."
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi

passed=0; failed=0
run_ctest() {  # dir label [ctest options...] [-- wrapper...]
  local dir=$1 label=$2; shift 2
  local options=() wrapper=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do options+=("$1"); shift; done
  [ $# -gt 0 ] && { shift; wrapper=("$@"); }
  local log; log=$(mktemp)
  echo "=== $label tests ==="
  (cd "$dir" && "${wrapper[@]}" ctest --output-on-failure --timeout 900 "${options[@]}") 2>&1 | tee "$log"
  local line; line=$(grep -E 'tests passed, [0-9]+ tests? failed out of' "$log" | tail -1)
  if [ -z "$line" ]; then failed=$((failed + 1)); rm -f "$log"; return; fi
  local total fail
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  fail=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
  passed=$((passed + total - fail)); failed=$((failed + fail))
  rm -f "$log"
}

# Every sanitizer report, also from the programs the tests start in the
# background, lands in a file of its own there; each counts as a failure.
run_sanitized() {  # dir label [ctest options...]
  local reports=$PWD/$1/sanitizer-reports
  rm -rf "$reports"; mkdir -p "$reports"
  ASAN_OPTIONS="log_path=$reports/asan:detect_leaks=1" \
  UBSAN_OPTIONS="log_path=$reports/ubsan:print_stacktrace=1" \
  TSAN_OPTIONS="log_path=$reports/tsan:second_deadlock_stack=1" \
    run_ctest "$@"
  local found; found=$(find "$reports" -type f | wc -l)
  if [ "$found" -gt 0 ]; then
    echo "=== $2: $found sanitizer report(s) ==="
    head -n 60 "$reports"/*
    failed=$((failed + found))
  fi
}

run_ctest build/linux "Linux"
run_sanitized build/asan "Linux, ASan and UBSan" -LE fuzz
run_sanitized build/tsan "Linux, TSan"
run_ctest build/asan "Fuzz targets" -L fuzz -j2
# The Windows programs listen too: a network namespace of their own keeps port
# 60001 theirs while anything else on the machine holds it.
wineserver -k 2>/dev/null || true
run_ctest build/win "Windows (Wine)" -- bash "$PWD/tests/support/private_net.sh"
wineserver -k 2>/dev/null || true

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
