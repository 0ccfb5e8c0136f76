#!/usr/bin/env bash
# The application icon as installed, at the panel sizes 16, 22, 24, 32 and 48 px, on a dark and
# on a light panel (the tints of the tray screenshots), drawn 1:1 as a panel shows a PNG of its
# own size, and enlarged four times without smoothing. Pictures go to out/screenshots/icon/.
# Usage: scripts/screenshots-icon.sh [BUILD_DIR]   (default build/test, made by scripts/test.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/test}
[ -f "$build/cmake_install.cmake" ] || { echo "build first: scripts/test.sh" >&2; exit 1; }
out=$PWD/out/screenshots/icon
mkdir -p "$out"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
DESTDIR=$tree cmake --install "$build" --prefix /usr >/dev/null
icons=$tree/usr/share/icons/hicolor

for panel in dark:#2b2b2b light:#e6e6e6; do
    name=${panel%%:*} tint=${panel#*:}
    tiles=()
    for size in 16 22 24 32 48; do
        tiles+=(\( -size 56x56 "xc:$tint" "$icons/${size}x$size/apps/tavrin.png" -gravity center
                -composite \))
    done
    /usr/bin/convert "${tiles[@]}" +append "$out/sizes-$name.png"
    /usr/bin/convert "$out/sizes-$name.png" -filter point -resize 400% "$out/sizes-$name@4x.png"
done
ls "$out"
