#!/usr/bin/env bash
# The settings window as the user reaches it: "Settings…" in the tray menu opens it at 440x640
# in front, and "Assign button" there captures the next spare-button click before any
# application sees it.
# Usage: settings_test.sh TAVRIN_BINARY XPROBE_BINARY
set -u
TAVRIN=$1
export E2E_XPROBE=$2
source "$(dirname "${BASH_SOURCE[0]}")/../harness.sh"

STORE() { echo "$XDG_CONFIG_HOME/tavrin/tavrin.conf"; }

window_manager_running() {
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

start_window_manager() {
    openbox --sm-disable >"$E2E_DIR/openbox.log" 2>&1 &
    E2E_PIDS+=($!)
    e2e_wait_for "openbox to manage the screen" window_manager_running
}

find_settings_window() {
    SETTINGS=$(xdotool search --onlyvisible --name '^Tavrin Settings$' 2>/dev/null | head -n1)
    [ -n "$SETTINGS" ]
}

active_window_is() {
    [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]
}

window_size() {
    xwininfo -id "$1" | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}'
}

window_image() {
    import -window "$1" rgb:- 2>/dev/null | md5sum
}

# The window shows something other than BEFORE, and has finished drawing it.
window_changed_from() {
    local window=$1 before=$2 first second
    first=$(window_image "$window")
    second=$(window_image "$window")
    [ "$first" = "$second" ] && [ "$first" != "$before" ]
}

window_settled() {
    local first second
    first=$(window_image "$1")
    second=$(window_image "$1")
    [ "$first" = "$second" ]
}

stored_button_is() {
    grep -qx "assignedButton=$1" "$(STORE)" 2>/dev/null
}

test_assign_button_from_the_tray() {
    e2e_start_x
    start_window_manager
    e2e_write_settings true ""
    e2e_start_xev
    e2e_start_tavrin "$TAVRIN" || e2e_fail "tavrin did not start"

    e2e_open_tray_menu || e2e_fail "a left click on the tray icon opened no menu"
    # The status row is not actionable: the keyboard reaches "Enabled", then "Settings…".
    xdotool key Down Down Return
    e2e_wait_for "the settings window" find_settings_window || e2e_fail "no settings window"
    e2e_wait_for "the settings window to be viewable" e2e__viewable "$SETTINGS" ||
        e2e_fail "the settings window never became viewable"
    e2e_expect_equal "settings window size" 440x640 "$(window_size "$SETTINGS")"
    e2e_wait_for "the settings window in front" active_window_is "$SETTINGS" ||
        e2e_fail "the settings window is not the active window"

    # With the permission granted, the first control to take the focus is "Assign button".
    e2e_wait_for "the settings window to finish drawing" window_settled "$SETTINGS"
    local idle
    idle=$(window_image "$SETTINGS")
    xdotool key space
    e2e_wait_for "assign mode to show" window_changed_from "$SETTINGS" "$idle" ||
        e2e_fail "the window did not change after Assign button"
    local waiting
    waiting=$(window_image "$SETTINGS")

    xdotool mousemove --sync --window "$E2E_XEV_WINDOW" 100 100
    e2e_xev_sync && e2e_xev_clear
    xdotool click 8
    e2e_wait_for "button 3 in the store" stored_button_is 3 ||
        e2e_fail "store holds: $(grep assignedButton "$(STORE)")"
    e2e_xev_sync
    e2e_expect_equal "button events at xev while assigning" "" "$(e2e_xev_buttons)"
    e2e_wait_for "the window to show the assigned button" \
        window_changed_from "$SETTINGS" "$waiting" || e2e_fail "the window did not change"

    # The button that lost the focus while disabled handed it on to the list; "Clear" now
    # stands between the two.
    xdotool windowactivate --sync "$SETTINGS" key shift+Tab space
    e2e_wait_for "the cleared button in the store" stored_button_is -1 ||
        e2e_fail "no Clear before the list: store holds $(grep assignedButton "$(STORE)")"
}

e2e_init
e2e_run_test "assigning a button from the settings window" test_assign_button_from_the_tray
echo "$((1 - ${E2E_FAILED:-0})) passed, ${E2E_FAILED:-0} failed"
[ "${E2E_FAILED:-0}" -eq 0 ]
