#!/usr/bin/env bash
# `qb-timer --api-token` under a umask that would let anyone read what it makes: every file that
# the token is written to, the copy written beside the store before it takes its place included,
# is created readable by its owner only and never opened wider, before its first byte.
#
#   token-file.sh QB_TIMER_EXECUTABLE
set -euo pipefail
app=$1
command -v strace >/dev/null || { echo "skipped: strace is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
store="$XDG_CONFIG_HOME/Quillbrook Inc"

(umask 000 && strace -f -qq -e trace=openat,creat,chmod,fchmod,fchmodat -o "$work/trace" \
    "$app" --api-token >"$work/token")

# Files made in the store's folder (its lock holds no secret): unnamed copies, and the first
# open that may create each file (later ones find it there, and their mode does not apply); and
# every change of mode.
grep -E "\"$store[\"/]" "$work/trace" | grep -E 'O_CREAT|O_TMPFILE|creat\(' |
    grep -v '\.lock"' | awk -F'"' '/O_TMPFILE/ || !seen[$2]++' >"$work/made" || true
grep -E 'chmod' "$work/trace" >>"$work/made" || true
cat "$work/made"
[ -s "$work/made" ]
if grep -v -E ', 0600\)' "$work/made"; then
    echo "made or opened to others (above)" >&2
    exit 1
fi
[ "$(stat -c %a "$store/QB-Timer.conf")" = 600 ]
grep -q "httpToken=.*$(cat "$work/token")" "$store/QB-Timer.conf"
