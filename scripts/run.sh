#!/usr/bin/env bash
# Installs what is missing, builds and starts Tavrin. Without a display it runs a short
# demonstration on a private X server instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target tavrin
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    if [ -x scripts/demo.sh ]; then
        exec scripts/demo.sh build/release/Tavrin/app/tavrin
    fi
    echo "Tavrin needs an X11 display, and none could be reached (is DISPLAY set?)." >&2
    exit 1
fi
exec build/release/Tavrin/app/tavrin
