#!/usr/bin/env bash
# Shows Tavrin at work without a display: a private X server, xev as the application in front,
# button 9 assigned. Presses 9, waits for the popup, takes a screenshot (out/demo/popup.png),
# picks "Mention" and prints what reached the application.
# Usage: scripts/demo.sh [TAVRIN_BINARY]   (default build/release/Tavrin/app/tavrin)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tavrin=$(realpath "${1:-$root/build/release/Tavrin/app/tavrin}")
out="$root/out/demo"
mkdir -p "$out"

# The X peer is a small X client; built here so that the demonstration needs no test build.
c++ -std=c++20 -O2 -I"$root/Tavrin" "$root"/tools/xpeer/*.cpp -o "$out/xpeer" \
    $(pkg-config --cflags --libs xcb xcb-xinput xcb-xkb xcb-xtest)
export E2E_XPEER="$out/xpeer"
source "$root/tests/e2e/harness.sh"
trap 'echo "The demonstration failed at line $LINENO of $0." >&2' ERR

e2e_init
e2e_start_x
e2e_start_xev
# Button 9 is stored as 4; no stored entries, so the popup shows the default ones.
e2e_write_settings true 4
e2e_start_tavrin "$tavrin"
echo "Tavrin is running on $DISPLAY with button 9 assigned; xev is the application in front."

e2e_xev_sync
e2e_xev_clear
xdotool click 9
e2e_wait_popup
echo "Button 9 pressed: the popup is open at ${E2E_POPUP_X},${E2E_POPUP_Y}" \
    "(${E2E_POPUP_WIDTH}x${E2E_POPUP_HEIGHT})."
import -window root "$out/popup.png"
echo "Screenshot: $out/popup.png"

xdotool mousemove $(e2e_row_point 1 3) click 1
e2e_wait_no_popup
e2e_wait_for "the chosen text to arrive" eval '[ -n "$(e2e_xev_text)" ]'
e2e_xev_sync
text=$(e2e_xev_text)
echo "Chose \"Mention\"; xev received the text: $text"
buttons=$(e2e_xev_buttons | grep -c ' 9$' || true)
echo "Events of button 9 that reached xev: $buttons"
[ "$text" = @ ] && [ "$buttons" -eq 0 ]
