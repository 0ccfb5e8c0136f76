#!/usr/bin/env bash
# The utility under a storm of clicks: a few hundred presses of the assigned button (X 9) and of
# buttons 1, 2, 3 and 8, with the popup opening and closing all the while. No press or release
# of button 9 may reach the application, no two popups may be open at once, the utility must
# still answer afterwards, and its resident memory must stay where the warm-up left it.
# Usage: load_test.sh TAVRIN_BINARY XPEER_BINARY [STEPS]
set -u
TAVRIN=$1
export E2E_XPEER=$2
STEPS=${3:-400}
WARM_UP_STEPS=60
# Freed memory waits in the address sanitizer's quarantine, which would read as growth.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}:quarantine_size_mb=0:thread_local_quarantine_size_kb=0"
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

ITEMS='[{"id":"7C9E6679-7425-40DE-944B-E07FC1F90AE7","label":"Mention","action":{"insertText":{"_0":"@"}}},'\
'{"id":"16FD2706-8BAF-433B-82EB-8C7FADA847DA","label":"Word","action":{"insertText":{"_0":"ok, w\u00f6rld"}}}]'
ROWS=2

# The popup opens at the pointer (400,300) and grows to the right and down; 300,200 is outside.
step_actions() {
    case $1 in
    0 | 1 | 2 | 3) echo click 9 ;;
    4) echo mousedown 9 mousemove 420 320 mouseup 9 mousemove 400 300 ;;
    5) echo key Escape ;;
    6) echo mousemove 300 200 click 1 mousemove 400 300 ;;
    7) echo mousemove 300 200 click 3 mousemove 400 300 ;;
    8) echo click 2 ;;
    9) echo click 8 ;;
    esac
}

# STEPS random steps, given to xdotool in batches so that they follow each other closely.
storm() {
    local steps=$1 batch=() step
    for ((step = 1; step <= steps; step++)); do
        # shellcheck disable=SC2207
        batch+=($(step_actions $((RANDOM % 10))))
        if ((step % 10 == 0 || step == steps)); then
            xdotool "${batch[@]}"
            batch=()
        fi
    done
}

# Presses still queued in the utility may open a popup late: it is calm once no popup is open
# and nothing has reached xev for a second.
calm() {
    if "$E2E_XPEER" popup >/dev/null; then
        xdotool key Escape
        return 1
    fi
    e2e__unchanged_for "$E2E_XEV_LOG" 999 && ! "$E2E_XPEER" popup >/dev/null
}

settle() {
    e2e_wait_for "the utility to calm down" calm || e2e_fail "popups keep opening"
}

resident_kb() {
    awk '/^VmRSS:/ {print $2}' "/proc/$E2E_TAVRIN_PID/status"
}

typed_text_is() {
    [ "$(e2e_xev_text)" = "$1" ]
}

test_storm_of_clicks() {
    e2e_start_x || e2e_fail "Xvfb did not start"
    e2e_start_xev || e2e_fail "xev did not start"
    e2e_write_settings true 4 "$ITEMS"
    e2e_start_tavrin "$TAVRIN" || e2e_fail "tavrin did not start"

    RANDOM=7
    storm "$WARM_UP_STEPS"
    settle
    local before after
    before=$(resident_kb)

    local answer
    coproc WATCH { "$E2E_XPEER" popups; }
    E2E_PIDS+=("$WATCH_PID")
    read -r -t "$E2E_TIMEOUT" answer <&"${WATCH[0]}"
    e2e_expect_equal "the popup watch" watching "$answer"
    e2e_xev_sync && e2e_xev_clear

    storm "$STEPS"
    settle
    after=$(resident_kb)
    e2e_xev_sync
    local nines
    nines=$(e2e_xev_buttons | grep -c ' 9$')
    e2e_expect_equal "presses and releases of button 9 at xev" 0 "$nines"

    local watcherInput=${WATCH[1]} watcherOutput=${WATCH[0]} opened most
    exec {watcherInput}>&-
    read -r -t "$E2E_TIMEOUT" _ opened _ most <&"$watcherOutput"
    echo "popups opened during $STEPS steps: $opened"
    ((opened > 0)) || e2e_fail "no popup opened during the storm"
    e2e_expect_equal "most popups open at once" 1 "$most"

    echo "resident memory after warm-up ${before} kB, after the storm ${after} kB"
    # Noise stays within a few hundred kB; a menu kept after each popup adds about 40 kB.
    ((after <= before + before / 20 + 1024)) ||
        e2e_fail "resident memory grew from ${before} kB to ${after} kB"

    e2e_xev_clear
    xdotool mousemove 400 300 click 9
    e2e_wait_popup || e2e_fail "no popup after the storm"
    # shellcheck disable=SC2046
    xdotool mousemove $(e2e_row_point 2 "$ROWS") click 1
    e2e_wait_no_popup || e2e_fail "the popup stayed open after a choice"
    e2e_wait_for "the chosen row to be typed" typed_text_is "ok, wörld" ||
        e2e_fail "typed [$(e2e_xev_text)] instead of the chosen row"
}

e2e_init
E2E_TIMEOUT=120
e2e_run_test "a storm of clicks" test_storm_of_clicks
[ "${E2E_FAILED:-0}" -eq 0 ]
