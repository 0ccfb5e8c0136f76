#include "platform/x11/XButtonTap.h"

#include "platform/x11/XInputAccess.h"
#include "xpeer/XPeer.h"

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

using namespace tavrin;

namespace {

constexpr int patience = 20000;
using Seen = std::vector<std::string>;

// The user through XTest, and the application in front: a window recording the buttons it
// gets; the tap reports what it takes.
class XButtonTapTest : public testing::Test, protected xpeer::Peer {
  protected:
    void SetUp() override {
        coverScreen(XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE);
        input(XCB_MOTION_NOTIFY, 0, 400, 300);
        tap = createX11ButtonTap([this](const ButtonEvent& event) {
            reported.push_back((event.type == ButtonEventType::press ? "press " : "release ") +
                               std::to_string(event.button));
            return onEvent ? onEvent() : Verdict::swallow;
        });
        ASSERT_NE(tap, nullptr);
    }

    void input(std::uint8_t type, std::uint8_t detail, int x = 0, int y = 0) {
        fake(type, detail, x, y);
        roundTrip();
    }

    // The button events that reached the window since the last call, oldest first.
    Seen takeSeenButtons() {
        roundTrip();
        Seen seen;
        while (xpeer::Reply<xcb_generic_event_t> event{xcb_poll_for_event(connection())}) {
            const auto type = event->response_type & 0x7f;
            if (type == XCB_BUTTON_PRESS || type == XCB_BUTTON_RELEASE)
                seen.push_back(
                    (type == XCB_BUTTON_PRESS ? "press " : "release ") +
                    std::to_string(
                        reinterpret_cast<xcb_button_press_event_t*>(event.get())->detail));
        }
        return seen;
    }

    void click(std::initializer_list<std::uint8_t> buttons) {
        for (const std::uint8_t button : buttons) {
            input(XCB_BUTTON_PRESS, button);
            input(XCB_BUTTON_RELEASE, button);
        }
    }
    // Reports come through Qt's event loop, apart from the foreign client's: wait for them. A
    // watched button clicked last shows that nothing clicked before it was reported.
    Seen takeReports(std::size_t count) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return reported.size() >= count; }, patience));
        return std::exchange(reported, {});
    }

    std::unique_ptr<ButtonTap> tap;
    Seen reported;
    std::function<Verdict()> onEvent;
};

TEST_F(XButtonTapTest, AssignModeTakesEverySpareButtonUntilTheSetNarrows) {
    tap->setEnabled(true, WatchedButtons{});
    click({1, 3, 4, 5, 2, 8, 9, 10});
    EXPECT_EQ(takeReports(8), (Seen{"press 2", "release 2", "press 3", "release 3", "press 4",
                                    "release 4", "press 5", "release 5"}));
    EXPECT_EQ(takeSeenButtons(), (Seen{"press 1", "release 1", "press 3", "release 3", "press 4",
                                       "release 4", "press 5", "release 5"}));

    tap->setEnabled(true, WatchedButtons{1}); // neither the secondary button nor the wheel
    click({3, 6});
    tap->setEnabled(true, WatchedButtons{3});
    click({9, 2, 8});
    EXPECT_EQ(takeReports(2), (Seen{"press 3", "release 3"}));
    EXPECT_EQ(takeSeenButtons(), (Seen{"press 3", "release 3", "press 6", "release 6", "press 9",
                                       "release 9", "press 2", "release 2"}));
}

TEST_F(XButtonTapTest, AButtonHeldByAnotherClientIsTakenOnTheNextTry) {
    tap->setEnabled(true, WatchedButtons{28});
    EXPECT_EQ(tap->watchState(), WatchState::beyondReach) << "X button 33 and up go ungrabbed";
    ASSERT_TRUE(grabButton(9));
    tap->setEnabled(true, WatchedButtons{4});
    EXPECT_EQ(tap->watchState(), WatchState::heldByAnotherProgram);
    click({9}); // goes to the other client's grab
    ungrabButton(9);
    tap->setEnabled(true, WatchedButtons{4});
    EXPECT_EQ(tap->watchState(), WatchState::watching);
    click({9});
    EXPECT_EQ(takeReports(2), (Seen{"press 4", "release 4"}));
    EXPECT_TRUE(takeSeenButtons().empty());
}

TEST_F(XButtonTapTest, ATapRemovedByItsCallbackWhileTheButtonIsHeldLetsTheReleaseThrough) {
    onEvent = [this] {
        tap.reset();
        return Verdict::swallow;
    };
    tap->setEnabled(true, WatchedButtons{4});
    input(XCB_BUTTON_PRESS, 9);
    EXPECT_EQ(takeReports(1), (Seen{"press 4"}));
    ASSERT_EQ(tap, nullptr);
    input(XCB_BUTTON_RELEASE, 9);
    EXPECT_EQ(takeSeenButtons(), (Seen{"release 9"}));
}

TEST_F(XButtonTapTest, EventsOnTheOpenPopupAreReportedOnceAndKeptFromIt) {
    tap->setEnabled(true, WatchedButtons{4});
    QMenu menu;
    bool triggered = false;
    QObject::connect(menu.addAction(QStringLiteral("row")), &QAction::triggered,
                     [&] { triggered = true; });
    menu.popup(QPoint(380, 280));
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu.isVisible(); }, patience));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu, patience));
    // Over the row, where a click of any button would choose it; the menu still follows the
    // pointer, so the tap keeps its hands off other input events.
    input(XCB_MOTION_NOTIFY, 0, 390, 285);
    EXPECT_TRUE(QTest::qWaitFor([&] { return menu.activeAction() != nullptr; }, patience));
    click({9, 9});
    // Each comes from the master and from the slave device: two copies would show up here.
    EXPECT_EQ(takeReports(4), (Seen{"press 4", "release 4", "press 4", "release 4"}));
    EXPECT_TRUE(menu.isVisible());
    EXPECT_FALSE(triggered);
}

TEST(InputAccessWithoutXTest, AServerWithoutXTestRefusesIt) {
    EXPECT_FALSE(x11InputAccess());
}

} // namespace

// The X pieces need a real X server: the test runs on a private Xvfb (see with-xvfb.sh).
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
