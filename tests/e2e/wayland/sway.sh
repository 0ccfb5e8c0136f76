# Headless sway for the Wayland end-to-end tests. Source it with the script's arguments: it brings
# in the harness and, when run as root, re-runs the script through sway_as_user; then e2e_init.
#
#   sway_as_user "$0" "$@"   when run as root: re-runs the script as an unprivileged user
#                            (created when missing), since sway refuses to run as root, from
#                            copies of it, the harness and the files among its arguments
#   sway_start [OUTPUTS]     headless sway on a 1280x800 output (with 2, a second one of
#                            1280x800 at scale 2 right of it); exports WAYLAND_DISPLAY and
#                            SWAYSOCK, drops DISPLAY; after sway_stop, a sway on the same sockets
#   sway_stop                sway exits, as at the end of a session
#   sway_start_peer WLPEER   the user: a virtual pointer and keyboard held open for the run (or
#                            until sway ends), as physical ones would be, on file descriptors 7
#                            and 8, which every test's subshell inherits
#   peer COMMAND...          a line to the user (wlpeer's commands), once it is done
#   field_focused            wlpeer's text field has the focus
#   patch_changed [BASE]     the output's $PATCH differs from BASE ($E2E_DIR/patch.png)

SWAY_TEST_USER=${SWAY_TEST_USER:-tavrin-e2e}

sway_as_user() {
    [ "$(id -u)" -eq 0 ] || return 0
    id -u "$SWAY_TEST_USER" >/dev/null 2>&1 ||
        useradd --system --no-create-home --shell /usr/sbin/nologin "$SWAY_TEST_USER" || exit 1
    # The checkout may lie where that user cannot read (root's home): the script, the harness
    # and the files named on the command line go to a folder of the user's first.
    local script=$1 stage arg copy args=()
    shift
    stage=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-sway-stage.XXXXXX") || exit 1
    mkdir -p "$stage/e2e/wayland"
    cp "$(dirname "${BASH_SOURCE[0]}")/../harness.sh" "$stage/e2e/"
    cp "$(dirname "${BASH_SOURCE[0]}")"/*.sh "$stage/e2e/wayland/"
    [ -e "$stage/e2e/wayland/${script##*/}" ] || cp "$script" "$stage/e2e/wayland/"
    for arg in "$@"; do
        if [ -f "$arg" ]; then
            copy=$(mktemp -d -p "$stage") && cp -p "$arg" "$copy/" && arg="$copy/${arg##*/}"
        fi
        args+=("$arg")
    done
    chown -R "$SWAY_TEST_USER" "$stage"
    cd "$stage" || exit 1
    TAVRIN_E2E_DIR="$stage/e2e" runuser -u "$SWAY_TEST_USER" -- \
        bash "$stage/e2e/wayland/${script##*/}" "${args[@]}"
    local status=$?
    rm -rf "$stage"
    exit "$status"
}

sway_start() {
    local config="$E2E_DIR/sway.config"
    cat >"$config" <<'CONFIG'
output HEADLESS-1 resolution 1280x800 position 0 0
xwayland disable
focus_follows_mouse no
default_border none
CONFIG
    [ "${1:-1}" = 1 ] || echo 'output HEADLESS-2 resolution 1280x800 position 1280 0 scale 2' >>"$config"
    env WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS="${1:-1}" WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        sway -d --config "$config" >>"$E2E_DIR/sway.log" 2>&1 &
    E2E_PIDS+=($!)
    SWAY_PID=$!
    e2e_wait_for "sway's sockets" sway__sockets || return 1
    unset DISPLAY
}

sway__sockets() {
    kill -0 "$SWAY_PID" 2>/dev/null || e2e_fail "sway exited: $(tail -n5 "$E2E_DIR/sway.log")"
    # sway serves the IPC socket that SWAYSOCK names, if that names none yet.
    local ipc=${SWAYSOCK:-}
    [ -n "$ipc" ] || ipc=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*."$SWAY_PID".sock 2>/dev/null | head -n1)
    [ -S "$ipc" ] && [ -S "$XDG_RUNTIME_DIR/wayland-1" ] || return 1
    export SWAYSOCK=$ipc WAYLAND_DISPLAY=wayland-1
}

sway_stop() {
    swaymsg exit >/dev/null 2>&1
    e2e_wait_for "sway to exit" e2e_ended "$SWAY_PID"
}

sway_start_peer() {
    rm -f "$E2E_DIR/peer.in" "$E2E_DIR/peer.out"
    mkfifo "$E2E_DIR/peer.in" "$E2E_DIR/peer.out"
    "$1" <"$E2E_DIR/peer.in" >"$E2E_DIR/peer.out" 2>>"$E2E_DIR/wlpeer.log" &
    E2E_PIDS+=($!)
    exec 7>"$E2E_DIR/peer.in" 8<"$E2E_DIR/peer.out"
}

peer() {
    echo "$*" >&7 && read -r -t "$E2E_TIMEOUT" reply <&8 &&
        [ "${reply%% *}" = ok ] || e2e_fail "wlpeer did not do: $*"
}

field_focused() {
    swaymsg -t get_tree | jq -e '[.. | objects | select(.app_id? == "wlpeer" and .focused)] != []'
}

patch_changed() {
    grim -g "$PATCH" "$E2E_DIR/now.png" && ! cmp -s "${1:-$E2E_DIR/patch.png}" "$E2E_DIR/now.png"
}

source "$(dirname "${BASH_SOURCE[0]}")/../harness.sh"
sway_as_user "$(readlink -f "$0")" "$@"
