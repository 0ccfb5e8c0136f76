#!/usr/bin/env bash
# The utility as the user meets it: the assigned button (X 9, stored as 4) opens the popup at
# the pointer and the chosen row is typed into the application in front.
# Usage: popup_test.sh TAVRIN_BINARY XPEER_BINARY
set -u
TAVRIN=$1
export E2E_XPEER=$2
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

# "R&D" would take D as its shortcut if an ampersand made one.
ITEMS='[{"id":"7C9E6679-7425-40DE-944B-E07FC1F90AE7","label":"Mention","action":{"insertText":{"_0":"@"}}},'\
'{"id":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427","label":"R&D","action":{"insertText":{"_0":"ok, w\u00f6rld"}}},'\
'{"id":"6FA459EA-EE8A-3CA4-894E-DB77E160355E","label":"Tab","action":{"pressKey":{"_0":"Tab"}}},'\
'{"id":"16FD2706-8BAF-433B-82EB-8C7FADA847DA","label":"Marker","action":{"insertText":{"_0":"Z"}}}]'

start() {
    e2e_write_settings true 4 "$ITEMS"
    e2e_start_tavrin "$TAVRIN" || e2e_fail "tavrin did not start"
    xdotool mousemove 400 300
    e2e_xev_sync && e2e_xev_clear
}

open_popup() {
    xdotool "$@"
    e2e_wait_popup || e2e_fail "no popup after xdotool $*"
}

close_popup() {
    xdotool "$@"
    e2e_wait_no_popup || e2e_fail "the popup stayed open after xdotool $*"
}

expect_at_pointer() {
    e2e_expect_equal "popup position" "400 300" "$E2E_POPUP_X $E2E_POPUP_Y"
}

# The popup opens at the pointer. Escape, a click outside and the held button let go over a
# row choose nothing; the mouse, the arrows and Return choose, and D chooses nothing.
test_what_chooses_a_row_and_what_does_not() {
    start
    open_popup click 9
    expect_at_pointer
    close_popup key Escape
    open_popup click 9
    close_popup mousemove 1000 700 click 1
    open_popup mousemove 400 300 mousedown 9
    # shellcheck disable=SC2046
    close_popup mousemove $(e2e_row_point 1 4) mouseup 9 key Escape
    e2e_choose_row 2 4
    open_popup click 9
    close_popup key d Down Down Down Return
    e2e_type_marker 4 4
    e2e_expect_equal "typed text" "ok, wörld"$'\tZ' "$(e2e_xev_text)"
    ! e2e_xev_buttons | grep -q ' 9$' || e2e_fail "button 9 reached xev"
}

test_tavrin_popup_asks_the_running_instance() {
    local message
    message=$("$TAVRIN" --popup 2>&1)
    e2e_expect_equal "--popup with none running" \
        "1 No running Tavrin could be reached on this display." "$? $message"
    start
    "$TAVRIN" --popup || e2e_fail "--popup failed with tavrin running"
    e2e_wait_popup || e2e_fail "no popup after --popup"
    expect_at_pointer
    close_popup key Down Return
    e2e_type_marker 4 4
    e2e_expect_equal "typed text" "@Z" "$(e2e_xev_text)"
}

e2e_init
e2e_start_x || exit 1
e2e_start_xev || e2e_fail "xev did not start"
e2e_start_tray || e2e_fail "the tray host did not start"
e2e_run_test "what chooses a row and what does not" test_what_chooses_a_row_and_what_does_not
e2e_run_test "tavrin --popup asks the running instance" test_tavrin_popup_asks_the_running_instance
exit $((${E2E_FAILED:-0} > 0))
