#!/usr/bin/env bash
# Builds both builds and runs every test: the native tests with ctest, then the
# Windows test programs under Wine. Prints ctest's summaries and a closing
# "N passed, N failed" line; exits non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh || exit 1
OSTREL_WERROR=ON scripts/build.sh all || { echo "0 passed, 1 failed"; exit 1; }

export WINEDEBUG=-all
export WINEPREFIX="$PWD/build/win/wineprefix"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Initialising the Wine prefix (first run only)..."
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi

passed=0; failed=0
run_ctest() {  # dir label [wrapper...]
  local dir=$1 label=$2; shift 2
  local log; log=$(mktemp)
  echo "=== $label tests ==="
  # A test that fails is run once more: the window tests drive a desktop under
  # Wine whose first start in a new prefix can be slow enough to miss a check.
  (cd "$dir" && "$@" ctest --output-on-failure --timeout 900 --repeat until-pass:2) 2>&1 | tee "$log"
  local line; line=$(grep -E 'tests passed, [0-9]+ tests? failed out of' "$log" | tail -1)
  if [ -z "$line" ]; then failed=$((failed + 1)); rm -f "$log"; return; fi
  local total fail
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  fail=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
  passed=$((passed + total - fail)); failed=$((failed + fail))
  rm -f "$log"
}
run_ctest build/linux "Linux"
# The Windows programs listen too: a network namespace of their own keeps port
# 60001 theirs while anything else on the machine holds it.
wineserver -k 2>/dev/null || true
run_ctest build/win "Windows (Wine)" unshare -n bash -c 'ip link set lo up && exec "$@"' _
wineserver -k 2>/dev/null || true

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
