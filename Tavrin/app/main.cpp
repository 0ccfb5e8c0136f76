#include "ClickController.h"
#include "InstanceChannel.h"
#include "QtPlatform.h"
#include "SettingsLauncher.h"
#include "SettingsStore.h"
#include "TrayIcon.h"
#include "WaylandConnection.h"
#include "WaylandPlatform.h"

#include <QApplication>
#include <QLockFile>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

constexpr const char* usage =
    "Usage: tavrin [--help | --version | --popup]\n"
    "Tavrin turns a spare mouse button into a popup menu at the pointer; the entry you pick is\n"
    "typed into the application in front. It lives in the tray; its settings window assigns\n"
    "the button and edits the entries. Settings: $XDG_CONFIG_HOME/tavrin/tavrin.conf.\n"
    "--popup asks the Tavrin running on this display to open its popup at the pointer, for a\n"
    "keyboard shortcut or a compositor's binding.\n";

bool x11DisplayReachable() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reachable;
}

// The running instance may be ending right now: then this start takes its place.
constexpr int claimAttempts = 3;

// A termination request ends the event loop like Quit does, so that what Tavrin set up in the
// compositor or the X server (bindings, grabs) is taken down again.
int quitSignalSocket = -1;

void quitOnSignals() {
    int sockets[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0)
        return;
    quitSignalSocket = sockets[0];
    auto* notifier = new QSocketNotifier(sockets[1], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, &QCoreApplication::quit);
    struct sigaction action {};
    action.sa_handler = [](int) {
        const char byte = 1;
        [[maybe_unused]] const auto written = write(quitSignalSocket, &byte, 1);
    };
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Tavrin %s\n", TAVRIN_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--popup") == 0) {
            if (InstanceChannel::send(InstanceChannel::Request::popup))
                return 0;
            std::fputs("No running Tavrin could be reached on this display.\n", stderr);
            return 1;
        }
    }
    // Native on a compositor that offers what Tavrin needs (or when there is no X display to
    // fall back on, so that the status tells what is missing); X11 everywhere else.
    std::unique_ptr<tavrin::WaylandConnection> wayland = tavrin::WaylandConnection::connect();
    // The X display is tried only when needed: Xwayland may start on a first connection.
    if (wayland && !wayland->missingProtocols().empty() && x11DisplayReachable())
        wayland.reset();
    if (!wayland && !x11DisplayReachable()) {
        std::fputs("Tavrin needs an X11 display or a Wayland compositor, and none could be "
                   "reached (are DISPLAY or WAYLAND_DISPLAY set?).\n",
                   stderr);
        return 1;
    }
    // One instance per display; a later start asks it for its settings window, the one way in
    // without a tray.
    std::unique_ptr<InstanceChannel> instance;
    if (!wayland || x11DisplayReachable()) {
        for (int attempt = 0; !instance && attempt < claimAttempts; ++attempt) {
            instance = InstanceChannel::claim();
            if (!instance && InstanceChannel::send(InstanceChannel::Request::showSettings)) {
                std::puts(
                    "Tavrin is already running on this display; its settings window is shown.");
                return 0;
            }
        }
        if (!instance) {
            std::fputs(
                "Tavrin could neither claim the display nor reach the instance holding it.\n",
                stderr);
            return 1;
        }
    }
    // Without Qt's Wayland plugin the windows go through Xwayland; the back-end stays native.
    qputenv("QT_QPA_PLATFORM", wayland ? "wayland;xcb" : "xcb");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavrin"));
    QApplication::setApplicationVersion(QStringLiteral(TAVRIN_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    quitOnSignals();

    // Without an X display, one instance per Wayland display is all a lock can give.
    QLockFile waylandLock(tavrin::WaylandConnection::runtimeFile(QStringLiteral("lock")));
    if (!instance && !waylandLock.tryLock(0)) {
        std::puts("Tavrin is already running on this Wayland display.");
        return 0;
    }

    std::unique_ptr<tavrin::QtPlatform> platform;
    if (wayland)
        platform = std::make_unique<tavrin::WaylandPlatform>(std::move(wayland),
                                                             tavrin::SettingsStore::defaultPath(),
                                                             QApplication::applicationFilePath());
    else
        platform = std::make_unique<tavrin::QtPlatform>(tavrin::SettingsStore::defaultPath(),
                                                        QApplication::applicationFilePath());
    tavrin::ClickController controller(*platform);
    SettingsLauncher settings(controller);
    TrayIcon tray(controller, [&settings] { settings.open(); });
    if (instance) {
        instance->listen([&settings, &controller](InstanceChannel::Request request) {
            if (request == InstanceChannel::Request::showSettings)
                settings.open();
            else if (request == InstanceChannel::Request::popup)
                controller.openPopup();
        });
    }
    return QApplication::exec();
}
