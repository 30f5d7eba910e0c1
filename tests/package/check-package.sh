#!/bin/sh
# Builds the Debian package from a finished build, has lintian check it (no error or warning may
# remain), unpacks it into a scratch root and checks that the unpacked programs start and that
# the tree holds what a desktop needs.
# Usage: check-package.sh BUILD_DIR VERSION PACKAGE... (what Depends must name; a package ending in
# a library's name, e.g. libqt6core, matches that library's package of any soname)
set -eu
build=$1 version=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" ||
    { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/*.deb)
lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log"; echo "lintian finds fault with $(basename "$deb")"; exit 1; }
dpkg -x "$deb" "$work/root"
cd "$work/root/usr"
ls "$(ls -d ../lib/systemd/system/qb-timer.service lib/systemd/system/qb-timer.service 2>/dev/null | head -1)" \
    bin/qb-timer bin/qb-timer-sim bin/qb-timerctl \
    share/applications/qb-timer.desktop \
    share/icons/hicolor/256x256/apps/qb-timer.png share/metainfo/example.quillbrook.qbtimer.metainfo.xml \
    share/man/man1/qb-timer.1.gz share/man/man1/qb-timer-sim.1.gz share/man/man1/qb-timerctl.1.gz \
    share/bash-completion/completions/qb-timerctl \
    share/doc/qb-timer/copyright share/doc/qb-timer/changelog.gz
grep -q '>qb-timer.desktop</launchable>' share/metainfo/example.quillbrook.qbtimer.metainfo.xml
for program in qb-timer qb-timer-sim qb-timerctl; do
    answer=$(QT_QPA_PLATFORM=offscreen timeout 20 "bin/$program" --version)
    [ "$answer" = "$program $version" ] || { echo "$program --version said: $answer"; exit 1; }
done
# Libraries as dpkg-shlibdeps found them; the QML modules and the font as the build names them.
depends=", $(dpkg-deb -f "$deb" Depends),"
for package in "$@"; do
    case $package in
    libqt*) pattern="$package[0-9a-z-]*" ;;
    *) pattern=$package ;;
    esac
    echo "$depends" | grep -q ", $pattern[ ,]" || { echo "Depends lacks $package: $depends"; exit 1; }
done
echo "$(basename "$deb") Depends:$depends"
