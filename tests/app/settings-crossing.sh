#!/bin/sh
# A settings store written by one build is read by the other, both ways: every value as written.
# The Qt 6 build leaves a store the Qt 5 build wrote byte for byte as it was.
# Usage: settings-crossing.sh QT6_STORECROSS QT5_STORECROSS
set -eu
qt6=$1 qt5=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
status=0
for direction in "qt5 qt6" "qt6 qt5"; do
    set -- $direction
    export XDG_CONFIG_HOME="$work/$1-to-$2"
    eval writer=\$$1 reader=\$$2
    "$writer" write
    before=$(cat "$XDG_CONFIG_HOME/Quillbrook Inc/"*.conf | md5sum)
    if "$reader" read; then
        echo "$1 -> $2: every value as written"
    else
        echo "$1 -> $2: values differ"
        status=1
    fi
    after=$(cat "$XDG_CONFIG_HOME/Quillbrook Inc/"*.conf | md5sum)
    if [ "$2" = qt6 ] && [ "$before" != "$after" ]; then
        echo "$1 -> $2: the Qt 6 build changed the store while reading it"
        status=1
    fi
done
exit $status
