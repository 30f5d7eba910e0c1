#!/usr/bin/env bash
# The window and headless mode, each stopped by SIGTERM and by SIGINT once running: the process
# ends with status 0 and leaves no one-copy lock behind; a second copy started meanwhile is turned
# away. Run by tests/isolated.sh: it binds UDP
# 7372 and the HTTP door's 127.0.0.1:7380.
#
#   quit-on-signals.sh QB_TIMER_EXECUTABLE
set -euo pipefail
app=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
export QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software
mkdir -p "$XDG_CONFIG_HOME/Quillbrook Inc" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
printf '[main]\nmainBroadcastIP=127.255.255.255\n' >"$XDG_CONFIG_HOME/Quillbrook Inc/QB-Timer2.conf"

for mode in window headless; do
    for signal in TERM INT; do
        args=()
        [ "$mode" = headless ] && args=(--headless)
        "$app" "${args[@]}" >"$work/out" 2>&1 &
        pid=$!
        # Running once the window has sent its start-up discovery and its tick goes on: a
        # second after the lock is there.
        for _ in $(seq 100); do [ -e "$XDG_RUNTIME_DIR/qb-timer.lock" ] && break; sleep 0.05; done
        # A second copy meanwhile is turned away with status 1, naming the first; --version is
        # still answered.
        status=0
        timeout 10 "$app" "${args[@]}" >"$work/second" 2>&1 || status=$?
        if [ "$status" -ne 1 ] || ! grep -qx "QB-Timer is already running (pid $pid)" "$work/second" ||
            ! "$app" --version | grep -q '^qb-timer '; then
            echo "$mode: a second copy ended with status $status, saying:" >&2
            cat "$work/second" >&2
            exit 1
        fi
        sleep 1
        kill -"$signal" "$pid"
        status=0
        wait "$pid" || status=$?
        if [ "$status" -ne 0 ] || [ -e "$XDG_RUNTIME_DIR/qb-timer.lock" ]; then
            echo "$mode on SIG$signal: status $status, lock $(ls "$XDG_RUNTIME_DIR")" >&2
            cat "$work/out" >&2
            exit 1
        fi
    done
done
echo "window and headless: a second copy turned away; status 0 and no lock after SIGTERM and SIGINT"
