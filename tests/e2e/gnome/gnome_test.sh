#!/usr/bin/env bash
# Tavrin's GNOME Shell extension on a headless GNOME Shell: gnome_peer.py is the user and stands
# in for Tavrin, text windows of GTK 4, GTK 3 on Wayland and GTK 3 on Xwayland are in front.
# Usage: gnome_test.sh EXTENSION_DIR
set -u
here=$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")
source "$here/../harness.sh"
source "$here/gnome.sh"

# Two lines; Latin, Cyrillic, CJK, an emoji with a skin tone, a family joined by ZWJ, a flag and
# combining marks.
MIXED=$(printf 'Grüße Élodie Привет 你好 👍🏽 👩‍👩‍👧‍👦 🇩🇪 e\xcc\x81a\xcc\x88o\xcc\x83\nzwei')
# Where the popup opens over the windows, which the shell centres: 340,216 to 940,616.
X=400 Y=300

peer() {
    echo "$*" >&7 && read -r -t "$E2E_TIMEOUT" reply <&8 &&
        [ "${reply%% *}" = ok ] || e2e_fail "gnome_peer did not do: $* ($reply)"
    PEER=${reply#ok}
    PEER=${PEER# }
}

# A patch of the popup clear of its rounded corners, at the pointer X,Y.
patch() { peer area $(($1 + 16)) $(($2 + 16)) 120 40 && echo "$PEER"; }
patch_is_not() { [ "$(patch "$1" "$2")" != "$3" ]; }

# Opens the popup at X,Y and waits until it is drawn; BEFORE is what the patch held.
open_popup() {
    peer move "$1" "$2"
    BEFORE=$(patch "$1" "$2")
    peer popup
    e2e_wait_for "the popup at $1,$2" patch_is_not "$1" "$2" "$BEFORE" || e2e_fail "no popup"
}

expect_closed() { peer closed && e2e_expect_equal "row called back" "$1" "$PEER"; }

# The dot keeps a final line feed, which command substitution would drop.
text_is() { [ "$(cat "$TEXT" && echo .)" = "$1." ]; }
expect_text() {
    e2e_wait_for "the window to hold [$1]" text_is "$1" ||
        e2e_fail "the window holds [$(cat "$TEXT")], expected [$1]"
}

# Starts the text window (GTK 3 or 4, more environment after); a typed "a" shows that it has
# the keyboard.
start_window() {
    TEXT="$E2E_DIR/text-$1-$RANDOM"
    env "${@:2}" /usr/bin/python3 "$here/textwin.py" "$1" "$TEXT" >"$TEXT.log" 2>&1 &
    E2E_PIDS+=($!)
    e2e_wait_for "the text window" test -e "$TEXT" || e2e_fail "no window: $(cat "$TEXT.log")"
    peer key a
    expect_text a
}

test_the_popup_opens_at_the_pointer() {
    start_window 4
    local elsewhere
    elsewhere=$(patch $((X + 200)) $((Y + 150)))
    open_popup "$X" "$Y"
    local popup
    popup=$(patch "$X" "$Y")
    peer key Escape
    expect_closed -1
    open_popup $((X + 200)) $((Y + 150))
    [ "$elsewhere" != "$popup" ] && [ "$(patch $((X + 200)) $((Y + 150)))" = "$popup" ] ||
        e2e_fail "the popup did not open with its corner at the pointer"
    peer key Escape
    expect_closed -1
}

# Keyboard or click for each row, Escape and a click outside type nothing, the button held
# when it opens never chooses, and the window takes typed keys afterwards.
choose_in_window() {
    start_window "$@"
    open_popup "$X" "$Y"
    peer popup
    peer key Down
    peer key Return
    expect_closed 0
    expect_text "a$MIXED"
    open_popup "$X" "$Y"
    peer move $((X + 60)) $((Y + 61))
    peer click
    expect_closed 1
    expect_text "a$MIXED"$'\n'
    peer button down
    open_popup "$X" "$Y"
    peer move $((X + 60)) $((Y + 25))
    peer button up
    peer key Escape
    expect_closed -1
    open_popup "$X" "$Y"
    peer move 100 700
    peer click
    expect_closed -1
    peer key a
    expect_text "a$MIXED"$'\na'
}

e2e_init
trap 'gnome_stop; e2e__stop_from 0; rm -rf "$E2E_DIR"' EXIT
# The extension's warnings, shown with a failure.
E2E_TAVRIN_LOG="$E2E_DIR/shell.log"
gnome_start "$1" || e2e_fail "GNOME Shell did not start: $(tail -n5 "$E2E_DIR/shell.log")"
jq -n --arg text "text:$MIXED" '[["✎", "Mixed", $text], ["↵", "Return", "key:Return"]]' \
    >"$E2E_DIR/rows.json"
mkfifo "$E2E_DIR/peer.in" "$E2E_DIR/peer.out"
/usr/bin/python3 "$here/gnome_peer.py" "$E2E_DIR/rows.json" <"$E2E_DIR/peer.in" \
    >"$E2E_DIR/peer.out" 2>"$E2E_DIR/peer.log" &
E2E_PIDS+=($!)
exec 7>"$E2E_DIR/peer.in" 8<"$E2E_DIR/peer.out"
read -r -t "$E2E_TIMEOUT" reply <&8 || e2e_fail "gnome_peer did not start: $(cat "$E2E_DIR/peer.log")"

e2e_run_test "the popup opens at the pointer" test_the_popup_opens_at_the_pointer
e2e_run_test "GTK 4: rows chosen by keyboard and click are typed, dismissals type nothing" \
    choose_in_window 4
e2e_run_test "GTK 3 on Wayland: the same" choose_in_window 3
e2e_run_test "GTK 3 on Xwayland: the same" choose_in_window 3 GDK_BACKEND=x11 GTK_IM_MODULE=ibus
exit $((${E2E_FAILED:-0} > 0))
