#include "ItemCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Whatever decodes must encode again and decode to the same list.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavrin;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto result = itemCodec::decode(bytes);
    const auto* items = std::get_if<std::vector<MenuItem>>(&result);
    if (!items)
        return 0;
    const auto encoded = itemCodec::encode(*items);
    if (!encoded)
        std::abort();
    const auto again = itemCodec::decode(*encoded);
    const auto* reread = std::get_if<std::vector<MenuItem>>(&again);
    if (!reread || *reread != *items || itemCodec::encode(*reread) != encoded)
        std::abort();
    return 0;
}
