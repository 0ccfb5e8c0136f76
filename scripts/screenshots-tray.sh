#!/usr/bin/env bash
# Screenshots of the tray icon in each of its states and of the open tray menu, on a dark and
# on a light panel (trayer on a private Xvfb). Pictures go to out/screenshots/tray/.
# Usage: scripts/screenshots-tray.sh [BUILD_DIR]   (default build/test, made by scripts/test.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/test}
TAVRIN=$build/Tavrin/app/tavrin
export E2E_XPEER=$build/tools/xpeer
[ -x "$TAVRIN" ] && [ -x "$E2E_XPEER" ] || { echo "build first: scripts/test.sh" >&2; exit 1; }
out=$PWD/out/screenshots/tray
mkdir -p "$out"
source tests/e2e/harness.sh
e2e_init
set +e

# One utility per state, each with its own settings and session folder, all in one tray.
start_instance() { # NAME ENABLED BUTTON
    export XDG_CONFIG_HOME="$E2E_DIR/$1/config" XDG_RUNTIME_DIR="$E2E_DIR/$1/runtime"
    mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
    e2e_write_settings "$2" "$3"
    local before
    before=$(xdotool search --classname '^tavrin$' 2>/dev/null | wc -l)
    e2e_launch_tavrin "$TAVRIN"
    e2e_wait_for "the tray icon of $1" icons_more_than "$before"
    INSTANCE_ICON=$(xdotool search --classname '^tavrin$' | tail -n1)
}

icons_more_than() { [ "$(xdotool search --classname '^tavrin$' 2>/dev/null | wc -l)" -gt "$1" ]; }

start_panel() { # TINT
    trayer --edge top --align left --widthtype request --height 32 --transparent true \
        --alpha 0 --tint "$1" --iconspacing 6 >"$E2E_DIR/trayer.log" 2>&1 &
    E2E_PIDS+=($!)
    e2e_wait_for "the tray host" e2e__tray_host_ready
}

panel_shot() { # FILE
    local panel geometry
    panel=$(xdotool search --name '^panel$' | head -n1)
    geometry=$(xwininfo -id "$panel" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h "+0+0"}')
    import -window root "$E2E_DIR/root.png"
    /usr/bin/convert "$E2E_DIR/root.png" -crop "$geometry" +repage "$1"
    /usr/bin/convert "$1" -filter point -resize 400% "${1%.png}@4x.png"
}

session_done() { e2e__stop_from 0; }

for panel in dark:0x2b2b2b light:0xe6e6e6; do
    name=${panel%%:*} tint=${panel#*:}

    # Left to right: watching button 4, disabled, no button, assign mode.
    e2e_start_x
    start_panel "$tint"
    start_instance watching true 4
    watching_icon=$INSTANCE_ICON
    start_instance disabled false 4
    start_instance nobutton true ""
    start_instance assigning true ""
    e2e_open_tray_menu "$INSTANCE_ICON" || e2e_fail "no tray menu"
    xdotool key Down Down Return # "Enabled", then "Settings…"
    e2e_wait_for "the settings window" xdotool search --name '^Tavrin Settings$'
    settings=$(xdotool search --name '^Tavrin Settings$' | head -n1)
    e2e_wait_for "the settings window to be viewable" e2e__viewable "$settings"
    xdotool windowfocus --sync "$settings"
    xdotool key space # the first control when the permission is granted: "Assign button"
    e2e_wait_quiet "$TAVRIN" 400
    xdotool windowunmap --sync "$settings"
    panel_shot "$out/states-$name.png"

    e2e_open_tray_menu "$watching_icon" || e2e_fail "no tray menu"
    import -window root "$E2E_DIR/root.png"
    /usr/bin/convert "$E2E_DIR/root.png" -crop "$((E2E_POPUP_X + E2E_POPUP_WIDTH + 20))x$((E2E_POPUP_Y + E2E_POPUP_HEIGHT + 20))+0+0" +repage "$out/menu-$name.png"
    session_done

    # Without XTEST there is no input access.
    e2e_start_x -extension XTEST
    start_panel "$tint"
    start_instance denied true 4
    panel_shot "$out/no-access-$name.png"
    session_done
done
ls "$out"
