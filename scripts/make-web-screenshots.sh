#!/usr/bin/env bash
# Takes the browser remote's and the viewer's screenshots for the README: headless Chromium at
# phone (390x844) and desktop (1280x800) size, the viewer at 1920x1080, 1280x720 and 1080x1920,
# against `qb-timer --headless` and four simulated displays, in a network namespace of its own.
# Writes docs/screenshots/remote-*.png and viewer-*.png.
# Usage: scripts/make-web-screenshots.sh [BUILD_DIR]   (qb-timer and qb-timer-sim built there)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
out="$root/docs/screenshots"
mkdir -p "$out"
"$root/tests/isolated.sh" "$root/tests/support/with-headless.sh" "$build" --count 4 \
    --names "Main Hall,Gym,Pool,Studio" -- /usr/bin/python3 "$root/scripts/web-screenshots.py" "$out"
for shot in "$out"/remote-*.png "$out"/viewer-*.png; do
    convert "$shot" -strip -colors 128 "$shot"
    echo "wrote $shot ($(stat -c %s "$shot") bytes)"
done
