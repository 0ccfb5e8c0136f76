// The X peer as a command for the end-to-end scripts:
//
//   xpeer popup                 prints "ID X Y WIDTH HEIGHT" of the open popup; exit 1 when none
//   xpeer owner SELECTION       exit 0 when the selection (_NET_SYSTEM_TRAY_S0) has an owner
//   xpeer device-key press|release KEYCODE
//                               the key on the server's own keyboard device, as a user at a
//                               real keyboard would, not on the XTest device
//   xpeer lock-group GROUP      locks the keyboard group (0 for the first), as a layout switch
//   xpeer locked-group          prints the locked keyboard group

#include "XPeer.h"
#include "platform/x11/XcbXkb.h"

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

bool useXkb(const Peer& x) {
    Reply<xcb_xkb_use_extension_reply_t> xkb(xcb_xkb_use_extension_reply(
        x.connection(), xcb_xkb_use_extension(x.connection(), 1, 0), nullptr));
    return xkb && xkb->supported;
}

int lockGroup(const Peer& x, std::uint8_t group) {
    if (!useXkb(x))
        return 1;
    Reply<xcb_generic_error_t> error(xcb_request_check(
        x.connection(), xcb_xkb_latch_lock_state_checked(x.connection(), XCB_XKB_ID_USE_CORE_KBD, 0,
                                                         0, true, group, 0, false, 0)));
    return error ? 1 : 0;
}

int printLockedGroup(const Peer& x) {
    Reply<xcb_xkb_get_state_reply_t> state(
        useXkb(x) ? xcb_xkb_get_state_reply(
                        x.connection(), xcb_xkb_get_state(x.connection(), XCB_XKB_ID_USE_CORE_KBD),
                        nullptr)
                  : nullptr);
    if (!state)
        return 1;
    std::printf("%u\n", state->lockedGroup);
    return 0;
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
        if (command == "lock-group" && argc == 3)
            return lockGroup(x, static_cast<std::uint8_t>(std::atoi(argv[2])));
        if (command == "locked-group" && argc == 2)
            return printLockedGroup(x);
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "xpeer: %s\n", error.what());
        return 2;
    }
    std::fprintf(stderr,
                 "usage: xpeer popup | owner SELECTION | device-key press|release KEYCODE | "
                 "lock-group GROUP | locked-group\n");
    return 2;
}
