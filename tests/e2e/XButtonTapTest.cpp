#include "XButtonTap.h"

#include "XInputAccess.h"

#include <QMenu>
#include <QTest>
#include <cstdlib>
#include <gtest/gtest.h>
#include <stdexcept>
#include <xcb/xinput.h>
#include <xcb/xtest.h>

using namespace tavrin;

namespace {

constexpr int patience = 20000;
constexpr std::uint32_t anyModifier = XCB_INPUT_MODIFIER_MASK_ANY;
using Seen = std::vector<std::string>;

// A second X client beside the tap: it acts as the user through XTest, stands as the application
// in front with a window that records the button events reaching it, and holds grabs of its own.
class ForeignClient {
  public:
    ForeignClient() : connection_(xcb_connect(nullptr, nullptr)) {
        if (xcb_connection_has_error(connection_))
            throw std::runtime_error("no X display");
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        root_ = screen->root;
        const xcb_window_t window = xcb_generate_id(connection_);
        const std::uint32_t values[] = {
            screen->white_pixel, true, XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE};
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, root_, 0, 0,
                          screen->width_in_pixels, screen->height_in_pixels, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        xcb_map_window(connection_, window);
        std::free(xcb_input_xi_query_version_reply(
            connection_, xcb_input_xi_query_version(connection_, 2, 2), nullptr));
        movePointer(400, 300);
    }
    ~ForeignClient() { xcb_disconnect(connection_); }
    ForeignClient(const ForeignClient&) = delete;
    ForeignClient& operator=(const ForeignClient&) = delete;

    void press(std::uint8_t button) { fakeInput(XCB_BUTTON_PRESS, button); }
    void release(std::uint8_t button) { fakeInput(XCB_BUTTON_RELEASE, button); }
    void movePointer(int x, int y) { fakeInput(XCB_MOTION_NOTIFY, 0, x, y); }

    // A passive grab of the button on the root window, as another program would hold.
    bool grabButton(std::uint32_t button) {
        const std::uint32_t mask =
            XCB_INPUT_XI_EVENT_MASK_BUTTON_PRESS | XCB_INPUT_XI_EVENT_MASK_BUTTON_RELEASE;
        auto* reply = xcb_input_xi_passive_grab_device_reply(
            connection_,
            xcb_input_xi_passive_grab_device(
                connection_, XCB_CURRENT_TIME, root_, XCB_NONE, button, XCB_INPUT_DEVICE_ALL_MASTER,
                1, 1, XCB_INPUT_GRAB_TYPE_BUTTON, XCB_INPUT_GRAB_MODE_22_ASYNC,
                XCB_INPUT_GRAB_MODE_22_ASYNC, false, &mask, &anyModifier),
            nullptr);
        const bool granted = reply && xcb_input_xi_passive_grab_device_modifiers_length(reply) == 0;
        std::free(reply);
        return granted;
    }
    void ungrabButton(std::uint32_t button) {
        xcb_input_xi_passive_ungrab_device(connection_, root_, button, XCB_INPUT_DEVICE_ALL_MASTER,
                                           1, XCB_INPUT_GRAB_TYPE_BUTTON, &anyModifier);
        sync();
    }

    // The button events that reached the window since the last call, oldest first.
    Seen takeSeenButtons() {
        sync();
        Seen seen;
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            const auto type = event->response_type & 0x7f;
            if (type == XCB_BUTTON_PRESS || type == XCB_BUTTON_RELEASE) {
                seen.push_back(
                    (type == XCB_BUTTON_PRESS ? "press " : "release ") +
                    std::to_string(reinterpret_cast<xcb_button_press_event_t*>(event)->detail));
            }
            std::free(event);
        }
        return seen;
    }

  private:
    void fakeInput(std::uint8_t type, std::uint8_t detail, int x = 0, int y = 0) {
        xcb_test_fake_input(connection_, type, detail, XCB_CURRENT_TIME,
                            type == XCB_MOTION_NOTIFY ? root_ : XCB_NONE,
                            static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), 0);
        sync();
    }
    // A reply comes after every event that the server generated before it: after a round trip
    // the events caused by earlier requests are in hand.
    void sync() {
        std::free(
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }

    xcb_connection_t* connection_;
    xcb_window_t root_ = XCB_NONE;
};

class XButtonTapTest : public testing::Test {
  protected:
    void SetUp() override {
        tap = createX11ButtonTap([this](const ButtonEvent& event) {
            reported.push_back((event.type == ButtonEventType::press ? "press " : "release ") +
                               std::to_string(event.button));
            return onEvent ? onEvent() : Verdict::swallow;
        });
        ASSERT_NE(tap, nullptr);
    }

    void click(std::initializer_list<std::uint8_t> buttons) {
        for (const std::uint8_t button : buttons) {
            user.press(button);
            user.release(button);
        }
    }
    // Reports come through Qt's event loop, apart from the foreign client's: wait for them. A
    // watched button clicked last shows that nothing clicked before it was reported.
    Seen takeReports(std::size_t count) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return reported.size() >= count; }, patience));
        return std::exchange(reported, {});
    }

    ForeignClient user;
    std::unique_ptr<ButtonTap> tap;
    Seen reported;
    std::function<Verdict()> onEvent;
};

TEST_F(XButtonTapTest, AssignModeTakesEverySpareButtonUntilTheSetNarrows) {
    tap->setEnabled(true, WatchedButtons{});
    click({1, 3, 4, 5, 2, 8, 9, 10});
    EXPECT_EQ(takeReports(8), (Seen{"press 2", "release 2", "press 3", "release 3", "press 4",
                                    "release 4", "press 5", "release 5"}));
    EXPECT_EQ(user.takeSeenButtons(), (Seen{"press 1", "release 1", "press 3", "release 3",
                                            "press 4", "release 4", "press 5", "release 5"}));

    tap->setEnabled(true, WatchedButtons{3});
    click({9, 2, 8});
    EXPECT_EQ(takeReports(2), (Seen{"press 3", "release 3"}));
    EXPECT_EQ(user.takeSeenButtons(), (Seen{"press 9", "release 9", "press 2", "release 2"}));
}

TEST_F(XButtonTapTest, AButtonHeldByAnotherClientIsTakenOnTheNextTry) {
    ASSERT_TRUE(user.grabButton(9));
    tap->setEnabled(true, WatchedButtons{4});
    click({9}); // goes to the other client's grab
    user.ungrabButton(9);
    tap->setEnabled(true, WatchedButtons{4});
    click({9});
    EXPECT_EQ(takeReports(2), (Seen{"press 4", "release 4"}));
    EXPECT_TRUE(user.takeSeenButtons().empty());
}

TEST_F(XButtonTapTest, ATapRemovedByItsCallbackWhileTheButtonIsHeldLetsTheReleaseThrough) {
    onEvent = [this] {
        tap.reset();
        return Verdict::swallow;
    };
    tap->setEnabled(true, WatchedButtons{4});
    user.press(9);
    EXPECT_EQ(takeReports(1), (Seen{"press 4"}));
    ASSERT_EQ(tap, nullptr);
    user.release(9);
    EXPECT_EQ(user.takeSeenButtons(), (Seen{"release 9"}));
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
    // Over the row, where a click of any button would choose it.
    user.movePointer(390, 285);
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
