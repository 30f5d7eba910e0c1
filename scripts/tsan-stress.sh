#!/usr/bin/env bash
# Builds the tests of the threaded parts (the link thread, the HTTP door with its gate to the
# controller's thread) with ThreadSanitizer in build-tsan and runs them. Exits
# non-zero when a test fails or ThreadSanitizer reports anything.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-tsan"

cmake -S "$root" -B "$build" -DQB_TSAN=ON -DQB_WERROR=ON >/dev/null
cmake --build "$build" -j2 --target tst_udpcommthread tst_httpapi

# Qt and GLib are not built with ThreadSanitizer: their own loads, stores and futex-based locks
# are invisible to it, but the allocations, frees, socket and eventfd calls they make are still
# intercepted. Those then look unsynchronised, e.g. a queued signal's argument copy allocated by
# Qt on one thread and freed by Qt on another. called_from_lib ignores only what the interceptors
# see on behalf of the named library; every access made by our own code is still checked.
suppressions="$build/tsan-uninstrumented-libs.supp"
cat >"$suppressions" <<'EOF'
# Event posting, queued-call arguments, implicitly shared byte arrays, QThread start and wait.
called_from_lib:libQt6Core.so.6
called_from_lib:libQt5Core.so.5
# The display stand-ins' QUdpSocket reading and writing.
called_from_lib:libQt6Network.so.6
called_from_lib:libQt5Network.so.5
# The Qt Test watchdog thread.
called_from_lib:libQt6Test.so.6
called_from_lib:libQt5Test.so.5
# The event dispatcher's wake-up eventfd, written by whichever thread posts an event.
called_from_lib:libglib-2.0.so.0
# The HTTP library's request parsing on the door's connection threads.
called_from_lib:libcpp-httplib.so.0.11
EOF

export TSAN_OPTIONS="suppressions=$suppressions halt_on_error=0 exitcode=66"
export QT_QPA_PLATFORM=offscreen

failed=0
for test in link/tst_udpcommthread control/tst_httpapi; do
    binary="$build/tests/$test"
    test=$(basename "$test")
    export XDG_CONFIG_HOME="$build/config-$test"
    run=("$binary")
    # A private network namespace keeps other programs on this machine off port 7372.
    if unshare -rn true 2>/dev/null; then
        run=(unshare -rn sh -c 'ip link set lo up && exec "$0"' "$binary")
    fi
    log="$build/tsan-$test.log"
    status=0
    "${run[@]}" >"$log" 2>&1 || status=$?
    grep -E '^(FAIL|Totals)|^ +(Actual|Expected|Loc)|SUMMARY: ThreadSanitizer' "$log" || true
    reports=$(grep -c 'WARNING: ThreadSanitizer' "$log" || true)
    echo "$test: exit status $status, ThreadSanitizer reports: $reports (log: $log)"
    if [ "$status" -ne 0 ] || [ "$reports" -ne 0 ]; then
        failed=1
    fi
done
exit "$failed"
