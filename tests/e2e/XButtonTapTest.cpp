#include "XButtonTap.h"

#include "ForeignClient.h"
#include "XInputAccess.h"

#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>
#include <vector>

using namespace tavrin;

namespace {

constexpr int patience = 20000;

std::vector<std::string> describe(const std::vector<ButtonEvent>& events) {
    std::vector<std::string> result;
    for (const ButtonEvent& event : events) {
        result.push_back((event.type == ButtonEventType::press ? "press " : "release ") +
                         std::to_string(event.button));
    }
    return result;
}

using Seen = std::vector<std::string>;

class XButtonTapTest : public testing::Test {
  protected:
    void SetUp() override {
        tap = createX11ButtonTap([this](const ButtonEvent& event) {
            reported.push_back(event);
            return onEvent ? onEvent(event) : Verdict::swallow;
        });
        ASSERT_NE(tap, nullptr);
    }

    // Events reach the tap on Qt's connection, apart from the foreign client's: wait for them.
    Seen waitForReports(std::size_t count) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return reported.size() >= count; }, patience));
        return describe(reported);
    }

    ForeignClient user;
    std::unique_ptr<ButtonTap> tap;
    std::vector<ButtonEvent> reported;
    std::function<Verdict(const ButtonEvent&)> onEvent;
};

TEST_F(XButtonTapTest, TheWatchedButtonIsReportedAndSwallowedWhileOthersPassUntouched) {
    tap->setEnabled(true, WatchedButtons{4});
    for (const int button : {9, 8, 2, 1, 3})
        user.click(static_cast<std::uint8_t>(button));
    user.click(9); // reported after everything before it

    EXPECT_EQ(waitForReports(4), (Seen{"press 4", "release 4", "press 4", "release 4"}));
    EXPECT_EQ(user.seenButtons(), (Seen{"press 8", "release 8", "press 2", "release 2", "press 1",
                                        "release 1", "press 3", "release 3"}));
}

TEST_F(XButtonTapTest, AssignModeWatchesEverySpareButtonInTheStoredNumbering) {
    tap->setEnabled(true, WatchedButtons{});
    for (const int button : {2, 8, 9, 10, 1, 3, 4, 5})
        user.click(static_cast<std::uint8_t>(button));

    EXPECT_EQ(waitForReports(8), (Seen{"press 2", "release 2", "press 3", "release 3", "press 4",
                                       "release 4", "press 5", "release 5"}));
    EXPECT_EQ(user.seenButtons(), (Seen{"press 1", "release 1", "press 3", "release 3", "press 4",
                                        "release 4", "press 5", "release 5"}));
}

TEST_F(XButtonTapTest, NarrowingTheWatchedSetReleasesTheOtherButtons) {
    tap->setEnabled(true, WatchedButtons{});
    tap->setEnabled(true, WatchedButtons{3});
    user.click(9);
    user.click(2);
    user.click(8);

    EXPECT_EQ(waitForReports(2), (Seen{"press 3", "release 3"}));
    EXPECT_EQ(user.seenButtons(), (Seen{"press 9", "release 9", "press 2", "release 2"}));
}

TEST_F(XButtonTapTest, ASwitchedOffTapLetsItsButtonThrough) {
    tap->setEnabled(true, WatchedButtons{4});
    tap->setEnabled(false, WatchedButtons{4});
    user.click(9);

    EXPECT_EQ(user.seenButtons(), (Seen{"press 9", "release 9"}));
}

TEST_F(XButtonTapTest, AButtonHeldByAnotherClientIsTakenOnTheNextTry) {
    ASSERT_TRUE(user.grabButton(9));
    tap->setEnabled(true, WatchedButtons{4});
    user.click(9); // goes to the other client's grab
    user.ungrabButton(9);
    tap->setEnabled(true, WatchedButtons{4});
    user.click(9);

    EXPECT_EQ(waitForReports(2), (Seen{"press 4", "release 4"}));
    EXPECT_TRUE(user.seenButtons().empty());
}

TEST_F(XButtonTapTest, ATapRemovedByItsCallbackWhileTheButtonIsHeldLetsTheReleaseThrough) {
    onEvent = [this](const ButtonEvent&) {
        tap.reset();
        return Verdict::swallow;
    };
    tap->setEnabled(true, WatchedButtons{4});
    user.press(9);
    EXPECT_EQ(waitForReports(1), (Seen{"press 4"}));
    ASSERT_EQ(tap, nullptr);
    user.release(9);

    EXPECT_EQ(user.seenButtons(), (Seen{"release 9"}));
}

TEST_F(XButtonTapTest, EventsOnTheOpenPopupAreReportedOnceAndKeptFromIt) {
    tap->setEnabled(true, WatchedButtons{4});
    QMenu menu;
    QAction* row = menu.addAction(QStringLiteral("row"));
    bool triggered = false;
    QObject::connect(row, &QAction::triggered, [&] { triggered = true; });
    menu.popup(QPoint(380, 280));
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu.isVisible(); }, patience));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu, patience));
    // Over the row, where a click of any button would choose it.
    user.movePointer(390, 285);
    user.click(9);
    user.click(9);

    // Each comes from the master and from the slave device: two copies would show up here.
    EXPECT_EQ(waitForReports(4), (Seen{"press 4", "release 4", "press 4", "release 4"}));
    EXPECT_TRUE(menu.isVisible());
    EXPECT_FALSE(triggered);
    menu.close();
}

TEST(InputAccess, AFullServerGrantsIt) {
    EXPECT_TRUE(x11InputAccess());
}

TEST(InputAccessWithoutXTest, AServerWithoutXTestRefusesIt) {
    EXPECT_FALSE(x11InputAccess());
}

} // namespace
