#!/bin/sh
# Builds the Debian package from a finished build, unpacks it into a scratch root and checks that
# the installed programs start and that the tree holds what a desktop needs.
# Usage: check-package.sh BUILD_DIR VERSION
set -eu
build=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
    fail "cpack: $(cat "$work/cpack.log")"
deb=$(ls "$work"/out/*.deb)
dpkg -x "$deb" "$work/root"

for path in bin/qb-timer bin/qb-timer-sim share/applications/qb-timer.desktop \
    share/icons/hicolor/256x256/apps/qb-timer.png \
    share/metainfo/example.quillbrook.qbtimer.metainfo.xml; do
    [ -s "$work/root/usr/$path" ] || fail "/usr/$path is not in the package"
done
grep -q '<launchable type="desktop-id">qb-timer.desktop</launchable>' \
    "$work/root/usr/share/metainfo/example.quillbrook.qbtimer.metainfo.xml" ||
    fail "the metainfo does not name the installed desktop entry"

for program in qb-timer qb-timer-sim; do
    answer=$(QT_QPA_PLATFORM=offscreen timeout 20 "$work/root/usr/bin/$program" --version)
    [ "$answer" = "$program $version" ] || fail "$program --version said \"$answer\""
done

# Libraries as dpkg-shlibdeps found them, QML modules and the font as named in the build.
depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt5core5a libqt5network5 qml-module-qtquick-dialogs qml-module-qtquick-controls \
    qml-module-qt-labs-settings fonts-dseg; do
    case ", $depends," in
    *", $package "* | *", $package,"*) ;;
    *) fail "Depends lacks $package: $depends" ;;
    esac
done
echo "$(basename "$deb"): Depends: $depends"
