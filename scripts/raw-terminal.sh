# An xterm in raw mode that writes every byte it receives from the keyboard to a file: what an
# application in a terminal would read. Source after tests/e2e/harness.sh.
#
#   raw_terminal_start FILE   xterm in front, focused, its shell already in raw mode, its input
#                             going to FILE; its window is $RAW_TERMINAL_WINDOW
#   raw_terminal_stop         closes it

raw_terminal_start() {
    RAW_TERMINAL_FILE=$1
    rm -f "$RAW_TERMINAL_FILE"
    # The file appears only once stty has run: nothing typed after that is cooked or echoed.
    xterm -geometry 100x30+0+0 -name tavrin-raw-terminal \
        -e sh -c 'stty raw -echo && exec cat >"$0"' "$RAW_TERMINAL_FILE" \
        >"$E2E_DIR/xterm.log" 2>&1 &
    RAW_TERMINAL_PID=$!
    E2E_PIDS+=($!)
    e2e_wait_for "the raw terminal window" raw_terminal__find || return 1
    e2e_wait_for "the raw terminal to be viewable" e2e__viewable "$RAW_TERMINAL_WINDOW" || return 1
    e2e_wait_for "the raw terminal's shell" test -e "$RAW_TERMINAL_FILE" || return 1
    xdotool windowfocus --sync "$RAW_TERMINAL_WINDOW"
}

raw_terminal_stop() {
    kill "$RAW_TERMINAL_PID" 2>/dev/null
    wait "$RAW_TERMINAL_PID" 2>/dev/null
}

raw_terminal__find() {
    RAW_TERMINAL_WINDOW=$(xdotool search --classname '^tavrin-raw-terminal$' 2>/dev/null | head -n1)
    [ -n "$RAW_TERMINAL_WINDOW" ]
}
