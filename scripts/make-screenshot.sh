#!/usr/bin/env bash
# Takes the screenshot the desktop metadata shows: the real window under Xvfb, its home page
# listing four simulated displays on loopback, with a settings folder of its own. Writes
# app/screenshots/home.png; needed only when the window's look changes.
# Usage: scripts/make-screenshot.sh [BUILD_DIR]   (qb-timer and qb-timer-sim built there)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
out="$root/app/screenshots/home.png"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# A runtime folder of its own too, so that a copy the user runs does not turn this one away.
mkdir -p "$work/config/Quillbrook Inc" "$(dirname "$out")"
mkdir -m 700 "$work/runtime"
printf '[main]\nmainBroadcastIP=127.255.255.255\n' >"$work/config/Quillbrook Inc/QB-Timer2.conf"

# The simulator, the app and the X server share a network namespace of their own where the
# machine allows it, so nothing meets anything else on port 7372. The screen is the window's
# size: without a window manager the window sits in its top left corner.
"$root/tests/isolated.sh" xvfb-run -a -s "-screen 0 300x700x24" bash -c '
    "$1/sim/qb-timer-sim" --count 4 --names "Main Hall,Gym,Pool,Studio" 2>/dev/null &
    sim=$!
    XDG_CONFIG_HOME="$2/config" XDG_RUNTIME_DIR="$2/runtime" QT_QPA_PLATFORM=xcb "$1/app/qb-timer" 2>/dev/null &
    app=$!
    sleep 6
    import -window root "$2/shot.png"
    kill $app $sim
    wait' _ "$build" "$work"
convert "$work/shot.png" -strip -colors 64 "$out"
echo "wrote $out ($(stat -c %s "$out") bytes)"
