#!/usr/bin/env bash
# Tavrin with its GNOME Shell extension on a headless GNOME Shell: gnome_peer.py is the user,
# `tavrin --popup` the user's shortcut, text windows of GTK 4, GTK 3 on Wayland and GTK 3 on
# Xwayland (with IBus and without an input method) are in front.
# Usage: gnome_test.sh EXTENSION_DIR TAVRIN_BINARY
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
    BEFORE=$(patch "$1" "$2") CLOSED=$(closed_count)
    "$TAVRIN" --popup || e2e_fail "tavrin --popup failed"
    e2e_wait_for "the popup at $1,$2" patch_is_not "$1" "$2" "$BEFORE" || e2e_fail "no popup"
}

# Tavrin's debug log names the row the shell called back with, -1 for none.
closed_count() { grep -c 'popup closed: row' "$E2E_TAVRIN_LOG"; }
expect_closed() {
    e2e_wait_for "the popup to close" eval '[ "$(closed_count)" -gt "$CLOSED" ]' ||
        e2e_fail "the popup did not close"
    e2e_expect_equal "row called back" "$1" \
        "$(grep -o 'popup closed: row -\?[0-9]*' "$E2E_TAVRIN_LOG" | tail -n1 | cut -d' ' -f4)"
}

# The dot keeps a final line feed, which command substitution would drop.
text_is() { [ "$(cat "$TEXT" && echo .)" = "$1." ]; }
expect_text() {
    e2e_wait_for "the window to hold [$1]" text_is "$1" ||
        e2e_fail "the window holds [$(cat "$TEXT")], expected [$1]"
}

# Starts the text window (GTK 3 or 4, more environment after); a typed "a" shows that it has
# the keyboard, which may come a little after the window is active: what the window holds then
# is $BASE.
start_window() {
    TEXT="$E2E_DIR/text-$1-$RANDOM"
    env "${@:2}" /usr/bin/python3 "$here/textwin.py" "$1" "$TEXT" >"$TEXT.log" 2>&1 &
    E2E_PIDS+=($!)
    e2e_wait_for "the text window" test -e "$TEXT" || e2e_fail "no window: $(cat "$TEXT.log")"
    # A click into it, as a user would, and again while it takes no key: GNOME may keep the focus
    # from a new X11 window.
    peer move 640 500
    local tries
    for tries in 1 2 3 4 5; do
        peer click
        peer key a
        (E2E_TIMEOUT=2 && e2e_wait_for "an a in the window" test -s "$TEXT") 2>/dev/null && break
    done
    e2e_wait_quiet "$TEXT" 500 && BASE=$(cat "$TEXT") && [[ $BASE =~ ^a+$ ]] ||
        e2e_fail "the window takes no keys: [$(cat "$TEXT")]"
}

# The popup, dark, covers what lies right of and below the pointer, and the white window shows
# above and left of it: its corner is at the pointer, wherever that is.
dark_at() { peer brightness "$1" "$2" 16 16 && ((PEER < 128)); }
test_the_popup_opens_at_the_pointer() {
    start_window 4
    local spot
    for spot in "$X $Y" "$((X + 200)) $((Y + 150))"; do
        set -- $spot
        open_popup "$1" "$2"
        dark_at $(($1 + 16)) $(($2 + 16)) && ! dark_at $(($1 - 24)) $(($2 - 24)) ||
            e2e_fail "the popup's corner is not at the pointer at $1,$2"
        peer key Escape
        expect_closed -1
    done
}

# Keyboard or click for each row, Escape and a click outside type nothing, the button held
# when it opens never chooses, and the window takes typed keys afterwards.
choose_in_window() {
    start_window "$@"
    open_popup "$X" "$Y"
    "$TAVRIN" --popup || e2e_fail "tavrin --popup failed while the popup is open"
    peer key Down
    peer key Return
    expect_closed 0
    expect_text "$BASE$MIXED"
    open_popup "$X" "$Y"
    peer move $((X + 60)) $((Y + 61))
    peer click
    expect_closed 1
    expect_text "$BASE$MIXED"$'\n'
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
    expect_text "$BASE$MIXED"$'\na'
}

# GNOME shows no tray of its own: Tavrin's icon and menu reach the panel as a StatusNotifierItem,
# which the AppIndicator extension hosts.
tray_menu_of() {
    local items name menu
    items=$(gdbus call --session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher \
        -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher \
        RegisteredStatusNotifierItems) || return 1
    for name in $(grep -o ':[0-9.]*' <<<"$items"); do
        [ "$(gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
            -m org.freedesktop.DBus.GetConnectionUnixProcessID "$name")" = "(uint32 $1,)" ] || continue
        menu=$(gdbus call --session -d "$name" -o /StatusNotifierItem \
            -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem Menu | grep -o "'/[^']*'")
        gdbus call --session -d "$name" -o "${menu//\'/}" -m com.canonical.dbusmenu.GetLayout -- 0 -1 '@as []' |
            grep -q 'Settings…' && return 0
    done
    return 1
}
test_the_tray_icon_and_menu_reach_the_panel() {
    e2e_wait_for "Tavrin's item in the panel" tray_menu_of "$E2E_TAVRIN_PID" ||
        e2e_fail "no tray item of tavrin with its menu"
}

# Started while the extension is off, Tavrin says so and how to enable it; enabled, the popup
# opens.
test_the_status_tells_when_the_extension_is_off() {
    kill "$E2E_TAVRIN_PID" && e2e_wait_for "tavrin to end" e2e_ended "$E2E_TAVRIN_PID"
    gnome__extensions DisableExtension
    e2e_launch_tavrin "$TAVRIN"
    e2e_wait_for "tavrin to tell" grep -q 'Run: gnome-extensions enable tavrin@tavrin.org' \
        "$E2E_TAVRIN_LOG" || e2e_fail "tavrin did not tell that the extension is off"
    gnome__extensions EnableExtension
    e2e_wait_for "tavrin to find the extension" grep -q 'the shell extension answers' \
        "$E2E_TAVRIN_LOG" || e2e_fail "tavrin did not find the extension once on"
    start_window 4
    open_popup "$X" "$Y"
    peer key Escape
    expect_closed -1
}
gnome__extensions() {
    gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell \
        -m "org.gnome.Shell.Extensions.$1" tavrin@tavrin.org >/dev/null
}

e2e_init
trap 'gnome_stop; e2e__stop_from 0; rm -rf "$E2E_DIR"' EXIT
TAVRIN=$2
gnome_start "$1" || e2e_fail "GNOME Shell did not start: $(tail -n5 "$E2E_DIR/shell.log")"
ITEMS=$(jq -nc --arg text "$MIXED" '[["Mixed", {insertText: {_0: $text}}],
    ["Return", {pressKey: {_0: "Return"}}]] | to_entries |
    map({id: "7C9E6679-7425-40DE-944B-E07FC1F90AE\(.key)", label: .value[0], action: .value[1]})')
e2e_write_settings true "" "$ITEMS"
mkfifo "$E2E_DIR/peer.in" "$E2E_DIR/peer.out"
/usr/bin/python3 "$here/gnome_peer.py" <"$E2E_DIR/peer.in" >"$E2E_DIR/peer.out" \
    2>"$E2E_DIR/peer.log" &
E2E_PIDS+=($!)
exec 7>"$E2E_DIR/peer.in" 8<"$E2E_DIR/peer.out"
read -r -t "$E2E_TIMEOUT" reply <&8 || e2e_fail "gnome_peer did not start: $(cat "$E2E_DIR/peer.log")"
export XDG_CURRENT_DESKTOP=GNOME QT_LOGGING_RULES=tavrin.gnome.debug=true
e2e_launch_tavrin "$TAVRIN"
e2e_wait_for "tavrin on the session bus" e2e_bus_owned org.tavrin.Tavrin ||
    e2e_fail "tavrin did not start: $(cat "$E2E_TAVRIN_LOG")"

e2e_run_test "the popup opens at the pointer" test_the_popup_opens_at_the_pointer
e2e_run_test "GTK 4: rows chosen by keyboard and click are typed, dismissals type nothing" \
    choose_in_window 4
e2e_run_test "GTK 3 on Wayland: the same" choose_in_window 3
e2e_run_test "GTK 3 on Xwayland: the same" choose_in_window 3 GDK_BACKEND=x11 GTK_IM_MODULE=ibus
e2e_run_test "GTK 3 on Xwayland without an input method: the same, as keys" \
    choose_in_window 3 GDK_BACKEND=x11 GTK_IM_MODULE=gtk-im-context-simple
e2e_run_test "the tray icon and its menu reach the panel" test_the_tray_icon_and_menu_reach_the_panel
e2e_run_test "the status tells when the extension is off" \
    test_the_status_tells_when_the_extension_is_off
exit $((${E2E_FAILED:-0} > 0))
