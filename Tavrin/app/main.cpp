#include "ClickController.h"
#include "InstanceChannel.h"
#include "QtPlatform.h"
#include "SettingsLauncher.h"
#include "SettingsStore.h"
#include "TrayIcon.h"

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <memory>
#include <xcb/xcb.h>

namespace {

constexpr const char* usage =
    "Usage: tavrin [--help | --version]\n"
    "Tavrin turns a spare mouse button into a popup menu at the pointer; the entry you pick is\n"
    "typed into the application in front. It lives in the tray; its settings window assigns\n"
    "the button and edits the entries. Settings: $XDG_CONFIG_HOME/tavrin/tavrin.conf.\n";

bool x11DisplayReachable() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reachable;
}

// The running instance may be ending right now: then this start takes its place.
constexpr int claimAttempts = 3;

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
    }
    if (!x11DisplayReachable()) {
        std::fputs("Tavrin needs an X11 display, and none could be reached (is DISPLAY set?).\n",
                   stderr);
        return 1;
    }
    // One instance per display; a later start asks it for its settings window, the one way in
    // without a tray.
    std::unique_ptr<InstanceChannel> instance;
    for (int attempt = 0; !instance && attempt < claimAttempts; ++attempt) {
        instance = InstanceChannel::claim();
        if (!instance && InstanceChannel::send(InstanceChannel::Request::showSettings)) {
            std::puts("Tavrin is already running on this display; its settings window is shown.");
            return 0;
        }
    }
    if (!instance) {
        std::fputs("Tavrin could neither claim the display nor reach the instance holding it.\n",
                   stderr);
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavrin"));
    QApplication::setApplicationVersion(QStringLiteral(TAVRIN_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);

    tavrin::QtPlatform platform(tavrin::SettingsStore::defaultPath(),
                                QApplication::applicationFilePath());
    tavrin::ClickController controller(platform);
    SettingsLauncher settings(controller);
    TrayIcon tray(controller, [&settings] { settings.open(); });
    instance->listen([&settings](InstanceChannel::Request request) {
        if (request == InstanceChannel::Request::showSettings)
            settings.open();
    });
    return QApplication::exec();
}
