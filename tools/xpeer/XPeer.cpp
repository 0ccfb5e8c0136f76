#include "XPeer.h"

#include <stdexcept>
#include <xcb/xinput.h>
#include <xcb/xtest.h>

namespace tavrin::xpeer {

namespace {
constexpr std::uint32_t anyModifier = XCB_INPUT_MODIFIER_MASK_ANY;
}

Peer::Peer() : connection_(xcb_connect(nullptr, nullptr)) {
    if (xcb_connection_has_error(connection_)) {
        xcb_disconnect(connection_);
        throw std::runtime_error("cannot connect to the X server");
    }
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    // The server takes XInput 2 requests only from clients that announced their version.
    Reply<xcb_input_xi_query_version_reply_t>(xcb_input_xi_query_version_reply(
        connection_, xcb_input_xi_query_version(connection_, 2, 2), nullptr));
}

Peer::~Peer() {
    xcb_disconnect(connection_);
}

void Peer::roundTrip() const {
    Reply<xcb_get_input_focus_reply_t>(
        xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

void Peer::fake(std::uint8_t type, std::uint8_t detail, int x, int y) const {
    xcb_test_fake_input(connection_, type, detail, XCB_CURRENT_TIME,
                        type == XCB_MOTION_NOTIFY ? root_ : XCB_NONE, static_cast<std::int16_t>(x),
                        static_cast<std::int16_t>(y), 0);
    xcb_flush(connection_);
}

std::optional<Popup> Peer::popup() const {
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr));
    if (!tree)
        return std::nullopt;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    // Children come bottom to top: the last match is the one in front.
    for (int index = xcb_query_tree_children_length(tree.get()) - 1; index >= 0; --index) {
        Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
            connection_, xcb_get_window_attributes(connection_, children[index]), nullptr));
        if (!attributes || !attributes->override_redirect ||
            attributes->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(
            connection_, xcb_get_geometry(connection_, children[index]), nullptr));
        if (geometry && geometry->width > 1 && geometry->height > 1)
            return Popup{children[index], geometry->x, geometry->y, geometry->width,
                         geometry->height};
    }
    return std::nullopt;
}

bool Peer::grabButton(std::uint16_t button) const {
    const std::uint32_t events =
        XCB_INPUT_XI_EVENT_MASK_BUTTON_PRESS | XCB_INPUT_XI_EVENT_MASK_BUTTON_RELEASE;
    Reply<xcb_input_xi_passive_grab_device_reply_t> grab(xcb_input_xi_passive_grab_device_reply(
        connection_,
        xcb_input_xi_passive_grab_device(
            connection_, XCB_CURRENT_TIME, root_, XCB_NONE, button, XCB_INPUT_DEVICE_ALL_MASTER, 1,
            1, XCB_INPUT_GRAB_TYPE_BUTTON, XCB_INPUT_GRAB_MODE_22_ASYNC,
            XCB_INPUT_GRAB_MODE_22_ASYNC, false, &events, &anyModifier),
        nullptr));
    // A conflict comes back as the list of modifier combinations that failed.
    return grab && xcb_input_xi_passive_grab_device_modifiers_length(grab.get()) == 0;
}

void Peer::ungrabButton(std::uint16_t button) const {
    xcb_input_xi_passive_ungrab_device(connection_, root_, button, XCB_INPUT_DEVICE_ALL_MASTER, 1,
                                       XCB_INPUT_GRAB_TYPE_BUTTON, &anyModifier);
    roundTrip();
}

xcb_window_t Peer::coverScreen(std::uint32_t events) const {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    const xcb_window_t window = xcb_generate_id(connection_);
    const std::uint32_t values[] = {screen->white_pixel, true, events};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, root_, 0, 0,
                      screen->width_in_pixels, screen->height_in_pixels, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    xcb_map_window(connection_, window);
    roundTrip();
    return window;
}

void Peer::select(xcb_window_t window, std::uint32_t events) const {
    xcb_change_window_attributes(connection_, window, XCB_CW_EVENT_MASK, &events);
}

} // namespace tavrin::xpeer
