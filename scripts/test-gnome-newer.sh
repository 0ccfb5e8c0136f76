#!/usr/bin/env bash
# Runs the GNOME end-to-end test on a newer GNOME Shell than this machine's: Debian 13's (GNOME 48)
# in a chroot, with the extension in the form that GNOME loads (an ES module) and this machine's
# release build of Tavrin, which runs on Debian 13's Qt 6 beside its own ICU. Not part of the test
# suite: it needs root and about 1 GB of packages, and it leaves the chroot for the next run.
#   sudo scripts/test-gnome-newer.sh [CHROOT]       default CHROOT: build/trixie
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
chroot=${1:-$root/build/trixie}
build="$root/build/bench"
((EUID == 0)) || { echo "run it as root: it makes and enters a chroot" >&2; exit 1; }

[ -f "$build/build.ninja" ] ||
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRIN_SANITIZE=OFF \
        >/dev/null || exit 1
cmake --build "$build" -j2 --target tavrin >/dev/null || exit 1

if [ ! -x "$chroot/usr/bin/gnome-shell" ]; then
    command -v debootstrap >/dev/null || apt-get install -y debootstrap >/dev/null || exit 1
    [ -d "$chroot/usr" ] || debootstrap --variant=minbase trixie "$chroot" \
        http://deb.debian.org/debian >/dev/null || exit 1
fi
for dir in proc sys dev dev/pts; do
    mountpoint -q "$chroot/$dir" || mount --bind "/$dir" "$chroot/$dir" || exit 1
done
trap 'for dir in dev/pts dev sys proc; do umount "$chroot/$dir"; done' EXIT
cp /etc/resolv.conf "$chroot/etc/"
if [ ! -x "$chroot/usr/bin/gnome-shell" ]; then
    chroot "$chroot" env DEBIAN_FRONTEND=noninteractive apt-get update -q >/dev/null &&
        chroot "$chroot" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
            --no-install-recommends gnome-shell gnome-shell-extension-appindicator dbus \
            dbus-daemon libglib2.0-bin python3-gi gir1.2-gtk-4.0 gir1.2-gtk-3.0 \
            gir1.2-gdkpixbuf-2.0 ibus gir1.2-ibus-1.0 ibus-gtk3 ibus-gtk4 xwayland \
            libgl1-mesa-dri jq procps libqt6widgets6 libqt6dbus6 libqt6gui6 qt6-wayland \
            libxcb-xinput0 libxcb-xtest0 libxcb-damage0 libxkbcommon-x11-0 >/dev/null || exit 1
fi
mkdir -p "$chroot/tmp/.X11-unix" && chmod 1777 "$chroot/tmp" "$chroot/tmp/.X11-unix"

opt="$chroot/opt/tavrin"
rm -rf "$opt" && mkdir -p "$opt/lib" "$opt/ext/tavrin@tavrin.org" "$opt/tests" "$opt/scripts"
cp "$build/Tavrin/app/tavrin" "$opt/"
cp -L /usr/lib/x86_64-linux-gnu/libicu{uc,data}.so.72 "$opt/lib/"
printf '#!/bin/sh\nLD_LIBRARY_PATH=/opt/tavrin/lib exec /opt/tavrin/tavrin "$@"\n' >"$opt/run"
chmod +x "$opt/run"
shell=$(chroot "$chroot" gnome-shell --version | grep -o '[0-9]\+' | head -n1)
cp "$root/Tavrin/platform/gnome/shell-extension/extension.js" "$opt/ext/tavrin@tavrin.org/"
sed "s/@TAVRIN_GNOME_SHELL_VERSIONS@/\"$shell\"/" \
    "$root/Tavrin/platform/gnome/shell-extension/metadata.json.in" \
    >"$opt/ext/tavrin@tavrin.org/metadata.json"
cp -r "$root/tests/e2e" "$opt/tests/"
cp "$root/scripts/typing-measure.sh" "$opt/scripts/"

echo "GNOME Shell $(chroot "$chroot" gnome-shell --version | grep -o '[0-9.]\+$')"
chroot "$chroot" bash /opt/tavrin/tests/e2e/gnome/gnome_test.sh /opt/tavrin/ext/tavrin@tavrin.org \
    /opt/tavrin/run
