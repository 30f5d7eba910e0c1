#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and ./run need, when any is missing.
set -euo pipefail
packages=(
    cmake g++ clang make ccache
    qtbase5-dev qtdeclarative5-dev qtquickcontrols2-5-dev
    qml-module-qtquick2 qml-module-qtquick-window2 qml-module-qtquick-controls
    qml-module-qtquick-controls2 qml-module-qtquick-templates2 qml-module-qtquick-layouts
    qml-module-qtquick-dialogs qml-module-qtquick-privatewidgets qml-module-qt-labs-settings
    qml-module-qt-labs-folderlistmodel qml-module-qtqml-models2 qml-module-qttest
    libbenchmark-dev fonts-dseg xvfb x11-apps imagemagick iproute2 procps
    appstream desktop-file-utils dpkg-dev file lintian help2man python3-jsonschema
    libcpp-httplib-dev libcli11-dev pkg-config curl bats jq strace
    chromium chromium-driver python3-selenium
    liblo-dev liblo-tools python3-liblo
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages. Install them with:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
