#!/bin/sh
# Runs a test in a network namespace of its own, with only a loopback interface, when the
# machine allows it: port 7372 is then the test's alone, whatever else runs here, and nothing
# the test sends can leave the machine. Elsewhere the test runs as it is.
if unshare -rn true 2>/dev/null && command -v ip >/dev/null 2>&1; then
    exec unshare -rn sh -c 'ip link set lo up && exec "$0" "$@"' "$@"
fi
exec "$@"
