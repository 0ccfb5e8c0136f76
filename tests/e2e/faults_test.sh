#!/usr/bin/env bash
# The utility when the world around it misbehaves: the X server goes away, another program
# holds the assigned button, the user switches the keyboard layout while a long text is typed.
# Usage: faults_test.sh TAVRIN_BINARY XPROBE_BINARY XPEER_BINARY
set -u
TAVRIN=$1
export E2E_XPROBE=$2
XPEER=$3
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

# Characters no usual layout holds come in more kinds than there are spare keycodes, so the
# typer keeps rebinding them for the whole text.
LONG_TEXT=$(perl -CS -e 'my @pool = map { chr } (0x0100 .. 0x017f, 0x0391 .. 0x03a9, 0x4e00 .. 0x4e20);
    my $out = ""; my $i = 0;
    while (length($out) < 1500) { $out .= $pool[($i * 7) % @pool] . ($i % 5 ? "" : "ab "); $i++ }
    print $out')
ITEMS='[{"id":"7C9E6679-7425-40DE-944B-E07FC1F90AE7","label":"Long","action":{"insertText":{"_0":"'$LONG_TEXT'"}}},'\
'{"id":"16FD2706-8BAF-433B-82EB-8C7FADA847DA","label":"Marker","action":{"insertText":{"_0":"Z"}}}]'
ROWS=2
LONG_ROW=1
MARKER_ROW=2

start_x() {
    e2e_start_x || e2e_fail "Xvfb did not start"
    XVFB_PID=${E2E_PIDS[-1]}
}

start_tavrin() {
    e2e_write_settings true 4 "$ITEMS"
    e2e_start_tavrin "$TAVRIN" || e2e_fail "tavrin did not start"
}

# A child that has ended but is not yet reaped still answers kill -0.
tavrin_gone() {
    local state
    state=$(ps -o stat= -p "$E2E_TAVRIN_PID" 2>/dev/null) || return 0
    [[ $state == Z* ]]
}

expect_clean_exit_without_x() {
    kill -KILL "$XVFB_PID"
    wait "$XVFB_PID" 2>/dev/null
    e2e_wait_for "tavrin to exit after the X server went away" tavrin_gone ||
        e2e_fail "tavrin still runs ${E2E_TIMEOUT}s after the X server went away"
    wait "$E2E_TAVRIN_PID"
    local status=$?
    ((status < 128)) || e2e_fail "tavrin was ended by signal $((status - 128))"
    ! grep -aq 'AddressSanitizer\|runtime error:' "$E2E_TAVRIN_LOG" ||
        e2e_fail "the sanitizers reported an error: $(grep -a -m1 'ERROR\|runtime error:' "$E2E_TAVRIN_LOG")"
}

choose_row() {
    xdotool click 9
    e2e_wait_popup || e2e_fail "no popup after a click of button 9"
    # shellcheck disable=SC2046
    xdotool mousemove $(e2e_row_point "$1" "$ROWS") click 1
    e2e_wait_no_popup || e2e_fail "the popup stayed open after a choice"
}

typed_text_ends_with() {
    [[ $(e2e_xev_text) == *"$1" ]]
}

# Choices are typed one after the other: the marker arrives only once everything chosen
# before it has been typed.
wait_until_typing_done() {
    xdotool mousemove 400 300
    choose_row "$MARKER_ROW"
    e2e_wait_for "the marker typed after the long text" typed_text_ends_with Z ||
        e2e_fail "no marker typed; the text ends in [$(e2e_xev_text | tail -c 40)]"
}

key_presses_at_xev() {
    grep -ac '^KeyPress event' "$E2E_XEV_LOG"
}

key_presses_at_xev_reach() {
    [ "$(key_presses_at_xev)" -ge "$1" ]
}

test_x_server_gone_while_idle() {
    start_x
    start_tavrin
    expect_clean_exit_without_x
}

test_x_server_gone_with_the_popup_open() {
    start_x
    e2e_start_xev || e2e_fail "xev did not start"
    start_tavrin
    xdotool mousedown 9
    e2e_wait_popup || e2e_fail "no popup while button 9 is held"
    expect_clean_exit_without_x
}

test_x_server_gone_while_typing() {
    start_x
    e2e_start_xev || e2e_fail "xev did not start"
    start_tavrin
    choose_row "$LONG_ROW"
    e2e_wait_for "the long text to start arriving" key_presses_at_xev_reach 20 ||
        e2e_fail "the long text did not start arriving"
    expect_clean_exit_without_x
}

# The tray menu's first actionable row is "Enabled". Two quick clicks at one spot make a
# double click, so each toggle clicks the icon at its own spot.
toggle_enabled_from_tray_menu() {
    local spot=$1 icon
    icon=$(xdotool search --classname '^tavrin$' | head -n1)
    xdotool mousemove --window "$icon" "$spot" "$spot" click 1
    e2e_wait_popup || e2e_fail "a click on the tray icon opened no menu"
    xdotool key Down Return
    e2e_wait_no_popup || e2e_fail "the tray menu stayed open"
}

stored_enabled_is() {
    grep -qx "enabled=$1" "$XDG_CONFIG_HOME/tavrin/tavrin.conf"
}

test_button_held_by_another_program() {
    start_x
    e2e_start_xev || e2e_fail "xev did not start"
    local answer
    coproc HOLDER { "$XPEER" hold 9; }
    E2E_PIDS+=("$HOLDER_PID")
    read -r -t "$E2E_TIMEOUT" answer <&"${HOLDER[0]}"
    e2e_expect_equal "the other program's grab of button 9" held "$answer"

    start_tavrin
    xdotool click 9
    e2e_xev_sync
    "$E2E_XPROBE" popup >/dev/null && e2e_fail "a popup opened for a button another program holds"
    kill -0 "$E2E_TAVRIN_PID" || e2e_fail "tavrin exited while another program holds button 9"

    local holder=$HOLDER_PID holderInput=${HOLDER[1]}
    exec {holderInput}>&-
    wait "$holder" || e2e_fail "the other program did not let go of button 9 cleanly"
    toggle_enabled_from_tray_menu 4
    e2e_wait_for "enabled=false in the store" stored_enabled_is false || e2e_fail "not switched off"
    toggle_enabled_from_tray_menu 16
    e2e_wait_for "enabled=true in the store" stored_enabled_is true || e2e_fail "not switched on"

    xdotool mousemove 400 300
    e2e_xev_sync && e2e_xev_clear
    xdotool click 9
    e2e_wait_popup || e2e_fail "button 9 opens no popup after the other program let go"
    xdotool key Escape
    e2e_wait_no_popup || e2e_fail "Escape did not close the popup"
    e2e_xev_sync
    e2e_expect_equal "button events at xev" "" "$(e2e_xev_buttons)"
}

keymap_dump() {
    xmodmap -pke && xkbcomp -xkb "$DISPLAY" - 2>/dev/null
}

# Switches the layout once the long text is under way, and expects exactly that layout when
# the typing is over: no spare keycode left bound, none of the new layout's keys cleared.
expect_layout_kept_after_switch_while_typing() {
    local layout=("$@")
    start_x
    setxkbmap -rules evdev -model pc105 -layout us || e2e_fail "setxkbmap us failed"
    e2e_start_xev || e2e_fail "xev did not start"
    start_tavrin
    choose_row "$LONG_ROW"
    e2e_wait_for "the long text to start arriving" key_presses_at_xev_reach 20 ||
        e2e_fail "the long text did not start arriving"
    setxkbmap -rules evdev "${layout[@]}" || e2e_fail "setxkbmap ${layout[*]} failed"
    local pressesAtSwitch
    pressesAtSwitch=$(key_presses_at_xev)
    wait_until_typing_done
    kill -0 "$E2E_TAVRIN_PID" || e2e_fail "tavrin exited"
    # The marker takes at most two presses (Shift and Z); more came from the long text.
    (($(key_presses_at_xev) > pressesAtSwitch + 2)) ||
        e2e_fail "the long text was typed before the switch, so the switch came too late"

    local left fresh
    left=$(keymap_dump)
    setxkbmap -rules evdev "${layout[@]}"
    fresh=$(keymap_dump)
    [ "$left" = "$fresh" ] ||
        e2e_fail "the keymap differs from a fresh ${layout[*]} (<) after typing (>): $(diff \
            <(echo "$fresh") <(echo "$left") | head -n 12)"
}

test_layout_switched_while_typing() {
    expect_layout_kept_after_switch_while_typing -model pc105 -layout de
}

# The Japanese layout binds two keycodes that are spare under the US one.
test_layout_taking_spare_keycodes_switched_while_typing() {
    expect_layout_kept_after_switch_while_typing -model jp106 -layout jp
}

e2e_init
E2E_TIMEOUT=60
e2e_run_test "the X server goes away while idle" test_x_server_gone_while_idle
e2e_run_test "the X server goes away with the popup open" test_x_server_gone_with_the_popup_open
e2e_run_test "the X server goes away while typing" test_x_server_gone_while_typing
e2e_run_test "button 9 held by another program, then let go" test_button_held_by_another_program
e2e_run_test "layout switched to de while typing" test_layout_switched_while_typing
e2e_run_test "layout switched to jp (spare keycodes taken) while typing" \
    test_layout_taking_spare_keycodes_switched_while_typing
echo "$((6 - ${E2E_FAILED:-0})) passed, ${E2E_FAILED:-0} failed"
[ "${E2E_FAILED:-0}" -eq 0 ]
