#include "platform/x11/FocusedClient.h"

#include <vector>

// A property reply as an X server may send it: the header's count is the server's word, the
// length is what xcb read from the wire.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < sizeof(xcb_get_property_reply_t))
        return 0;
    const std::size_t length = (size - sizeof(xcb_get_property_reply_t)) / 4;
    std::vector<std::uint8_t> reply(data, data + sizeof(xcb_get_property_reply_t) + length * 4);
    auto* header = reinterpret_cast<xcb_get_property_reply_t*>(reply.data());
    header->length = static_cast<std::uint32_t>(length);
    volatile std::uint32_t sum = 0;
    for (const std::uint32_t word : tavrin::propertyWords(*header))
        sum = sum + word;
    return 0;
}
