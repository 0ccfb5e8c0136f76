#!/usr/bin/env bash
# The utility as the user meets it: the assigned button (X 9, stored as 4) opens the popup at
# the pointer, never reaches the application in front, and the chosen row is typed there.
# Usage: popup_test.sh TAVRIN_BINARY XPROBE_BINARY
set -u
TAVRIN=$1
export E2E_XPROBE=$2
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

ITEMS='[{"id":"7C9E6679-7425-40DE-944B-E07FC1F90AE7","label":"Mention","action":{"insertText":{"_0":"@"}}},'\
'{"id":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427","label":"Word","action":{"insertText":{"_0":"ok, w\u00f6rld"}}},'\
'{"id":"6FA459EA-EE8A-3CA4-894E-DB77E160355E","label":"Tab","action":{"pressKey":{"_0":"Tab"}}},'\
'{"id":"16FD2706-8BAF-433B-82EB-8C7FADA847DA","label":"Marker","action":{"insertText":{"_0":"Z"}}}]'
ROWS=4
MARKER_ROW=4

start_with() {
    e2e_write_settings "$1" 4 "$ITEMS"
    e2e_start_tavrin "$TAVRIN" || e2e_fail "tavrin did not start"
    xdotool mousemove 400 300
    e2e_xev_sync && e2e_xev_clear
}

open_popup() {
    xdotool click 9
    e2e_wait_popup || e2e_fail "no popup after a click of button 9"
}

choose_row() {
    open_popup
    # shellcheck disable=SC2046
    xdotool mousemove $(e2e_row_point "$1" "$ROWS") click 1
    e2e_wait_no_popup || e2e_fail "the popup stayed open after a choice"
}

typed_text_is() {
    [ "$(e2e_xev_text)" = "$1" ]
}

# Waits for TEXT to arrive, then makes sure nothing else came with it.
expect_typed() {
    e2e_wait_for "xev to receive [$1]" typed_text_is "$1" ||
        e2e_fail "typed: expected [$1], got [$(e2e_xev_text)]"
    e2e_xev_sync
    e2e_expect_equal "typed text" "$1" "$(e2e_xev_text)"
}

# Choices are typed in the order they were made: once the marker row's text has arrived, a
# row chosen earlier would have been typed before it.
expect_nothing_typed_before_marker() {
    choose_row "$MARKER_ROW"
    expect_typed Z
}

popup_stays_open_for_a_while() {
    local deadline=$((SECONDS + 2))
    while ((SECONDS < deadline)); do
        "$E2E_XPROBE" popup >/dev/null || return 1
        sleep 0.05
    done
}

test_button_opens_popup_and_never_reaches_the_application() {
    start_with true
    open_popup
    [ "$E2E_POPUP_X" = 400 ] && [ "$E2E_POPUP_Y" = 300 ] ||
        e2e_fail "popup at $E2E_POPUP_X,$E2E_POPUP_Y instead of at the pointer (400,300)"
    xdotool key Escape
    e2e_wait_no_popup || e2e_fail "Escape did not close the popup"
    xdotool mousedown 9
    e2e_wait_popup || e2e_fail "no popup while button 9 is held"
    xdotool mouseup 9 key Escape
    e2e_wait_no_popup || e2e_fail "Escape did not close the popup"
    e2e_xev_sync
    e2e_expect_equal "button events at xev" "" "$(e2e_xev_buttons)"
}

test_other_buttons_reach_the_application() {
    start_with true
    xdotool click 8 click 2 click 1 click 3
    e2e_xev_sync
    e2e_expect_equal "button events at xev" \
        "$(printf 'press %s\nrelease %s\n' 8 8 2 2 1 1 3 3)" "$(e2e_xev_buttons)"
    "$E2E_XPROBE" popup >/dev/null && e2e_fail "a popup opened for another button"
    return 0
}

test_disabled_lets_the_button_through() {
    start_with false
    xdotool click 9
    e2e_xev_sync
    e2e_expect_equal "button events at xev" "$(printf 'press 9\nrelease 9')" "$(e2e_xev_buttons)"
    "$E2E_XPROBE" popup >/dev/null && e2e_fail "a popup opened while disabled"
    return 0
}

test_choosing_a_row_types_its_text() {
    start_with true
    choose_row 2
    expect_typed "ok, wörld"
}

test_a_special_key_arrives_as_its_keysym() {
    start_with true
    open_popup
    xdotool key Down Down Down Return
    e2e_wait_no_popup || e2e_fail "Return did not choose a row"
    e2e_wait_for "xev to receive Tab" eval '[ "$(e2e_xev_keysyms)" = Tab ]' ||
        e2e_fail "keys: expected [Tab], got [$(e2e_xev_keysyms | tr '\n' ' ')]"
    e2e_xev_sync && e2e_xev_clear
    expect_nothing_typed_before_marker
}

test_dismissing_types_nothing() {
    start_with true
    open_popup
    xdotool key Escape
    e2e_wait_no_popup || e2e_fail "Escape did not close the popup"
    open_popup
    xdotool mousemove 1000 700 click 1
    e2e_wait_no_popup || e2e_fail "a click outside did not close the popup"
    expect_nothing_typed_before_marker
}

test_releasing_the_held_button_over_a_row_chooses_nothing() {
    start_with true
    xdotool mousedown 9
    e2e_wait_popup || e2e_fail "no popup while button 9 is held"
    # shellcheck disable=SC2046
    xdotool mousemove $(e2e_row_point 1 "$ROWS") mouseup 9
    popup_stays_open_for_a_while || e2e_fail "the release of button 9 closed the popup"
    xdotool key Escape
    e2e_wait_no_popup || e2e_fail "Escape did not close the popup"
    expect_nothing_typed_before_marker
}

test_a_press_while_open_does_not_stack_a_second_popup() {
    start_with true
    open_popup
    local first=$E2E_POPUP_ID
    xdotool click 9
    popup_stays_open_for_a_while || e2e_fail "the popup closed at a second press"
    e2e_wait_popup
    e2e_expect_equal "popup in front" "$first" "$E2E_POPUP_ID"
    xdotool key Escape
    e2e_wait_no_popup || e2e_fail "a second popup was left after Escape"
    expect_nothing_typed_before_marker
}

e2e_init
e2e_start_x || exit 1
e2e_start_xev || e2e_fail "xev did not start"
e2e_start_tray || e2e_fail "the tray host did not start"

e2e_run_test "button 9 opens the popup and never reaches xev" \
    test_button_opens_popup_and_never_reaches_the_application
e2e_run_test "buttons 8, 2, 1 and 3 reach xev" test_other_buttons_reach_the_application
e2e_run_test "disabled, button 9 reaches xev" test_disabled_lets_the_button_through
e2e_run_test "choosing a row types its text" test_choosing_a_row_types_its_text
e2e_run_test "a special key arrives as its keysym" test_a_special_key_arrives_as_its_keysym
e2e_run_test "dismissing types nothing" test_dismissing_types_nothing
e2e_run_test "releasing the held button over a row chooses nothing" \
    test_releasing_the_held_button_over_a_row_chooses_nothing
e2e_run_test "a press while the popup is open does not stack another" \
    test_a_press_while_open_does_not_stack_a_second_popup
exit $((${E2E_FAILED:-0} > 0))
