#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and ./run need, when any is missing: Qt 6
# for the application, Qt 5.15 for the second build ./test makes of the same sources.
set -euo pipefail
packages=(
    cmake g++ clang clang-format make ccache
    qt6-base-dev qt6-declarative-dev
    qml6-module-qtquick qml6-module-qtquick-window qml6-module-qtquick-controls
    qml6-module-qtquick-templates qml6-module-qtquick-layouts qml6-module-qtqml-workerscript
    qml6-module-qt-labs-settings qml6-module-qttest
    qtbase5-dev qtdeclarative5-dev qtquickcontrols2-5-dev
    qml-module-qtquick2 qml-module-qtquick-window2 qml-module-qtquick-controls2
    qml-module-qtquick-templates2 qml-module-qtquick-layouts qml-module-qt-labs-settings
    qml-module-qttest
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
