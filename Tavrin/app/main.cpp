#include "ClickController.h"
#include "app/Backend.h"
#include "app/SettingsLauncher.h"
#include "desktop/InstanceChannel.h"
#include "desktop/SettingsStore.h"
#include "desktop/TrayIcon.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using tavrin::InstanceChannel;

Q_LOGGING_CATEGORY(backendLog, "tavrin.backend")

constexpr const char* usage =
    "Usage: tavrin [--help | --version | --popup]\n"
    "Tavrin turns a spare mouse button into a popup menu at the pointer; the entry you pick is\n"
    "typed into the application in front. It lives in the tray; its settings window assigns\n"
    "the button and edits the entries. Settings: $XDG_CONFIG_HOME/tavrin/tavrin.conf.\n"
    "--popup asks the Tavrin running on this display to open its popup at the pointer, for a\n"
    "keyboard shortcut or a compositor's binding.\n";

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

// QtDBus's thread may still be reading the bus while the exit handlers take down the types it
// needs (Qt 6.4 then warns of invalid types on standard error): a start that has said its word
// leaves without them.
[[noreturn]] void leave(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}

// The options that answer without starting Tavrin; nothing when it is to start.
std::optional<int> answerOptions(int argc, char** argv) {
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
            const QCoreApplication app(argc, argv);
            if (InstanceChannel::send(InstanceChannel::Request::popup))
                leave(0);
            std::fputs("No running Tavrin could be reached in this session.\n", stderr);
            leave(1);
        }
    }
    return std::nullopt;
}

// One instance per session; a later start asks it for its settings window, the one way in
// without a tray. Gives the exit status when this start is to end.
std::optional<int> claimSession(std::unique_ptr<InstanceChannel>& instance) {
    for (int attempt = 0; attempt < claimAttempts; ++attempt) {
        auto claim = InstanceChannel::Claim::noBus;
        instance = InstanceChannel::claim(&claim);
        // Without a session bus Tavrin still runs, alone as far as it can tell (warned).
        if (instance || claim == InstanceChannel::Claim::noBus)
            return std::nullopt;
        if (InstanceChannel::send(InstanceChannel::Request::showSettings)) {
            std::puts("Tavrin is already running in this session; its settings window is shown.");
            return 0;
        }
    }
    std::fputs("Tavrin could neither take the session's name nor reach the instance holding it.\n",
               stderr);
    return 1;
}

int run(int argc, char** argv, tavrin::Backend& backend) {
    qputenv("QT_QPA_PLATFORM", backend.qtPlatform());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavrin"));
    QApplication::setApplicationVersion(QStringLiteral(TAVRIN_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    quitOnSignals();

    std::unique_ptr<InstanceChannel> instance;
    if (const auto ended = claimSession(instance))
        leave(*ended);

    qCInfo(backendLog, "the %s back-end", backend.name());
    const std::unique_ptr<tavrin::Platform> platform = backend.open(
        tavrin::SettingsStore::defaultPath(), QApplication::applicationFilePath(), instance.get());
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

} // namespace

int main(int argc, char** argv) {
    if (const auto answered = answerOptions(argc, argv))
        return *answered;
    const std::unique_ptr<tavrin::Backend> backend = tavrin::chooseBackend();
    if (!backend) {
        std::fputs("Tavrin needs an X11 display or a Wayland compositor, and none could be "
                   "reached (are DISPLAY or WAYLAND_DISPLAY set?).\n",
                   stderr);
        return 1;
    }
    return run(argc, argv, *backend);
}
