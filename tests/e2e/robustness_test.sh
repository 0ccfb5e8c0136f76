#!/usr/bin/env bash
# What the user must never lose: a choice made just before the next press, a responsive
# utility while a long text is typed, a hand-written list, the settings when their folder goes
# or turns read-only (with one warning line on standard error for each failure and none
# otherwise).
# Usage: robustness_test.sh TAVRIN_BINARY XPEER_BINARY
set -u
TAVRIN=$1
export E2E_XPEER=$2
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

STORE() { echo "$XDG_CONFIG_HOME/tavrin/tavrin.conf"; }
ID=7C9E6679-7425-40DE-944B-E07FC1F90AE7

start_with_two_rows() {
    e2e_start_x || e2e_fail "Xvfb did not start"
    e2e_write_settings true 4 '[{"id":"'$ID'","label":"Text","action":{"insertText":{"_0":"abc"}}},'\
'{"id":"16FD2706-8BAF-433B-82EB-8C7FADA847DA","label":"Marker","action":{"insertText":{"_0":"Z"}}}]'
    e2e_start_xev || e2e_fail "xev did not start"
    e2e_start_tavrin "$TAVRIN" || e2e_fail "tavrin did not start"
}

another_popup_than() {
    e2e__read_popup && [ "$E2E_POPUP_ID" != "$1" ]
}

test_a_press_within_the_typing_delay() {
    start_with_two_rows
    xdotool click 9
    e2e_wait_popup || e2e_fail "no popup after a click of button 9"
    local first=$E2E_POPUP_ID
    # Choose the text and press the button again at once, well within 0.12 s.
    # shellcheck disable=SC2046
    xdotool mousemove $(e2e_row_point 1 2) click 1 click 9
    e2e_wait_for "the second popup" another_popup_than "$first" || e2e_fail "no second popup"
    # shellcheck disable=SC2046
    xdotool mousemove $(e2e_row_point 2 2) click 1
    e2e_wait_for "both choices typed in order" eval '[ "$(e2e_xev_text)" = abcZ ]' ||
        e2e_fail "xev received [$(e2e_xev_text)]"
    e2e_expect_equal "warnings while all is well" "" "$(e2e_warnings)"
}

test_the_tray_menu_opens_while_a_long_text_is_typed() {
    # Letters the keymap lacks, in more kinds than there are spare keycodes: the typer changes
    # the keymap every few dozen characters, so the whole text takes seconds.
    local long
    long=$(perl -CS -e 'my @pool = map { chr } (0x0100 .. 0x017f, 0x0391 .. 0x03a9); my $text = "";
        for (my $i = 0; length($text) < 10000; $i++) { $text .= $i % 8 ? "a" : $pool[($i * 7) % @pool] }
        print substr($text, 0, 10000)')
    e2e_start_x || e2e_fail "Xvfb did not start"
    e2e_write_settings true 4 '[{"id":"7C9E6679-7425-40DE-944B-E07FC1F90AE7","label":"Text","action":{"insertText":{"_0":"'"$long"'"}}}]'
    e2e_start_xev || e2e_fail "xev did not start"
    e2e_start_tavrin "$TAVRIN" || e2e_fail "tavrin did not start"
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

test_a_hand_written_list_is_kept() {
    local list='[{"id":"'$ID'","label":"Mine","action":{"insertText":{"_0":"x"}}}, "by hand"]'
    e2e_start_x || e2e_fail "Xvfb did not start"
    mkdir -p "$XDG_CONFIG_HOME/tavrin"
    printf '[General]\nenabled=true\nassignedButton=4\nmenuItems=%s\n' "$list" >"$(STORE)"
    e2e_start_tavrin "$TAVRIN" || e2e_fail "tavrin did not start"
    toggle_enabled_from_tray_menu 5
    e2e_wait_for "enabled=false in the store" e2e_stored enabled=false || e2e_fail "not stored"
    e2e_expect_equal "the kept copy" "$list" \
        "$(cat "$XDG_CONFIG_HOME/tavrin/menuItems.unreadable" 2>/dev/null)"
}

test_the_settings_folder_deleted_while_running() {
    start_with_two_rows
    rm -rf "$XDG_CONFIG_HOME/tavrin"
    toggle_enabled_from_tray_menu 5
    e2e_wait_for "enabled=false in a new store" e2e_stored enabled=false || e2e_fail "not stored"
    e2e_stored assignedButton=4 || e2e_fail "the button was lost: $(cat "$(STORE)")"
    grep -q '^menuItems="@ByteArray(\[{' "$(STORE)" || e2e_fail "the entries were lost"
}

# Root writes into read-only folders: the utility runs as nobody then.
launch_unprivileged() {
    local user=()
    if [ "$(id -u)" = 0 ]; then
        user=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
        chmod 755 "$E2E_DIR"
        chown -R 65534:65534 "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$HOME"
    fi
    printf '#!/bin/sh\nexec %s "%s"\n' "${user[*]}" "$TAVRIN" >"$E2E_DIR/tavrin-unprivileged"
    chmod 755 "$E2E_DIR/tavrin-unprivileged"
    e2e_start_tavrin "$E2E_DIR/tavrin-unprivileged" || e2e_fail "tavrin did not start"
}

test_a_read_only_settings_folder() {
    e2e_start_x || e2e_fail "Xvfb did not start"
    e2e_write_settings true 4
    launch_unprivileged
    local before
    before=$(cat "$(STORE)")
    chmod a-w "$XDG_CONFIG_HOME/tavrin"
    toggle_enabled_from_tray_menu 5
    e2e_wait_for "a warning naming the store" eval '[ -n "$(e2e_warnings)" ]' ||
        e2e_fail "no warning; the log holds [$(cat "$E2E_TAVRIN_LOG")]"
    e2e_expect_equal "warnings" "tavrin.store: could not write $(STORE): Permission denied" \
        "$(e2e_warnings)"
    e2e_expect_equal "the store while read-only" "$before" "$(cat "$(STORE)")"

    chmod u+w "$XDG_CONFIG_HOME/tavrin"
    toggle_enabled_from_tray_menu 16
    e2e_wait_for "enabled=true written once the folder is writable" e2e_stored enabled=true ||
        e2e_fail "not stored: $(cat "$(STORE)")"
    e2e_expect_equal "warnings after the folder is writable again" 1 "$(e2e_warnings | wc -l)"
}

e2e_init
E2E_TIMEOUT=60
e2e_run_test "a press within the typing delay" test_a_press_within_the_typing_delay
e2e_run_test "the tray menu opens while a long text is typed" \
    test_the_tray_menu_opens_while_a_long_text_is_typed
e2e_run_test "a hand-written list is kept" test_a_hand_written_list_is_kept
e2e_run_test "the settings folder deleted while running" \
    test_the_settings_folder_deleted_while_running
e2e_run_test "a read-only settings folder" test_a_read_only_settings_folder
[ "${E2E_FAILED:-0}" -eq 0 ]
