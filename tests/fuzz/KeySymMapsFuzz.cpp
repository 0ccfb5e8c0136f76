#include "xkb/KeySymMaps.h"

#include <cstdlib>

// GetMap's key maps as the X server sends them: what parses must write back byte for byte.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::span<const std::uint8_t> maps(data + 1, size - 1);
    const auto parsed = tavrin::keymap::KeySymMaps::parse(8, data[0], maps);
    if (!parsed)
        return 0;
    const auto written = parsed->encode({}).bytes;
    if (written.size() > maps.size() || !std::equal(written.begin(), written.end(), maps.begin()))
        std::abort();
    return 0;
}
