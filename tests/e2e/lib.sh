# lib.sh - helpers shared by the black-box test scripts.
passed=0; failed=0
ok()   { passed=$((passed + 1)); echo "ok   $*"; }
fail() { failed=$((failed + 1)); echo "FAIL $*"; }
check() {  # name expected actual
  if [ "$2" = "$3" ]; then ok "$1"; else fail "$1: expected [$2] got [$3]"; fi
}
finish() { echo "$passed passed, $failed failed"; [ "$failed" -eq 0 ]; }

# Sends raw bytes and prints everything the server answers (bounded in time).
raw() {  # port bytes
  timeout 5 bash -c 'exec 3<>/dev/tcp/127.0.0.1/'"$1"' || exit 1; printf "%b" "$1" >&3; cat <&3' _ "$2" 2>/dev/null
}

wait_port() {  # port: until something answers on it, at most 20 s
  for _ in $(seq 200); do
    (exec 3<>/dev/tcp/127.0.0.1/"$1") 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

wait_closed() {  # port: until nothing listens, at most 20 s
  for _ in $(seq 200); do
    (exec 3<>/dev/tcp/127.0.0.1/"$1") 2>/dev/null || return 0
    sleep 0.1
  done
  return 1
}

# The application directory: the program and a site beside it.
make_app() {  # dir program
  mkdir -p "$1/www/sub dir" "$1/www/docs" "$1/php/temp" "$1/php/extensions"
  cp "$2" "$1/"
}

# The Linux set-up's links: php/php-cgi to the system's interpreter and
# php/extensions to its extension directory (the extension_dir of php.ini).
link_php() {  # dir
  ln -s /usr/bin/php-cgi "$1/php/php-cgi"
  rmdir "$1/php/extensions" 2>/dev/null
  ln -s "$(echo '<?php echo PHP_EXTENSION_DIR;' | php-cgi -n -q)" "$1/php/extensions"
}

# Under unshare -n -m (sysfs mounted afresh shows its links): a virtual switch listed
# first (172.20.0.5) and a Wi-Fi-like adapter that carries the default route (192.168.1.50).
two_adapters() {
  mount -t sysfs sysfs /sys && ip link set lo up || return 1
  local link
  for link in vswitch0:172.20.0.5/16 wifi0:192.168.1.50/24; do
    ip link add "${link%%:*}" type veth peer name "${link%%:*}-peer" && ip addr add "${link#*:}" dev "${link%%:*}" &&
      ip link set "${link%%:*}" up && ip link set "${link%%:*}-peer" up || return 1
  done
  ip route add default via 192.168.1.1 dev wifi0
}
