#include "KeySymMaps.h"

#include <array>
#include <gtest/gtest.h>
#include <vector>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace tavrin::keymap {
namespace {

// One key's map as XKB sends it, in this machine's byte order.
void appendKeyMap(std::vector<std::uint8_t>& bytes, std::array<std::uint8_t, 4> types,
                  std::uint8_t groupInfo, std::uint8_t width, std::vector<std::uint32_t> keysyms) {
    bytes.insert(bytes.end(), types.begin(), types.end());
    bytes.push_back(groupInfo);
    bytes.push_back(width);
    const auto count = static_cast<std::uint16_t>(keysyms.size());
    const auto* countBytes = reinterpret_cast<const std::uint8_t*>(&count);
    bytes.insert(bytes.end(), countBytes, countBytes + sizeof count);
    for (std::uint32_t keysym : keysyms) {
        const auto* keysymBytes = reinterpret_cast<const std::uint8_t*>(&keysym);
        bytes.insert(bytes.end(), keysymBytes, keysymBytes + sizeof keysym);
    }
}

// Keys 50 (a two-group letter key), 51 (no symbol) and 52 (one symbol).
std::vector<std::uint8_t> threeKeys() {
    std::vector<std::uint8_t> bytes;
    appendKeyMap(bytes, {2, 2, 0, 0}, 2, 2,
                 {XKB_KEY_a, XKB_KEY_A, XKB_KEY_Cyrillic_ef, XKB_KEY_Cyrillic_EF});
    appendKeyMap(bytes, {0, 0, 0, 0}, 0, 0, {});
    appendKeyMap(bytes, {0, 0, 0, 0}, 1, 1, {XKB_KEY_Escape});
    return bytes;
}

TEST(KeySymMapsTest, WritesBackExactlyWhatItRead) {
    const std::vector<std::uint8_t> bytes = threeKeys();
    const auto maps = KeySymMaps::parse(50, 3, bytes);
    ASSERT_TRUE(maps);
    EXPECT_EQ(maps->firstKeycode(), 50u);
    EXPECT_EQ(maps->lastKeycode(), 52u);
    EXPECT_EQ(maps->at(50).keysyms,
              (std::vector<std::uint32_t>{XKB_KEY_a, XKB_KEY_A, XKB_KEY_Cyrillic_ef,
                                          XKB_KEY_Cyrillic_EF}));
    EXPECT_TRUE(maps->at(51).keysyms.empty());

    const KeySymMaps::Encoded all = maps->encode({});
    EXPECT_EQ(all.bytes, bytes);
    EXPECT_EQ(all.keysymCount, 5u);
}

TEST(KeySymMapsTest, ReplacesAKeyAndLeavesItsNeighbours) {
    const auto maps = KeySymMaps::parse(50, 3, threeKeys());
    ASSERT_TRUE(maps);

    const KeySymMaps::Encoded bound =
        maps->encode({{51, KeySymMaps::KeyMap::holding({0x10020AC, XKB_KEY_Greek_OMEGA})}});
    std::vector<std::uint8_t> expected;
    appendKeyMap(expected, {2, 2, 0, 0}, 2, 2,
                 {XKB_KEY_a, XKB_KEY_A, XKB_KEY_Cyrillic_ef, XKB_KEY_Cyrillic_EF});
    appendKeyMap(expected, {1, 1, 1, 1}, 1, 2, {0x10020AC, XKB_KEY_Greek_OMEGA});
    appendKeyMap(expected, {0, 0, 0, 0}, 1, 1, {XKB_KEY_Escape});
    EXPECT_EQ(bound.bytes, expected);
    EXPECT_EQ(bound.keysymCount, 7u);
}

TEST(KeySymMapsTest, RepeatsAKeysymOnAnEmptyLevel) {
    EXPECT_EQ(KeySymMaps::KeyMap::holding({XKB_KEY_Eacute, XKB_KEY_NoSymbol}).keysyms,
              (std::vector<std::uint32_t>{XKB_KEY_Eacute, XKB_KEY_Eacute}));
    EXPECT_EQ(KeySymMaps::KeyMap::holding({XKB_KEY_NoSymbol, XKB_KEY_Eacute}).keysyms,
              (std::vector<std::uint32_t>{XKB_KEY_Eacute, XKB_KEY_Eacute}));
}

TEST(KeySymMapsTest, RefusesDataCutShort) {
    const std::vector<std::uint8_t> bytes = threeKeys();
    EXPECT_FALSE(KeySymMaps::parse(50, 4, bytes));
    EXPECT_FALSE(KeySymMaps::parse(50, 3, std::span(bytes).first(bytes.size() - 1)));
    EXPECT_FALSE(KeySymMaps::parse(50, 1, std::span(bytes).first(10)));
    EXPECT_TRUE(KeySymMaps::parse(50, 0, {}));
}

} // namespace
} // namespace tavrin::keymap
