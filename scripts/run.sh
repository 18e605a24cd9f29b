#!/usr/bin/env bash
# Builds the Linux program alone (no tests, no Windows build), lays out its
# application directory in run/ and starts it there with the arguments given:
#   scripts/run.sh --share ~/Music
# run/ is outside build/, so a rebuild or `rm -rf build` keeps the user's
# Setup.ini and www/dirs.ini; the program and the site's own files are
# refreshed from the tree on every run. Ctrl+C stops the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/run
app=$root/run

"$root/scripts/setup.sh" --run
echo "Building the Linux program in $build ..."
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target ostrel -j"$(nproc)"
program=$(find "$build" -type f -name ostrel -perm -u+x -print -quit)
[ -n "$program" ] || { echo "run.sh: the build made no program" >&2; exit 1; }

# A copy that is running keeps its own file: the new one is renamed into place.
mkdir -p "$app/www" "$app/php/temp" "$app/php/extensions"
cp "$program" "$app/ostrel.new" && mv -f "$app/ostrel.new" "$app/ostrel"
ln -sfn /usr/bin/php-cgi "$app/php/php-cgi"

# The site's own files: those the tree no longer has go, the others are copied
# afresh. Files the tree never had (the list dirs.ini) stay.
manifest=$app/.site-files
if [ -f "$manifest" ]; then
  while IFS= read -r file; do
    [ -e "$root/www/$file" ] || rm -f "$app/www/$file"
  done < "$manifest"
fi
(cd "$root/www" && find . -type f ! -path ./dirs.ini) > "$manifest"
(cd "$root/www" && find . -type f ! -path ./dirs.ini -exec cp --parents -t "$app/www" {} +)

# Started from where the user stands, so that relative folders mean what they say.
exec "$app/ostrel" "$@"
