#!/usr/bin/env bash
# Tavrin on a headless sway: wlpeer's virtual pointer and keyboard as the user, its Qt text field
# on Wayland as the application in front, the real binary in between.
# Usage: sway_test.sh TAVRIN_BINARY WLPEER_BINARY
set -u
source "$(dirname "$(readlink -f "$0")")/sway.sh" "$@"
TAVRIN=$1 WLPEER=$2

# Two lines, a tab, scripts of every plane, combining marks and the characters shells quote.
MIXED=$(printf '%s\n\t%s' 'Grüße, Élodie! Ωμέγα Привет ЁЖ' \
    "你好 한국어 😀🎉👍🏽 $(printf 'e\xcc\x81 a\xcc\x88o\xcc\x83') «ok» ~\`^\\|@{}")
ITEMS=$(jq -nc --arg text "$MIXED" '[["Mention", {insertText: {_0: "@"}}],
    ["Mixed", {insertText: {_0: $text}}], ["Tab", {pressKey: {_0: "Tab"}}]] | to_entries |
    map({id: "7C9E6679-7425-40DE-944B-E07FC1F90AE\(.key)", label: .value[0], action: .value[1]})')
# Where the pointer rests, and a patch of the output that shows the popup's first row once it
# opens there, clear of the pointer, which the headless output draws into the picture.
POINTER_X=600 POINTER_Y=400
PATCH="$((POINTER_X + 30)),$((POINTER_Y + 4)) 60x24"
RECORD='$XDG_RUNTIME_DIR/tavrin-$WAYLAND_DISPLAY.sway-bindings'

record() { eval cat "$RECORD" 2>/dev/null; }

# Sway's debug log tells when a binding is in place; tavrin's record comes before that.
sway_binds() { grep -c 'Bound button9 to command `nop tavrin button 4`' "$E2E_DIR/sway.log"; }

# ENABLED: the stored state, button 9 (stored as 4) assigned; WAIT: what shows that tavrin is
# ready.
start_with() {
    e2e_write_settings "$1" 4 "$ITEMS"
    FIELD_TEXT="$E2E_DIR/field.txt" FIELD_LOG="$E2E_DIR/field.log"
    : >"$FIELD_TEXT" >"$FIELD_LOG"
    # Appended, so that field_buttons can empty it while the field writes.
    QT_QPA_PLATFORM=wayland "$WLPEER" field "$FIELD_TEXT" >>"$FIELD_LOG" 2>"$E2E_DIR/field.err" &
    E2E_PIDS+=($!)
    e2e_wait_for "the text field to be focused" field_focused >/dev/null || e2e_fail "no field"
    peer move "$POINTER_X" "$POINTER_Y"
    grim -g "$PATCH" "$E2E_DIR/patch.png" || e2e_fail "grim failed"
    BINDS=$(sway_binds)
    e2e_launch_tavrin "$TAVRIN"
    e2e_wait_for "tavrin to be ready" "${@:2}" || e2e_fail "not ready: $(cat "$E2E_TAVRIN_LOG")"
}

bound() { [ "$(record | tail -n +2)" = 4 ] && [ "$(sway_binds)" -gt "$BINDS" ]; }

# The patch of the open popup is kept in open.png.
open_popup() {
    peer click 9
    e2e_wait_for "the popup" patch_changed && cp "$E2E_DIR/now.png" "$E2E_DIR/open.png" ||
        e2e_fail "no popup after a click of button 9"
}

# The pointer goes back first: the headless output draws it into the picture.
close_popup_with() {
    peer "$@"
    peer move "$POINTER_X" "$POINTER_Y"
    e2e_wait_for "the popup to close" eval '! patch_changed' || e2e_fail "$* left the popup open"
}

# The button events that reached the field since the last call, once button 2 has followed them.
field_buttons() {
    peer click 2
    e2e_wait_for "the field to see button 2" grep -qx 'release 2' "$FIELD_LOG" ||
        e2e_fail "button 2 did not reach the field: $(cat "$E2E_DIR/field.err")"
    grep -E '^(press|release) [013-9]' "$FIELD_LOG"
    : >"$FIELD_LOG"
}

# Bounded, unlike wait: a hung instance fails the test instead of stalling it.
quit_tavrin() {
    kill "-$1" "$E2E_TAVRIN_PID"
    e2e_wait_for "tavrin to quit" e2e_ended "$E2E_TAVRIN_PID" || e2e_fail "hung"
}

field_text_is() { [ "$(cat "$FIELD_TEXT")" = "$1" ]; }

expect_text() {
    e2e_wait_for "the field to hold [$1]" field_text_is "$1" ||
        e2e_fail "field holds [$(cat "$FIELD_TEXT")], expected [$1]"
}

test_the_popup_types_the_chosen_row() {
    start_with true bound
    open_popup
    close_popup_with key Escape
    peer click 8
    peer click 1
    e2e_expect_equal "buttons at the field" \
        "$(printf '%s %s\n' press 8 release 8 press 1 release 1)" "$(field_buttons)"
    open_popup
    # Over the popup the pointer keeps an arrow, which goes with it.
    local arrow="$POINTER_X,$POINTER_Y 8x8"
    grim -g "$arrow" "$E2E_DIR/arrow.png" || e2e_fail "grim failed"
    peer move 100 700
    PATCH=$arrow e2e_wait_for "the arrow to move" patch_changed "$E2E_DIR/arrow.png" ||
        e2e_fail "no arrow over the popup"
    close_popup_with click 1
    open_popup
    peer key Down
    peer key Down
    close_popup_with key Return
    expect_text "$MIXED"
    open_popup
    # Left of the patch, so that only the row's highlight can change it, not the pointer.
    peer move $((POINTER_X + 5)) $((POINTER_Y + 10))
    e2e_wait_for "the hovered row drawn active" patch_changed "$E2E_DIR/open.png" ||
        e2e_fail "the row under the pointer is not shown active"
    close_popup_with click 1
    open_popup
    peer key Up
    close_popup_with key Return
    open_popup
    peer key Down
    e2e_wait_for "the first row drawn active" patch_changed "$E2E_DIR/open.png" ||
        e2e_fail "Down did not show the first row active"
    peer key Down
    peer key Down
    close_popup_with key Return
    expect_text "$MIXED@		"
    # A Tab left held would repeat in the field.
    e2e_wait_quiet "$FIELD_TEXT" 1500 || e2e_fail "the field keeps changing: a key is held"
    expect_text "$MIXED@		"
    ! grep -q "a key without its time" "$FIELD_LOG" || e2e_fail "keys came without their time"
    # Each popup is handed sway's keymap in a shared-memory file of wlroots.
    ! grep -q 'wlroots-.*(deleted)' "/proc/$E2E_TAVRIN_PID/maps" ||
        e2e_fail "the keymaps of closed popups stay mapped"
}

# A button held on the field keeps the pointer there, so it does not enter the popup that a
# shortcut opens meanwhile: the popup, unseen, gives the keyboard back after a second.
test_a_popup_the_pointer_enters_late_or_never() {
    start_with true bound
    peer press 1
    "$TAVRIN" --popup
    e2e_wait_for "the popup to give up" grep -q "The pointer never entered" "$E2E_TAVRIN_LOG" ||
        e2e_fail "the popup stays without the pointer"
    peer release 1
    # Let go within that second, the button lets the pointer enter the popup, which then shows
    # at once. A machine too slow to let go in time sees the popup give up, and tries again.
    local attempt given_up
    for attempt in 1 2 3; do
        given_up=$(grep -c "never entered" "$E2E_TAVRIN_LOG")
        : >"$FIELD_LOG"
        peer press 1
        "$TAVRIN" --popup
        e2e_wait_for "the popup to take the keyboard" grep -q "focus out" "$FIELD_LOG"
        peer release 1
        e2e_wait_for "the popup" eval 'patch_changed ||
            (($(grep -c "never entered" "$E2E_TAVRIN_LOG") > given_up))'
        ! patch_changed || return 0
    done
    e2e_fail "a popup the pointer entered late stays unseen"
}

test_disabled_lets_the_button_through() {
    start_with false e2e_bus_owned org.tavrin.Tavrin
    e2e_expect_equal "buttons at the field" "$(printf 'press 9\nrelease 9')" \
        "$(peer click 9 && field_buttons)"
}

# A second start in the same session hands over to the first and ends, whether or not DISPLAY
# names an X server (a systemd user service, an autostart under Xwayland).
test_one_instance_whatever_the_environment_says() {
    start_with true bound
    e2e_start_x || e2e_fail "Xvfb did not start"
    local said
    said=$(timeout 20 "$TAVRIN" 2>&1)
    e2e_expect_equal "a second start with DISPLAY set" \
        "0 Tavrin is already running in this session; its settings window is shown." "$? $said"
    ! e2e_ended "$E2E_TAVRIN_PID" || e2e_fail "the first instance is gone"
}

test_no_binding_outlives_tavrin() {
    start_with true bound
    quit_tavrin TERM
    e2e_expect_equal "bindings after quit" "" "$(record)"
    e2e_expect_equal "warnings of a run where all went well" "" "$(e2e_warnings)"
    e2e_expect_equal "buttons at the field after quit" "$(printf 'press 9\nrelease 9')" \
        "$(peer click 9 && field_buttons)"
    # A killed instance leaves its binding; the next start removes it.
    BINDS=$(sway_binds)
    e2e_launch_tavrin "$TAVRIN"
    e2e_wait_for "tavrin's binding" bound || e2e_fail "no binding"
    quit_tavrin KILL
    e2e_write_settings false 4 "$ITEMS"
    e2e_launch_tavrin "$TAVRIN"
    e2e_wait_for "the leftover binding to go" eval '[ -z "$(record)" ]' ||
        e2e_fail "the binding of the killed instance stayed"
    e2e_expect_equal "buttons at the field after a restart" "$(printf 'press 9\nrelease 9')" \
        "$(peer click 9 && field_buttons)"
}

test_a_reload_of_sways_configuration_keeps_the_button() {
    start_with true bound
    BINDS=$(sway_binds)
    swaymsg reload >/dev/null
    e2e_wait_for "tavrin to bind again" bound || e2e_fail "no binding after a reload"
    open_popup
    close_popup_with key Escape
    e2e_expect_equal "buttons at the field" "" "$(field_buttons)"
}

users_binding_ran() { e2e_wait_for "the user's binding" rm "$E2E_DIR/ran" 2>/dev/null || e2e_fail "$1"; }

# The user's binding sits in a file that sway's configuration includes, by a pattern relative
# to its own folder, as Debian's default configuration includes config.d/*. Runs TEST with it,
# and removes it afterwards.
with_users_binding() {
    mkdir -p "$E2E_DIR/sway.d"
    echo "bindsym --whole-window button9 exec touch $E2E_DIR/ran" >"$E2E_DIR/sway.d/user.conf"
    echo "include sway.d/*" >>"$E2E_DIR/sway.config"
    swaymsg reload >/dev/null
    "$1"
    sed -i '$d' "$E2E_DIR/sway.config"
    swaymsg reload >/dev/null
}

test_the_users_own_binding_stays() {
    start_with true grep -q "Button 4 is bound in sway's configuration" "$E2E_DIR/tavrin.log"
    # Read, not taken for want of reading it.
    ! grep -q "cannot be read" "$E2E_TAVRIN_LOG" || e2e_fail "the included file was not read"
    peer click 9
    users_binding_ran "tavrin replaced the user's binding"
    quit_tavrin TERM
    peer click 9
    users_binding_ran "tavrin removed the user's binding"
    e2e_expect_equal "buttons at the field" "" "$(field_buttons)"
}

test_the_users_own_binding_stays_with_a_fresh_tavrin() {
    start_with true grep -q "Button 4 is bound in sway's configuration" "$E2E_DIR/tavrin.log"
    peer click 9
    users_binding_ran "the user's binding went when tavrin started"
}

test_without_an_answer_from_sway_access_is_not_granted() {
    e2e_write_settings true 4 "$ITEMS"
    SWAYSOCK="$E2E_DIR/no-sway.sock" e2e_launch_tavrin "$TAVRIN"
    e2e_wait_for "tavrin to tell what is missing" grep -q \
        "cannot work on this Wayland desktop without: an answer from sway's IPC socket" \
        "$E2E_TAVRIN_LOG" || e2e_fail "tavrin did not tell that sway does not answer"
    # Told once, not at every check of the access, which comes every two seconds.
    e2e_wait_quiet "$E2E_TAVRIN_LOG" 3000 || e2e_fail "tavrin keeps telling it"
    e2e_expect_equal "times told" 1 "$(grep -c 'cannot work on this Wayland' "$E2E_TAVRIN_LOG")"
    e2e_expect_equal "bindings without access" "" "$(record)"
}

# Qt's Wayland platform ends the program when the compositor goes; a session that starts sway
# again starts Tavrin again. The record the ended one left names the sway it bound in, and the
# new sway on the same socket may bind the same button for the user.
test_after_sway_ends_and_starts_again() {
    start_with true bound
    local ended=$E2E_TAVRIN_PID status
    sway_stop
    e2e_wait_for "tavrin to end with sway" e2e_ended "$ended" || e2e_fail "tavrin outlived sway"
    wait "$ended"
    status=$?
    ((status < 128)) || e2e_fail "tavrin ended by signal $((status - 128))"
    grep -q "The Wayland connection broke" "$E2E_TAVRIN_LOG" || e2e_fail "tavrin ended silently"
    [ -n "$(record)" ] || e2e_fail "no record left to test its removal with"
    sway_start || e2e_fail "sway did not start again"
    sway_start_peer "$WLPEER"
    with_users_binding test_the_users_own_binding_stays_with_a_fresh_tavrin
    e2e_wait_for "tavrin to bind once the user's binding went" bound || e2e_fail "not bound"
    peer move "$POINTER_X" "$POINTER_Y"
    grim -g "$PATCH" "$E2E_DIR/patch.png" || e2e_fail "grim failed"
    open_popup
    close_popup_with key Escape
}

e2e_init
sway_start || e2e_fail "sway did not start"
sway_start_peer "$WLPEER"

e2e_run_test "button 9 opens the popup, never reaches the field, and the chosen row is typed" \
    test_the_popup_types_the_chosen_row
e2e_run_test "a popup the pointer enters late or never" test_a_popup_the_pointer_enters_late_or_never
e2e_run_test "disabled, button 9 reaches the field" test_disabled_lets_the_button_through
e2e_run_test "one instance, whatever DISPLAY says" test_one_instance_whatever_the_environment_says
e2e_run_test "no binding outlives tavrin" test_no_binding_outlives_tavrin
e2e_run_test "a reload of sway's configuration keeps the button watched" \
    test_a_reload_of_sways_configuration_keeps_the_button
e2e_run_test "the user's own binding of the button stays" \
    with_users_binding test_the_users_own_binding_stays
e2e_run_test "without an answer from sway, access is not granted" \
    test_without_an_answer_from_sway_access_is_not_granted
# Last: the sway it starts again ends with it.
e2e_run_test "tavrin ends with sway; started again with sway, it keeps the user's binding" \
    test_after_sway_ends_and_starts_again
exit $((${E2E_FAILED:-0} > 0))
