#include "platform/x11/RepaintProbe.h"

#include "xpeer/XPeer.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string_view>

using namespace tavrin;

namespace {

// Java's top-level window as Swing builds it: an unnamed focus proxy that takes the keys, beside
// the content window it draws in; the test plays Swing, answering an Expose by drawing.
class RepaintProbeTest : public testing::Test, protected xpeer::Peer {
  protected:
    xcb_window_t create(xcb_window_t parent, std::uint16_t windowClass, std::int16_t x,
                        std::int16_t y, std::uint16_t width, std::uint16_t height,
                        std::uint32_t events) const {
        const xcb_window_t window = xcb_generate_id(connection());
        xcb_create_window(connection(),
                          windowClass == XCB_WINDOW_CLASS_INPUT_ONLY ? 0 : XCB_COPY_FROM_PARENT,
                          window, parent, x, y, width, height, 0, windowClass, XCB_COPY_FROM_PARENT,
                          XCB_CW_EVENT_MASK, &events);
        xcb_map_window(connection(), window);
        return window;
    }
};

void roundTripOf(xcb_connection_t* connection) {
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

TEST_F(RepaintProbeTest, AsksJavasContentWindowAndTakesOnlyTheCopyOfItsPixelAsTheAnswer) {
    const xcb_window_t topLevel = create(root(), XCB_WINDOW_CLASS_INPUT_OUTPUT, 0, 0, 300, 200, 0);
    const xcb_window_t proxy =
        create(topLevel, XCB_WINDOW_CLASS_INPUT_ONLY, 0, 0, 1, 1, XCB_EVENT_MASK_KEY_PRESS);
    const xcb_window_t content =
        create(topLevel, XCB_WINDOW_CLASS_INPUT_OUTPUT, 0, 0, 300, 200, XCB_EVENT_MASK_EXPOSURE);
    constexpr std::string_view name = "Content window";
    xcb_change_property(connection(), XCB_PROP_MODE_REPLACE, content, XCB_ATOM_WM_NAME,
                        XCB_ATOM_STRING, 8, name.size(), name.data());
    roundTrip();
    while (xpeer::Reply<xcb_generic_event_t>(xcb_poll_for_event(connection()))) {
    }

    xcb_connection_t* tavrin = xcb_connect(nullptr, nullptr);
    {
        RepaintProbe probe(tavrin, proxy);
        ASSERT_TRUE(probe.usable());
        probe.ask();
        roundTripOf(tavrin);
        roundTrip();
        const xpeer::Reply<xcb_generic_event_t> event(xcb_poll_for_event(connection()));
        ASSERT_TRUE(event && (event->response_type & 0x7f) == XCB_EXPOSE);
        const auto& expose = reinterpret_cast<const xcb_expose_event_t&>(*event);
        EXPECT_EQ(expose.window, content);

        // Other pixels repainted before Swing copies the one asked for from its back buffer:
        // the caret blinking.
        const xcb_gcontext_t gc = xcb_generate_id(connection());
        xcb_create_gc(connection(), gc, content, 0, nullptr);
        const auto x = static_cast<std::int16_t>(expose.x);
        const auto y = static_cast<std::int16_t>(expose.y);
        for (const xcb_rectangle_t rectangle :
             {xcb_rectangle_t{static_cast<std::int16_t>(x + 8), y, 1, 1},
              xcb_rectangle_t{x, static_cast<std::int16_t>(y + 8), 1, 1},
              xcb_rectangle_t{x, y, expose.width, expose.height}}) {
            xcb_poly_fill_rectangle(connection(), content, gc, 1, &rectangle);
            roundTrip();
        }
        roundTripOf(tavrin);
        std::vector<bool> answers;
        while (const xpeer::Reply<xcb_generic_event_t> damage{xcb_poll_for_event(tavrin)})
            answers.push_back(probe.isAnswer(*damage));
        ASSERT_FALSE(answers.empty());
        EXPECT_TRUE(answers.back());
        EXPECT_EQ(std::ranges::count(answers, true), 1);
    }
    xcb_disconnect(tavrin);
}

} // namespace
