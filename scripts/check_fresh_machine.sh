#!/usr/bin/env bash
# The README's commands on a Debian 12 that has nothing of this project's.
#
# A minimal root (debootstrap's minbase with git and ca-certificates, from the
# Debian archive this machine's apt names) is kept as a tarball in /var/tmp and
# reused. Two fresh copies of it then run at once:
#  - in one, the README's run command, word for word, shares a folder holding
#    a file; from outside, the check waits for "Status: started", follows the
#    home page to the folder and the file, downloads it byte for byte, and
#    stops the program with SIGINT;
#  - in the other, the test command's set-up runs and every build the test
#    command makes is configured, so that a package missing from either list
#    fails here instead of on a user's machine.
# Each copy has mount, process and network namespaces of its own: the program
# frees its port by ending whoever holds it, so it sees nothing of this
# machine, and the archive is the one thing it reaches (through a forwarder).
# The copies live in memory (a tmpfs in the check's own mount namespace, gone
# when the check ends, however it ends): removing the test command's ~200,000
# installed files from the disk took longer than installing them. Packages the
# copies downloaded are kept beside the tarball for the next run.
#
# Usage (as root): scripts/check_fresh_machine.sh
# Prints a closing "Fresh machine check: passed" or "... FAILED: why" line.
# Without a tool it needs, or without an archive, it says which and skips;
# under CI=true that is a failure.
set -uo pipefail
export LC_ALL=C
# debootstrap, chroot and the like live in the sbin folders, which a
# non-login environment may leave out.
export PATH=$PATH:/usr/local/sbin:/usr/sbin:/sbin
repo=$(cd "$(dirname "$0")/.." && pwd)
cache=/var/tmp/ostrel-fresh
# Raised whenever the making of the root changes, so that an old tarball goes.
recipe=1
memory=12g        # at most, for the two copies (the test command's takes ~4 GiB)
run_limit=2400    # seconds for the run command to reach "Status: started"
test_limit=2400   # seconds for the test command's set-up and the configures
start=$SECONDS

say() { printf '  %s\n' "$*"; }
fail() { echo "Fresh machine check: FAILED: $*"; exit 1; }
unable() {
  [ "${CI:-}" = true ] && fail "$*"
  echo "Fresh machine check: skipped: $*"
  exit 0
}
minutes() { printf '%d min %02d s' $(($1 / 60)) $(($1 % 60)); }

# What this run made: its folder under the cache, the memory its copies live
# in, and the processes it started (each ends when this script ends).
work=""
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill -KILL "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  [ -n "$work" ] && remove_work "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# The copies' mounts live in namespaces that end with their processes; one
# still seen here (it never should be) is unmounted before anything is removed.
remove_work() {  # folder
  local dir=$1 mounted
  mounted=$(awk -v d="$dir/" 'index($5, d) == 1 { print $5 }' /proc/self/mountinfo | sort -r)
  [ -z "$mounted" ] || xargs -r -d '\n' umount -l <<<"$mounted"
  rm -rf --one-file-system "$dir"
}

# ---------------------------------------------------------------- preconditions
[ "$(id -u)" = 0 ] || unable "it needs root (debootstrap, chroot, namespaces)"
command -v unshare >/dev/null || unable "no unshare here (util-linux)"
# The check's mounts are its own, and end with it.
if [ -z "${OSTREL_FRESH_OWN_MOUNTS:-}" ]; then
  OSTREL_FRESH_OWN_MOUNTS=1 exec unshare --mount --propagation private bash "$0" "$@"
fi
echo "Fresh machine check: the README's commands on a fresh Debian 12"
need() {  # command package
  command -v "$1" >/dev/null && return
  say "installing $2 (the check needs $1)"
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -q --no-install-recommends "$2" >/dev/null 2>&1 ||
    { apt-get update -q >/dev/null 2>&1 && apt-get install -y -q --no-install-recommends "$2" >/dev/null 2>&1; }
  command -v "$1" >/dev/null || unable "no $1 here, and apt-get could not install $2"
}
need debootstrap debootstrap
need socat socat
need nsenter util-linux
need setpriv util-linux
need ip iproute2
need ss iproute2
need curl curl
need git git

# Debian's bookworm main archive as this machine's apt configuration names it
# (one-line lists and deb822 .sources files); other sources are not Debian's.
archive_uri() {
  {
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      [ -f "$f" ] && sed -e 's/#.*//' -e 's/\[[^]]*\]//' "$f"
    done | awk '$1 == "deb" && $3 == "bookworm" { for (i = 4; i <= NF; i++) if ($i == "main") print $2 }'
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] && { grep -v '^#' "$f"; echo; }
    done | awk -v RS= '
      {
        delete field
        n = split($0, line, "\n")
        for (i = 1; i <= n; i++) {
          if (line[i] ~ /^[ \t]/ || index(line[i], ":") == 0) continue
          key = tolower(substr(line[i], 1, index(line[i], ":") - 1))
          value = " " substr(line[i], index(line[i], ":") + 1) " "
          gsub(/[ \t]+/, " ", value)
          field[key] = value
        }
        if (field["types"] ~ / deb / && field["suites"] ~ / bookworm / && field["components"] ~ / main / &&
            tolower(field["enabled"]) !~ / no /) {
          split(field["uris"], uri, " ")
          print uri[1]
        }
      }'
  } | grep -E '^https?://' | head -n 1
}
uri=$(archive_uri)
uri=${uri%/}
[ -n "$uri" ] || unable "no archive: /etc/apt/sources.list and sources.list.d name no Debian bookworm main archive"
hostport=${uri#*://}; hostport=${hostport%%/*}; hostport=${hostport##*@}
host=${hostport%:*}
if [ "$host" != "$hostport" ]; then port=${hostport##*:}
elif [ "${uri%%://*}" = https ]; then port=443
else port=80; fi
# Inside a copy the archive's name leads to a loopback address of its own
# (its own address when the list gives one), where the forwarder listens.
if [[ $host =~ ^[0-9]+(\.[0-9]+){3}$ ]]; then address=$host; else address=127.0.0.2; fi
curl -fsSI --max-time 30 -o /dev/null "$uri/dists/bookworm/Release" 2>/dev/null ||
  unable "no archive: $uri does not answer"
say "archive: $uri"

mkdir -p "$cache/debs"
# Folders of earlier runs whose check has ended (killed before it could clean).
for old in "$cache"/work.*; do
  [ -d "$old" ] || continue
  owner=$(cat "$old/owner" 2>/dev/null)
  if [ -z "$owner" ] || ! kill -0 "$owner" 2>/dev/null; then remove_work "$old"; fi
done
work=$(mktemp -d "$cache/work.XXXXXX") || fail "cannot make a folder in $cache"
echo $$ > "$work/owner"
mem=$work/mem
mkdir "$mem" && mount -t tmpfs -o size=$memory,mode=700 tmpfs "$mem" || fail "cannot mount a tmpfs on $mem"

# ---------------------------------------------------------------- the root
key=$(printf '%s %s\n' "$uri" "$recipe" | sha256sum | cut -c1-12)
tarball=$cache/bookworm-$key.tar
root_seconds=0
if [ -f "$tarball" ] && [ -z "$(find "$tarball" -mtime +30)" ]; then
  say "root: reusing $tarball"
else
  t=$SECONDS
  say "root: making it with debootstrap (minbase, git, ca-certificates) ..."
  base=$mem/base
  # debootstrap's own mounts in the root end with its namespace.
  unshare --mount debootstrap --variant=minbase --include=git,ca-certificates bookworm "$base" "$uri" \
    > "$work/debootstrap.log" 2>&1 || { tail -n 30 "$work/debootstrap.log"; fail "debootstrap could not make the root"; }
  # No init system runs in the root: packages do not start their services;
  # and dpkg need not sync what is thrown away afterwards.
  printf '#!/bin/sh\nexit 101\n' > "$base/usr/sbin/policy-rc.d"
  chmod 755 "$base/usr/sbin/policy-rc.d"
  echo force-unsafe-io > "$base/etc/dpkg/dpkg.cfg.d/unsafe-io"
  rm -f "$base"/var/cache/apt/archives/*.deb
  tar --numeric-owner -C "$base" -cf "$tarball.$$" . || fail "cannot write $tarball"
  mv "$tarball.$$" "$tarball"
  rm -rf "$base"
  for other in "$cache"/bookworm-*.tar; do [ "$other" = "$tarball" ] || rm -f "$other"; done
  root_seconds=$((SECONDS - t))
  say "root: made in $(minutes $root_seconds), kept in $tarball"
fi

# ---------------------------------------------------------------- the copies
commit=$(git -C "$repo" rev-parse HEAD) || fail "no commit to test in $repo"
say "commit: $(git -C "$repo" log -1 --format='%h %s' "$commit" | cut -c1-70)"

# A fresh copy of the root in memory with the commit cloned into
# /root/ostrel, the archive's name on the forwarder, and for apt's downloads a
# folder on the disk that holds those of earlier runs.
new_copy() {  # name
  local copy=$mem/$1 debs=$work/debs-$1
  mkdir "$copy" && tar --numeric-owner -C "$copy" -xpf "$tarball" || return 1
  mkdir -p "$debs/partial"
  find "$cache/debs" -name '*.deb' -exec cp -l -t "$debs" {} + 2>/dev/null
  mount --bind "$debs" "$copy/var/cache/apt/archives" || return 1
  printf '127.0.0.1 localhost\n::1 localhost\n' > "$copy/etc/hosts"
  [ "$address" = "$host" ] || printf '%s %s\n' "$address" "$host" >> "$copy/etc/hosts"
  git init -q "$copy/root/ostrel" &&
    git -C "$copy/root/ostrel" fetch -q "$repo" "$commit" &&
    git -C "$copy/root/ostrel" checkout -q FETCH_HEAD
}

# The forwarder on this side: each connection to the socket reaches the archive.
socket=$work/archive.sock
setpriv --pdeathsig KILL socat UNIX-LISTEN:"$socket",fork TCP:"$host:$port" </dev/null 2>"$work/forwarder.log" &
pids+=($!)

# Runs a command line as root in a copy: its own mounts, processes (with a
# /proc of its own) and network, whose loopback holds the archive's address
# with the forwarder behind it.
inner='
  set -e
  copy=$1 socket=$2 address=$3 port=$4
  ip link set lo up
  case $address in 127.*) ;; *) ip addr add "$address/32" dev lo ;; esac
  mount -t tmpfs -o mode=755,nosuid tmpfs "$copy/dev"
  for node in null zero full random urandom tty; do
    : > "$copy/dev/$node"; mount --bind "/dev/$node" "$copy/dev/$node"
  done
  ln -s /proc/self/fd "$copy/dev/fd"
  ln -s fd/0 "$copy/dev/stdin"; ln -s fd/1 "$copy/dev/stdout"; ln -s fd/2 "$copy/dev/stderr"
  mkdir "$copy/dev/shm" "$copy/dev/pts"
  mount -t tmpfs -o nosuid,nodev tmpfs "$copy/dev/shm"
  socat TCP-LISTEN:"$port",bind="$address",fork,reuseaddr UNIX-CONNECT:"$socket" </dev/null &
  for _ in $(seq 50); do ss -Hltn "sport = :$port" | grep -q . && break; sleep 0.1; done
  exec chroot "$copy" /usr/bin/env -i HOME=/root TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin /bin/bash -c "$5"
'
in_copy() {  # folder log command-line   (in the background; its pid in $!)
  setpriv --pdeathsig KILL unshare --mount --pid --net --fork --kill-child --mount-proc="$1/proc" \
    bash -c "$inner" inner "$1" "$socket" "$address" "$port" "$3" </dev/null >"$2" 2>&1 &
}
tail_of() { echo "  --- last lines of $1:"; grep -v '^$' "$1" | tail -n "${2:-40}" | sed 's/^/  | /'; }

# The run command as the README gives it, and the folder it shares.
readme=$(git -C "$repo" show "$commit:README.md")
command=$(awk '/^## Run it/ { inside = 1; next } /^## / { inside = 0 } inside && /^    [^ ]/ { sub(/^ +/, ""); print; exit }' <<<"$readme")
share=$(sed -nE 's/.*--share +([^ ]+).*/\1/p' <<<"$command")
[ -n "$share" ] || fail "README's run command (\"$command\") shares no folder"
share=${share/#\~//root}

t=$SECONDS
new_copy test || fail "cannot lay out the test command's copy of the root"
new_copy run || fail "cannot lay out the run command's copy of the root"
mkdir -p "$mem/run$share"
shared="$mem/run$share/Fresh check 01.bin"
head -c 3000000 /dev/urandom > "$shared"
say "copies: laid out in $((SECONDS - t)) s"

# The test command's set-up, then each build the test command makes
# (scripts/build.sh all asan tsan), configured only; each one that fails is named.
in_copy "$mem/test" "$work/test.log" '
  cd /root/ostrel
  scripts/setup.sh || exit 1
  echo "== set-up done after $SECONDS s"
  t=$SECONDS unconfigured=""
  for build in linux win asan tsan; do
    OSTREL_WERROR=ON scripts/build.sh --configure "$build" || unconfigured="$unconfigured $build"
  done
  [ -z "$unconfigured" ] || { echo "== not configured:$unconfigured"; exit 2; }
  echo "== configured after $((SECONDS - t)) s"
  apt-get autoclean -q >/dev/null 2>&1 || true'
test_ns=$!; pids+=($test_ns); test_start=$SECONDS

in_copy "$mem/run" "$work/run.log" "cd /root/ostrel && $command"
run_ns=$!; pids+=($run_ns); run_start=$SECONDS

problems=()
problem() {  # what [log [lines]]
  problems+=("$1")
  say "FAILED: $1"
  if [ $# -ge 2 ]; then
    tail_of "$2" "${3:-40}"
    cp "$2" "$cache/last-$(basename "$2")" && echo "  --- all of it: $cache/last-$(basename "$2")"
  fi
  return 1
}

# ---------------------------------------------------------------- the run command
check_run() {
  until grep -q '^Status: started' "$work/run.log"; do
    kill -0 "$run_ns" 2>/dev/null || { problem "the run command ended before \"Status: started\"" "$work/run.log"; return; }
    [ $((SECONDS - run_start)) -lt $run_limit ] || { problem "the run command printed no \"Status: started\" in $run_limit s" "$work/run.log"; return; }
    sleep 1
  done
  say "run command: \"Status: started\" after $(minutes $((SECONDS - run_start)))"

  local site=http://127.0.0.1:60001 jar=$work/cookies home folder page file got=$work/downloaded
  web() { nsenter --net="/proc/$run_ns/ns/net" curl -fsS --max-time 60 -b "$jar" -c "$jar" "$@"; }
  link() { grep -o 'class="name" href="[^"]*"' | sed -e 's/.*href="//' -e 's/"$//' -e 's/&amp;/\&/g' | grep -F "$1" | head -n 1; }
  home=$(web "$site/") || { problem "the home page did not load" "$work/run.log"; return; }
  folder=$(link '/?d=' <<<"$home")
  [ -n "$folder" ] || { problem "the home page shows no shared folder"; return; }
  page=$(web "$site$folder") || { problem "the shared folder's page ($folder) did not load" "$work/run.log"; return; }
  file=$(link '/file.php?' <<<"$page")
  [ -n "$file" ] || { problem "the shared folder's page lists no file"; return; }
  web -o "$got" "$site$file" || { problem "the shared file ($file) did not download" "$work/run.log"; return; }
  cmp -s "$got" "$shared" || { problem "the downloaded file ($(stat -c %s "$got") bytes) differs from the shared one"; return; }
  say "run command: home page, folder page and the file ($(stat -c %s "$got") bytes, identical) served"

  local program="" children p status
  children=$(readlink "/proc/$run_ns/ns/pid_for_children")
  for p in /proc/[0-9]*; do
    if [ "$(readlink "$p/ns/pid" 2>/dev/null)" = "$children" ] && [ "$(cat "$p/comm" 2>/dev/null)" = ostrel ]; then
      program=${p#/proc/}
    fi
  done
  [ -n "$program" ] || { problem "no ostrel process in the run command's copy"; return; }
  kill -INT "$program"
  for _ in $(seq 150); do kill -0 "$run_ns" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$run_ns" 2>/dev/null && { problem "the program did not stop within 15 s of SIGINT" "$work/run.log" 10; return; }
  wait "$run_ns"; status=$?
  [ "$status" -eq 0 ] || { problem "the program ended with status $status after SIGINT" "$work/run.log" 10; return; }
  say "run command: stopped by SIGINT"
}

# ---------------------------------------------------------------- the test set-up
check_test() {
  local status seconds
  while kill -0 "$test_ns" 2>/dev/null; do
    [ $((SECONDS - test_start)) -lt $test_limit ] || { problem "the test command's set-up and configures took over $test_limit s" "$work/test.log"; return; }
    sleep 2
  done
  wait "$test_ns"; status=$?
  seconds=$((SECONDS - test_start))
  if grep -q '^== not configured:' "$work/test.log"; then
    problem "after scripts/setup.sh these builds did not configure:$(sed -n 's/^== not configured://p' "$work/test.log")" "$work/test.log"
    return
  fi
  [ "$status" -eq 0 ] || { problem "the test command's set-up (scripts/setup.sh) failed" "$work/test.log"; return; }
  say "test command: set-up $(sed -nE 's/^== set-up done after ([0-9]+) s/\1/p' "$work/test.log") s," \
      "configuring linux, win, asan and tsan $(sed -nE 's/^== configured after ([0-9]+) s/\1/p' "$work/test.log") s," \
      "$(minutes $seconds) in all"

  # The packages the test command's copy now holds (a superset of the run
  # command's, less those the archive no longer has) are the next run's.
  local fresh
  fresh=$(mktemp -d "$cache/debs.XXXXXX") || return 0
  find "$work/debs-test" -maxdepth 1 -name '*.deb' -exec cp -l -t "$fresh" {} + 2>/dev/null
  rm -rf "$cache/debs" && mv "$fresh" "$cache/debs"
}

check_run
# The run command's copy ends here, whatever became of it.
{ kill -KILL "$run_ns"; wait "$run_ns"; } 2>/dev/null
check_test
say "memory: $(df -h --output=used "$mem" | tail -n 1 | tr -d ' ') used by the copies"

elapsed=$(minutes $((SECONDS - start)))
if [ ${#problems[@]} -gt 0 ]; then
  fail "$(IFS=';'; echo "${problems[*]}" | sed 's/;/; /g') ($elapsed)"
fi
echo "Fresh machine check: passed in $elapsed"
