#!/usr/bin/env bash
# Tavrin on a headless sway: a virtual pointer and keyboard as the user (wlpeer), a Qt text
# field on Wayland as the application in front (wlfield), the real binary in between.
# Usage: sway_test.sh TAVRIN_BINARY WLPEER_BINARY WLFIELD_BINARY
set -u
here=$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")
source "$here/../harness.sh"
source "$here/sway.sh"
sway_as_user "$(readlink -f "$0")" "$@"
TAVRIN=$1 WLPEER=$2 WLFIELD=$3

COMBINING=$(printf 'e\xcc\x81 a\xcc\x88o\xcc\x83')
MIXED='Grüße, Élodie! Ωμέγα Привет ЁЖ
	你好 한국어 😀🎉👍🏽 '"$COMBINING"' «ok» ~`^\|@{}'
ITEMS=$(python3 -c 'import json, sys
rows = [("Mention", {"insertText": {"_0": "@"}}), ("Mixed", {"insertText": {"_0": sys.argv[1]}}),
        ("Tab", {"pressKey": {"_0": "Tab"}})]
print(json.dumps([{"id": "7C9E6679-7425-40DE-944B-E07FC1F90AE%d" % i, "label": label,
                   "action": action}
                  for i, (label, action) in enumerate(rows)], ensure_ascii=False))' "$MIXED")
# The pointer's place while a test runs, and a patch of the output where the popup opened there
# shows its first row's label, clear of the pointer, which the headless output draws into the
# picture (its look changes with the window under it).
POINTER_X=600 POINTER_Y=400
PATCH="$((POINTER_X + 30)),$((POINTER_Y + 4)) 60x24"

peer() {
    echo "$*" >&7 && read -r -t "$E2E_TIMEOUT" reply <&8 &&
        [ "${reply%% *}" = ok ] || e2e_fail "wlpeer did not do: $*"
}

bindings_record() {
    echo "$XDG_RUNTIME_DIR/tavrin-$WAYLAND_DISPLAY.sway-bindings"
}

start_field() {
    FIELD_TEXT="$E2E_DIR/field.txt" FIELD_LOG="$E2E_DIR/field.log"
    : >"$FIELD_TEXT"
    QT_QPA_PLATFORM=wayland "$WLFIELD" "$FIELD_TEXT" >"$FIELD_LOG" 2>"$E2E_DIR/field.err" &
    E2E_PIDS+=($!)
    e2e_wait_for "the text field to be focused" field_focused || e2e_fail "no text field"
}

field_focused() {
    swaymsg -t get_tree | python3 -c 'import json, sys
def walk(node):
    yield node
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        yield from walk(child)
sys.exit(0 if any(n.get("app_id") == "wlfield" and n.get("focused")
                  for n in walk(json.load(sys.stdin))) else 1)'
}

# ENABLED: the stored state; button 9 (stored as 4) assigned. With "taken", the user's
# configuration binds button 9 already.
start_with() {
    e2e_write_settings "$1" 4 "$ITEMS"
    start_field
    peer move "$POINTER_X" "$POINTER_Y"
    grim -g "$PATCH" "$E2E_DIR/patch.png" || e2e_fail "grim failed"
    e2e_launch_tavrin "$TAVRIN"
    if [ "${2:-}" = taken ]; then
        e2e_wait_for "tavrin to leave the user's binding" \
            grep -q "Button 4 is bound in sway's configuration" "$E2E_TAVRIN_LOG" ||
            e2e_fail "tavrin did not notice the user's binding"
    elif [ "$1" = true ]; then
        e2e_wait_for "tavrin's binding" grep -qsx 4 "$(bindings_record)" ||
            e2e_fail "tavrin bound no button: $(cat "$E2E_TAVRIN_LOG")"
    else
        e2e_wait_for "tavrin to start" test -e "$XDG_RUNTIME_DIR/tavrin-$WAYLAND_DISPLAY.lock"
        e2e_wait_quiet "$E2E_TAVRIN_LOG" 500
    fi
}

patch_changed() {
    grim -g "$PATCH" "$E2E_DIR/now.png" && ! cmp -s "$E2E_DIR/patch.png" "$E2E_DIR/now.png"
}

popup_gone() {
    ! patch_changed
}

open_popup() {
    peer click 9
    e2e_wait_for "the popup" patch_changed || e2e_fail "no popup after a click of button 9"
}

# The headless output draws the pointer into the picture: it goes back before the patch is compared.
close_expected() {
    peer move "$POINTER_X" "$POINTER_Y"
    e2e_wait_for "the popup to close" popup_gone || e2e_fail "$1"
}

# Every button event that reached the field since field_mark (or its start), once a click of
# button 2 has come after them.
field_buttons() {
    peer click 2
    e2e_wait_for "the field to see button 2" field_saw_button_2 ||
        e2e_fail "button 2 did not reach the field: $(cat "$E2E_DIR/field.err")"
    field_log_since | grep -E '^(press|release) [013-9]'
}

field_mark() {
    FIELD_SEEN=$(wc -l <"$FIELD_LOG")
}

field_log_since() {
    tail -n +$((${FIELD_SEEN:-0} + 1)) "$FIELD_LOG"
}

field_saw_button_2() {
    field_log_since | grep -qx 'release 2'
}

field_text_is() {
    [ "$(cat "$FIELD_TEXT")" = "$1" ]
}

expect_text() {
    e2e_wait_for "the field to hold [$1]" field_text_is "$1" ||
        e2e_fail "field holds [$(cat "$FIELD_TEXT")], expected [$1]"
}

test_button_opens_the_popup_and_never_reaches_the_field() {
    start_with true
    open_popup
    peer key Escape
    close_expected "Escape did not close the popup"
    peer click 8
    peer click 1
    e2e_expect_equal "buttons at the field" "$(printf 'press %s\nrelease %s\n' 8 8 1 1)" \
        "$(field_buttons)"
}

test_choosing_rows_types_their_text() {
    start_with true
    open_popup
    peer key Down
    peer key Down
    peer key Return
    close_expected "Return did not choose a row"
    expect_text "$MIXED"
    open_popup
    peer move $((POINTER_X + 30)) $((POINTER_Y + 10))
    peer click 1
    close_expected "a click on the first row did not choose it"
    expect_text "$MIXED@"
    open_popup
    peer key Up
    peer key Return
    close_expected "Return did not choose the special key's row"
    expect_text "$MIXED@	"
}

test_dismissing_types_nothing() {
    start_with true
    open_popup
    peer key Escape
    close_expected "Escape did not close the popup"
    open_popup
    peer move 100 700
    peer click 1
    close_expected "a click outside did not close the popup"
    open_popup
    peer key Down
    peer key Return
    close_expected "Return did not choose a row"
    expect_text "@"
}

test_disabled_lets_the_button_through() {
    start_with false
    e2e_expect_equal "buttons at the field" "$(printf 'press 9\nrelease 9')" \
        "$(peer click 9 && field_buttons)"
}

test_no_binding_outlives_tavrin() {
    start_with true
    kill -TERM "$E2E_TAVRIN_PID"
    wait "$E2E_TAVRIN_PID"
    e2e_expect_equal "record of bindings after quit" no "$(test -e "$(bindings_record)" || echo no)"
    e2e_expect_equal "buttons at the field after quit" "$(printf 'press 9\nrelease 9')" \
        "$(peer click 9 && field_buttons)"
    # A killed instance leaves its binding; the next start removes it.
    e2e_launch_tavrin "$TAVRIN"
    e2e_wait_for "tavrin's binding" grep -qsx 4 "$(bindings_record)" || e2e_fail "no binding"
    open_popup
    peer key Escape
    close_expected "Escape did not close the popup"
    kill -KILL "$E2E_TAVRIN_PID"
    wait "$E2E_TAVRIN_PID"
    e2e_write_settings false 4 "$ITEMS"
    e2e_launch_tavrin "$TAVRIN"
    e2e_wait_for "the leftover binding to go" eval '! test -e "$(bindings_record)"' ||
        e2e_fail "the record of the killed instance stayed"
    field_mark
    e2e_expect_equal "buttons at the field after a restart" "$(printf 'press 9\nrelease 9')" \
        "$(peer click 9 && field_buttons)"
}

test_a_reload_of_sways_configuration_keeps_the_button() {
    start_with true
    local before
    before=$(stat -c %z "$(bindings_record)")
    swaymsg_quiet reload
    e2e_wait_for "tavrin to bind again" eval '[ "$(stat -c %z "$(bindings_record)")" != "$before" ]' ||
        e2e_fail "tavrin did not bind the button again after a reload"
    open_popup
    peer key Escape
    close_expected "Escape did not close the popup"
    e2e_expect_equal "buttons at the field" "" "$(field_buttons)"
}

test_without_an_answer_from_sway_access_is_not_granted() {
    e2e_write_settings true 4 "$ITEMS"
    SWAYSOCK="$E2E_DIR/no-sway.sock" e2e_launch_tavrin "$TAVRIN"
    e2e_wait_for "tavrin to tell what is missing" grep -q \
        "cannot work on this Wayland desktop without: an answer from sway's IPC socket" \
        "$E2E_TAVRIN_LOG" || e2e_fail "tavrin did not tell that sway does not answer"
    [ ! -e "$(bindings_record)" ] || e2e_fail "tavrin bound a button without access"
}

users_binding_ran() {
    test -e "$E2E_DIR/users-binding-ran"
}

test_the_users_own_binding_stays() {
    echo "bindsym --whole-window button9 exec touch $E2E_DIR/users-binding-ran" \
        >>"$E2E_DIR/sway.config"
    swaymsg_quiet reload
    start_with true taken
    peer click 9
    e2e_wait_for "the user's binding to run" users_binding_ran ||
        e2e_fail "tavrin replaced the user's binding"
    kill -TERM "$E2E_TAVRIN_PID"
    wait "$E2E_TAVRIN_PID"
    rm "$E2E_DIR/users-binding-ran"
    peer click 9
    e2e_wait_for "the user's binding to run after tavrin quit" users_binding_ran ||
        e2e_fail "tavrin removed the user's binding"
    e2e_expect_equal "buttons at the field" "" "$(field_buttons)"
    sed -i '$d' "$E2E_DIR/sway.config"
    swaymsg_quiet reload
}

e2e_init
sway_start || e2e_fail "sway did not start"
# One pointer and keyboard for the whole run, as a physical one would be, on file descriptors
# that every test's subshell inherits.
mkfifo "$E2E_DIR/peer.in" "$E2E_DIR/peer.out"
"$WLPEER" <"$E2E_DIR/peer.in" >"$E2E_DIR/peer.out" 2>"$E2E_DIR/wlpeer.log" &
E2E_PIDS+=($!)
exec 7>"$E2E_DIR/peer.in" 8<"$E2E_DIR/peer.out"

e2e_run_test "button 9 opens the popup and never reaches the field; 8 and 1 do" \
    test_button_opens_the_popup_and_never_reaches_the_field
e2e_run_test "choosing rows by keyboard and by click types their text or key" \
    test_choosing_rows_types_their_text
e2e_run_test "Escape and a click outside type nothing" test_dismissing_types_nothing
e2e_run_test "disabled, button 9 reaches the field" test_disabled_lets_the_button_through
e2e_run_test "no binding outlives tavrin" test_no_binding_outlives_tavrin
e2e_run_test "a reload of sway's configuration keeps the button watched" \
    test_a_reload_of_sways_configuration_keeps_the_button
e2e_run_test "the user's own binding of the button stays" test_the_users_own_binding_stays
e2e_run_test "without an answer from sway, access is not granted" \
    test_without_an_answer_from_sway_access_is_not_granted
exit $((${E2E_FAILED:-0} > 0))
