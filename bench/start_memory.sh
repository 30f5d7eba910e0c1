#!/usr/bin/env bash
# The application's start to its first discovery query, and its resident memory with 250
# displays listed: the window shown under Xvfb, the simulator's displays on loopback. The start
# is taken just before the process is launched (the X server already up), the query when the
# simulator logs it.
# Usage: start_memory.sh BUILD_DIR [RUNS] — run it inside a network namespace of its own
# (scripts/bench.sh does), since the application binds UDP port 7372.
set -euo pipefail
build=$1
runs=${2:-5}
displays=250

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

"$build/sim/qb-timer-sim" --count "$displays" --log "$work/sim.jsonl" 2>/dev/null &
pids+=($!)
Xvfb :73 -screen 0 1280x1024x24 2>/dev/null &
pids+=($!)
export DISPLAY=:73 QT_QPA_PLATFORM=xcb
sleep 2

for run in $(seq "$runs"); do
    export XDG_CONFIG_HOME=$work/config-$run
    mkdir -p "$XDG_CONFIG_HOME/Quillbrook Inc"
    printf '[main]\nmainBroadcastIP=127.255.255.255\n' >"$XDG_CONFIG_HOME/Quillbrook Inc/QB-Timer2.conf"
    seen=$(wc -l <"$work/sim.jsonl")
    start=$(date +%s%3N)
    "$build/app/qb-timer" 2>/dev/null &
    app=$!
    until query=$(tail -n +"$((seen + 1))" "$work/sim.jsonl" |
        grep -m1 '"event":"status-query"'); do sleep 0.01; done
    # The log's wall clock is local time with milliseconds.
    wall=$(echo "$query" | sed -E 's/.*"wall":"([^"]*)".*/\1/')
    first=$(date -d "$wall" +%s%3N)
    sleep 10 # every display answered and listed
    listed=$(grep -c '^[0-9]*\\IP=' "$XDG_CONFIG_HOME/Quillbrook Inc/QB-Timer.conf" || true)
    rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$app/status")
    echo "run $run: first discovery query $((first - start)) ms after the start; $listed displays listed, resident $((rss / 1024)) MB"
    kill "$app"
    wait "$app" 2>/dev/null || true
done
