#!/usr/bin/env bash
# Screenshots of the window's pages from one build, to compare the Qt 5 and the Qt 6 build: the
# real window under Xvfb against four simulated displays on loopback, driven with xdotool, each
# with a settings folder of its own.
# Usage: scripts/make-qt-screenshots.sh BUILD_DIR OUT_DIR [STEPS]
#   STEPS: "shot NAME", "click X Y", "hold X Y" (a long press), "wait S", separated by ";".
#   The default selects the second display and takes home, count-down, the preset dialog, program, the line editor, Tabata
#   and presentation.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$1" && pwd)"
mkdir -p "$2"
out="$(cd "$2" && pwd)"
# The tool button at the top left opens the drawer (and goes back from a page); the drawer's
# entries, a preset and a program line's menu are where a 300 x 700 window shows them.
steps="${3:-click 130 160; wait 2; shot home; click 20 20; wait 1; click 100 223; wait 2; shot countdown;
hold 75 345; wait 2; shot preset-dialog; key Escape; wait 1; click 20 20; wait 1;
click 20 20; wait 1; click 100 380; wait 3; shot program; click 283 457; wait 1; click 170 448;
wait 2; shot line-editor; key Escape; wait 1; click 20 20; wait 1;
click 20 20; wait 1; click 100 267; wait 2; shot tabata; click 20 20; wait 1;
click 20 20; wait 1; click 100 311; wait 2; shot presentation}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config/Quillbrook Inc"
mkdir -m 700 "$work/runtime"
printf '[main]\nmainBroadcastIP=127.255.255.255\n' >"$work/config/Quillbrook Inc/QB-Timer2.conf"

"$root/tests/isolated.sh" xvfb-run -a -s "-screen 0 300x700x24" bash -c '
    build=$1 work=$2 out=$3 steps=$4
    "$build/sim/qb-timer-sim" --count 4 --names "Main Hall,Gym,Pool,Studio" 2>/dev/null &
    sim=$!
    XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb \
        "$build/app/qb-timer" 2>/dev/null &
    app=$!
    sleep 6
    printf "%s;" "$steps" | tr "\n;" " \n" | while read -r action a b; do
        case $action in
        shot) import -window root "$work/shot.png" && convert "$work/shot.png" -strip -colors 64 "$out/$a.png" ;;
        click) xdotool mousemove "$a" "$b" click 1 ;;
        hold) xdotool mousemove "$a" "$b" mousedown 1 sleep 1.5 mouseup 1 ;;
        key) xdotool key "$a" ;;
        wait) sleep "$a" ;;
        esac
    done
    kill $app $sim
    wait' _ "$build" "$work" "$out" "$steps"
ls "$out"
