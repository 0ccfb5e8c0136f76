#include "Keysyms.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace tavrin::keymap {
namespace {

TEST(KeysymsTest, WalksUtf16ByCodePointAndReplacesLoneSurrogates) {
    EXPECT_EQ(codePoints(u"a\U0001F600\u00E9\U0010FFFF\U00010000"),
              (std::vector<char32_t>{U'a', 0x1F600, 0xE9, 0x10FFFF, 0x10000}));
    const char16_t loneHigh[] = {u'x', 0xD83D, u'y', 0};
    const char16_t lowBeforeHigh[] = {0xDE00, 0xD83D, 0};
    const char16_t highAtEnd[] = {u'x', 0xD83D, 0};
    EXPECT_EQ(codePoints(loneHigh), (std::vector<char32_t>{U'x', 0xFFFD, U'y'}));
    EXPECT_EQ(codePoints(lowBeforeHigh), (std::vector<char32_t>{0xFFFD, 0xFFFD}));
    EXPECT_EQ(codePoints(highAtEnd), (std::vector<char32_t>{U'x', 0xFFFD}));
}

TEST(KeysymsTest, TextBecomesKeysymsWithOneReturnPerLineBreakAndNoControlCharacters) {
    const char16_t text[] = u"a\r\nb\rc\n\nd\u0007\te\u0301\u00A0\u0100\u0436\U0001F389";
    EXPECT_EQ(keysymsForText(text),
              (std::vector<xkb_keysym_t>{XKB_KEY_a, XKB_KEY_Return, XKB_KEY_b, XKB_KEY_Return,
                                         XKB_KEY_c, XKB_KEY_Return, XKB_KEY_Return, XKB_KEY_d,
                                         XKB_KEY_Tab, XKB_KEY_e, 0x1000301, XKB_KEY_nobreakspace,
                                         0x1000100, 0x1000436, 0x101F389}));
    for (char32_t untypable : {0x00, 0x07, 0x1B, 0x7F, 0x85, 0x9F, 0xD800, 0xDFFF, 0x110000})
        EXPECT_FALSE(keysymForCharacter(untypable)) << std::hex << static_cast<unsigned>(untypable);
}

TEST(KeysymsTest, LegacyAndUnicodeKeysymsOfOneCharacterMeet) {
    EXPECT_EQ(normalizedKeysym(XKB_KEY_Cyrillic_zhe), keysymForCharacter(U'\u0436'));
    EXPECT_EQ(normalizedKeysym(0x1000436), keysymForCharacter(U'\u0436'));
    EXPECT_EQ(normalizedKeysym(0x10000E4), keysymForCharacter(U'\u00E4'));
    EXPECT_EQ(normalizedKeysym(XKB_KEY_EuroSign), keysymForCharacter(U'\u20AC'));
    for (xkb_keysym_t kept : {XKB_KEY_Return, XKB_KEY_Tab, XKB_KEY_Escape, XKB_KEY_dead_acute})
        EXPECT_EQ(normalizedKeysym(kept), kept);
    // Keypad keys change with NumLock: never the place to type a digit or a line break.
    for (xkb_keysym_t keypad : {XKB_KEY_KP_1, XKB_KEY_KP_Enter, XKB_KEY_KP_Space})
        EXPECT_FALSE(normalizedKeysym(keypad));
}

} // namespace
} // namespace tavrin::keymap
