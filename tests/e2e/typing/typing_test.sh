#!/usr/bin/env bash
# Text typed through the utility's typer reaches the application in front character for
# character, under several layouts, into a terminal in raw mode, which answers no pings; keys
# the user holds do not change it, and the keymap is the same afterwards.
# Usage: typing_test.sh TYPE_TEXT_BINARY XPEER_BINARY
set -u
TYPE_TEXT=$1
export E2E_XPEER=$2
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/../harness.sh"
source "$here/raw_terminal.sh"
source "$here/applications.sh"

# Accented Latin, Greek, Cyrillic, CJK, emoji beyond the BMP, combining marks (e + acute,
# a + diaeresis, o + tilde), tabs and line feeds: more characters than there are spare keycodes,
# under every layout.
COMBINING=$(printf 'e\xcc\x81 a\xcc\x88o\xcc\x83')
MIXED='Grüße, Élodie! Ça coûte 5 € — naïve façade.
Ωμέγα αβγ; Привет, ЁЖ №5; Ærø ß ẞ œ Ł ı Ǆ
	你好世界 日本語 한국어 😀🎉👍🏽 '"$COMBINING"'	«ok» „so“ ~`^\|@{}
END'

text_file() {
    printf '%s' "$1" >"$E2E_DIR/text"
    echo "$E2E_DIR/text"
}

type_text() {
    "$TYPE_TEXT" "$(text_file "$1")" || e2e_fail "the typer failed on [$1]"
}

# What an application reads for TEXT: Return gives a carriage return.
as_received() {
    printf '%s' "$1" | tr '\n' '\r'
}

# A display of its own for each test, so that no lock or group is left from another.
start_display_with_layout() {
    e2e_start_x || e2e_fail "Xvfb did not start"
    setxkbmap -rules evdev -model pc105 -layout "$@" || e2e_fail "setxkbmap $*"
}

# xev in front, after it has handled one key: Xlib asks for keymap notices only from then on.
start_xev() {
    e2e_start_xev || e2e_fail "xev did not start"
    xdotool key space
    e2e_xev_sync && e2e_xev_clear
}

# The keyboard group (0 for the first) in the state of the last key press xev saw.
xev_last_group() {
    local state
    state=$(awk '/^KeyPress event/ {pressed = 1}
                 pressed && match($0, /state 0x[0-9a-f]+/) {
                     state = substr($0, RSTART + 8, RLENGTH - 8); pressed = 0
                 }
                 END {print state}' "$E2E_XEV_LOG")
    echo $(((16#${state:-0} >> 13) & 3))
}

xev_text() {
    e2e_xev_text
    echo .
}

expect_xev_received() {
    e2e_xev_sync || e2e_fail "xev did not catch up"
    local received
    received=$(xev_text)
    e2e_expect_equal "text at xev" "$(as_received "$1")." "$received"
}

terminal_size_reached() {
    [ "$(stat -c %s "$RAW_TERMINAL_FILE")" -ge "$1" ]
}

expect_terminal_received() {
    local expected bytes
    expected=$(as_received "$1"; echo .)
    bytes=$(as_received "$1" | wc -c)
    e2e_wait_for "$bytes bytes in the terminal" terminal_size_reached "$bytes" ||
        e2e_fail "the terminal received [$(cat "$RAW_TERMINAL_FILE")]"
    e2e_wait_quiet "$RAW_TERMINAL_FILE"
    e2e_expect_equal "text in the terminal" "$expected" "$(cat "$RAW_TERMINAL_FILE"; echo .)"
}

expect_keymap_unchanged() {
    e2e_expect_equal "keymap after typing" "$1" "$(keymap_snapshot)"
}

test_mixed_text_reaches_a_raw_terminal() {
    start_display_with_layout "$LAYOUT"
    local before
    before=$(keymap_snapshot)
    raw_terminal_start "$E2E_DIR/terminal" || e2e_fail "the terminal did not start"
    type_text "$MIXED"
    expect_terminal_received "$MIXED"
    expect_keymap_unchanged "$before"
}

test_characters_of_the_other_group_leave_the_group_as_it_was() {
    start_display_with_layout us,ru
    start_xev
    type_text 'Latin and кириллица, QWERTY and ЁлКа'
    expect_xev_received 'Latin and кириллица, QWERTY and ЁлКа'
    e2e_xev_clear
    # A space is in both groups: typed where the keyboard is, it shows the group in front.
    type_text ' '
    e2e_xev_sync
    e2e_expect_equal "group in front afterwards" 0 "$(xev_last_group)"
}

# Control held through XTest, as a program holding keys for the user does, is held again
# afterwards; Shift held on the keyboard itself is let go for good, so that nothing stays down
# once the user lets go of the real key.
test_held_modifiers_do_not_leak() {
    start_display_with_layout us
    raw_terminal_start "$E2E_DIR/terminal" || e2e_fail "the terminal did not start"
    local shift
    shift=$(xmodmap -pke | awk '$4 == "Shift_L" {print $2; exit}')
    xdotool keydown ctrl
    "$E2E_XPEER" device-key press "$shift" || e2e_fail "cannot hold Shift on the keyboard"
    type_text "abc XYZ 1/2 é"
    xdotool key a
    "$E2E_XPEER" device-key release "$shift"
    xdotool keyup ctrl
    type_text "d"
    expect_terminal_received "abc XYZ 1/2 é"$'\x01'"d"
    local device
    for device in "Virtual core XTEST keyboard" "Virtual core keyboard"; do
        e2e_expect_equal "keys down on $device" "" "$(xinput query-state "$device" | grep '=down')"
    done
}

test_caps_lock_does_not_change_the_case() {
    start_display_with_layout de
    start_xev
    xdotool key Caps_Lock
    e2e_xev_sync && e2e_xev_clear
    type_text "abc ÄÖÜ äöü Éé ΩωЖж"
    expect_xev_received "abc ÄÖÜ äöü Éé ΩωЖж"
    e2e_xev_clear
    xdotool key a Caps_Lock
    expect_xev_received "A"
}

test_special_keys_arrive_as_their_keysyms() {
    start_display_with_layout fr
    start_xev
    local key
    for key in Return Escape Tab Delete "Forward Delete" Space; do
        "$TYPE_TEXT" --key "$key" || e2e_fail "the typer failed on $key"
    done
    e2e_xev_sync
    e2e_expect_equal "keys at xev" "$(printf '%s\n' Return Escape Tab BackSpace Delete space)" \
        "$(e2e_xev_keysyms)"
}

e2e_init

for LAYOUT in us de fr ru; do
    e2e_run_test "mixed text reaches a raw terminal under $LAYOUT" \
        test_mixed_text_reaches_a_raw_terminal
done
e2e_run_test "characters of the other group leave the group as it was" \
    test_characters_of_the_other_group_leave_the_group_as_it_was
e2e_run_test "held modifiers do not leak into the text nor stay down" \
    test_held_modifiers_do_not_leak
e2e_run_test "CapsLock does not change the case" test_caps_lock_does_not_change_the_case
e2e_run_test "special keys arrive as their keysyms" test_special_keys_arrive_as_their_keysyms
exit $((${E2E_FAILED:-0} > 0))
