#include "KeySymMaps.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace tavrin::keymap {
namespace {

// One key's map as XKB sends it, in this machine's byte order.
std::vector<std::uint8_t> keyMap(std::array<std::uint8_t, 4> types, std::uint8_t groupInfo,
                                 std::uint8_t width, std::vector<std::uint32_t> keysyms) {
    std::vector<std::uint8_t> bytes(types.begin(), types.end());
    bytes.push_back(groupInfo);
    bytes.push_back(width);
    const auto count = static_cast<std::uint16_t>(keysyms.size());
    const auto* countBytes = reinterpret_cast<const std::uint8_t*>(&count);
    bytes.insert(bytes.end(), countBytes, countBytes + sizeof count);
    const auto* keysymBytes = reinterpret_cast<const std::uint8_t*>(keysyms.data());
    bytes.insert(bytes.end(), keysymBytes, keysymBytes + keysyms.size() * sizeof(std::uint32_t));
    return bytes;
}

// What the typer binds is checked by the end-to-end typing test; here, data the server may send.
TEST(KeySymMapsTest, WritesBackWhatItReadAndRefusesDataCutShort) {
    auto bytes = keyMap({3, 0, 0, 0}, 1, 4, {XKB_KEY_e, XKB_KEY_E, XKB_KEY_EuroSign, XKB_KEY_cent});
    const auto noSymbol = keyMap({0, 0, 0, 0}, 0, 0, {});
    bytes.insert(bytes.end(), noSymbol.begin(), noSymbol.end());
    const auto maps = KeySymMaps::parse(50, 2, bytes);
    ASSERT_TRUE(maps);
    EXPECT_EQ(maps->lastKeycode(), 51u);
    EXPECT_EQ(maps->encode({}).bytes, bytes);

    EXPECT_FALSE(KeySymMaps::parse(50, 3, bytes));
    // Copies of their own size, so that the sanitizer sees any read past their end.
    for (std::size_t cutAt : {bytes.size() - 4, std::size_t{10}}) {
        const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + cutAt);
        EXPECT_FALSE(KeySymMaps::parse(50, 2, cut)) << "cut at " << cutAt;
    }
    EXPECT_TRUE(KeySymMaps::parse(50, 0, {}));
}

TEST(KeySymMapsTest, RepeatsAKeysymOnAnEmptyLevel) {
    EXPECT_EQ(KeySymMaps::KeyMap::holding({XKB_KEY_Eacute, XKB_KEY_NoSymbol}).keysyms,
              (std::vector<std::uint32_t>{XKB_KEY_Eacute, XKB_KEY_Eacute}));
    EXPECT_EQ(KeySymMaps::KeyMap::holding({XKB_KEY_NoSymbol, XKB_KEY_Eacute}).keysyms,
              (std::vector<std::uint32_t>{XKB_KEY_Eacute, XKB_KEY_Eacute}));
}

} // namespace
} // namespace tavrin::keymap
