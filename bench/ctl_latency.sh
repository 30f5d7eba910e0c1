#!/usr/bin/env bash
# The time from starting `qb-timerctl countdown start` to the display's receipt of the run
# command it makes the controller send, process start included, over RUNS runs (default 100):
# a real `qb-timer --headless` and one simulated display (tests/support/with-headless.sh), the
# start stamped by the shell just before it starts the program, the receipt by the simulator's
# log (to the millisecond). The count-down is paused between runs. For comparison, the mean time
# `qb-timerctl --version` takes from start to exit.
# Usage: ctl_latency.sh BUILD_DIR [RUNS] — run it inside a network namespace of its own
# (scripts/bench.sh does), since the controller binds UDP port 7372.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
export RUNS=${2:-100}

measure() {
    ctl="$QB_BUILD/cli/qb-timerctl"
    # Waits for the display to have received $2 after log line $1.
    await() {
        until tail -n +"$(($1 + 1))" "$QB_SIM_LOG" | grep -q "\"hex\":\"$2\""; do sleep 0.005; done
    }
    "$ctl" select --only Hall
    "$ctl" countdown set 99:00:00
    starts=$(mktemp)
    for _ in $(seq "$RUNS"); do
        before=$(wc -l <"$QB_SIM_LOG")
        start=$EPOCHREALTIME
        "$ctl" countdown start
        echo "$start" >>"$starts"
        await "$before" "A6 01 00"
        before=$(wc -l <"$QB_SIM_LOG")
        "$ctl" countdown pause
        await "$before" "A6 00 00"
    done
    /usr/bin/python3 - "$QB_SIM_LOG" "$starts" <<'PY'
import json, statistics, sys
from datetime import datetime
received = [datetime.fromisoformat(e["wall"]).timestamp()
            for e in map(json.loads, open(sys.argv[1]))
            if e.get("dir") == "rx" and e.get("hex") == "A6 01 00"]
starts = [float(line) for line in open(sys.argv[2])]
ms = sorted((r - s) * 1000 for r, s in zip(received, starts))
q = statistics.quantiles(ms, n=100)
print(f"runs {len(ms)}: p50 {q[49]:.1f} ms, p90 {q[89]:.1f} ms, min {ms[0]:.1f} ms, "
      f"max {ms[-1]:.1f} ms (receipt stamped to the millisecond)")
PY
    rm -f "$starts"
    # For comparison: the program started and ended with nothing to send.
    start=$EPOCHREALTIME
    for _ in $(seq "$RUNS"); do "$ctl" --version >/dev/null; done
    awk -v from="$start" -v to="$EPOCHREALTIME" -v runs="$RUNS" 'BEGIN {
        printf "qb-timerctl --version, start to exit: %.1f ms on average\n", (to - from) * 1000 / runs }'

}
export -f measure
"$root/tests/support/with-headless.sh" "$build" --count 1 --names Hall -- bash -c measure
