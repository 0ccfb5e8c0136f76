#!/usr/bin/env bash
# Screenshots of the settings window (button 4 assigned, five entries; with and without the
# permission) and of the entry editor for a text and for a special key, under a private Xvfb
# with openbox, into out/screenshots/. Prints each window's size: 440x640 and 400x440.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${TAVRIN_BUILD_DIR:-build/screenshots}
out=$root/out/screenshots

cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" -j2 --target tavrin_settings_showcase
showcase=$root/$build/tools/tavrin_settings_showcase
mkdir -p "$out"

source tests/e2e/harness.sh
e2e_init
e2e_start_x
openbox --sm-disable >"$E2E_DIR/openbox.log" 2>&1 &
E2E_PIDS+=($!)
e2e_wait_for "openbox to manage the screen" eval \
    "xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'"

find_window() {
    window=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1)
    [ -n "$window" ]
}

# The window manager's frame around a window: its ancestor just below the root.
frame_of() {
    local current=$1 line
    while line=$(xwininfo -tree -id "$current" | grep 'Parent window id:') &&
        [[ $line != *"(the root window)"* ]]; do
        current=$(awk '{print $4}' <<<"$line")
    done
    echo "$current"
}

# Two captures in a row that are the same mean the window has finished drawing.
settled_capture() {
    local file=$1 previous=$E2E_DIR/previous.png
    import -window root "$file"
    /usr/bin/convert "$file" "$previous"
    import -window root "$file"
    cmp -s <(/usr/bin/convert "$file" rgb:-) <(/usr/bin/convert "$previous" rgb:-)
}

shoot() {
    local scene=$1 title=$2 name=$3
    "$showcase" "$scene" >"$E2E_DIR/$scene.log" 2>&1 &
    local pid=$!
    E2E_PIDS+=($pid)
    e2e_wait_for "the $title window" find_window "$title"
    e2e_wait_for "the $title window to be viewable" e2e__viewable "$window"
    e2e_wait_for "the screen to settle" settled_capture "$E2E_DIR/screen.png"
    local geometry
    geometry=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
    local crop
    crop=$(xwininfo -id "$(frame_of "$window")" | awk '
        /Absolute upper-left X:/ {x=$4} /Absolute upper-left Y:/ {y=$4}
        /Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h "+" x "+" y}')
    /usr/bin/convert "$E2E_DIR/screen.png" -crop "$crop" +repage "$out/$name.png"
    echo "$name: window $geometry, out/screenshots/$name.png"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
}

shoot window "Tavrin Settings" settings-window
shoot window-without-permission "Tavrin Settings" settings-window-without-permission
shoot text-editor "Menu Item" editor-text
shoot key-editor "Menu Item" editor-key
