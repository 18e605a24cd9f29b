#!/usr/bin/env bash
# Runs one fuzz target for a bounded time: its seeds from corpus/<name>, its
# dictionary when it has one, new inputs and any crash kept in WORKDIR.
# Usage: run.sh TARGET WORKDIR SECONDS [libFuzzer options...]
set -uo pipefail
target=$1 workdir=$2 seconds=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)
name=$(basename "$target" _fuzz)
mkdir -p "$workdir/corpus" "$workdir/crashes"
options=(-max_total_time="$seconds" -timeout=30 -print_final_stats=1
         -artifact_prefix="$workdir/crashes/")
[ -f "$here/corpus/$name.dict" ] && options+=(-dict="$here/corpus/$name.dict")
# New inputs go into the first folder; the seeds in the tree are only read.
exec "$target" "${options[@]}" "$@" "$workdir/corpus" "$here/corpus/$name"
