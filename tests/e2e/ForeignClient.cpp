#include "ForeignClient.h"

#include <cstdlib>
#include <stdexcept>
#include <xcb/xinput.h>
#include <xcb/xtest.h>

namespace {

constexpr std::uint32_t anyModifier = XCB_INPUT_MODIFIER_MASK_ANY;

} // namespace

ForeignClient::ForeignClient() : connection_(xcb_connect(nullptr, nullptr)) {
    if (xcb_connection_has_error(connection_))
        throw std::runtime_error("no X display");
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    root_ = screen->root;
    const xcb_window_t window = xcb_generate_id(connection_);
    const std::uint32_t values[] = {screen->white_pixel, true,
                                    XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, root_, 0, 0,
                      screen->width_in_pixels, screen->height_in_pixels, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    xcb_map_window(connection_, window);
    free(xcb_input_xi_query_version_reply(connection_,
                                          xcb_input_xi_query_version(connection_, 2, 2), nullptr));
    movePointer(400, 300);
}

ForeignClient::~ForeignClient() {
    xcb_disconnect(connection_);
}

void ForeignClient::fakeInput(std::uint8_t type, std::uint8_t detail, int x, int y) {
    xcb_test_fake_input(connection_, type, detail, XCB_CURRENT_TIME,
                        type == XCB_MOTION_NOTIFY ? root_ : XCB_NONE, static_cast<std::int16_t>(x),
                        static_cast<std::int16_t>(y), 0);
    sync();
}

bool ForeignClient::grabButton(std::uint32_t button) {
    const std::uint32_t mask =
        XCB_INPUT_XI_EVENT_MASK_BUTTON_PRESS | XCB_INPUT_XI_EVENT_MASK_BUTTON_RELEASE;
    auto* reply = xcb_input_xi_passive_grab_device_reply(
        connection_,
        xcb_input_xi_passive_grab_device(connection_, XCB_CURRENT_TIME, root_, XCB_NONE, button,
                                         XCB_INPUT_DEVICE_ALL_MASTER, 1, 1,
                                         XCB_INPUT_GRAB_TYPE_BUTTON, XCB_INPUT_GRAB_MODE_22_ASYNC,
                                         XCB_INPUT_GRAB_MODE_22_ASYNC, false, &mask, &anyModifier),
        nullptr);
    const bool granted = reply && xcb_input_xi_passive_grab_device_modifiers_length(reply) == 0;
    free(reply);
    return granted;
}

void ForeignClient::ungrabButton(std::uint32_t button) {
    xcb_input_xi_passive_ungrab_device(connection_, root_, button, XCB_INPUT_DEVICE_ALL_MASTER, 1,
                                       XCB_INPUT_GRAB_TYPE_BUTTON, &anyModifier);
    sync();
}

std::vector<std::string> ForeignClient::takeSeenButtons() {
    sync();
    std::vector<std::string> seen;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        const auto type = event->response_type & 0x7f;
        if (type == XCB_BUTTON_PRESS || type == XCB_BUTTON_RELEASE) {
            const auto* button = reinterpret_cast<xcb_button_press_event_t*>(event);
            seen.push_back((type == XCB_BUTTON_PRESS ? "press " : "release ") +
                           std::to_string(button->detail));
        }
        free(event);
    }
    return seen;
}

// A reply comes after every event that the server generated before it: after a round trip the
// events caused by earlier requests are in hand.
void ForeignClient::sync() {
    free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}
