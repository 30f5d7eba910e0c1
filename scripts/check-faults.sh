#!/usr/bin/env bash
# Applies each fault of scripts/fault-list.txt alone to a scratch copy of a commit, builds the
# tests and runs them, quickest first, until one fails. Every fault must be caught; a fault that
# does not build or whose text is not found exactly once is reported as such.
#
#   scripts/check-faults.sh [--ref COMMIT] [--only ID] [--list FILE] [--work DIR]
#
# The scratch copy and its build live in build/faults (or DIR) and are reused, so later runs
# rebuild only what a fault touches; each test is built just before it runs, so a fault caught
# early costs only the tests before it. Exits non-zero when a fault is missed or cannot be
# applied.
set -uo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
ref=HEAD
only=
list="$root/scripts/fault-list.txt"
work="$root/build/faults"
while [ $# -gt 0 ]; do
    case "$1" in
    --ref) ref="$2"; shift 2 ;;
    --only) only="$2"; shift 2 ;;
    --list) list="$2"; shift 2 ;;
    --work) work="$2"; shift 2 ;;
    *) echo "usage: $0 [--ref COMMIT] [--only ID] [--list FILE] [--work DIR]" >&2; exit 2 ;;
    esac
done

mkdir -p "$work" && work="$(cd "$work" && pwd)"
src="$work/src"
build="$work/build"
pristine="$work/pristine"
mkdir -p "$src" "$build"
export QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-/work}"

# The commit's files, copied over the scratch tree only where they differ so that unchanged
# files keep their time stamps.
rm -rf "$pristine" && mkdir -p "$pristine"
git -C "$root" archive "$ref" | tar -x -C "$pristine" || exit 2
(cd "$pristine" && find . -type f) | while IFS= read -r f; do
    if ! cmp -s "$pristine/$f" "$src/$f"; then
        mkdir -p "$(dirname "$src/$f")" && cp "$pristine/$f" "$src/$f"
    fi
done
(cd "$src" && find . -type f) | while IFS= read -r f; do
    [ -e "$pristine/$f" ] || rm -f "$src/$f"
done

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE= -DQB_WERROR=OFF "${launcher[@]}" >/dev/null || exit 2

# Quickest first: pure unit tests, then the controller, QML, the socket tests, end to end.
rank() {
    case "$1" in
    *e2e*) echo 4 ;;
    *udp* | *stress* | *loopback*) echo 3 ;;
    *qml*) echo 2 ;;
    *protocol* | *clock* | *model* | *options*) echo 0 ;;
    *) echo 1 ;;
    esac
}
# Only tests built from a target of their own: the metadata and package checks test no behaviour.
targets=" $(cmake --build "$build" --target help | sed -n 's/^\.\.\. \([^ ]*\).*/\1/p' | tr '\n' ' ') "
tests=$(ctest --test-dir "$build" -N | sed -n 's/^ *Test *#[0-9]*: //p' |
    while read -r t; do [[ "$targets" == *" $t "* ]] && echo "$(rank "$t") $t"; done |
    sort -n | cut -d' ' -f2)
[ -n "$tests" ] || { echo "no tests found" >&2; exit 2; }

# Prints the first test that does not build or fails, or nothing when all pass. A test counts as
# failing only when it fails twice in a row, so that a timing test upset by a busy machine does
# not count.
first_failure() {
    for t in $tests; do
        if ! cmake --build "$build" -j2 --target "$t" >"$work/build.log" 2>&1; then
            echo "$t (does not build)"
            return
        fi
        if ! ctest --test-dir "$build" -R "^$t\$" --timeout 300 >"$work/test-$t.log" 2>&1 &&
            ! ctest --test-dir "$build" -R "^$t\$" --timeout 300 >>"$work/test-$t.log" 2>&1; then
            echo "$t"
            return
        fi
    done
}

apply() { # file find with
    python3 - "$@" <<'EOF'
import sys
path, find, replace = sys.argv[1:]
text = open(path, encoding="utf-8").read()
if text.count(find) != 1:
    sys.exit(1)
open(path, "w", encoding="utf-8").write(text.replace(find, replace))
EOF
}

echo "baseline: $(git -C "$root" rev-parse --short "$ref")"
start=$SECONDS
failed=$(first_failure)
[ -z "$failed" ] || { echo "baseline fails in $failed, see $work/test-$failed.log"; exit 2; }
echo "baseline passes ($((SECONDS - start)) s)"

status=0
caught=0
total=0
run_fault() { # id description file find with
    local id="$1" what="$2" file="$3" find="$4" with="$5" t0=$SECONDS result
    total=$((total + 1))
    if ! apply "$src/$file" "$find" "$with"; then
        result="NOT APPLIED (text not found exactly once in $file)"
        status=1
    else
        local by
        by=$(first_failure)
        if [[ "$by" == *"does not build"* ]]; then
            result="DOES NOT BUILD ($by)"
            status=1
        elif [ -n "$by" ]; then
            result="caught by $by"
            caught=$((caught + 1))
        else
            result="MISSED"
            status=1
        fi
    fi
    cp "$pristine/$file" "$src/$file"
    printf '%-18s %-45s (%3d s)  %s\n' "$id" "$result" $((SECONDS - t0)) "$what"
}

id= what= file= find= with=
flush() {
    if [ -n "$id" ] && { [ -z "$only" ] || [ "$only" = "$id" ]; }; then
        run_fault "$id" "$what" "$file" "$find" "$with"
    fi
    id= what= file= find= with=
}
# The list is read on a descriptor of its own: the tests run meanwhile share standard input.
while IFS= read -r -u 3 line || [ -n "$line" ]; do
    case "$line" in
    '#'* | '') ;;
    '['*) flush; id="${line#[}"; id="${id%%]*}"; what="${line#*] }" ;;
    'file = '*) file="${line#file = }" ;;
    'find = '*) find="${line#find = }" ;;
    'with = '*) with="${line#with = }" ;;
    *) echo "unreadable line in $list: $line" >&2; exit 2 ;;
    esac
done 3<"$list"
flush

echo "caught $caught of $total faults in $((SECONDS - start)) s"
exit $status
