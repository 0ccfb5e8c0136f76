// Types the text of a file into the focused window through Tavrin's virtual keyboard, as the
// utility does after a choice, and prints how long that took in milliseconds.
#include "VirtualKeyboard.h"
#include "WaylandConnection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QFile file(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString());
    if (!file.open(QIODevice::ReadOnly))
        return 2;
    const QString text = QString::fromUtf8(file.readAll());
    auto connection = tavrin::WaylandConnection::connect();
    auto keyboard = connection ? tavrin::VirtualKeyboard::create(*connection) : nullptr;
    if (!keyboard)
        return 1;
    QElapsedTimer timer;
    timer.start();
    keyboard->typeText(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                           static_cast<std::size_t>(text.size())));
    std::printf("%lld\n", static_cast<long long>(timer.elapsed()));
    return 0;
}
