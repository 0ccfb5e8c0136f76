#!/usr/bin/env bash
# The utility as the user meets it: the assigned button (X 9, stored as 4) opens the popup at
# the pointer and the chosen row is typed into the application in front. One instance runs per
# session (a later start, with the display spelled another way and no tray, shows its settings
# window), no display is an error; the tray menu opens the settings window, where "Assign
# button" takes the next spare button, and closing the window leaves the utility running.
# Usage: popup_test.sh TAVRIN_BINARY XPEER_BINARY
set -u
TAVRIN=$1
export E2E_XPEER=$2
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

# "R&D" would take D as its shortcut if an ampersand made one.
ITEMS='[{"id":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427","label":"R&D","action":{"insertText":{"_0":"ok, w\u00f6rld"}}},'\
'{"id":"6FA459EA-EE8A-3CA4-894E-DB77E160355E","label":"Tab","action":{"pressKey":{"_0":"Tab"}}},'\
'{"id":"16FD2706-8BAF-433B-82EB-8C7FADA847DA","label":"Marker","action":{"insertText":{"_0":"Z"}}}]'

start() { e2e_start_with_items "$TAVRIN" "$ITEMS"; }

open_popup() { xdotool "$@" && e2e_wait_popup || e2e_fail "no popup after xdotool $*"; }
close_popup() { xdotool "$@" && e2e_wait_no_popup || e2e_fail "the popup stayed after xdotool $*"; }

# The popup opens at the pointer. Escape, a click outside and the held button let go over a
# row choose nothing; the mouse, the arrows and Return choose, and D chooses nothing.
test_what_chooses_a_row_and_what_does_not() {
    start
    open_popup click 9
    e2e_expect_equal "popup position" "400 300" "$E2E_POPUP_X $E2E_POPUP_Y"
    close_popup key Escape
    open_popup click 9
    close_popup mousemove 1000 700 click 1
    open_popup mousemove 400 300 mousedown 9
    # shellcheck disable=SC2046
    close_popup mousemove $(e2e_row_point 1 3) mouseup 9 key Escape
    e2e_choose_row 1 3
    open_popup click 9
    close_popup key d Down Down Return
    e2e_type_marker 3 3
    e2e_expect_equal "typed text" "ok, wörld"$'\tZ' "$(e2e_xev_text)"
    ! e2e_xev_buttons | grep -q ' 9$' || e2e_fail "button 9 reached xev"
    e2e_expect_equal "keys down through XTest" "" \
        "$(xinput query-state "Virtual core XTEST keyboard" | grep '=down')"
}

test_tavrin_popup_asks_the_running_instance() {
    local message
    e2e_start_x || e2e_fail "Xvfb did not start"
    message=$("$TAVRIN" --popup 2>&1)
    e2e_expect_equal "--popup with none running" \
        "1 No running Tavrin could be reached in this session." "$? $message"
    DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent "$TAVRIN" --popup 2>/dev/null &&
        e2e_fail "--popup without a session bus said it was done"
    start
    "$TAVRIN" --popup || e2e_fail "--popup failed with tavrin running"
    e2e_wait_popup || e2e_fail "no popup after --popup"
    e2e_expect_equal "popup position" "400 300" "$E2E_POPUP_X $E2E_POPUP_Y"
    close_popup key Down Return
    e2e_type_marker 3 3
    e2e_expect_equal "typed text" "ok, wörldZ" "$(e2e_xev_text)"
}

settings_window_in_front() {
    WINDOW=$(xdotool getactivewindow 2>/dev/null) &&
        [ "$(xdotool getwindowname "$WINDOW")" = "Tavrin Settings" ]
}

test_one_instance_and_none_without_a_display() {
    e2e_start_x
    e2e_launch_tavrin "$TAVRIN"
    e2e_wait_for "the first instance to hold the session's name" e2e_bus_owned org.tavrin.Tavrin ||
        e2e_fail "the first instance holds no name"
    DISPLAY="$DISPLAY.0" timeout 20 "$TAVRIN" >/dev/null 2>&1
    e2e_expect_equal "exit status of a second instance" 0 $?
    e2e_wait_for "the settings window" \
        eval '[ -n "$(xdotool search --onlyvisible --name "^Tavrin Settings$" 2>/dev/null)" ]' ||
        e2e_fail "no settings window"
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
    # Minimized, it comes back in front when opened again.
    xdotool windowminimize --sync "$WINDOW" && "$TAVRIN" || e2e_fail "no second start"
    e2e_wait_for "the settings window back" settings_window_in_front || e2e_fail "still minimized"
    xdotool windowactivate --sync "$WINDOW" key alt+F4
    e2e_wait_for "the settings window to close" eval '! e2e__viewable "$WINDOW"' ||
        e2e_fail "alt+F4 left the settings window open"
    "$TAVRIN" --popup || e2e_fail "the utility is gone with its settings window"
}

e2e_init
e2e_run_test "what chooses a row and what does not" test_what_chooses_a_row_and_what_does_not
e2e_run_test "tavrin --popup asks the running instance" test_tavrin_popup_asks_the_running_instance
e2e_run_test "one instance, and none without a display" test_one_instance_and_none_without_a_display
e2e_run_test "the settings window assigns a button" test_the_settings_window_assigns_a_button
exit $((${E2E_FAILED:-0} > 0))
