#!/usr/bin/env bash
# The headless controller polling 250 simulated displays every second while N event-stream
# clients are connected: its CPU, the polls it had to send again (a reply read too late), the
# displays it gave up on, and the events a second each client received. Run it with 0 and with
# 100 clients: the resends and the displays given up must be the same.
# Usage: stream_load.sh BUILD_DIR [CLIENTS] [SECONDS] — inside a network namespace of its own
# (scripts/bench.sh does), since the controller binds UDP port 7372 and the API 127.0.0.1:7380.
set -euo pipefail
build=$1
clients=${2:-100}
seconds=${3:-30}
displays=250
api=http://127.0.0.1:7380

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir -p "$XDG_CONFIG_HOME/Quillbrook Inc"
printf '[main]\nmainBroadcastIP=127.255.255.255\nmainRetries=3\nmainDelay=350\n' \
    >"$XDG_CONFIG_HOME/Quillbrook Inc/QB-Timer2.conf"

cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }
post() { curl -sf -XPOST -H 'Content-Type: application/json' -d "$2" "$api/api/v1/commands/$1"; }

"$build/sim/qb-timer-sim" --count "$displays" --log "$work/sim.jsonl" >/dev/null 2>&1 &
pids+=($!)
sleep 1
QT_LOGGING_RULES="qb.link.debug=false" "$build/app/qb-timer" --headless >"$work/app.log" 2>&1 &
app=$!
pids+=("$app")
for _ in $(seq 200); do
    [ "$(curl -sf "$api/api/v1/state" 2>/dev/null | jq '.displays | length' || echo 0)" -ge "$displays" ] &&
        break
    sleep 0.1
done
# Nothing selected: every display is polled, every second.
post setup.link '{"refresh": 0}' >/dev/null
# Each client from an address of its own, as phones and screens are: the door takes at most 16
# connections from one address.
for i in $(seq "$clients"); do
    curl -sN --interface "127.0.1.$i" "$api/api/v1/events" >"$work/client-$i.txt" 2>/dev/null &
    pids+=($!)
done
sleep 5

queries() { grep -c '"event":"status-query"' "$work/sim.jsonl"; }
missed() { grep -c 'missed the status query' "$work/app.log" || true; }
# Events the clients received, all together.
events() { cat "$work"/client-*.txt 2>/dev/null | grep -c '^event: ' || true; }
hz=$(getconf CLK_TCK)
t0=$(cpu_ticks "$app") q0=$(queries) m0=$(missed) e0=$(events) l0=$(wc -l <"$work/sim.jsonl")
sleep "$seconds"
t1=$(cpu_ticks "$app") q1=$(queries) m1=$(missed) e1=$(events) l1=$(wc -l <"$work/sim.jsonl")

# A resend reaches its display within the retry delay (350 ms) of the query before it; polls come
# a second apart.
resent=$(sed -n "$((l0 + 1)),${l1}p" "$work/sim.jsonl" |
    jq -r 'select(.event == "status-query") | "\(.display) \(.t)"' |
    sort -k1,1n -k2,2n | awk '$1 == d && $2 - t < 700 { n++ } { d = $1; t = $2 } END { print n + 0 }')
awk -v c="$clients" -v s="$seconds" -v hz="$hz" -v dt=$((t1 - t0)) -v q=$((q1 - q0)) \
    -v r="$resent" -v m=$((m1 - m0)) -v e=$((e1 - e0)) 'BEGIN {
    if (c > 0) e /= c
    printf "%d clients, %d s: controller CPU %.1f %% of a core; %d status queries, %d resent " \
           "(%.1f a second); %d displays given up; %.1f events a second per client\n",
           c, s, 100 * dt / hz / s, q, r, r / s, m, e / s }'
