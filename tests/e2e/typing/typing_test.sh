#!/usr/bin/env bash
# Text typed through the utility's typer reaches the application in front (xev, which answers
# no pings) character for character; the keyboard group, keys the user holds and CapsLock do
# not change it, and the keymap is the same afterwards. A hung clipboard costs one try a text.
# Usage: typing_test.sh TYPE_TEXT_BINARY XPEER_BINARY
set -u
TYPE_TEXT=$1
export E2E_XPEER=$2
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/../harness.sh"
source "$here/../../../scripts/typing-measure.sh"

type_text() {
    printf '%s' "$1" >"$E2E_DIR/text"
    "$TYPE_TEXT" "$E2E_DIR/text" || e2e_fail "the typer failed on [$1]"
}

# What xev got since the last call, as TEXT would be read: Return gives a carriage return.
expect_xev_received() {
    e2e_xev_sync || e2e_fail "xev did not catch up"
    e2e_expect_equal "text at xev" "$(printf '%s' "$1" | tr '\n' '\r')." "$(e2e_xev_text; echo .)"
    e2e_xev_clear
}

# The keyboard group (0 for the first) in the state of the last key press xev saw.
xev_last_group() {
    perl -00 -ne '$state = hex $1 if /KeyPress event.*?state 0x([0-9a-f]+)/s;
        END { print(($state >> 13) & 3) }' "$E2E_XEV_LOG"
}

test_typing_into_xev() {
    e2e_start_x || e2e_fail "Xvfb did not start"
    setxkbmap -rules evdev -model pc105 -layout us,ru || e2e_fail "setxkbmap us,ru"
    local before shift owner
    before=$(e2e_keymap)
    e2e_start_xev || e2e_fail "xev did not start"
    # Xlib asks for keymap notices only once xev has handled one key.
    xdotool key space
    e2e_xev_sync && e2e_xev_clear
    # More kinds of characters than there are spare keycodes: emoji, combining marks, tabs...
    typing_measure_text "$E2E_DIR/mixed"
    type_text "$(cat "$E2E_DIR/mixed")"
    expect_xev_received "$(cat "$E2E_DIR/mixed")"
    # A space is in both groups: typed where the keyboard is, it shows the group in front.
    type_text ' '
    e2e_xev_sync
    e2e_expect_equal "group in front after Cyrillic and the rest" 0 "$(xev_last_group)"
    e2e_xev_clear
    # Begun under the group the user locked, the text takes its first keys there.
    "$E2E_XPEER" lock-group 1 || e2e_fail "cannot lock group 1"
    type_text "жук"
    expect_xev_received "жук"
    "$E2E_XPEER" lock-group 0 || e2e_fail "cannot lock group 0"

    # Control held through XTest, as a program holding keys for the user does, is held again
    # afterwards; Shift held on the keyboard itself is let go for good, so that nothing stays
    # down once the user lets go of the real key.
    shift=$(xmodmap -pke | awk '$4 == "Shift_L" {print $2; exit}')
    xdotool keydown ctrl
    "$E2E_XPEER" device-key press "$shift" || e2e_fail "cannot hold Shift on the keyboard"
    type_text "abc XYZ 1/2 é"
    xdotool key a
    "$E2E_XPEER" device-key release "$shift"
    xdotool keyup ctrl
    type_text "d"
    expect_xev_received "abc XYZ 1/2 é"$'\x01'"d"
    e2e_expect_equal "keys down through XTest" "" \
        "$(xinput query-state "Virtual core XTEST keyboard" | grep '=down')"

    xdotool key Caps_Lock
    e2e_xev_sync && e2e_xev_clear
    type_text "abc ÄÖÜ äöü Éé ΩωЖж"
    expect_xev_received "abc ÄÖÜ äöü Éé ΩωЖж"
    xdotool key a Caps_Lock
    expect_xev_received "A"

    e2e_expect_equal "keymap after typing" "$before" "$(e2e_keymap)"

    # KWrite takes characters outside the BMP by a paste; with the clipboard's owner hung, the
    # clipboard is given up once for the whole text, which goes on as keys.
    xclip -i -quiet -selection clipboard </dev/null >/dev/null 2>&1 &
    owner=$! && E2E_PIDS+=("$owner")
    e2e_wait_for "xclip to own the clipboard" "$E2E_XPEER" owner CLIPBOARD && kill -STOP "$owner" ||
        e2e_fail "no clipboard owner"
    xdotool set_window --classname kwrite "$E2E_XEV_WINDOW"
    type_text "😀a😀b😀" 2>"$E2E_DIR/typer.log"
    kill -CONT "$owner"
    expect_xev_received "😀a😀b😀"
    e2e_expect_equal "warnings" 1 "$(grep -c clipboard "$E2E_DIR/typer.log")"
}

e2e_init
e2e_run_test "typing into xev" test_typing_into_xev
exit $((${E2E_FAILED:-0} > 0))
