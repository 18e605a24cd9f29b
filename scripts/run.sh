#!/usr/bin/env bash
# Builds the Linux program alone (no tests, no Windows build), lays out its
# application directory in run/ and starts it there with the arguments given:
#   scripts/run.sh --share ~/Music
# run/ is outside build/, so a rebuild or `rm -rf build` keeps what the user
# and the program wrote there; the program, php/ and the site's own files are
# refreshed on every run. Ctrl+C stops the program.
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/run
app=$root/run

"$root/scripts/setup.sh" --run
echo "Building the Linux program in $build ..."
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"

# The built application directory: the program with a site beside it.
built=""
while IFS= read -r program; do
  if [ -d "$(dirname "$program")/www" ]; then built=$(dirname "$program"); break; fi
done < <(find "$build" -type f -name ostrel -perm -u+x)
[ -n "$built" ] || { echo "run.sh: no program beside a www folder under $build" >&2; exit 1; }

# What ships: the program and php/ as the build laid them out, with the tree's
# own site (a page deleted from the tree goes), less what the user and the
# program write.
stage=$app/.stage
rm -rf "$stage"; mkdir -p "$stage"
(cd "$built" && tar cf - ./ostrel ./php) | (cd "$stage" && tar xf -)
cp -R "$root/www" "$stage/www"
cp -R "$root/site_inc" "$stage/site_inc"
for own in Setup.ini www/dirs.ini php/php.ini php/temp php/conf.d; do rm -rf "${stage:?}/$own"; done
(cd "$stage" && find . ! -type d | sort) > "$app/.shipped.new"
if [ -f "$app/.shipped" ]; then
  comm -23 "$app/.shipped" "$app/.shipped.new" | while IFS= read -r gone; do rm -f "$app/$gone"; done
fi
# tar replaces each file by a new one, so a copy that is running keeps its own.
(cd "$stage" && tar cf - .) | (cd "$app" && tar xf -)
mv "$app/.shipped.new" "$app/.shipped"
rm -rf "$stage"
mkdir -p "$app/php/temp"

# Started from where the user stands, so that relative folders mean what they say.
exec "$app/ostrel" "$@"
