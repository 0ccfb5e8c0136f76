#include "PopupMenu.h"

#include <QApplication>
#include <QCursor>
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
class PopupMenuTest : public testing::Test {
  protected:
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
};

TEST_F(PopupMenuTest, TheKeyboardChoosesARowAndItsActionArrives) {
    std::vector<PopupRow> rows{
        textRow("@", "Mention"),
        textRow("/", "Command"),
        {"\u23CE", "Enter", "\u23CE\u2003Enter", PopupAction::pressKey(SpecialKey::returnKey)}};
    const auto chosen = run(rows, [](QMenu& menu) {
        QTest::keyClick(&menu, Qt::Key_Down);
        QTest::keyClick(&menu, Qt::Key_Down);
        QTest::keyClick(&menu, Qt::Key_Down);
        QTest::keyClick(&menu, Qt::Key_Return);
    });
    ASSERT_TRUE(chosen);
    ASSERT_TRUE(chosen->asPressKey());
    EXPECT_EQ(chosen->asPressKey()->key, SpecialKey::returnKey);
}

TEST_F(PopupMenuTest, DismissingChoosesNothing) {
    std::vector<PopupRow> rows{textRow("@", "Mention")};
    EXPECT_FALSE(run(rows, [](QMenu& menu) { QTest::keyClick(&menu, Qt::Key_Escape); }));
}

TEST_F(PopupMenuTest, AnAmpersandIsShownAndIsNoShortcut) {
    std::vector<PopupRow> rows{textRow("R&D", "x"), textRow("&k", "K&")};
    const auto chosen = run(rows, [](QMenu& menu) {
        QTest::keyClick(&menu, Qt::Key_D);
        QTest::keyClick(&menu, Qt::Key_K);
        QTest::keyClick(&menu, Qt::Key_Escape);
    });
    EXPECT_FALSE(chosen);
}

TEST_F(PopupMenuTest, ItOpensAtThePointer) {
    QCursor::setPos(321, 234);
    ASSERT_TRUE(QTest::qWaitFor([] { return QCursor::pos() == QPoint(321, 234); }, patience));
    std::vector<PopupRow> rows{textRow("@", "Mention")};
    QPoint opened;
    run(rows, [&](QMenu& menu) {
        opened = menu.geometry().topLeft();
        menu.close();
    });
    EXPECT_EQ(opened, QPoint(321, 234));
}

// Columns of dark pixels in one row of the menu's picture, relative to the row's left edge.
std::vector<int> inkColumns(QMenu& menu, QAction* row) {
    const QRect area = menu.actionGeometry(row);
    const QImage picture = menu.grab(area).toImage();
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

TEST_F(PopupMenuTest, TheSymbolIsCentredAt12AndTheLabelStartsAt26) {
    std::vector<PopupRow> rows{textRow("I", "I")};
    std::vector<int> ink;
    run(rows, [&](QMenu& menu) {
        ink = inkColumns(menu, menu.actions().front());
        menu.close();
    });
    ASSERT_GE(ink.size(), 2u);
    // The symbol's ink is one narrow run of columns, the label's the next one.
    std::size_t split = 1;
    while (split < ink.size() && ink[split] == ink[split - 1] + 1)
        ++split;
    ASSERT_LT(split, ink.size());
    const double symbolCentre = (ink.front() + ink[split - 1] + 1) / 2.0;
    EXPECT_NEAR(symbolCentre, 12.0, 1.5);
    EXPECT_GE(ink[split], 26);
    EXPECT_LE(ink[split], 29);
}

TEST_F(PopupMenuTest, TextsAreNeitherCutNorFoldedIntoOneLine) {
    const std::string longLabel(60, 'w');
    std::vector<PopupRow> rows{textRow("a", "one"), textRow("b", "two\nlines"),
                               textRow("c", longLabel)};
    QRect single;
    QRect twoLines;
    int menuWidth = 0;
    int lineHeight = 0;
    int longLabelWidth = 0;
    run(rows, [&](QMenu& menu) {
        single = menu.actionGeometry(menu.actions()[0]);
        twoLines = menu.actionGeometry(menu.actions()[1]);
        menuWidth = menu.width();
        lineHeight = menu.fontMetrics().height();
        longLabelWidth = menu.fontMetrics().horizontalAdvance(QString::fromStdString(longLabel));
        menu.close();
    });
    EXPECT_GE(twoLines.height(), single.height() + lineHeight / 2);
    EXPECT_GE(menuWidth, 26 + longLabelWidth);
}

} // namespace
