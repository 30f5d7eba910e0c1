#!/usr/bin/env bash
# OSC end to end: liblo's own tools (oscsend, oscdump, and its Python binding for what has to
# answer on the sending port) against `qb-timer --headless` and three simulated displays. Select
# two and set a count-down, each step waited for in the feedback oscdump is told; a bad message
# answered to its sender; then the packets each display received. What the feedback holds back
# or leaves out, and how messages are read and refused, tst_osc checks on a clock of its own.
#
#   osc-e2e.sh BUILD_DIR      (inside tests/isolated.sh: it binds UDP 7372, 7381 and 9100)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${QB_SIM_LOG:-}" ]; then
    exec "$here/../support/with-headless.sh" "$1" -- "$0" "$1"
fi
python=/usr/bin/python3
dump=$(mktemp)
dumper=
trap '[ -n "$dumper" ] && kill "$dumper" 2>/dev/null; rm -f "$dump"' EXIT

fail() {
    echo "FAIL: $*" >&2
    echo "--- feedback" >&2 && cat "$dump" >&2
    echo "--- application" >&2 && cat "$QB_APP_LOG" >&2
    exit 1
}
# Waits up to 5 s for a condition.
wait_for() {
    for _ in $(seq 100); do
        eval "$1" && return 0
        sleep 0.05
    done
    fail "timed out waiting for: $1"
}
send() { oscsend 127.0.0.1 7381 "$@"; }
# What oscdump was told, one message a line without its time tag, each display's shown time as T.
feedback() { cut -d' ' -f2- "$dump" | sed -E 's/^(\/qb\/display ssiss .*) "[^"]*" ("[a-z]*")$/\1 T \2/'; }
last() { feedback | grep "^$1 " | tail -n 1; }
# The commands each display acted on, "ADDRESS EVENT" (a reset with the time it was set to).
commands() {
    jq -r 'select(.dir == "rx" and .event != "status-query") | "\(.to | sub(":.*"; "")) \(.event)" +
        if .event == "count-down-reset" then " " + .clock else "" end' "$QB_SIM_LOG"
}
count() { commands | grep -c "$1" || true; }

# The display list is told at most once a second: the last display listed is in it a second on.
sleep 1.1

# The door is bound to loopback only, not to every interface.
[ "$(ss -Hlun "sport = :7381" | awk '{ print $4 }')" = "127.0.0.1:7381" ] ||
    fail "OSC bound to: $(ss -Hlun "sport = :7381")"

oscdump -L 9100 >"$dump" &
dumper=$!
wait_for '[ -n "$(ss -Hlun "sport = :9100")" ]'

send /qb/subscribe i 9100
# The display list is told at most once a second: one listed in the last second comes after.
told_state() {
    for part in /qb/mirror /qb/captions /qb/program/step /qb/displays; do last "$part"; done
    for address in 127.0.0.2 127.0.0.3 127.0.0.4; do
        feedback | grep "^/qb/display ssiss \"$address\"" | tail -n 1
    done
}
wait_for '[ "$(last /qb/displays)" = "/qb/displays i 3" ] && [ "$(told_state | wc -l)" = 7 ]'
expected='/qb/mirror sss "00:00:00.0" "none" "none"
/qb/captions sss "Start" "Start" "Start"
/qb/program/step i 0
/qb/displays i 3
/qb/display ssiss "127.0.0.2" "Hall" 0 T "ok"
/qb/display ssiss "127.0.0.3" "Gym" 0 T "ok"
/qb/display ssiss "127.0.0.4" "Pool" 0 T "ok"'
[ "$(told_state)" = "$expected" ] || fail "the state on subscribing"

send /qb/displays/selectOnly ss Hall Gym
wait_for 'feedback | grep -q "\"Gym\" 1 T"'
send /qb/countdown/set iiii 0 0 5 0
wait_for '[ "$(count count-down-reset)" = 2 ] && [ "$(last /qb/mirror)" = "/qb/mirror sss \"00:05:00.0\" \"none\" \"countdown\"" ]'

# An answer goes to where its message came from: a client that listens on its sending port is
# told that its message is wrong (what the answer says, and that nothing acts, is tst_osc's).
"$python" - <<'EOF' || fail "the answer to the sender"
try:
    import liblo
except ImportError:  # Debian 13 calls the binding's module pyliblo3
    import pyliblo3 as liblo
client = liblo.Server()
heard = []
client.add_method(None, None, lambda path, args: heard.append((path, args)))
client.send(("127.0.0.1", 7381), "/qb/countdown/set", 0, 0, 75)
for _ in range(50):
    if not heard:
        client.recv(100)
assert [path for path, _ in heard] == ["/qb/error"], heard
EOF
send /qb/unsubscribe i 9100
kill "$dumper"
dumper=

# Each selected display acted on the command once; Pool on none.
for display in 127.0.0.2 127.0.0.3; do
    got=$(commands | grep "^$display " | cut -d' ' -f2- | tr '\n' ',')
    [ "$got" = "count-down-reset 00:05:00.0," ] ||
        fail "$display acted on: $got"
done
[ -z "$(commands | grep '^127.0.0.4 ')" ] || fail "Pool acted on: $(commands | grep '^127.0.0.4 ')"

echo OK
