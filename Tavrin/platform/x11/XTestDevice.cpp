#include "platform/x11/XTestDevice.h"

#include "platform/x11/XcbReply.h"

namespace tavrin {

std::optional<std::uint16_t> xtestKeyboard(xcb_connection_t* connection,
                                           std::uint16_t coreKeyboard) {
    XcbReply<xcb_input_xi_query_version_reply_t>(xcb_input_xi_query_version_reply(
        connection, xcb_input_xi_query_version(connection, 2, 2), nullptr));
    const XcbReply<xcb_input_xi_query_device_reply_t> devices(xcb_input_xi_query_device_reply(
        connection, xcb_input_xi_query_device(connection, XCB_INPUT_DEVICE_ALL), nullptr));
    if (!devices)
        return std::nullopt;
    for (auto info = xcb_input_xi_query_device_infos_iterator(devices.get()); info.rem > 0;
         xcb_input_xi_device_info_next(&info)) {
        if (info.data->type == XCB_INPUT_DEVICE_TYPE_SLAVE_KEYBOARD &&
            info.data->attachment == coreKeyboard && isXTestDevice(*info.data))
            return info.data->deviceid;
    }
    return std::nullopt;
}

} // namespace tavrin
