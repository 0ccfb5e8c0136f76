#!/usr/bin/env bash
# The utility in the user's session: one instance per display (a later start, with the
# display spelled another way and no tray, shows its settings window), no display is an
# error; the tray menu opens the settings window, where "Assign button" takes the next spare
# button, and closing the window leaves the utility running.
# Usage: startup_test.sh TAVRIN_BINARY XPEER_BINARY
set -u
TAVRIN=$1
export E2E_XPEER=$2
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

settings_window_shown() {
    [ -n "$(xdotool search --onlyvisible --name '^Tavrin Settings$' 2>/dev/null)" ]
}

settings_window_in_front() {
    WINDOW=$(xdotool getactivewindow 2>/dev/null) &&
        [ "$(xdotool getwindowname "$WINDOW")" = "Tavrin Settings" ]
}

test_one_instance_and_none_without_a_display() {
    e2e_start_x
    e2e_launch_tavrin "$TAVRIN"
    e2e_wait_for "the first instance to hold the display" "$E2E_XPEER" owner _TAVRIN_INSTANCE ||
        e2e_fail "the first instance holds no display"
    DISPLAY="$DISPLAY.0" timeout 20 "$TAVRIN" >/dev/null 2>&1
    e2e_expect_equal "exit status of a second instance" 0 $?
    e2e_wait_for "the settings window" settings_window_shown || e2e_fail "no settings window"
    kill -0 "$E2E_TAVRIN_PID" || e2e_fail "the first instance is gone"
    e2e_expect_equal "warnings of the first instance" "" "$(e2e_warnings)"

    export XDG_CONFIG_HOME="$E2E_DIR/config-without-display"
    DISPLAY=:9999 timeout 20 "$TAVRIN" >/dev/null 2>&1
    e2e_expect_equal "exit status without a display" 1 $?
    [ ! -e "$XDG_CONFIG_HOME" ] || e2e_fail "a start without a display wrote settings"
}

# Clicks of X button 8 go to the application until assign mode takes the next one.
assigned_by_a_click() {
    xdotool click 8
    e2e_stored assignedButton=3
}

test_the_settings_window_assigns_a_button() {
    e2e_start_x
    e2e_start_wm || e2e_fail "openbox did not start"
    e2e_write_settings true ""
    e2e_start_tavrin "$TAVRIN" || e2e_fail "tavrin did not start"
    e2e_open_tray_menu || e2e_fail "a left click on the tray icon opened no menu"
    xdotool key Down Down Return
    e2e_wait_for "the settings window in front" settings_window_in_front ||
        e2e_fail "no settings window in front"
    # With the permission granted, the first control to take the focus is "Assign button".
    xdotool key space mousemove 400 300
    e2e_wait_for "button 3 in the store" assigned_by_a_click || e2e_fail "not stored"
    xdotool windowactivate --sync "$WINDOW" key alt+F4
    e2e_wait_for "the settings window to close" eval '! e2e__viewable "$WINDOW"' ||
        e2e_fail "alt+F4 left the settings window open"
    "$TAVRIN" --popup || e2e_fail "the utility is gone with its settings window"
}

e2e_init
e2e_run_test "one instance, and none without a display" test_one_instance_and_none_without_a_display
e2e_run_test "the settings window assigns a button" test_the_settings_window_assigns_a_button
[ "${E2E_FAILED:-0}" -eq 0 ]
