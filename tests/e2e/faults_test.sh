#!/usr/bin/env bash
# The utility when the world around it misbehaves: the X server goes away, the user switches
# the keyboard layout while a long text is typed.
# Usage: faults_test.sh TAVRIN_BINARY XPEER_BINARY
set -u
TAVRIN=$1
export E2E_XPEER=$2
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

# Xvfb (its process $XVFB_PID) under the US layout, xev in front and the utility with button 9.
start() {
    e2e_start_x || e2e_fail "Xvfb did not start"
    XVFB_PID=${E2E_PIDS[-1]}
    setxkbmap -rules evdev -model pc105 -layout us || e2e_fail "setxkbmap us failed"
    e2e_start_xev || e2e_fail "xev did not start"
    e2e_write_settings true 4 '[{"id":"7C9E6679-7425-40DE-944B-E07FC1F90AE7","label":"Long","action":{"insertText":{"_0":"'"$(e2e_long_text 1500)"'"}}},'\
'{"id":"16FD2706-8BAF-433B-82EB-8C7FADA847DA","label":"Marker","action":{"insertText":{"_0":"Z"}}}]'
    e2e_start_tavrin "$TAVRIN" || e2e_fail "tavrin did not start"
}

# A child that has ended but is not yet reaped still answers kill -0.
tavrin_gone() {
    local state
    state=$(ps -o stat= -p "$E2E_TAVRIN_PID" 2>/dev/null) || return 0
    [[ $state == Z* ]]
}

# The X server goes away while idle, with the popup open, or while a long text is typed.
test_x_server_gone() {
    start
    case $1 in
    popup) xdotool mousedown 9 && e2e_wait_popup || e2e_fail "no popup while button 9 is held" ;;
    typing) e2e_start_typing 1 2 ;;
    esac
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

keymap_dump() {
    xmodmap -pke && xkbcomp -xkb "$DISPLAY" - 2>/dev/null
}

# Switches the layout once the long text is under way, and expects exactly that layout when
# the typing is over: no spare keycode left bound, none of the new layout's keys cleared.
test_layout_switched_while_typing() {
    start
    e2e_start_typing 1 2
    setxkbmap -rules evdev "$@" || e2e_fail "setxkbmap $* failed"
    local pressesAtSwitch left
    pressesAtSwitch=$(e2e_xev_key_presses)
    e2e_type_marker 2 2
    # The marker takes at most two presses (Shift and Z); more came from the long text.
    (($(e2e_xev_key_presses) > pressesAtSwitch + 2)) ||
        e2e_fail "the long text was typed before the switch, so the switch came too late"
    left=$(keymap_dump)
    setxkbmap -rules evdev "$@"
    e2e_expect_equal "the keymap after typing against a fresh $*" "$(keymap_dump)" "$left"
}

e2e_init
E2E_TIMEOUT=60
for moment in idle popup typing; do
    e2e_run_test "the X server goes away ($moment)" test_x_server_gone "$moment"
done
e2e_run_test "layout switched to de while typing" \
    test_layout_switched_while_typing -model pc105 -layout de
# The Japanese layout binds two keycodes that are spare under the US one.
e2e_run_test "layout switched to jp (spare keycodes taken) while typing" \
    test_layout_switched_while_typing -model jp106 -layout jp
[ "${E2E_FAILED:-0}" -eq 0 ]
