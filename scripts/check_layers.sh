#!/usr/bin/env bash
# Fails when a file of the program includes a header from a folder above its
# own. The folders from the bottom floor up, in the order of the README's
# layout table: each may include its own headers and those of folders below.
cd "$(dirname "$0")/.."
layers=(base net sys config http getphp ui app)
declare -A rank
for i in "${!layers[@]}"; do rank[${layers[$i]}]=$i; done

bad=0
for dir in "${layers[@]}"; do
  while IFS=: read -r file line target; do
    up=${target%%/*}
    [ -n "${rank[$up]+x}" ] && [ "${rank[$up]}" -gt "${rank[$dir]}" ] || continue
    echo "$file:$line: includes $target, from a floor above $dir/"
    bad=1
  done < <(grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' "$dir"/*.h "$dir"/*.cpp 2>/dev/null |
           sed -E 's@^([^:]+):([0-9]+):.*include[[:space:]]+"([^"]+)".*@\1:\2:\3@')
done
if [ "$bad" -ne 0 ]; then
  echo "Floors from the bottom up: ${layers[*]}"
  echo "0 passed, 1 failed"; exit 1
fi
echo "1 passed, 0 failed"
