#include "PopupMenu.h"

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <optional>

using namespace tavrin;

namespace {

constexpr int patience = 20000;

PopupRow textRow(const std::string& symbol, const std::string& label) {
    return {symbol, label, symbol + "\u2003" + label, PopupAction::insertText(symbol)};
}

// Runs the popup with whatever the user does once it is on screen, and tells what was chosen.
std::optional<PopupAction> run(std::vector<PopupRow>& rows,
                               const std::function<void(QMenu&)>& user) {
    QTimer watcher;
    bool acted = false;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu && !acted && menu->isVisible() && menu->windowHandle()->isExposed()) {
            acted = true;
            user(*menu);
        }
    });
    watcher.start(10);
    // Nothing on screen after this long is a failure, not a hang.
    QTimer::singleShot(patience, [] {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    });
    std::optional<PopupAction> chosen;
    showPopupMenu(rows, [&](const PopupAction& action) {
        rows.clear(); // the caller's rows may change once the choice is made
        chosen = action;
    });
    EXPECT_TRUE(acted);
    return chosen;
}

// Columns of dark pixels in one row of the menu's picture, relative to the row's left edge.
std::vector<int> inkColumns(QMenu& menu, QAction* row) {
    const QImage picture = menu.grab(menu.actionGeometry(row)).toImage();
    std::vector<int> columns;
    for (int x = 0; x < picture.width(); ++x) {
        for (int y = 0; y < picture.height(); ++y) {
            if (qGray(picture.pixel(x, y)) < 128) {
                columns.push_back(x);
                break;
            }
        }
    }
    return columns;
}

TEST(PopupMenuTest, AnAmpersandIsNoShortcutAndTheKeyboardChoosesARow) {
    std::vector<PopupRow> rows{textRow("R&D", "x"), textRow("&k", "K&"), textRow("z", "plain")};
    const auto chosen = run(rows, [](QMenu& menu) {
        for (const auto key :
             {Qt::Key_D, Qt::Key_K, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return})
            QTest::keyClick(&menu, key);
    });
    EXPECT_EQ(chosen, PopupAction::insertText("z"));
}

TEST(PopupMenuTest, TheSymbolIsCentredAt12AndTheLabelStartsAt26NeitherCutNorFolded) {
    const QString longLabel(60, u'w');
    std::vector<PopupRow> rows{textRow("I", "I"), textRow("b", "two\nlines"),
                               textRow("c", longLabel.toStdString())};
    run(rows, [&](QMenu& menu) {
        const QList<QAction*> actions = menu.actions();
        const QFontMetrics metrics = menu.fontMetrics();
        EXPECT_GE(menu.actionGeometry(actions[1]).height(),
                  menu.actionGeometry(actions[0]).height() + metrics.height() / 2);
        EXPECT_GE(menu.width(), 26 + metrics.horizontalAdvance(longLabel));
        const std::vector<int> ink = inkColumns(menu, actions[0]);
        menu.close();

        // The symbol's ink is one narrow run of columns, the label's the next one.
        std::size_t split = 1;
        while (split < ink.size() && ink[split] == ink[split - 1] + 1)
            ++split;
        ASSERT_LT(split, ink.size());
        EXPECT_NEAR((ink.front() + ink[split - 1] + 1) / 2.0, 12.0, 1.0);
        EXPECT_GE(ink[split], 26);
        EXPECT_LE(ink[split], 29);
    });
}

} // namespace
