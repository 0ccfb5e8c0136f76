# Headless GNOME Shell for the GNOME end-to-end test and benchmark; source after harness.sh and
# e2e_init.
#
#   gnome_start EXTENSION_DIR   private system and session buses and a headless GNOME Shell on
#                               a 1280x800 virtual monitor, the extension installed into HOME
#                               and enabled; exports DBUS_SESSION_BUS_ADDRESS, WAYLAND_DISPLAY,
#                               DISPLAY and XAUTHORITY (Xwayland) and IBUS_ADDRESS
#   gnome_stop                  ends the shell and everything it and the buses started

gnome_start() {
    local extensions="$HOME/.local/share/gnome-shell/extensions"
    mkdir -p "$extensions" && cp -r "$1" "$extensions/" || return 1
    export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$E2E_DIR/system-bus"
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_DIR/session-bus"
    export WAYLAND_DISPLAY=wayland-0 GSK_RENDERER=cairo
    # One process group for the buses, the shell and all they spawn (Xwayland, IBus, the
    # accessibility bus), so that gnome_stop leaves nothing behind. GNOME Shell 43 aborts
    # without a system bus; the session bus's configuration serves as one without services.
    setsid bash -c '
        for bus in "$DBUS_SYSTEM_BUS_ADDRESS" "$DBUS_SESSION_BUS_ADDRESS"; do
            dbus-daemon --nofork --config-file=/usr/share/dbus-1/session.conf --address="$bus" &
        done
        until [ -S "${DBUS_SYSTEM_BUS_ADDRESS#unix:path=}" ] &&
            [ -S "${DBUS_SESSION_BUS_ADDRESS#unix:path=}" ]; do sleep 0.02; done
        gsettings set org.gnome.shell disable-user-extensions false &&
            gsettings set org.gnome.shell enabled-extensions "[\"tavrin@tavrin.org\", \"ubuntu-appindicators@ubuntu.com\"]" &&
            gsettings set org.gnome.mutter center-new-windows true &&
            gsettings set org.gnome.desktop.interface enable-animations false &&
            exec gnome-shell --headless --wayland --virtual-monitor 1280x800' \
        >"$E2E_DIR/shell.log" 2>&1 &
    GNOME_GROUP=$!
    e2e_wait_for "GNOME Shell and its Xwayland" gnome__ready || return 1
    # It starts in the overview, which takes the keyboard: out of it, once it is fully in.
    e2e_wait_for "the overview" gnome__overview true || return 1
    gnome__shell Set org.gnome.Shell OverviewActive '<false>' >/dev/null &&
        e2e_wait_for "the overview to close" gnome__overview false || return 1
    export DISPLAY XAUTHORITY IBUS_ADDRESS
    XAUTHORITY=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* | head -n1)
    IBUS_ADDRESS=$(sed -n 's/^IBUS_ADDRESS=//p' "$XDG_CONFIG_HOME"/ibus/bus/*-wayland-0)
}

gnome__ready() {
    kill -0 "$GNOME_GROUP" 2>/dev/null || e2e_fail "GNOME Shell exited: $(tail -n5 "$E2E_DIR/shell.log")"
    DISPLAY=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$E2E_DIR/shell.log")
    [ -n "$DISPLAY" ] && gdbus call --session -d org.tavrin.ShellExtension \
        -o /org/tavrin/ShellExtension -m org.tavrin.ShellExtension1.Version >/dev/null 2>&1 &&
        compgen -G "$XDG_CONFIG_HOME/ibus/bus/*-wayland-0" >/dev/null
}

gnome__shell() {
    gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell \
        -m "org.freedesktop.DBus.Properties.$1" "${@:2}"
}
gnome__overview() { [ "$(gnome__shell Get org.gnome.Shell OverviewActive)" = "(<$1>,)" ]; }

gnome_stop() {
    [ -n "${GNOME_GROUP:-}" ] || return 0
    # IBus may have left the group when the shell restarted it.
    [ -z "${IBUS_ADDRESS:-}" ] || ibus exit >/dev/null 2>&1
    kill -TERM -- "-$GNOME_GROUP" 2>/dev/null
    e2e_wait_for "GNOME Shell to end" e2e_ended "$GNOME_GROUP" || kill -KILL -- "-$GNOME_GROUP"
    GNOME_GROUP=
}
