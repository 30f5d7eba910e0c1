#!/usr/bin/env bash
# The OSC door against itself, end to end with `qb-timer --headless`: a subscription to the
# door's own port starts no exchange of messages (the namespace's UDP counters count what is
# sent), and SIGTERM stops the controller promptly under a flood (that the door looks for the stop
# while its socket never runs dry is tst_osc's).
#
#   osc-e2e-loop.sh BUILD_DIR      (inside tests/isolated.sh: it counts the namespace's datagrams)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${QB_SIM_LOG:-}" ]; then
    if [ "$(ip -o link show | wc -l)" -ne 1 ]; then
        echo "osc-e2e-loop.sh: skipped: the datagrams counted need a network namespace of its own" >&2
        exit 77
    fi
    exec "$here/../support/with-headless.sh" "$1" --count 1 --names Hall -- "$0" "$1"
fi
flooders=
trap '[ -n "$flooders" ] && kill $flooders 2>/dev/null || true' EXIT
fail() {
    echo "FAIL: $*" >&2
    cat "$QB_APP_LOG" >&2
    exit 1
}
sent() { awk '/^Udp: [0-9]/ { print $5 }' /proc/net/snmp; }
# Gone, or a zombie its parent has not reaped yet.
stopped() { [ "$(awk '{ print $3 }' "/proc/$QB_APP_PID/stat" 2>/dev/null || echo Z)" = Z ]; }

before=$(sent)
oscsend 127.0.0.1 7381 /qb/subscribe i 7381
sleep 1
[ $(($(sent) - before)) -lt 10 ] || fail "$(($(sent) - before)) datagrams sent in the second after a subscription to the door's own port"

# Two senders for at most 4 s, 100,000 datagrams each.
flood() {
    /usr/bin/python3 -c '
import socket, time
sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
end = time.monotonic() + 4
for n in range(100000):
    if n % 1000 == 0 and time.monotonic() > end:
        break
    sender.sendto(b"not OSC", ("127.0.0.1", 7381))
'
}
flood &
flood &
flooders=$(jobs -p)
sleep 0.5
kill -TERM "$QB_APP_PID"
for _ in $(seq 40); do
    stopped && break
    sleep 0.05
done
stopped || fail "still running 2 s after SIGTERM under a flood"
grep -q "Headless controller stopped" "$QB_APP_LOG" || fail "not stopped cleanly"
echo OK
