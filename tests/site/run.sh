#!/usr/bin/env bash
# run.sh - the site's tests: installs the pinned test packages into the build
# folder, then runs the tests of the QR encoder and the pages' helpers, and
# the browser test against the real program in a network namespace of its
# own, so port 60001 is never shared.
# Usage: run.sh <build dir> <built application dir> [browser test file]
# (site.test.js by default, with the tests of the QR encoder and the helpers)
set -euo pipefail
build=$(cd "$1" && pwd)
app=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
tests=${3:-site.test.js}
modules=$build/site-tests
artifacts=$build/site-artifacts

# npm ci only when the lock file changed since the last run.
if ! cmp -s "$here/package-lock.json" "$modules/package-lock.json" || [ ! -d "$modules/node_modules" ]; then
  mkdir -p "$modules"
  cp "$here/package.json" "$here/package-lock.json" "$modules/"
  (cd "$modules" && npm ci --no-audit --no-fund --loglevel=error)
fi
export NODE_PATH=$modules/node_modules
export SITE_APP_DIR=$app SITE_ARTIFACTS=$artifacts
mkdir -p "$artifacts"

if [ ! -x /usr/bin/chromium ]; then
  echo "The site tests need Debian's chromium (scripts/setup.sh installs it)." >&2
  exit 1
fi
if [ "$tests" = site.test.js ]; then
  node --test --test-reporter=spec "$here/qr.test.js" "$here/pure_functions.test.js"
fi
# The namespace has only its own loopback device, which starts down.
exec unshare -n bash -c 'ip link set lo up && exec timeout 280 node --test --test-reporter=spec "$1"' \
  _ "$here/$tests"
