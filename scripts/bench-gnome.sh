#!/usr/bin/env bash
# Figures of Tavrin on a headless GNOME Shell with its extension, a GTK 4 text window in front
# (tests/e2e/gnome's helpers; gnome_peer.py is the user):
#   --popup to popup shown     from starting `tavrin --popup` to the first screenshot of a patch
#                              beside the pointer that shows the popup, median of 50; a
#                              screenshot takes a frame or more, so this is an upper bound
#   typing                     the 2,000-character mixed text of the X11 figures (tabs and line
#                              feeds included) through one TypeText, until the window holds as
#                              many characters; wrong characters by edit distance by code point
#   typing as keys             the same text into a GTK 3 window on Xwayland without an input
#                              method, as Tavrin types it there (XTest on Xwayland), until the
#                              typer returns, which it does once the window has handled the keys
# Usage: scripts/bench-gnome.sh
set -u
PRESSES=50
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench"
[ -f "$build/build.ninja" ] ||
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 1
cmake --build "$build" --target tavrin tavrin_shell_extension tavrin_type_text >/dev/null || exit 1
gnome="$root/tests/e2e/gnome"
source "$root/tests/e2e/harness.sh"
source "$gnome/gnome.sh"
source "$root/scripts/typing-measure.sh"

peer() {
    echo "$*" >&7 && read -r -t "$E2E_TIMEOUT" reply <&8 && [ "${reply%% *}" = ok ] ||
        e2e_fail "gnome_peer did not do: $*"
    PEER=${reply#ok }
}
now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }
patch_changed() { peer area 416 316 120 40 && [ "$PEER" != "$BEFORE" ]; }
holds_all() { (($(wc -m <"$TEXT") >= $(wc -m <"$E2E_DIR/text"))); }

e2e_init
trap 'gnome_stop; e2e__stop_from 0; rm -rf "$E2E_DIR"' EXIT
gnome_start "$build/Tavrin/platform/gnome/shell-extension/tavrin@tavrin.org" ||
    e2e_fail "GNOME Shell did not start"
mkfifo "$E2E_DIR/peer.in" "$E2E_DIR/peer.out"
/usr/bin/python3 "$gnome/gnome_peer.py" <"$E2E_DIR/peer.in" >"$E2E_DIR/peer.out" 2>/dev/null &
E2E_PIDS+=($!)
exec 7>"$E2E_DIR/peer.in" 8<"$E2E_DIR/peer.out"
read -r -t "$E2E_TIMEOUT" reply <&8 || e2e_fail "gnome_peer did not start"
export XDG_CURRENT_DESKTOP=GNOME QT_LOGGING_RULES=tavrin.gnome.debug=true
e2e_launch_tavrin "$build/Tavrin/app/tavrin"
e2e_wait_for "tavrin to find the extension" grep -q 'extension answers' "$E2E_TAVRIN_LOG" ||
    e2e_fail "tavrin did not start"
closed() { (($(grep -c 'popup closed' "$E2E_TAVRIN_LOG") > i)); }
TEXT="$E2E_DIR/window.txt"
/usr/bin/python3 "$gnome/textwin.py" 4 "$TEXT" >/dev/null 2>&1 &
E2E_PIDS+=($!)
e2e_wait_for "the text window" test -e "$TEXT" || e2e_fail "no text window"

peer move 400 300
peer area 416 316 120 40
BEFORE=$PEER
times=()
for ((i = 0; i < PRESSES; i++)); do
    start=$(now_ms)
    "$build/Tavrin/app/tavrin" --popup || e2e_fail "tavrin --popup failed"
    e2e_wait_for "the popup" patch_changed || e2e_fail "no popup"
    times+=($(($(now_ms) - start)))
    peer key Escape
    e2e_wait_for "the popup to close" closed || e2e_fail "the popup did not close"
done
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$((PRESSES / 2 + 1))p")

typing_measure_text "$E2E_DIR/text"
start=$(now_ms)
/usr/bin/python3 -c 'import sys; from gi.repository import Gio, GLib
Gio.bus_get_sync(Gio.BusType.SESSION).call_sync("org.tavrin.ShellExtension",
    "/org/tavrin/ShellExtension", "org.tavrin.ShellExtension1", "TypeText",
    GLib.Variant("(s)", (open(sys.argv[1], encoding="utf-8").read(),)), None, 0, -1, None)' \
    "$E2E_DIR/text" || e2e_fail "TypeText failed"
e2e_wait_for "the whole text" holds_all || e2e_fail "the text did not arrive"
typed=$(($(now_ms) - start))
e2e_wait_quiet "$TEXT"

# An X11 window without an input method, in front of the other: a typed "a" shows that it has
# the keyboard.
X11TEXT="$E2E_DIR/x11-window.txt"
GDK_BACKEND=x11 GTK_IM_MODULE=gtk-im-context-simple /usr/bin/python3 "$gnome/textwin.py" 3 \
    "$X11TEXT" >/dev/null 2>&1 &
E2E_PIDS+=($!)
e2e_wait_for "the X11 text window" test -e "$X11TEXT" || e2e_fail "no X11 text window"
peer move 640 500
for tries in 1 2 3 4 5; do
    peer click
    peer key a
    (E2E_TIMEOUT=2 && e2e_wait_for "an a" test -s "$X11TEXT") 2>/dev/null && break
done
e2e_wait_quiet "$X11TEXT" 500
cat "$X11TEXT" "$E2E_DIR/text" >"$E2E_DIR/x11-expected"
start=$(now_ms)
"$build/tests/e2e/typing/tavrin_type_text" "$E2E_DIR/text" || e2e_fail "the typer failed"
keys=$(($(now_ms) - start))
e2e_wait_quiet "$X11TEXT"

printf '%-40s %9s\n' 'measure (GNOME Shell 43, headless)' result
printf '%-40s %6s ms\n' "--popup to popup shown, median of $PRESSES" "$median"
printf '%-40s %6s ms   %s of 2000 characters wrong\n' 'typing: TypeText into GTK 4' "$typed" \
    "$(typing_wrong "$E2E_DIR/text" "$TEXT")"
printf '%-40s %6s ms   %s of 2000 characters wrong\n' 'typing: keys into X11, no input method' \
    "$keys" "$(typing_wrong "$E2E_DIR/x11-expected" "$X11TEXT")"
