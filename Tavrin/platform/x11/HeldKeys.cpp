#include "platform/x11/HeldKeys.h"

#include "platform/x11/XTestDevice.h"
#include "platform/x11/XcbReply.h"

#include <cstdlib>
#include <memory>
#include <xcb/xinput.h>
#include <xcb/xtest.h>

namespace tavrin::heldKeys {
namespace {

// A key state class on the wire: class, length, key count, a pad byte, then one bit a key.
constexpr std::size_t keyBitsOffset = 4;

bool isDown(const std::uint8_t* bits, unsigned keycode) {
    return ((bits[keycode / 8] >> (keycode % 8)) & 1) != 0;
}

void appendHeldOn(xcb_connection_t* connection, const xcb_input_xi_device_info_t& device,
                  std::vector<HeldKey>& held) {
    const XcbReply<xcb_input_query_device_state_reply_t> state(xcb_input_query_device_state_reply(
        connection,
        xcb_input_query_device_state(connection, static_cast<std::uint8_t>(device.deviceid)),
        nullptr));
    if (!state)
        return;
    const bool xtest = isXTestDevice(device);
    for (auto classes = xcb_input_query_device_state_classes_iterator(state.get()); classes.rem > 0;
         xcb_input_input_state_next(&classes)) {
        if (classes.data->class_id != XCB_INPUT_INPUT_CLASS_KEY)
            continue;
        const auto* bits = reinterpret_cast<const std::uint8_t*>(classes.data) + keyBitsOffset;
        for (unsigned keycode = 8; keycode < 256; ++keycode) {
            if (isDown(bits, keycode))
                held.push_back({static_cast<xcb_keycode_t>(keycode), device.deviceid, xtest});
        }
    }
}

} // namespace

std::vector<HeldKey> read(xcb_connection_t* connection) {
    std::vector<HeldKey> held;
    XcbReply<xcb_input_xi_query_version_reply_t>(xcb_input_xi_query_version_reply(
        connection, xcb_input_xi_query_version(connection, 2, 2), nullptr));
    const XcbReply<xcb_input_xi_query_device_reply_t> devices(xcb_input_xi_query_device_reply(
        connection, xcb_input_xi_query_device(connection, XCB_INPUT_DEVICE_ALL), nullptr));
    if (!devices)
        return held;
    for (auto info = xcb_input_xi_query_device_infos_iterator(devices.get()); info.rem > 0;
         xcb_input_xi_device_info_next(&info)) {
        if (info.data->type == XCB_INPUT_DEVICE_TYPE_SLAVE_KEYBOARD)
            appendHeldOn(connection, *info.data, held);
    }
    return held;
}

void release(xcb_connection_t* connection, const HeldKey& key) {
    const xcb_query_extension_reply_t* input = xcb_get_extension_data(connection, &xcb_input_id);
    if (!input || !input->present)
        return;
    xcb_test_fake_input(
        connection, static_cast<std::uint8_t>(input->first_event + XCB_INPUT_DEVICE_KEY_RELEASE),
        key.keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, static_cast<std::uint8_t>(key.device));
}

} // namespace tavrin::heldKeys
