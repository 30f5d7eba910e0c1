#!/usr/bin/env bash
# Builds and runs the whole suite (./test: Qt 6, and the Qt 5.15 unit and QML tests) on Debian 13
# in a root made with debootstrap, from the committed sources as a fresh clone has them, and
# prints one line per test. Not part of ./test: it needs root and downloads a system from
# Debian's mirror. The root is kept for the next run.
# Usage: scripts/check-debian13.sh [ROOT]   (default /var/tmp/qb-timer-trixie)
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
root="${1:-/var/tmp/qb-timer-trixie}"
mirror="${QB_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
log="$root.log"
[ "$(id -u)" -eq 0 ] || { echo "check-debian13.sh: run as root (debootstrap, chroot)" >&2; exit 1; }

if [ ! -x "$root/usr/bin/apt-get" ]; then
    echo "debootstrap trixie into $root"
    debootstrap --variant=minbase trixie "$root" "$mirror" >"$root.debootstrap.log" 2>&1 ||
        { tail -20 "$root.debootstrap.log"; exit 1; }
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
rm -rf "$root/src"
mkdir -p "$root/src"
git -C "$src" archive HEAD | tar -x -C "$root/src"

cleanup() {
    for m in dev/pts dev sys proc; do umount -l "$root/$m" 2>/dev/null || true; done
}
trap cleanup EXIT
mount -t proc proc "$root/proc"
mount -t sysfs sys "$root/sys"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"

in_root() {
    chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 PATH=/usr/sbin:/usr/bin:/sbin:/bin \
        bash -c "$1"
}
echo "installing the build's packages"
in_root "apt-get update -qq && cd /src && scripts/install-deps.sh" >"$log" 2>&1 ||
    { tail -20 "$log"; exit 1; }
qt6=$(in_root "dpkg-query -W -f='\${Version}' qt6-base-dev")
qt5=$(in_root "dpkg-query -W -f='\${Version}' qtbase5-dev")
echo "building and testing with Qt $qt6 and Qt $qt5 (log: $log)"
# The tests run in a network namespace of the check's own: a chroot may not make the ones
# tests/isolated.sh asks for, and nothing sent may reach the machine's own port 7372.
status=0
unshare -n sh -c 'ip link set lo up && exec "$@"' sh \
    chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c "cd /src && ./test" >>"$log" 2>&1 || status=$?

# One line per test, as ctest reported it.
sed -nE 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+) \.+ *(\*\*\*)?([A-Za-z ]*[A-Za-z]) +([0-9.]+ sec)$/\1 \3 \4/p' "$log"
grep -E '^[0-9]+% tests passed' "$log" || tail -20 "$log"
echo "Debian 13 (Qt $qt6, Qt $qt5): ./test exit status $status"
exit "$status"
