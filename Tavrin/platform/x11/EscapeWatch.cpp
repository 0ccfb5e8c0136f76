#include "platform/x11/EscapeWatch.h"

#include "platform/x11/XTestDevice.h"
#include "platform/x11/XcbReply.h"

#include <algorithm>
#include <xcb/xinput.h>

namespace tavrin {

EscapeWatch::EscapeWatch(xcb_connection_t* connection, xcb_keycode_t escape)
    : connection_(connection), escape_(escape) {
    const xcb_query_extension_reply_t* input = xcb_get_extension_data(connection_, &xcb_input_id);
    const XcbReply<xcb_input_xi_query_version_reply_t> version(xcb_input_xi_query_version_reply(
        connection_, xcb_input_xi_query_version(connection_, 2, 2), nullptr));
    const XcbReply<xcb_input_xi_query_device_reply_t> devices(xcb_input_xi_query_device_reply(
        connection_, xcb_input_xi_query_device(connection_, XCB_INPUT_DEVICE_ALL), nullptr));
    if (!input || !input->present || !version || !devices)
        return;
    for (auto info = xcb_input_xi_query_device_infos_iterator(devices.get()); info.rem > 0;
         xcb_input_xi_device_info_next(&info)) {
        if (isXTestDevice(*info.data))
            xtestDevices_.push_back(info.data->deviceid);
    }
    xinput_ = input->major_opcode;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    listen(true);
}

EscapeWatch::~EscapeWatch() {
    if (root_ != XCB_NONE)
        listen(false);
}

// On the master keyboard, each press comes once, with the keyboard it came from as its source.
void EscapeWatch::listen(bool on) {
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t bits;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
           on ? std::uint32_t{XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS} : 0u};
    xcb_input_xi_select_events(connection_, root_, 1, &mask.head);
    xcb_flush(connection_);
}

void EscapeWatch::notice(const xcb_generic_event_t& event) {
    if ((event.response_type & 0x7f) != XCB_GE_GENERIC)
        return;
    const auto& generic = reinterpret_cast<const xcb_ge_generic_event_t&>(event);
    if (generic.extension != xinput_ || generic.event_type != XCB_INPUT_RAW_KEY_PRESS)
        return;
    const auto& key = reinterpret_cast<const xcb_input_raw_key_press_event_t&>(event);
    if (key.detail == escape_ &&
        std::ranges::find(xtestDevices_, key.sourceid) == xtestDevices_.end())
        pressed_ = true;
}

bool EscapeWatch::pressed() {
    while (const XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(connection_)})
        notice(*event);
    return pressed_;
}

} // namespace tavrin
