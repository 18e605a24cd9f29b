#!/usr/bin/env bash
# Builds both programs, lays out the application directories and starts the
# Linux program in build/linux/app (Ctrl+C stops it).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh all
exec build/linux/app/ostrel "$@"
