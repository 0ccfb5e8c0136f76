// Stores changes through the utility's own controller and store as fast as it can, until it is
// killed. Each round writes a list whose labels all carry the round number, then "enabled".
#include "ClickController.h"
#include "QtPlatform.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    tavrin::QtPlatform platform(QString::fromLocal8Bit(argv[1]), QStringLiteral("/bin/true"));
    tavrin::ClickController controller(platform);
    std::puts("ready");
    std::fflush(stdout);
    for (int round = 1;; ++round) {
        std::vector<tavrin::MenuItem> items;
        const int count = 1 + round % 5;
        for (int i = 0; i < count; ++i) {
            const std::string label =
                "round " + std::to_string(round) + std::string(round % 7 * 40, '.');
            items.push_back({tavrin::Uuid::random(), label,
                             tavrin::PopupAction::insertText("t\u00E9xt/" + std::to_string(i))});
        }
        controller.setMenuItems(std::move(items));
        controller.setEnabled(round % 2 == 0);
    }
}
