#!/usr/bin/env bash
# Two outputs, the second scaled: with the pointer on the second, button 9 opens the popup there,
# at the pointer, and a click on its first row types it into the window that has the focus on the
# first output.
# Usage: outputs_test.sh TAVRIN_BINARY WLPEER_BINARY
set -u
source "$(dirname "$(readlink -f "$0")")/sway.sh" "$@"
TAVRIN=$1 WLPEER=$2
# The layout: HEADLESS-1 at 0,0 and HEADLESS-2, 640x400 in layout pixels, at 1280,0.
LAYOUT="1920 800"
POINTER="1600 200"
PATCH="1630,204 60x24"

bound() { grep -q 'Bound button9 to command `nop tavrin button 4`' "$E2E_DIR/sway.log"; }

e2e_init
sway_start 2 || e2e_fail "sway did not start"
sway_start_peer "$WLPEER"

e2e_write_settings true 4 '[{"id":"7C9E6679-7425-40DE-944B-E07FC1F90AE7","label":"Mention","action":{"insertText":{"_0":"@"}}}]'
FIELD_TEXT="$E2E_DIR/field.txt"
: >"$FIELD_TEXT"
QT_QPA_PLATFORM=wayland "$WLPEER" field "$FIELD_TEXT" >/dev/null 2>"$E2E_DIR/field.err" &
E2E_PIDS+=($!)
e2e_wait_for "the text field to be focused" field_focused >/dev/null || e2e_fail "no field"
e2e_launch_tavrin "$TAVRIN"
e2e_wait_for "the button bound" bound || e2e_fail "not bound: $(cat "$E2E_TAVRIN_LOG")"

peer move $POINTER $LAYOUT
grim -g "$PATCH" "$E2E_DIR/patch.png" || e2e_fail "grim failed"
peer click 9
e2e_wait_for "the popup on the second output" patch_changed ||
    e2e_fail "no popup at the pointer on the second output: $(cat "$E2E_TAVRIN_LOG")"
peer move 1630 210 $LAYOUT
peer click 1
e2e_wait_for "the field to hold @" eval '[ "$(cat "$FIELD_TEXT")" = @ ]' ||
    e2e_fail "the field holds [$(cat "$FIELD_TEXT")]"
