#!/usr/bin/env bash
# Start-up as the user's session sees it: the store is migrated once and otherwise left alone,
# one instance per session, the tray menu switches the utility, no display is a clear message.
# Usage: startup_test.sh TAVRIN_BINARY XPROBE_BINARY
set -u
TAVRIN=$1
export E2E_XPROBE=$2
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

STORE() { echo "$XDG_CONFIG_HOME/tavrin/tavrin.conf"; }

LOWER='[{"id":"7c9e6679-7425-40de-944b-e07fc1f90ae7","label":"mention","action":{"insertText":{"_0":"@"}}},'\
'{"id":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427","label":"Keep","action":{"pressKey":{"_0":"Tab"}}},'\
'{"label":"command","id":"6FA459EA-EE8A-3CA4-894E-DB77E160355E","action":{"insertText":{"_0":"/"}}}]'
MIGRATED='[{"id":"7C9E6679-7425-40DE-944B-E07FC1F90AE7","label":"Mention","action":{"insertText":{"_0":"@"}}},'\
'{"id":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427","label":"Keep","action":{"pressKey":{"_0":"Tab"}}},'\
'{"id":"6FA459EA-EE8A-3CA4-894E-DB77E160355E","label":"Command","action":{"insertText":{"_0":"\/"}}}]'

# The stored list as the exact bytes QSettings hands back.
stored_items() {
    python3 - "$(STORE)" <<'PY'
import sys, re
text = open(sys.argv[1], "rb").read().decode("utf-8")
m = re.search(r'^menuItems="@ByteArray\((.*)\)"$', text, re.M)
raw = m.group(1) if m else ""
out = bytearray()
i = 0
while i < len(raw):
    c = raw[i]
    if c == "\\" and i + 1 < len(raw):
        n = raw[i + 1]
        if n == "x":
            j = i + 2
            while j < len(raw) and raw[j] in "0123456789abcdefABCDEF":
                j += 1
            out += bytes([int(raw[i + 2:j], 16)])
            i = j
            continue
        out += {"\\": b"\\", '"': b'"', "0": b"\0", "n": b"\n", "t": b"\t", "r": b"\r"}.get(n, n.encode())
        i += 2
        continue
    out += c.encode("utf-8")
    i += 1
sys.stdout.buffer.write(bytes(out))
PY
}

migrated_once() {
    [ "$(stored_items)" = "$MIGRATED" ]
}

test_migration_written_once() {
    e2e_start_x
    e2e_write_settings true 4 "$LOWER"
    e2e_start_tavrin "$TAVRIN" || e2e_fail "tavrin did not start"
    e2e_wait_for "the corrected labels in the store" migrated_once ||
        e2e_fail "store holds [$(stored_items)]"
    kill "$E2E_TAVRIN_PID" && wait "$E2E_TAVRIN_PID"

    local before after
    before=$(stat -c '%i %Y.%y %s' "$(STORE)")
    e2e_launch_tavrin "$TAVRIN"
    e2e_wait_for "the tray icon of the second run" e2e__tavrin_window || e2e_fail "no second run"
    e2e_wait_quiet "$(STORE)" 500
    after=$(stat -c '%i %Y.%y %s' "$(STORE)")
    e2e_expect_equal "store file after a start with nothing to migrate" "$before" "$after"
}

test_one_instance_per_session() {
    e2e_start_x
    e2e_start_tavrin "$TAVRIN" || e2e_fail "tavrin did not start"
    local message status
    message=$(timeout 20 "$TAVRIN" 2>&1)
    status=$?
    e2e_expect_equal "exit status of a second instance" 0 "$status"
    e2e_expect_equal "message of a second instance" "Tavrin is already running in this session." "$message"
    kill -0 "$E2E_TAVRIN_PID" || e2e_fail "the first instance is gone"
}

stored_enabled_is() {
    grep -qx "enabled=$1" "$(STORE)"
}

test_tray_menu_switches_the_utility() {
    e2e_start_x
    e2e_write_settings true 4
    e2e_start_xev
    e2e_start_tavrin "$TAVRIN" || e2e_fail "tavrin did not start"
    e2e_open_tray_menu || e2e_fail "a left click on the tray icon opened no menu"
    # The status row is not actionable, so the first row the keyboard reaches is "Enabled".
    xdotool key Down Return
    e2e_wait_for "enabled=false in the store" stored_enabled_is false || e2e_fail "not stored"
    e2e_wait_no_popup
    xdotool mousemove --sync 400 300
    e2e_xev_sync && e2e_xev_clear
    xdotool click 9
    e2e_xev_sync
    e2e_expect_equal "button 9 while disabled" "press 9
release 9" "$(e2e_xev_buttons)"
}

test_without_a_display() {
    local message status
    export XDG_CONFIG_HOME="$E2E_DIR/config-without-display"
    message=$(DISPLAY=:9999 timeout 20 "$TAVRIN" 2>&1)
    status=$?
    e2e_expect_equal "exit status without a display" 1 "$status"
    e2e_expect_equal "message without a display" \
        "Tavrin needs an X11 display, and none could be reached (is DISPLAY set?)." "$message"
    [ ! -e "$XDG_CONFIG_HOME/tavrin" ] || e2e_fail "a start without a display wrote settings"
    DISPLAY= "$TAVRIN" --version | grep -q '^Tavrin [0-9]' || e2e_fail "--version needs no display"
}

e2e_init
e2e_run_test "the migration is written once" test_migration_written_once
e2e_run_test "one instance per session" test_one_instance_per_session
e2e_run_test "the tray menu switches the utility" test_tray_menu_switches_the_utility
e2e_run_test "a clear message without a display" test_without_a_display
echo "$((4 - ${E2E_FAILED:-0})) passed, ${E2E_FAILED:-0} failed"
[ "${E2E_FAILED:-0}" -eq 0 ]
