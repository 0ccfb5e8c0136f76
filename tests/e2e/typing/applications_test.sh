#!/usr/bin/env bash
# A 2,000-character mixed text chosen from the popup of the real binary arrives exactly in
# applications people use (GTK 3, Qt 5, Chromium, Firefox, LibreOffice Writer, KWrite, Java Swing,
# kitty) under several layouts, however fast each handles its keys, and the keymap is whole
# afterwards.
# Usage: applications_test.sh TAVRIN_BINARY XPEER_BINARY [APPLICATION...]
set -u
TAVRIN=$1
export E2E_XPEER=$2
shift 2
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/../harness.sh"
source "$here/applications.sh"
source "$here/../../../scripts/typing-measure.sh"

# A layout, and after a colon the group locked (us,ru:1 has Russian in front).
LAYOUTS=(us de fr ru us,ru:1)

# The text holds characters that no layout here has: the keymap changes while it is typed, and
# Tavrin restores it and the group last, once the application has handled every key.
keyboard() { e2e_keymap && "$E2E_XPEER" locked-group; }

# Tavrin's clipboard windows: at most the one that keeps what the clipboard held, whatever the
# number of pastes.
clipboard_windows() { xwininfo -root -children | grep -c '"Tavrin clipboard"'; }
root_events_are() { [ "$(xwininfo -root -events)" = "$1" ]; }
keyboard_is() { [ "$(keyboard)" = "$1" ]; }

# What the user had copied and selected, targets included: KWrite gets characters outside the
# BMP by a paste, and the clipboard lent for it must come back as it was.
selections() {
    local selection
    for selection in clipboard primary; do
        timeout 5 xclip -o -selection $selection -t TARGETS && timeout 5 xclip -o -selection $selection
    done 2>&1
}

# Taken again until both are held: an application may claim the primary selection a little after
# the select-all that cleared it.
hold_selections() { e2e_wait_for "the selections to be held" hold_selections__again; }
hold_selections__again() {
    printf 'copied %s' "$RANDOM" | xclip -i -selection clipboard
    printf 'selected %s' "$RANDOM" | xclip -i -selection primary
    [ "$(selections | grep -c "copied\|selected")" = 2 ]
}

type_under_each_layout() {
    local layout before held rootEvents
    for layout in "${LAYOUTS[@]}"; do
        setxkbmap -rules evdev -model pc105 -layout "${layout%:*}" || e2e_fail "setxkbmap $layout"
        [[ $layout != *:* ]] || "$E2E_XPEER" lock-group "${layout#*:}" || e2e_fail "lock $layout"
        before=$(keyboard)
        rootEvents=$(xwininfo -root -events)
        hold_selections || e2e_fail "xclip holds no selection"
        held=$(selections)
        xdotool mousemove --window "$APPLICATION_WINDOW" 200 200 click 9
        e2e_wait_popup || e2e_fail "no popup over $APPLICATION under $layout"
        # shellcheck disable=SC2046
        xdotool mousemove $(e2e_row_point 1 1) click 1
        e2e_wait_for "the typing into $APPLICATION to change the keymap" eval '! keyboard_is "$before"' ||
            e2e_fail "the keymap never changed while typing into $APPLICATION under $layout"
        e2e_wait_for "the text typed into $APPLICATION under $layout" keyboard_is "$before" ||
            e2e_fail "the keymap is not whole after typing into $APPLICATION under $layout"
        # What Tavrin listened to while it waited for the application is listened to no more.
        e2e_wait_for "tavrin to stop listening" root_events_are "$rootEvents" ||
            e2e_fail "tavrin still listens to the root window: $(xwininfo -root -events)"
        # A record left behind would have the next start put back this keymap over a later one.
        e2e_wait_for "the record of the text to go" eval '! compgen -G "$XDG_RUNTIME_DIR/tavrin-typing-*" >/dev/null' ||
            e2e_fail "the record of the text stays after typing under $layout"
        (($(clipboard_windows) <= 1)) ||
            e2e_fail "$(clipboard_windows) clipboard windows after typing under $layout"
        [ "$(selections)" = "$held" ] ||
            e2e_fail "the selections changed while typing into $APPLICATION under $layout: $(selections)"
        setxkbmap -rules evdev -model pc105 -layout us
        application_text >"$E2E_DIR/received" || e2e_fail "nothing to copy from $APPLICATION"
        cmp -s "$E2E_DIR/expected" "$E2E_DIR/received" ||
            e2e_fail "$APPLICATION under $layout: $(diff "$E2E_DIR/expected" "$E2E_DIR/received" | head -n 9)"
        application_clear
    done
}

test_application() {
    e2e_start_x || e2e_fail "Xvfb did not start"
    e2e_start_wm || e2e_fail "openbox did not start"
    typing_measure_text "$E2E_DIR/text"
    application_text_for "$APPLICATION_NAME" "$E2E_DIR/text" >"$E2E_DIR/expected"
    e2e_write_settings true 4 "$(jq -Rsc '[{id: "0F8FAD5B-D9CB-469F-A165-70867728950E",
        label: "Mixed", action: {insertText: {_0: .}}}]' "$E2E_DIR/expected")"
    application_start "$APPLICATION_NAME" || e2e_fail "$APPLICATION_NAME did not start"
    e2e_start_tavrin "$TAVRIN" || e2e_fail "tavrin did not start"
    xdotool windowactivate --sync "$APPLICATION_WINDOW"
    type_under_each_layout
}

APPLICATIONS=("$@")
[ $# -gt 0 ] || APPLICATIONS=(mousepad featherpad chromium firefox writer-gen writer-gtk3 kwrite swing kitty)
e2e_init
for APPLICATION_NAME in "${APPLICATIONS[@]}"; do
    e2e_run_test "mixed text into $APPLICATION_NAME under ${LAYOUTS[*]}" test_application
done
exit $((${E2E_FAILED:-0} > 0))
