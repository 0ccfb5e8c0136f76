#!/usr/bin/env bash
# Figures of the release build, all on one private X server in one run:
#   start-up to the tray icon      median of several starts, from exec to the icon mapped in the
#                                  tray host (target 300 ms or less)
#   resident memory while idle     VmRSS once it has stopped changing (target 40 MB or less)
#   wake-ups while idle            context switches of all its threads, with the input access
#                                  granted, per minute over two idle spans of IDLE_SECONDS: the
#                                  first right after start-up, then the next (target none)
#   press to popup                 XTest press of the assigned button to the popup's MapNotify,
#                                  median and 95th percentile of 50 presses
#   typing                         a 2,000-character mixed Unicode text into a raw terminal: the
#                                  utility's typer beside xdotool type (default delay, --delay 0);
#                                  then into mousepad, featherpad, Chromium, Firefox, LibreOffice
#                                  Writer (X11 and GTK 3), KWrite, a Java Swing text area and
#                                  kitty under openbox (browsers without tabs): the typer beside xdotool type
#                                  (default delay), the time until the last key is handled
#                                  (target: none wrong, 2 s or less)
# Usage: scripts/bench.sh [IDLE_SECONDS]     (default 60)
#        BENCH_APPLICATIONS="kwrite swing" scripts/bench.sh   application rows for those only
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench"
idleSeconds=${1:-60}
STARTS=7

[ -f "$build/build.ninja" ] ||
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRIN_SANITIZE=OFF \
        >/dev/null || exit 1
cmake --build "$build" -j2 --target tavrin xpeer xbench tavrin_type_text >/dev/null || exit 1
tavrin="$build/Tavrin/app/tavrin"
xbench="$build/tools/xbench"

export E2E_XPEER="$build/tools/xpeer"
source "$root/tests/e2e/harness.sh"
source "$root/scripts/raw-terminal.sh"
source "$root/scripts/typing-measure.sh"
source "$root/tests/e2e/typing/applications.sh"

row() {
    printf '%-40s %9s %-4s  %s\n' "$@"
}

# VALUE / DIVISOR with DECIMALS places
quotient() {
    awk "BEGIN {printf \"%.$3f\", $1 / $2}"
}

median() {
    sort -n | awk '{value[NR] = $1} END {print value[int((NR + 1) / 2)]}'
}

# Starts the utility and adds the milliseconds until its tray icon is mapped to startups; it
# keeps running as $E2E_TAVRIN_PID.
start_once() {
    local answer="$E2E_DIR/startup"
    "$xbench" startup tavrin "$tavrin" >"$answer" 2>>"$E2E_DIR/tavrin.log"
    local status=$? milliseconds
    read -r milliseconds E2E_TAVRIN_PID <"$answer"
    E2E_PIDS+=("$E2E_TAVRIN_PID")
    ((status == 0)) || { echo "tavrin showed no tray icon" >&2; exit 1; }
    startups+=("$milliseconds")
}

process_gone() {
    [ ! -e "/proc/$1" ]
}

stop_tavrin() {
    kill "$E2E_TAVRIN_PID"
    e2e_wait_for "tavrin to stop" process_gone "$E2E_TAVRIN_PID" || exit 1
}

resident_kb() {
    awk '/^VmRSS:/ {print $2}' "/proc/$E2E_TAVRIN_PID/status"
}

resident_steady() {
    local before
    before=$(resident_kb)
    sleep 1
    [ "$(resident_kb)" = "$before" ]
}

# A thread that sleeps and wakes is switched out and in once: the sum over all threads counts
# every wake-up (and every preemption, which needs running work).
context_switches() {
    cat /proc/"$E2E_TAVRIN_PID"/task/*/status |
        awk '/^(non)?voluntary_ctxt_switches:/ {sum += $2} END {print sum}'
}

# Typers write their diagnostics to the log, not into the table.
quietly() {
    "$@" 2>>"$E2E_DIR/typing.log"
}

typing_row() {
    local name=$1
    shift
    typing_measure "$text" quietly "$@" || exit 1
    typingRows+=("$(row "$name" "$(quotient "$TYPING_MILLISECONDS" 1000 2)" s \
        "$TYPING_WRONG of $characters characters wrong")")
}

application_text_is_steady() {
    local before
    before=$(application_text) && [ "$(application_text)" = "$before" ]
}

# The typer returns once the application has handled its last key; xdotool does not wait, so
# its time runs until what the application holds stops changing.
application_typing_row() {
    local name=$1 expected=$2
    shift 2
    local start end
    start=$(date +%s%N)
    quietly "$@"
    if [ "$1" = xdotool ]; then
        e2e_wait_for "$APPLICATION to settle" application_text_is_steady || exit 1
    fi
    end=$(date +%s%N)
    application_text >"$E2E_DIR/received" || exit 1
    typingRows+=("$(row "$name" "$(quotient $(((end - start) / 1000000)) 1000 2)" s \
        "$(typing_wrong "$expected" "$E2E_DIR/received") of $characters characters wrong")")
    application_clear
}

# Each application on an X server and window manager of its own: every keymap change that
# xdotool makes has the window manager grab its keys anew, which keeps it busy long after.
application_typing_rows() {
    local application expected first
    local applications=(mousepad featherpad chromium firefox writer-gen writer-gtk3 kwrite swing kitty)
    # shellcheck disable=SC2206
    [ -z "${BENCH_APPLICATIONS:-}" ] || applications=($BENCH_APPLICATIONS)
    for application in "${applications[@]}"; do
        first=${#E2E_PIDS[@]}
        e2e_start_x || exit 1
        setxkbmap -rules evdev -model pc105 -layout us || exit 1
        e2e_start_wm || exit 1
        application_start "$application" || exit 1
        expected="$E2E_DIR/expected-$application"
        application_text_for "$application" "$text" >"$expected"
        application_typing_row "$application: tavrin" "$expected" \
            "$build/tests/e2e/typing/tavrin_type_text" "$expected"
        application_typing_row "$application: xdotool type (12 ms)" "$expected" \
            xdotool type --file "$expected"
        # The window manager may still be busy with xdotool's keymap changes, deaf to a TERM.
        { kill -9 "${E2E_PIDS[@]:first}" && e2e__stop_from "$first"; } 2>/dev/null
    done
}

e2e_init
e2e_start_x || exit 1
setxkbmap -rules evdev -model pc105 -layout us || exit 1
e2e_start_xev || exit 1
e2e_start_tray || exit 1
e2e_write_settings true 4

startups=()
for ((start = 1; start <= STARTS; start++)); do
    start_once
    ((start == STARTS)) || stop_tavrin
done
startup=$(printf '%s\n' "${startups[@]}" | median)

e2e_wait_for "resident memory to settle" resident_steady || exit 1
resident=$(resident_kb)

wakeups=()
for _ in first next; do
    switchesBefore=$(context_switches)
    sleep "$idleSeconds"
    wakeups+=($((($(context_switches) - switchesBefore) * 60 / idleSeconds)))
done

read -r _ presses _ popupMedian _ _ popupP95 _ _ popupMax _ < <("$xbench" popup 50 9)
stop_tavrin

text="$E2E_DIR/text"
typing_measure_text "$text"
characters=$(wc -m <"$text")
typingRows=()
typing_row "typing: tavrin" "$build/tests/e2e/typing/tavrin_type_text" "$text"
typing_row "typing: xdotool type --delay 0" xdotool type --delay 0 --file "$text"
typing_row "typing: xdotool type (12 ms delay)" xdotool type --file "$text"
application_typing_rows

row "measure" "result" "" "target"
row "start-up to tray icon, median of $STARTS" "$startup" ms "300 ms or less"
row "resident memory, idle" "$(quotient "$resident" 1024 1)" MB "40 MB or less"
row "wake-ups, first $idleSeconds s idle" "${wakeups[0]}" /min "none"
row "wake-ups, next $idleSeconds s idle" "${wakeups[1]}" /min "none"
row "press to popup, median of $presses" "$popupMedian" ms "25 ms or less"
row "press to popup, 95th percentile" "$popupP95" ms "50 ms or less"
row "press to popup, slowest" "$popupMax" ms ""
printf '%s\n' "${typingRows[@]}"
echo "start-ups (ms): ${startups[*]}"
