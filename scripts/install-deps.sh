#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tavrin need, if any are
# missing. Needs root (or sudo) only when something is missing.
set -euo pipefail

build=(cmake ninja-build gcc g++ pkg-config qt6-base-dev qt6-svg-dev qt6-qpa-plugins libqt6svg6
       libx11-dev libxtst-dev libxcb1-dev libxcb-xtest0-dev libxcb-xinput-dev libxcb-xkb-dev
       libxcb-damage0-dev libxkbcommon-dev libxkbcommon-x11-dev nlohmann-json3-dev libicu-dev
       libwayland-dev libwayland-bin wayland-protocols qt6-wayland)
tests=(dbus libgtest-dev libgmock-dev xvfb x11-utils x11-xkb-utils x11-xserver-utils xkb-data xdotool xterm openbox
       trayer imagemagick fonts-wqy-microhei procps python3 perl jq
       mousepad featherpad chromium firefox-esr xclip xinput desktop-file-utils appstream mandoc
       sway grim jq util-linux passwd nodejs
       gnome-shell gnome-shell-extension-appindicator dbus dbus-x11 libglib2.0-bin python3-gi gir1.2-gtk-4.0 gir1.2-gtk-3.0
       gir1.2-ibus-1.0 ibus ibus-gtk3 ibus-gtk4 xwayland
       libreoffice-writer libreoffice-gtk3 kwrite openjdk-17-jdk kitty)
packaging=(dpkg-dev file lintian)

case "${1:-all}" in
    run) wanted=("${build[@]}" dbus xvfb x11-utils xdotool imagemagick fonts-wqy-microhei) ;;
    package) wanted=("${build[@]}" "${packaging[@]}") ;;
    *) wanted=("${build[@]}" "${tests[@]}") ;;
esac

missing=()
for package in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
elif command -v sudo >/dev/null; then
    sudo apt-get update -qq
    sudo DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
    echo "Not root and no sudo: as root, run: apt-get install ${missing[*]}" >&2
    exit 1
fi
