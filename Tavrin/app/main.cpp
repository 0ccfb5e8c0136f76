#include "ClickController.h"
#include "QtPlatform.h"
#include "SettingsLauncher.h"
#include "SettingsStore.h"
#include "TrayIcon.h"

#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <cstdio>
#include <cstring>
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

QString lockPath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder +
           QStringLiteral("/tavrin-%1.lock").arg(qEnvironmentVariable("DISPLAY").remove(u'/'));
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
    }
    if (!x11DisplayReachable()) {
        std::fputs("Tavrin needs an X11 display, and none could be reached (is DISPLAY set?).\n",
                   stderr);
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavrin"));
    QApplication::setApplicationVersion(QStringLiteral(TAVRIN_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);

    QLockFile instanceLock(lockPath());
    if (!instanceLock.tryLock(0)) {
        std::fputs("Tavrin is already running in this session.\n", stderr);
        return 0;
    }

    tavrin::QtPlatform platform(tavrin::SettingsStore::defaultPath(),
                                QApplication::applicationFilePath());
    tavrin::ClickController controller(platform);
    SettingsLauncher settings(controller);
    TrayIcon tray(controller, [&settings] { settings.open(); });
    return QApplication::exec();
}
