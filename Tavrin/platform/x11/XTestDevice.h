#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <xcb/xinput.h>

namespace tavrin {

// The server's XTest devices, through which programs such as this one type, carry its name.
inline bool isXTestDevice(const xcb_input_xi_device_info_t& device) {
    const std::string_view name(
        xcb_input_xi_device_info_name(&device),
        static_cast<std::size_t>(xcb_input_xi_device_info_name_length(&device)));
    return name.find("XTEST") != std::string_view::npos;
}

// The XTest keyboard of the core keyboard. Keys sent through XTest are looked up in its keymap,
// which the core keyboard takes over with the first of them; on Xwayland the compositor's keymap
// is the other keyboard's only, and a keymap written for both is refused where they differ.
std::optional<std::uint16_t> xtestKeyboard(xcb_connection_t* connection,
                                           std::uint16_t coreKeyboard);

} // namespace tavrin
