# End-to-end harness: source it from bash, then drive the real binary on a private X server.
#
# Everything started here is stopped, and the temporary folder removed, when the script exits.
# Waits poll a condition until it holds and fail after $E2E_TIMEOUT seconds (default 30);
# nothing sleeps for a fixed time.
#
#   e2e_init                       temp folder $E2E_DIR with private XDG_CONFIG_HOME, HOME and
#                                  XDG_RUNTIME_DIR, a private session bus, UTF-8 locale, cleanup
#                                  at exit
#   e2e_bus_owned NAME             the name has an owner on the session bus
#   e2e_start_x [XVFB_ARGS...]     private Xvfb (-noreset) on a free display; exports DISPLAY,
#                                  sets $E2E_X_PID
#   e2e_write_settings ENABLED BUTTON [MENU_ITEMS_JSON]
#                                  writes the store file; BUTTON in the stored numbering (X
#                                  button 9 is 4) or "" for none; JSON given as exact bytes
#   e2e_start_xev                  xev in front, focused, the pointer in its middle; its log is
#                                  $E2E_XEV_LOG, its window $E2E_XEV_WINDOW
#   e2e_start_tray                 trayer as the tray host ($E2E_TRAY_PID)
#   e2e_start_wm                   openbox, as a desktop session would have it
#   e2e_launch_tavrin BINARY       starts the utility ($E2E_TAVRIN_PID, log $E2E_TAVRIN_LOG)
#   e2e_start_tavrin BINARY        tray host, utility, and a wait until its tray icon
#                                  ($E2E_TAVRIN_ICON) exists, which it creates only after its
#                                  button grabs are in place
#   e2e_start_with_items BINARY ITEMS_JSON
#                                  Xvfb, xev and e2e_start_tavrin, with button 9 and ITEMS_JSON
#                                  stored first unless it is ""
#   e2e_open_tray_menu [ICON [SPOT]]
#                                  left-clicks a tray icon of tavrin ($E2E_TAVRIN_ICON unless
#                                  ICON is given) at SPOT,SPOT (default 5; two quick clicks at
#                                  one spot would make a double click) and waits for its menu
#   e2e_wait_for DESCRIPTION COMMAND...
#                                  runs COMMAND until it succeeds
#   e2e_ended PID                  the process has ended (reaped or not)
#   e2e_wait_popup                 the popup is viewable; sets E2E_POPUP_{ID,X,Y,WIDTH,HEIGHT}
#   e2e_wait_no_popup              no popup is viewable
#   e2e_wait_quiet FILE [MILLISECONDS]
#                                  FILE unchanged for that long (default 300 ms)
#   e2e_xev_sync                   every event sent so far has reached xev and is in its log
#   e2e_xev_clear                  empties the xev log (after an e2e_xev_sync)
#   e2e_xev_buttons                "press N" / "release N" per button event xev saw
#   e2e_xev_text                   the text that xev's key presses produced, as raw bytes
#   e2e_xev_key_presses            how many key presses xev saw
#   e2e_row_point ROW ROWS         "X Y" in the middle of row ROW (from 1) of ROWS equal rows
#   e2e_choose_row ROW ROWS        opens the popup with X button 9, clicks row ROW of ROWS and
#                                  waits for the popup to close
#   e2e_start_typing ROW ROWS      chooses row ROW and waits for its (long) text to arrive at xev
#   e2e_type_marker ROW ROWS       chooses row ROW (typing "Z") at 400,300 and waits for the Z;
#                                  choices are typed in order, so every earlier one is in too
#   e2e_long_text LENGTH           letters the keymap lacks, in more kinds than there are spare
#                                  keycodes, between plain ones: the typer rebinds all along
#   e2e_keymap                     the whole keymap, to compare before and after typing
#   e2e_stored LINE                the store file holds LINE
#   e2e_warnings                   the utility's warning lines so far
#   e2e_fail MESSAGE / e2e_expect_equal WHAT EXPECTED ACTUAL
#                                  report a failure with the logs and exit 1
#   e2e_run_test NAME FUNCTION [ARGS...]
#                                  runs one test function in a subshell, prints ok/FAIL, counts
#                                  failures in $E2E_FAILED; what the test started is stopped
#
# Set before sourcing: E2E_XPEER (path of the xpeer tool, needed by the popup and tray waits).

E2E_TIMEOUT=${E2E_TIMEOUT:-30}
E2E_PIDS=()
E2E_MARKS=0

e2e_init() {
    E2E_DIR=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-e2e.XXXXXX")
    export XDG_CONFIG_HOME="$E2E_DIR/config" XDG_RUNTIME_DIR="$E2E_DIR/runtime" HOME="$E2E_DIR/home"
    mkdir -p "$XDG_CONFIG_HOME" "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
    export LC_ALL=C.UTF-8 LANG=C.UTF-8
    export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}"
    unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
    trap 'e2e__stop_from 0; rm -rf "$E2E_DIR"' EXIT
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
    dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS" \
        >"$E2E_DIR/dbus.log" 2>&1 &
    E2E_PIDS+=($!)
    e2e_wait_for "the session bus" e2e_bus_owned org.freedesktop.DBus
}

e2e_bus_owned() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'
}

# Stops the processes started from position FIRST of the list on, newest first.
# One that hangs on TERM is killed rather than holding the test to ctest's limit.
e2e__stop_from() {
    local index pid
    for ((index = ${#E2E_PIDS[@]} - 1; index >= $1; index--)); do
        pid=${E2E_PIDS[index]}
        kill "$pid" 2>/dev/null || continue
        e2e_wait_for "process $pid to end" e2e_ended "$pid" || kill -KILL "$pid" 2>/dev/null
        # Its status is that of a process we ended; a caller under set -e must not take it.
        wait "$pid" 2>/dev/null || true
    done
    E2E_PIDS=("${E2E_PIDS[@]:0:$1}")
}

# A child that has ended but is not yet reaped still answers kill -0.
e2e_ended() {
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null)
    [[ -z $state || $state == Z* ]]
}

e2e_wait_for() {
    local description=$1 deadline=$((SECONDS + E2E_TIMEOUT))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || { echo "timed out after ${E2E_TIMEOUT}s waiting for: $description" >&2; return 1; }
        sleep 0.02
    done
}

e2e_start_x() {
    local displayFile="$E2E_DIR/display"
    : >"$displayFile"
    Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1280x800x24 "$@" \
        3>"$displayFile" >"$E2E_DIR/xvfb.log" 2>&1 &
    E2E_X_PID=$!
    E2E_PIDS+=($!)
    e2e_wait_for "Xvfb to name its display" grep -q '^[0-9]' "$displayFile" || return 1
    export DISPLAY=":$(head -n1 "$displayFile")"
}

# QSettings reads "@ByteArray(...)" as bytes; every byte is escaped so that no character of the
# JSON can be taken for INI syntax or for the tail of a hexadecimal escape.
e2e_write_settings() {
    local file="$XDG_CONFIG_HOME/tavrin/tavrin.conf" items
    mkdir -p "${file%/*}"
    items=$(printf '%s' "${3-}" | od -An -v -tx1 | tr -d ' \n' | sed 's/../\\x&/g')
    printf '[General]\nenabled=%s\n' "$1" >"$file"
    [ -z "$2" ] || echo "assignedButton=$2" >>"$file"
    [ -z "$items" ] || echo "menuItems=\"@ByteArray($items)\"" >>"$file"
}

e2e_start_xev() {
    E2E_XEV_LOG="$E2E_DIR/xev.log"
    stdbuf -oL xev -geometry 800x600+0+0 >"$E2E_XEV_LOG" 2>&1 &
    E2E_PIDS+=($!)
    e2e_wait_for "the xev window" e2e__find_xev &&
        e2e_wait_for "the xev window to be viewable" e2e__viewable "$E2E_XEV_WINDOW" &&
        xdotool windowfocus --sync "$E2E_XEV_WINDOW" mousemove 400 300
}

e2e__find_xev() { E2E_XEV_WINDOW=$(xdotool search --name '^Event Tester$' 2>/dev/null | head -n1) && [ -n "$E2E_XEV_WINDOW" ]; }
e2e__viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
e2e__tray_host_ready() { "$E2E_XPEER" owner _NET_SYSTEM_TRAY_S0; }

e2e_start_tray() {
    trayer --edge bottom --align right --widthtype pixel --width 64 --height 24 \
        >"$E2E_DIR/trayer.log" 2>&1 &
    E2E_TRAY_PID=$!
    E2E_PIDS+=($!)
    e2e_wait_for "the tray host" e2e__tray_host_ready
}

e2e_start_wm() {
    openbox --sm-disable >"$E2E_DIR/openbox.log" 2>&1 &
    E2E_PIDS+=($!)
    e2e_wait_for "openbox" "$E2E_XPEER" owner WM_S0
}

e2e_launch_tavrin() {
    E2E_TAVRIN_LOG="$E2E_DIR/tavrin.log"
    "$1" >"$E2E_TAVRIN_LOG" 2>&1 &
    E2E_TAVRIN_PID=$!
    E2E_PIDS+=($!)
}

e2e_start_tavrin() {
    [ -n "${E2E_TRAY_PID:-}" ] || e2e_start_tray || return 1
    e2e_launch_tavrin "$1"
    e2e_wait_for "the tray icon of tavrin" e2e__tavrin_window
}

e2e_start_with_items() {
    [ -z "$2" ] || e2e_write_settings true 4 "$2"
    e2e_start_x || e2e_fail "Xvfb did not start"
    e2e_start_xev || e2e_fail "xev did not start"
    e2e_start_tavrin "$1" || e2e_fail "tavrin did not start"
}

e2e__tavrin_window() {
    kill -0 "$E2E_TAVRIN_PID" 2>/dev/null || e2e_fail "tavrin exited"
    E2E_TAVRIN_ICON=$(xdotool search --classname '^tavrin$' 2>/dev/null | head -n1)
    [ -n "$E2E_TAVRIN_ICON" ]
}

e2e_open_tray_menu() {
    local icon=${1:-$E2E_TAVRIN_ICON} spot=${2:-5}
    xdotool mousemove --sync --window "$icon" "$spot" "$spot" click 1
    e2e_wait_popup
}

e2e__read_popup() {
    local found
    found=$("$E2E_XPEER" popup) &&
        read -r E2E_POPUP_ID E2E_POPUP_X E2E_POPUP_Y E2E_POPUP_WIDTH E2E_POPUP_HEIGHT <<<"$found"
}
e2e__no_popup() { ! "$E2E_XPEER" popup >/dev/null; }
e2e_wait_popup() { e2e_wait_for "the popup to be viewable" e2e__read_popup; }
e2e_wait_no_popup() { e2e_wait_for "the popup to close" e2e__no_popup; }

e2e__unchanged_for() {
    local before
    before=$(stat -c '%s %Y' "$1" 2>/dev/null)
    sleep "$(printf '%d.%03d' $(($2 / 1000)) $(($2 % 1000)))"
    [ "$before" = "$(stat -c '%s %Y' "$1" 2>/dev/null)" ]
}
e2e_wait_quiet() { e2e_wait_for "$1 to go quiet" e2e__unchanged_for "$1" "${2:-300}"; }

# X delivers events in the order the server handles them: once xev has logged a property
# change made now, it has logged every input event sent before.
e2e_xev_sync() {
    local mark="E2E_MARK_$((++E2E_MARKS))"
    xprop -id "$E2E_XEV_WINDOW" -f "$mark" 8s -set "$mark" 1 &&
        e2e_wait_for "xev to log $mark" grep -aq "($mark)" "$E2E_XEV_LOG"
}
e2e_xev_clear() { : >"$E2E_XEV_LOG"; }

e2e_xev_buttons() {
    perl -00 -ne 'print lc($1), " $2\n" if /Button(Press|Release) event.*?button (\d+),/s' \
        "$E2E_XEV_LOG"
}

e2e_xev_text() {
    perl -ne 'print pack("H*", $1 =~ tr/ //dr) if /XmbLookupString gives \d+ bytes: \(([0-9a-f ]*)\)/' \
        "$E2E_XEV_LOG"
}

e2e_row_point() {
    echo "$((E2E_POPUP_X + E2E_POPUP_WIDTH / 2))" \
        "$((E2E_POPUP_Y + (E2E_POPUP_HEIGHT * (2 * $1 - 1)) / (2 * $2)))"
}

e2e_xev_key_presses() { grep -ac '^KeyPress event' "$E2E_XEV_LOG"; }

e2e_choose_row() {
    xdotool click 9
    e2e_wait_popup || e2e_fail "no popup after a click of button 9"
    # shellcheck disable=SC2046
    xdotool mousemove $(e2e_row_point "$1" "$2") click 1
    e2e_wait_no_popup || e2e_fail "the popup stayed open after a choice"
}

e2e_start_typing() {
    e2e_choose_row "$1" "$2"
    e2e_wait_for "the long text to start arriving" eval '(($(e2e_xev_key_presses) >= 20))' ||
        e2e_fail "the long text did not start arriving"
}

e2e_type_marker() {
    xdotool mousemove 400 300
    e2e_choose_row "$1" "$2"
    e2e_wait_for "the marker at xev" eval '[[ $(e2e_xev_text) == *Z ]]' ||
        e2e_fail "no marker typed; xev got [$(e2e_xev_text | tail -c 40)]"
}

e2e_long_text() {
    perl -CS -e 'my @pool = map { chr } (0x0100 .. 0x017f, 0x0391 .. 0x03a9, 0x4e00 .. 0x4e20);
        print map { $_ % 4 ? ($_ % 9 ? "a" : " ") : $pool[($_ * 7) % @pool] } 1 .. $ARGV[0]' "$1"
}

e2e_keymap() {
    xkbcomp -xkb "$DISPLAY" - 2>/dev/null
    xmodmap -pk
}

e2e_stored() { grep -qxF -- "$1" "$XDG_CONFIG_HOME/tavrin/tavrin.conf" 2>/dev/null; }
e2e_warnings() { grep -a '^tavrin\.' "$E2E_TAVRIN_LOG" | grep -av '^tavrin\.backend: '; }

e2e_fail() {
    echo "FAIL: $*" >&2
    local log
    for log in "${E2E_TAVRIN_LOG:-}" "$E2E_DIR/xvfb.log"; do
        [ ! -s "$log" ] || { echo "--- $log" >&2 && tail -n 20 "$log" >&2; }
    done
    exit 1
}

e2e_expect_equal() { [ "$2" = "$3" ] || e2e_fail "$1: expected [$2], got [$3]"; }

e2e_run_test() {
    local started=$SECONDS name=$1 function=$2
    shift 2
    # What the test starts is stopped when it ends, so the next one starts afresh.
    if (trap "e2e__stop_from ${#E2E_PIDS[@]}" EXIT && "$function" "$@"); then
        echo "ok   $name ($((SECONDS - started)) s)"
    else
        echo "FAIL $name"
        E2E_FAILED=$((${E2E_FAILED:-0} + 1))
    fi
}
