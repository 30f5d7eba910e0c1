#!/usr/bin/env bash
# Runs a command against a real `qb-timer --headless` and simulated displays, then takes both
# down. Meant to run in a network namespace of its own (tests/isolated.sh): it binds UDP 7372,
# the simulator's 127.0.0.2 and up, and the HTTP API on 127.0.0.1:7380.
#
#   with-headless.sh BUILD_DIR [--count N] [--names A,B,C] [--app-arg ARG]...
#                    [--api-listen ADDR:PORT] -- COMMAND...
#
# COMMAND sees QB_BUILD (the build folder), QB_API (http://127.0.0.1:7380), QB_SIM_LOG (the
# simulator's JSON-lines log), QB_APP_LOG (the application's output), QB_APP_PID, QB_SIM_PID, and a settings
# folder of its own (XDG_CONFIG_HOME, XDG_RUNTIME_DIR) whose discovery address is
# 127.255.255.255. The application has listed every simulated display before COMMAND starts.
#
# --api-listen serves the API at another address, QB_API then; an address off loopback, where
# the API asks for its token (QB_TOKEN), is put on the loopback interface first. Only a network
# namespace of the test's own, whose one interface is lo, allows that; elsewhere the run is
# skipped with status 77.
set -euo pipefail
export QB_BUILD="$1"
shift
count=3
names="Hall,Gym,Pool"
listen=127.0.0.1:7380
app_args=()
while [ $# -gt 0 ]; do
    case "$1" in
    --count) count="$2"; shift 2 ;;
    --names) names="$2"; shift 2 ;;
    --app-arg) app_args+=("$2"); shift 2 ;;
    --api-listen) listen="$2"; app_args+=(--api-listen "$2"); shift 2 ;;
    --) shift; break ;;
    *) echo "with-headless.sh: unknown option $1" >&2; exit 2 ;;
    esac
done

work=$(mktemp -d)
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_CONFIG_HOME/Quillbrook Inc" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
printf '[main]\nmainBroadcastIP=127.255.255.255\nmainDelay=100\nmainRetries=3\n' \
    >"$XDG_CONFIG_HOME/Quillbrook Inc/QB-Timer2.conf"
export QB_API="http://$listen" QB_SIM_LOG="$work/sim.jsonl" QB_APP_LOG="$work/app.log"

sim_pid= app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

export QB_TOKEN=
if [[ ${listen%:*} != 127.* ]]; then
    if [ "$(ip -o link show | wc -l)" -ne 1 ] || ! ip addr add "${listen%:*}/32" dev lo; then
        echo "with-headless.sh: skipped: $listen needs a network namespace of its own" >&2
        exit 77
    fi
    QB_TOKEN=$("$QB_BUILD/app/qb-timer" --api-token)
fi

"$QB_BUILD/sim/qb-timer-sim" --count "$count" --names "$names" --log "$QB_SIM_LOG" \
    >"$work/sim.out" 2>&1 &
sim_pid=$!
export QB_SIM_PID=$sim_pid
for _ in $(seq 100); do
    grep -q '"start"' "$QB_SIM_LOG" 2>/dev/null && break
    sleep 0.05
done
QT_LOGGING_RULES="qb.link.debug=false" "$QB_BUILD/app/qb-timer" --headless "${app_args[@]}" \
    >"$QB_APP_LOG" 2>&1 &
app_pid=$!
export QB_APP_PID=$app_pid
# Listed once every display has answered discovery.
for _ in $(seq 200); do
    listed=$(curl -sf -H "Authorization: Bearer $QB_TOKEN" "$QB_API/api/v1/state" 2>/dev/null |
        grep -o '"address"' | wc -l || true)
    [ "$listed" -ge "$count" ] && break
    sleep 0.05
done
[ "$listed" -ge "$count" ] || { echo "with-headless.sh: $listed of $count displays listed" >&2; cat "$QB_APP_LOG" >&2; exit 1; }
"$@"
