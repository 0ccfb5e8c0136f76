#include "xkb/KeySymMaps.h"

#include <cstring>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace tavrin::keymap {
namespace {

// Each key's map: four type indexes, group info, width, a 16-bit keysym count, then the keysyms
// in 32 bits, all in the connection's byte order.
constexpr std::size_t headerSize = 8;
constexpr std::uint8_t twoLevelType = 1; // XKB's second canonical type: Shift gives level two
constexpr std::uint8_t oneGroup = 1;

template <typename T> T load(const std::uint8_t* bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

template <typename T> void append(std::vector<std::uint8_t>& bytes, T value) {
    const auto offset = bytes.size();
    bytes.resize(offset + sizeof value);
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

} // namespace

std::optional<KeySymMaps> KeySymMaps::parse(xkb_keycode_t firstKeycode, std::size_t keyCount,
                                            std::span<const std::uint8_t> data) {
    KeySymMaps maps;
    maps.firstKeycode_ = firstKeycode;
    std::size_t offset = 0;
    for (std::size_t key = 0; key < keyCount; ++key) {
        if (offset + headerSize > data.size())
            return std::nullopt;
        KeyMap map;
        std::memcpy(map.typeIndexes.data(), data.data() + offset, map.typeIndexes.size());
        map.groupInfo = data[offset + 4];
        map.width = data[offset + 5];
        const auto keysymCount = load<std::uint16_t>(data.data() + offset + 6);
        offset += headerSize;
        if (offset + std::size_t{keysymCount} * 4 > data.size())
            return std::nullopt;
        for (std::size_t i = 0; i < keysymCount; ++i, offset += 4)
            map.keysyms.push_back(load<std::uint32_t>(data.data() + offset));
        maps.keys_.push_back(std::move(map));
    }
    return maps;
}

KeySymMaps::KeyMap KeySymMaps::KeyMap::holding(std::array<xkb_keysym_t, 2> keysyms) {
    const xkb_keysym_t plain = keysyms[0] == XKB_KEY_NoSymbol ? keysyms[1] : keysyms[0];
    const xkb_keysym_t shifted = keysyms[1] == XKB_KEY_NoSymbol ? keysyms[0] : keysyms[1];
    return {
        {twoLevelType, twoLevelType, twoLevelType, twoLevelType}, oneGroup, 2, {plain, shifted}};
}

KeySymMaps::Encoded KeySymMaps::encode(const std::map<xkb_keycode_t, KeyMap>& replaced) const {
    Encoded encoded;
    for (std::size_t index = 0; index < keys_.size(); ++index) {
        const auto found = replaced.find(firstKeycode_ + static_cast<xkb_keycode_t>(index));
        const KeyMap& map = found == replaced.end() ? keys_[index] : found->second;
        encoded.bytes.insert(encoded.bytes.end(), map.typeIndexes.begin(), map.typeIndexes.end());
        encoded.bytes.push_back(map.groupInfo);
        encoded.bytes.push_back(map.width);
        append(encoded.bytes, static_cast<std::uint16_t>(map.keysyms.size()));
        for (std::uint32_t keysym : map.keysyms)
            append(encoded.bytes, keysym);
        encoded.keysymCount = static_cast<std::uint16_t>(encoded.keysymCount + map.keysyms.size());
    }
    return encoded;
}

} // namespace tavrin::keymap
