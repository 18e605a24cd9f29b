#!/usr/bin/env bash
# Runs a command in a network namespace of its own, its loopback device up:
# a test that listens never meets another program's ports, nor they its own.
# Usage: private_net.sh command [arguments...]
exec unshare -n bash -c 'ip link set lo up && exec "$@"' _ "$@"
