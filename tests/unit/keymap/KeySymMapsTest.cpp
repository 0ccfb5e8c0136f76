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

const std::vector<std::uint8_t> noSymbol = keyMap({0, 0, 0, 0}, 0, 0, {});

// Keys 50 (a two-group letter key), 51 as given and 52 (one symbol).
std::vector<std::uint8_t> threeKeys(const std::vector<std::uint8_t>& key51) {
    auto bytes = keyMap({2, 2, 0, 0}, 2, 2,
                        {XKB_KEY_a, XKB_KEY_A, XKB_KEY_Cyrillic_ef, XKB_KEY_Cyrillic_EF});
    bytes.insert(bytes.end(), key51.begin(), key51.end());
    const auto key52 = keyMap({0, 0, 0, 0}, 1, 1, {XKB_KEY_Escape});
    bytes.insert(bytes.end(), key52.begin(), key52.end());
    return bytes;
}

TEST(KeySymMapsTest, ReplacesAKeyAndWritesItsNeighboursBackAsTheyWere) {
    const auto bytes = threeKeys(noSymbol);
    const auto maps = KeySymMaps::parse(50, 3, bytes);
    ASSERT_TRUE(maps);
    EXPECT_EQ(maps->lastKeycode(), 52u);
    EXPECT_TRUE(maps->at(51).keysyms.empty());

    const KeySymMaps::Encoded bound =
        maps->encode({{51, KeySymMaps::KeyMap::holding({0x10020AC, XKB_KEY_Greek_OMEGA})}});
    EXPECT_EQ(bound.bytes, threeKeys(keyMap({1, 1, 1, 1}, 1, 2, {0x10020AC, XKB_KEY_Greek_OMEGA})));
    EXPECT_EQ(bound.keysymCount, 7u);
}

TEST(KeySymMapsTest, RepeatsAKeysymOnAnEmptyLevel) {
    EXPECT_EQ(KeySymMaps::KeyMap::holding({XKB_KEY_Eacute, XKB_KEY_NoSymbol}).keysyms,
              (std::vector<std::uint32_t>{XKB_KEY_Eacute, XKB_KEY_Eacute}));
    EXPECT_EQ(KeySymMaps::KeyMap::holding({XKB_KEY_NoSymbol, XKB_KEY_Eacute}).keysyms,
              (std::vector<std::uint32_t>{XKB_KEY_Eacute, XKB_KEY_Eacute}));
}

TEST(KeySymMapsTest, RefusesDataCutShort) {
    const auto bytes = threeKeys(noSymbol);
    EXPECT_FALSE(KeySymMaps::parse(50, 4, bytes));
    EXPECT_FALSE(KeySymMaps::parse(50, 3, std::span(bytes).first(bytes.size() - 1)));
    EXPECT_FALSE(KeySymMaps::parse(50, 1, std::span(bytes).first(10)));
    EXPECT_TRUE(KeySymMaps::parse(50, 0, {}));
}

} // namespace
} // namespace tavrin::keymap
