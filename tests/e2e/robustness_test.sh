#!/usr/bin/env bash
# What the user must never lose: a choice made just before the next press, a responsive
# utility while a long text is typed, the tray menu's switch, a hand-written list and the
# settings when their folder goes; a clean exit when the X server goes away, the new layout
# whole when the user switches it while a long text is typed, a long text stopped by Escape or
# SIGTERM, and the keymap as it was after a kill in the middle of a text.
# Usage: robustness_test.sh TAVRIN_BINARY XPEER_BINARY
set -u
TAVRIN=$1
export E2E_XPEER=$2
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

ID=7C9E6679-7425-40DE-944B-E07FC1F90AE7
MARKER='{"id":"16FD2706-8BAF-433B-82EB-8C7FADA847DA","label":"Marker","action":{"insertText":{"_0":"Z"}}}'

LONG='{"id":"'$ID'","label":"Long","action":{"insertText":{"_0":"'"$(e2e_long_text 1500)"'"}}}'
LONGEST_LENGTH=10000
LONGEST='{"id":"'$ID'","label":"Long","action":{"insertText":{"_0":"'"$(e2e_long_text $LONGEST_LENGTH)"'"}}}'

start_with_rows() { e2e_start_with_items "$TAVRIN" "${1:+[$1]}"; }

test_a_press_within_the_typing_delay() {
    start_with_rows '{"id":"'$ID'","label":"Text","action":{"insertText":{"_0":"abc"}}},'"$MARKER"
    xdotool click 9
    e2e_wait_popup || e2e_fail "no popup after a click of button 9"
    local first=$E2E_POPUP_ID
    # Choose the text and press the button again at once, well within 0.12 s.
    # shellcheck disable=SC2046
    xdotool mousemove $(e2e_row_point 1 2) click 1 click 9
    e2e_wait_for "the second popup" eval 'e2e__read_popup && [ "$E2E_POPUP_ID" != "$first" ]' ||
        e2e_fail "no second popup"
    # shellcheck disable=SC2046
    xdotool mousemove $(e2e_row_point 2 2) click 1
    e2e_wait_for "both choices typed in order" eval '[ "$(e2e_xev_text)" = abcZ ]' ||
        e2e_fail "xev received [$(e2e_xev_text)]"
    e2e_expect_equal "warnings while all is well" "" "$(e2e_warnings)"
}

test_the_tray_menu_opens_while_a_long_text_is_typed() {
    start_with_rows '{"id":"'$ID'","label":"Long","action":{"insertText":{"_0":"'"$(e2e_long_text 10000)"'"}}}'
    e2e_start_typing 1 1
    e2e_open_tray_menu || e2e_fail "the tray menu did not open while the text was typed"
    # Once xev has seen what was sent before now, the count says how far the text had come.
    e2e_xev_sync
    local presses
    presses=$(e2e_xev_key_presses)
    ((presses < 9000)) || e2e_fail "the tray menu opened only after the text ($presses keys)"
    xdotool key Escape
    e2e_wait_no_popup || e2e_fail "Escape did not close the tray menu"
    e2e_wait_quiet "$E2E_XEV_LOG" 1000
    kill -0 "$E2E_TAVRIN_PID" || e2e_fail "tavrin exited"
}

toggle_enabled_from_tray_menu() {
    e2e_open_tray_menu "" "$1" || e2e_fail "a click on the tray icon opened no menu"
    # The status row is not actionable, so the first row the keyboard reaches is "Enabled".
    xdotool key Down Return
    e2e_wait_no_popup || e2e_fail "the tray menu stayed open"
}

# Switched off from the tray menu, the button reaches the application; a list written by hand
# is kept aside before the switch rewrites the file; a deleted folder is written anew, whole.
test_the_tray_switch_a_hand_written_list_and_a_deleted_folder() {
    local list='[{"id":"'$ID'","label":"Mine","action":{"insertText":{"_0":"x"}}}, "by hand"]'
    mkdir -p "$XDG_CONFIG_HOME/tavrin"
    printf '[General]\nenabled=true\nassignedButton=4\nmenuItems=%s\n' "$list" \
        >"$XDG_CONFIG_HOME/tavrin/tavrin.conf"
    start_with_rows ""
    toggle_enabled_from_tray_menu 5
    e2e_wait_for "enabled=false in the store" e2e_stored enabled=false || e2e_fail "not stored"
    e2e_expect_equal "the kept copy" "$list" \
        "$(cat "$XDG_CONFIG_HOME/tavrin/menuItems.unreadable" 2>/dev/null)"
    xdotool mousemove --sync 400 300
    e2e_xev_sync && e2e_xev_clear
    xdotool click 9
    e2e_xev_sync
    e2e_expect_equal "button 9 while disabled" "$(printf 'press 9\nrelease 9')" "$(e2e_xev_buttons)"

    local entries
    entries=$(grep '^menuItems=' "$XDG_CONFIG_HOME/tavrin/tavrin.conf")
    rm -rf "$XDG_CONFIG_HOME/tavrin"
    toggle_enabled_from_tray_menu 16
    e2e_wait_for "enabled=true in a new store" e2e_stored enabled=true || e2e_fail "not stored"
    e2e_stored assignedButton=4 || e2e_fail "the button was lost"
    e2e_stored "$entries" || e2e_fail "the entries were lost"
}

# The X server goes away while idle, with the popup open, or while a long text is typed.
test_x_server_gone() {
    start_with_rows "$LONG,$MARKER"
    case $1 in
    popup) xdotool mousedown 9 && e2e_wait_popup || e2e_fail "no popup while button 9 is held" ;;
    typing) e2e_start_typing 1 2 ;;
    esac
    kill -KILL "$E2E_X_PID"
    wait "$E2E_X_PID" 2>/dev/null
    e2e_wait_for "tavrin to exit after the X server went away" e2e_ended "$E2E_TAVRIN_PID" ||
        e2e_fail "tavrin still runs ${E2E_TIMEOUT}s after the X server went away"
    wait "$E2E_TAVRIN_PID"
    local status=$?
    ((status < 128)) || e2e_fail "tavrin was ended by signal $((status - 128))"
    ! grep -aq 'AddressSanitizer\|runtime error:' "$E2E_TAVRIN_LOG" ||
        e2e_fail "the sanitizers reported an error: $(grep -a -m1 'ERROR\|runtime error:' "$E2E_TAVRIN_LOG")"
}

# Switches the layout once the long text is under way, and expects exactly that layout when
# the typing is over: no spare keycode left bound, none of the new layout's keys cleared.
test_layout_switched_while_typing() {
    start_with_rows "$LONG,$MARKER"
    e2e_start_typing 1 2
    setxkbmap -rules evdev "$@" || e2e_fail "setxkbmap $* failed"
    local pressesAtSwitch left
    pressesAtSwitch=$(e2e_xev_key_presses)
    e2e_type_marker 2 2
    # The marker takes at most two presses (Shift and Z); more came from the long text.
    (($(e2e_xev_key_presses) > pressesAtSwitch + 2)) ||
        e2e_fail "the long text was typed before the switch, so the switch came too late"
    left=$(e2e_keymap)
    setxkbmap -rules evdev "$@"
    e2e_expect_equal "the keymap after typing against a fresh $*" "$(e2e_keymap)" "$left"
}

# Killed in the middle of a long text, Tavrin leaves spare keys bound and may leave keys down;
# started again, it puts back what its record names and lets go of the keys held through XTest,
# but keeps a key the user has bound anew since ("rebound") and a group the user has locked since
# ("group": under three layouts, the second locked when the text began).
test_killed_while_typing() {
    start_with_rows "$LONG,$MARKER"
    local before beforeKeys userKey keymap=e2e_keymap typingGroup userGroup=''
    if [ "$1" = group ]; then
        setxkbmap -rules evdev -layout us,ru,gr && "$E2E_XPEER" lock-group 1 ||
            e2e_fail "no three layouts"
    fi
    before=$(e2e_keymap)
    beforeKeys=$(xmodmap -pk)
    e2e_start_typing 1 2
    kill -KILL "$E2E_TAVRIN_PID"
    wait "$E2E_TAVRIN_PID" 2>/dev/null
    [ "$(e2e_keymap)" != "$before" ] || e2e_fail "the kill came after the text"
    if [ "$1" = rebound ]; then
        userKey=$(comm -13 <(sort <<<"$beforeKeys") <(xmodmap -pk | sort) | awk '{print $1; exit}')
        xmodmap -e "keycode $userKey = x" || e2e_fail "xmodmap refused keycode $userKey"
        before=$(awk -v key="$userKey" -v line="$(xmodmap -pk | awk -v key="$userKey" '$1 == key')" \
            '$1 == key {$0 = line} 1' <<<"$beforeKeys")
        keymap="xmodmap -pk"
    elif [ "$1" = group ]; then
        typingGroup=$(jq .typingGroup "$XDG_RUNTIME_DIR"/tavrin-typing-*.json) ||
            e2e_fail "no record of the text"
        userGroup=$((typingGroup == 0 ? 2 : 0))
        "$E2E_XPEER" lock-group "$userGroup" || e2e_fail "cannot lock group $userGroup"
    fi
    e2e_start_tavrin "$TAVRIN" || e2e_fail "tavrin did not start again"
    e2e_wait_for "the keymap as before" eval '[ "$($keymap)" = "$before" ]' ||
        e2e_fail "the keymap stays changed: $(diff <(echo "$before") <($keymap) | head -n 8)"
    [ -z "$userGroup" ] || e2e_expect_equal "the group the user locked" "$userGroup" \
        "$("$E2E_XPEER" locked-group)"
    e2e_expect_equal "keys down through XTest" "" \
        "$(xinput query-state "Virtual core XTEST keyboard" | grep '=down')"
}

now_us() { echo "${EPOCHREALTIME/./}"; }

# Stopped in the middle of a long text, by Escape on the user's keyboard (not through XTest,
# which is how Tavrin and xdotool type) or by SIGTERM, Tavrin types no more of it and gives the
# keymap back; SIGTERM ends it far sooner than the rest of the text would take at its pace.
test_stopped_in_a_long_text() {
    start_with_rows "$LONGEST,$MARKER"
    local before escape started presses rest_us stop_us status
    before=$(e2e_keymap)
    escape=$(xmodmap -pke | awk '$4 == "Escape" {print $2; exit}')
    e2e_start_typing 1 2
    started=$(now_us) presses=$(e2e_xev_key_presses)
    e2e_wait_for "the pace of the text" eval '(($(e2e_xev_key_presses) >= presses + 300))'
    rest_us=$((($(now_us) - started) * (LONGEST_LENGTH - $(e2e_xev_key_presses)) /
        ($(e2e_xev_key_presses) - presses)))
    started=$(now_us)
    if [ "$1" = Escape ]; then
        xdotool key Escape
        presses=$(e2e_xev_key_presses)
        e2e_wait_for "the text to go on after an Escape through XTest" \
            eval '(($(e2e_xev_key_presses) >= presses + 300))' || e2e_fail "the text stopped"
        "$E2E_XPEER" device-key press "$escape" && "$E2E_XPEER" device-key release "$escape" ||
            e2e_fail "cannot press Escape on the keyboard"
    else
        kill -TERM "$E2E_TAVRIN_PID"
        e2e_wait_for "tavrin to end" e2e_ended "$E2E_TAVRIN_PID"
        stop_us=$(($(now_us) - started))
        wait "$E2E_TAVRIN_PID"
        status=$?
        ((status == 0)) || e2e_fail "tavrin ended with status $status"
        ((stop_us * 4 < rest_us)) ||
            e2e_fail "tavrin took ${stop_us} µs to end, the rest of the text ${rest_us} µs"
    fi
    e2e_wait_quiet "$E2E_XEV_LOG" 1000
    (($(e2e_xev_key_presses) < LONGEST_LENGTH / 2)) ||
        e2e_fail "$(e2e_xev_key_presses) keys typed, the text went on"
    e2e_expect_equal "the keymap" "$before" "$(e2e_keymap)"
}

e2e_init
E2E_TIMEOUT=60
e2e_run_test "a press within the typing delay" test_a_press_within_the_typing_delay
e2e_run_test "the tray menu opens while a long text is typed" \
    test_the_tray_menu_opens_while_a_long_text_is_typed
e2e_run_test "the tray switch, a hand-written list and a deleted folder" \
    test_the_tray_switch_a_hand_written_list_and_a_deleted_folder
for moment in idle popup typing; do
    e2e_run_test "the X server goes away ($moment)" test_x_server_gone "$moment"
done
e2e_run_test "layout switched to de while typing" \
    test_layout_switched_while_typing -model pc105 -layout de
# The Japanese layout binds two keycodes that are spare under the US one.
e2e_run_test "layout switched to jp (spare keycodes taken) while typing" \
    test_layout_switched_while_typing -model jp106 -layout jp
for stop in Escape SIGTERM; do
    e2e_run_test "stopped by $stop in a long text" test_stopped_in_a_long_text "$stop"
done
for after in nothing rebound group; do
    e2e_run_test "killed while typing, started again ($after)" test_killed_while_typing "$after"
done
[ "${E2E_FAILED:-0}" -eq 0 ]
