#pragma once

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

} // namespace tavrin
