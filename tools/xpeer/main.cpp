// The X peer as a command for the end-to-end scripts:
//
//   xpeer popup                 prints "ID X Y WIDTH HEIGHT" of the open popup; exit 1 when none
//   xpeer owner SELECTION       exit 0 when the selection (_NET_SYSTEM_TRAY_S0) has an owner
//   xpeer device-key press|release KEYCODE
//                               the key on the server's own keyboard device, as a user at a
//                               real keyboard would, not on the XTest device

#include "XPeer.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <xcb/xinput.h>
#include <xcb/xtest.h>

using namespace tavrin::xpeer;

namespace {

int owner(const Peer& x, const std::string& selection) {
    Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        x.connection(),
        xcb_intern_atom(x.connection(), false, static_cast<std::uint16_t>(selection.size()),
                        selection.data()),
        nullptr));
    Reply<xcb_get_selection_owner_reply_t> found(
        atom ? xcb_get_selection_owner_reply(
                   x.connection(), xcb_get_selection_owner(x.connection(), atom->atom), nullptr)
             : nullptr);
    return found && found->owner != XCB_NONE ? 0 : 1;
}

std::optional<std::uint8_t> realKeyboardDevice(const Peer& x) {
    Reply<xcb_input_xi_query_device_reply_t> devices(xcb_input_xi_query_device_reply(
        x.connection(), xcb_input_xi_query_device(x.connection(), XCB_INPUT_DEVICE_ALL), nullptr));
    if (!devices)
        return std::nullopt;
    for (auto info = xcb_input_xi_query_device_infos_iterator(devices.get()); info.rem > 0;
         xcb_input_xi_device_info_next(&info)) {
        const std::string_view name(xcb_input_xi_device_info_name(info.data),
                                    xcb_input_xi_device_info_name_length(info.data));
        if (info.data->type == XCB_INPUT_DEVICE_TYPE_SLAVE_KEYBOARD &&
            name.find("XTEST") == std::string_view::npos)
            return static_cast<std::uint8_t>(info.data->deviceid);
    }
    return std::nullopt;
}

int deviceKey(const Peer& x, bool press, std::uint8_t keycode) {
    const auto device = realKeyboardDevice(x);
    const auto* input = xcb_get_extension_data(x.connection(), &xcb_input_id);
    if (!device || !input || !input->present)
        return 1;
    const auto type = press ? XCB_INPUT_DEVICE_KEY_PRESS : XCB_INPUT_DEVICE_KEY_RELEASE;
    Reply<xcb_generic_error_t> error(xcb_request_check(
        x.connection(), xcb_test_fake_input_checked(
                            x.connection(), static_cast<std::uint8_t>(input->first_event + type),
                            keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, *device)));
    return error ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string_view command = argc > 1 ? argv[1] : "";
    try {
        const Peer x;
        if (command == "popup" && argc == 2) {
            const auto popup = x.popup();
            if (popup)
                std::printf("%u %d %d %d %d\n", popup->window, popup->x, popup->y, popup->width,
                            popup->height);
            return popup ? 0 : 1;
        }
        if (command == "owner" && argc == 3)
            return owner(x, argv[2]);
        if (command == "device-key" && argc == 4)
            return deviceKey(x, std::string_view(argv[2]) == "press",
                             static_cast<std::uint8_t>(std::atoi(argv[3])));
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "xpeer: %s\n", error.what());
        return 2;
    }
    std::fprintf(stderr,
                 "usage: xpeer popup | owner SELECTION | device-key press|release KEYCODE\n");
    return 2;
}
