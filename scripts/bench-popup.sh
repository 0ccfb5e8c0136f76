#!/usr/bin/env bash
# Press-to-popup time: 50 presses of button 9 on one private X server, each measured from the
# XTest press to the MapNotify of the popup. Prints the median and the 95th percentile
# (targets: median 25 ms or less, 95th percentile 50 ms or less).
# Usage: scripts/bench-popup.sh [PRESSES [TAVRIN_BINARY XPEER_BINARY XBENCH_BINARY]]  (both built here if
# not given)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench"
mkdir -p "$build"
if [ $# -lt 4 ] && ! { cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release &&
    cmake --build "$build" -j2 --target tavrin xpeer xbench; } >"$build/bench-build.log" 2>&1; then
    cat "$build/bench-build.log" >&2
    exit 1
fi

tavrin="${2:-$build/Tavrin/app/tavrin}"
export E2E_XPEER="${3:-$build/tools/xpeer}"
source "$root/tests/e2e/harness.sh"
e2e_init
e2e_start_x
e2e_start_xev
e2e_write_settings true 4
e2e_start_tavrin "$tavrin"
"${4:-$build/tools/xbench}" popup "${1:-50}" 9
