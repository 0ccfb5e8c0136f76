#!/usr/bin/env bash
# Types one 2,000-character mixed Unicode text into a raw xterm on a private Xvfb, with the
# utility's typer and with `xdotool type` (default delay and --delay 0), and prints for each the
# time the typing took and how many characters arrived wrong (edit distance by code point).
#
#   scripts/bench-typing.sh [BUILD_DIR] [LAYOUT]     defaults: build, us
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd) || exit 1
layout=${2:-us}
typer="$build/tests/e2e/typing/tavrin_type_text"
[ -x "$typer" ] || { echo "no $typer: build the target tavrin_type_text first" >&2; exit 1; }

source "$here/tests/e2e/harness.sh"
source "$here/scripts/raw-terminal.sh"
source "$here/scripts/typing-measure.sh"
e2e_init
e2e_start_x || exit 1
setxkbmap -rules evdev -model pc105 -layout "$layout" || exit 1

text="$E2E_DIR/text"
typing_measure_text "$text"
characters=$(wc -m <"$text")

run() {
    local name=$1
    shift
    typing_measure "$text" "$@" || exit 1
    printf '%-16s %3d.%03d s  %5d of %d characters wrong\n' "$name" \
        $((TYPING_MILLISECONDS / 1000)) $((TYPING_MILLISECONDS % 1000)) "$TYPING_WRONG" \
        "$characters"
}

echo "layout $layout, $characters characters"
run typer "$typer" "$text"
run xdotool-delay-0 xdotool type --delay 0 --file "$text"
run xdotool-default xdotool type --file "$text"
