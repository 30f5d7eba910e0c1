#!/usr/bin/env bash
# OSC end to end: liblo's own tools (oscsend, oscdump, and its Python binding for what has to
# answer on the sending port) against `qb-timer --headless` and three simulated displays. Select
# two, set, start, adjust and pause a count-down, build, arm and start a program; then the
# packets each display received and the feedback oscdump was told, in order; a bad message
# answered with /qb/error and nothing sent; a reading command answered with /qb/result.
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
feedback() { cut -d' ' -f2- "$dump" | sed -E 's/^(\/qb\/display ssis .*) "[^"]*"$/\1 T/'; }
last() { feedback | grep "^$1 " | tail -n 1; }
# The commands each display acted on, "ADDRESS EVENT" (a reset with the time it was set to).
commands() {
    "$python" - "$QB_SIM_LOG" <<'EOF'
import json, sys
for line in open(sys.argv[1]):
    e = json.loads(line)
    if e.get("dir") == "rx" and e.get("event") != "status-query":
        reset = " " + e["clock"] if e["event"] == "count-down-reset" else ""
        print(e["to"].split(":")[0], e["event"] + reset)
EOF
}
count() { commands | grep -c "$1" || true; }

# Discovery's resends are answered for a while after the displays are listed, and each answer
# takes the mirror over: wait until they stop.
queries() { grep -c status-query "$QB_SIM_LOG"; }
seen=-1
for _ in $(seq 50); do
    now=$(queries)
    [ "$now" = "$seen" ] && break
    seen=$now
    sleep 0.3
done

# The door is bound to loopback only, not to every interface.
[ "$(ss -Hlun "sport = :7381" | awk '{ print $4 }')" = "127.0.0.1:7381" ] ||
    fail "OSC bound to: $(ss -Hlun "sport = :7381")"

oscdump -L 9100 >"$dump" &
dumper=$!
wait_for '[ -n "$(ss -Hlun "sport = :9100")" ]'

start=$(date +%s.%N)
send /qb/subscribe i 9100
wait_for '[ "$(feedback | wc -l)" -ge 7 ]'
expected='/qb/mirror sss "00:00:00.0" "none" "clock"
/qb/captions sss "Start" "Start" "Start"
/qb/program/step i 0
/qb/displays i 3
/qb/display ssis "127.0.0.2" "Hall" 0 T
/qb/display ssis "127.0.0.3" "Gym" 0 T
/qb/display ssis "127.0.0.4" "Pool" 0 T'
[ "$(feedback | head -n 7)" = "$expected" ] || fail "the state on subscribing"

send /qb/displays/selectOnly ss Hall Gym
wait_for 'feedback | grep -q "\"Gym\" 1"'
send /qb/countdown/set iiii 0 0 5 0
wait_for '[ "$(count count-down-reset)" = 2 ] && [ "$(last /qb/mirror)" = "/qb/mirror sss \"00:05:00.0\" \"none\" \"countdown\"" ]'
send /qb/countdown/start
wait_for '[ "$(last /qb/captions)" = "/qb/captions sss \"Start\" \"Pause\" \"Start\"" ]'
wait_for 'last /qb/mirror | grep -q "\"down\" \"countdown\""'
# As a surface that sends floats only.
send /qb/countdown/adjust f 60.0
wait_for 'last /qb/mirror | grep -Eq "\"00:0(5:5|6:00)[0-9.]*\" \"down\""'
send /qb/countdown/pause
wait_for '[ "$(last /qb/captions)" = "/qb/captions sss \"Start\" \"Start\" \"Start\"" ]'
wait_for 'last /qb/mirror | grep -q "\"none\" \"countdown\""'
send /qb/tabata iiiT 30 10 2
wait_for '[ "$(count program-arm)" = 2 ]'
# Ten messages a second at most: a change is told late while the count-down's ten are spent, and
# a later one may overtake it. Each is waited for before the next.
wait_for 'last /qb/mirror | grep -q "\"none\" \"program\"" && [ "$(last /qb/program/step)" = "/qb/program/step i 2" ]'
send /qb/program/arm s 10
wait_for '[ "$(count program-arm)" = 4 ]'
send /qb/program/start
wait_for '[ "$(last /qb/captions)" = "/qb/captions sss \"Start\" \"Start\" \"Pause\"" ]'
wait_for '[ "$(count program-run)" = 2 ]'

# A bad message and a reading command, from a client that listens where it sends from; then a
# subscription to that same port (0), told the state at once, then the mirror alone.
acted=$(commands | wc -l)
"$python" - <<'EOF' || fail "answers to the sender"
import json, liblo, sys
client = liblo.Server()
heard = []
client.add_method(None, None, lambda path, args: heard.append((path, args)))
def ask(path, *args, until, count=1):
    client.send(("127.0.0.1", 7381), path, *args)
    for _ in range(50):
        client.recv(100)
        if sum(p == until for p, _ in heard) >= count:
            return
    sys.exit(f"no {until} after {path}: {heard}")
ask("/qb/countdown/set", 0, 0, 75, until="/qb/error")
assert heard == [("/qb/error", ["minutes: 75 is out of range 0..59"])], heard
heard.clear()
ask("/qb/displays/list", until="/qb/result")
name, result = heard[0][1]
shown = [(d["name"], d["selected"]) for d in json.loads(result)["displays"]]
assert name == "displays.list" and shown == [("Hall", True), ("Gym", True), ("Pool", False)], heard
heard.clear()
ask("/qb/subscribe", 0, until="/qb/display", count=3)
paths = [p for p, _ in heard]
assert paths[:7] == ["/qb/mirror", "/qb/captions", "/qb/program/step", "/qb/displays"] + [
    "/qb/display"] * 3, paths
assert heard[0][1][2] == "program" and heard[1][1] == ["Start", "Start", "Pause"], heard
heard.clear()
ask("/qb/subscribe", 0, "mirror", until="/qb/mirror", count=2)  # the program's second ticks
assert {p for p, _ in heard} == {"/qb/mirror"}, heard
client.send(("127.0.0.1", 7381), "/qb/unsubscribe", 0)
EOF
sleep 0.3
[ "$(commands | wc -l)" = "$acted" ] || fail "the bad message reached a display"
# Whatever the pace held back has been told: the program's running step last.
wait_for '[ "$(last /qb/program/step)" = "/qb/program/step i 2" ]'
send /qb/unsubscribe i 9100
elapsed=$(awk "BEGIN { print $(date +%s.%N) - $start }")
kill "$dumper"
dumper=

# Each selected display acted on each command once, in order; Pool on none.
for display in 127.0.0.2 127.0.0.3; do
    got=$(commands | grep "^$display " | cut -d' ' -f2- | tr '\n' ',')
    [[ "$got" =~ ^count-down-reset\ 00:05:00.0,count-down-run,count-down-pause,count-down-reset\ (00:05:5[0-9]|00:06:00).0,count-down-run,count-down-pause,program-arm,program-arm,program-run,$ ]] ||
        fail "$display acted on: $got"
done
[ -z "$(commands | grep '^127.0.0.4 ')" ] || fail "Pool acted on: $(commands | grep '^127.0.0.4 ')"

# The display list as it was on subscribing, then the two displays selected, and nothing else.
lists=$(feedback | grep '^/qb/display' | tr '\n' '|')
[ "$lists" = "$(printf '%s|' '/qb/displays i 3' \
    '/qb/display ssis "127.0.0.2" "Hall" 0 T' '/qb/display ssis "127.0.0.3" "Gym" 0 T' \
    '/qb/display ssis "127.0.0.4" "Pool" 0 T' \
    '/qb/display ssis "127.0.0.2" "Hall" 1 T' '/qb/display ssis "127.0.0.3" "Gym" 1 T')" ] ||
    fail "display lists: $lists"
# Captions and the mirror's counting and mode, each change once. A running count-down's adjust
# pauses and restarts it in one step: the pause may show, or not.
captions=$(feedback | grep '^/qb/captions' | cut -d' ' -f3- | uniq | tr -d '"' | tr '\n' '|')
[[ "$captions" =~ ^Start\ Start\ Start\|Start\ Pause\ Start\|(Start\ Start\ Start\|Start\ Pause\ Start\|)?Start\ Start\ Start\|Start\ Start\ Pause\|$ ]] ||
    fail "captions: $captions"
modes=$(feedback | grep '^/qb/mirror' | sed -E 's/.*" "([a-z]+)" "([a-z]+)"$/\1 \2/' | uniq | tr '\n' '|')
[[ "$modes" =~ ^none\ clock\|none\ countdown\|down\ countdown\|(none\ countdown\|down\ countdown\|)?none\ countdown\|none\ program\|.*$ ]] ||
    fail "mirror: $modes"
steps=$(feedback | grep '^/qb/program/step' | cut -d' ' -f3 | uniq | tr '\n' ' ')
[[ "$steps" =~ ^0\ 2\ (0\ 2\ )?$ ]] || fail "program steps: $steps"
# Ten messages a second at most, the state's first ten at once (bench/bench_osc measures the pace).
messages=$(feedback | wc -l)
awk "BEGIN { exit !($messages <= 10 * $elapsed + 10) }" || fail "$messages messages in $elapsed s"
echo "OK: $messages messages in $elapsed s"
