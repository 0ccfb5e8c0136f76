#!/usr/bin/env bash
# Figures of the release build on a headless sway (run as an unprivileged user, created when
# this runs as root), with wlpeer as the user and as the application (its text field):
#   press to popup    the virtual pointer's press of the assigned button to the popup's rows on
#                     the output (Tavrin's debug line), median and 95th percentile of 50 presses
#                     (target: median 20 ms or less)
#   typing            the 2,000-character mixed text of the X11 figures typed through Tavrin's
#                     virtual keyboard into the text field, until the field holds as many bytes
#                     (target: none wrong, 0.5 s or less)
# Usage: scripts/bench-wayland.sh
set -u
PRESSES=50

if [ $# -eq 0 ]; then
    root=$(cd "$(dirname "$0")/.." && pwd)
    build="$root/build/bench"
    [ -f "$build/build.ninja" ] ||
        cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRIN_SANITIZE=OFF \
            >/dev/null || exit 1
    cmake --build "$build" -j2 --target tavrin wlpeer >/dev/null || exit 1
    exec bash "$0" "$build/Tavrin/app/tavrin" "$build/tests/e2e/wayland/wlpeer" \
        "$root/scripts/typing-measure.sh"
fi
TAVRIN=$1 WLPEER=$2
e2e=${TAVRIN_E2E_DIR:-$(cd "$(dirname "$0")/.." && pwd)/tests/e2e}
source "$e2e/wayland/sway.sh" "$@"
source "$3"

row() {
    printf '%-40s %9s %-4s  %s\n' "$@"
}

peer() {
    echo "$*" >&7 && read -r -t "$E2E_TIMEOUT" reply <&8 && [ "${reply%% *}" = ok ] ||
        e2e_fail "wlpeer did not do: $*"
    PEER_SENT=${reply#ok }
}

shown_count() {
    grep -c 'popup shown' "$E2E_TAVRIN_LOG"
}

e2e_init
sway_start || e2e_fail "sway did not start"
mkfifo "$E2E_DIR/peer.in" "$E2E_DIR/peer.out"
"$WLPEER" <"$E2E_DIR/peer.in" >"$E2E_DIR/peer.out" 2>/dev/null &
E2E_PIDS+=($!)
exec 7>"$E2E_DIR/peer.in" 8<"$E2E_DIR/peer.out"

field="$E2E_DIR/field.txt"
QT_QPA_PLATFORM=wayland "$WLPEER" field "$field" >/dev/null 2>&1 &
E2E_PIDS+=($!)
e2e_wait_for "the text field" eval 'swaymsg -t get_tree | grep -q "\"app_id\": \"wlpeer\""' ||
    e2e_fail "no text field"
peer move 600 400

e2e_write_settings true 4
QT_LOGGING_RULES='tavrin.wayland.debug=true' QT_MESSAGE_PATTERN='%{time boot} %{message}' \
    e2e_launch_tavrin "$TAVRIN"
e2e_wait_for "tavrin's binding" grep -qsx 4 "$XDG_RUNTIME_DIR/tavrin-$WAYLAND_DISPLAY.sway-bindings" ||
    e2e_fail "tavrin bound no button"

delays="$E2E_DIR/delays"
: >"$delays"
for ((press = 0; press < PRESSES; press++)); do
    before=$(shown_count)
    peer press 9
    sent=$PEER_SENT
    e2e_wait_for "the popup" eval '[ "$(shown_count)" -gt "$before" ]' || e2e_fail "no popup"
    shown=$(grep 'popup shown' "$E2E_TAVRIN_LOG" | tail -n1 | awk '{ printf "%d", $1 * 1000 }')
    echo $((shown - sent)) >>"$delays"
    peer release 9
    peer key Escape
    e2e_wait_quiet "$E2E_TAVRIN_LOG" 100
done
sort -n "$delays" -o "$delays"
median=$(sed -n "$((PRESSES / 2))p" "$delays")
p95=$(sed -n "$(((PRESSES * 95 + 99) / 100))p" "$delays")

text="$E2E_DIR/text"
typing_measure_text "$text"
: >"$field"
e2e_wait_quiet "$field" 300
started=$(date +%s%N)
"$WLPEER" type "$text" >/dev/null || e2e_fail "wlpeer could not type"
e2e_wait_for "the text to arrive" eval '[ "$(wc -c <"$field")" -ge "$(wc -c <"$text")" ]'
ms=$((($(date +%s%N) - started) / 1000000))
e2e_wait_quiet "$field" 500
wrong=$(typing_wrong "$text" "$field")

row "measure (sway 1.7, headless)" result "" target
row "press to popup, median of $PRESSES" "$median ms" "" "20 ms or less"
row "press to popup, 95th percentile" "$p95 ms" "" ""
row "typing: tavrin (virtual keyboard)" "$(printf '%d.%02d s' $((ms / 1000)) $((ms % 1000 / 10)))" "" \
    "$wrong of 2000 characters wrong"
