#!/usr/bin/env bash
# Builds the benchmarks (RelWithDebInfo) and runs them all, each inside a network namespace of
# its own, so that their sockets on UDP port 7372 meet no test, no other run and no real display.
# Prints the figures that bench/README.md reports; the benchmarks' debug output goes to
# <build>/bench-logs. Environment: BUILD_DIR (default build), DRIFT_SECONDS (default 600, the
# length of the mirror drift run), FLOOD_SECONDS (default 60, the length of the full-rate flood),
# OSC_SECONDS (default 60, the length of the OSC load).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQB_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target bench_tick bench_commandburst bench_resend \
    bench_mirrordrift bench_flood bench_programrunner bench_saveall bench_http bench_osc \
    bench_confirm qb-timer qb-timer-sim qb-timerctl
logs=$build/bench-logs
mkdir -p "$logs"

run() {
    local name=$1
    shift
    echo "== $name"
    tests/isolated.sh "$@" 2>"$logs/$name.stderr"
}

run tick "$build/bench/bench_tick"
run program-runner "$build/bench/bench_programrunner"
run save-all "$build/bench/bench_saveall"
run command-burst "$build/bench/bench_commandburst"
run resend "$build/bench/bench_resend"
run idle-cpu bench/idle_cpu.sh "$build"
QT_QUICK_BACKEND=software run idle-cpu-software bench/idle_cpu.sh "$build"
run mirror-drift "$build/bench/bench_mirrordrift" --seconds "${DRIFT_SECONDS:-600}"
run flood "$build/bench/bench_flood" --seconds "${FLOOD_SECONDS:-60}"
run http "$build/bench/bench_http" --seconds "${HTTP_SECONDS:-60}"
run osc "$build/bench/bench_osc" --seconds "${OSC_SECONDS:-60}"
run confirm "$build/bench/bench_confirm"
run ctl-latency bench/ctl_latency.sh "$build"
run stream-load-0 bench/stream_load.sh "$build" 0
run stream-load-100 bench/stream_load.sh "$build" 100
