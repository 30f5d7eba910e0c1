#!/usr/bin/env bash
# CPU use of the idle application: the window shown under Xvfb, 20 simulated displays listed
# (found by the start-up discovery on the loopback broadcast address), nothing running. Reads
# utime + stime of the application, of the X server and of the simulator from /proc/<pid>/stat
# before and after the measuring period.
# Usage: idle_cpu.sh BUILD_DIR [SECONDS] — run it inside a network namespace of its own
# (scripts/bench.sh does), since the application binds UDP port 7372.
set -euo pipefail
build=$1
seconds=${2:-30}
settle=10
displays=20

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

export XDG_CONFIG_HOME=$work/config
# A runtime folder of its own too, so that a copy the user runs does not turn this one away.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir -p "$XDG_CONFIG_HOME/Quillbrook Inc"
printf '[main]\nmainBroadcastIP=127.255.255.255\n' >"$XDG_CONFIG_HOME/Quillbrook Inc/QB-Timer2.conf"

# Clock ticks (utime + stime) a process has used so far.
cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }

"$build/sim/qb-timer-sim" --count "$displays" --log "$work/sim.jsonl" 2>/dev/null &
sim=$!
pids+=("$sim")
sleep 1
xvfb-run -a -s "-screen 0 1280x1024x24" "$build/app/qb-timer" >"$work/app.log" 2>&1 &
runner=$!
pids+=("$runner")
sleep "$settle"
app=$(pgrep -P "$runner" -x qb-timer)
xserver=$(pgrep -P "$runner" -x Xvfb)
pids=("$app" "${pids[@]}")

listed=$(sed -n '/^\[timerlist\]/,/^\[/s/^size=//p' "$XDG_CONFIG_HOME/Quillbrook Inc/QB-Timer.conf")
if [ "${listed:-0}" -ne "$displays" ]; then
    echo "idle_cpu: the application listed ${listed:-no} displays, not $displays" >&2
    exit 1
fi

hz=$(getconf CLK_TCK)
app0=$(cpu_ticks "$app") x0=$(cpu_ticks "$xserver") sim0=$(cpu_ticks "$sim")
sleep "$seconds"
app1=$(cpu_ticks "$app") x1=$(cpu_ticks "$xserver") sim1=$(cpu_ticks "$sim")

percent() { awk -v t="$1" -v hz="$hz" -v s="$seconds" 'BEGIN { printf "%.2f", 100 * t / hz / s }'; }
echo "backend=${QT_QUICK_BACKEND:-default} displays=$listed seconds=$seconds" \
    "app=$(percent $((app1 - app0)))% xvfb=$(percent $((x1 - x0)))%" \
    "simulator=$(percent $((sim1 - sim0)))% (of one core)"
