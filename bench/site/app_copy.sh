# app_copy.sh - sourced by each of the site's benchmarks once it has read its
# settings: runs the benchmark again in a network namespace of its own, so
# port 60001 is never shared, and there brings loopback up and makes a work
# folder ($work, named after $1) that goes on exit with the server in
# $server, and in $app a copy of the built program ($built) with the
# repository's www and site_inc ($repo) and an empty home; start_app runs it
# there and returns once its port answers.
if [ "${OSTREL_BENCH_INSIDE:-}" != 1 ]; then
  export OSTREL_BENCH_INSIDE=1
  exec unshare -n bash "$0" "$built"
fi
ip link set lo up

work=$(mktemp -d "/tmp/$1.XXXXXX")
server=
cleanup() {
  [ -n "$server" ] && kill -TERM "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

app=$work/app
cp -a "$built" "$app"
rm -rf "$app/www" "$app/site_inc" && cp -r "$repo/www" "$app/www" && cp -r "$repo/site_inc" "$app/site_inc"
mkdir -p "$work/home"

start_app() {
  HOME=$work/home XDG_RUNTIME_DIR=$work "$app/ostrel" > "$work/server.out" 2>&1 &
  server=$!
  for _ in $(seq 200); do
    (exec 3<>/dev/tcp/127.0.0.1/60001) 2>/dev/null && break
    sleep 0.1
  done
}
