#include "Keysyms.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace tavrin::keymap {
namespace {

TEST(KeysymsTest, WalksUtf16ByCodePoint) {
    EXPECT_EQ(codePoints(u"a\U0001F600\u00E9"), (std::vector<char32_t>{U'a', 0x1F600, 0xE9}));
    EXPECT_EQ(codePoints(u"\U0010FFFF"), (std::vector<char32_t>{0x10FFFF}));

    const char16_t loneHigh[] = {u'x', 0xD83D, u'y', 0};
    const char16_t lowBeforeHigh[] = {0xDE00, 0xD83D, 0};
    const char16_t highAtEnd[] = {u'x', 0xD83D, 0};
    EXPECT_EQ(codePoints(loneHigh), (std::vector<char32_t>{U'x', 0xFFFD, U'y'}));
    EXPECT_EQ(codePoints(lowBeforeHigh), (std::vector<char32_t>{0xFFFD, 0xFFFD}));
    EXPECT_EQ(codePoints(highAtEnd), (std::vector<char32_t>{U'x', 0xFFFD}));
    EXPECT_TRUE(codePoints(u"").empty());
}

TEST(KeysymsTest, GivesEachCharacterTheKeysymThatTypesIt) {
    EXPECT_EQ(keysymForCharacter(U'a'), XKB_KEY_a);
    EXPECT_EQ(keysymForCharacter(U' '), XKB_KEY_space);
    EXPECT_EQ(keysymForCharacter(U'\u00FF'), XKB_KEY_ydiaeresis);
    EXPECT_EQ(keysymForCharacter(U'\u00A0'), XKB_KEY_nobreakspace);
    EXPECT_EQ(keysymForCharacter(U'\u0436'), 0x1000436u);
    EXPECT_EQ(keysymForCharacter(U'\u0301'), 0x1000301u);
    EXPECT_EQ(keysymForCharacter(U'\U0001F600'), 0x101F600u);
    EXPECT_EQ(keysymForCharacter(U'\n'), XKB_KEY_Return);
    EXPECT_EQ(keysymForCharacter(U'\r'), XKB_KEY_Return);
    EXPECT_EQ(keysymForCharacter(U'\t'), XKB_KEY_Tab);

    for (char32_t untypable : {0x00, 0x07, 0x1B, 0x7F, 0x85, 0x9F, 0xD800, 0xDFFF, 0x110000})
        EXPECT_FALSE(keysymForCharacter(untypable)) << std::hex << static_cast<unsigned>(untypable);
}

TEST(KeysymsTest, LegacyAndUnicodeKeysymsOfOneCharacterMeet) {
    EXPECT_EQ(normalizedKeysym(XKB_KEY_Cyrillic_zhe), keysymForCharacter(U'\u0436'));
    EXPECT_EQ(normalizedKeysym(0x1000436), keysymForCharacter(U'\u0436'));
    EXPECT_EQ(normalizedKeysym(XKB_KEY_EuroSign), keysymForCharacter(U'\u20AC'));
    EXPECT_EQ(normalizedKeysym(XKB_KEY_Greek_OMEGA), keysymForCharacter(U'\u03A9'));
    EXPECT_EQ(normalizedKeysym(XKB_KEY_numerosign), keysymForCharacter(U'\u2116'));
    EXPECT_EQ(normalizedKeysym(XKB_KEY_adiaeresis), keysymForCharacter(U'\u00E4'));
    EXPECT_EQ(normalizedKeysym(XKB_KEY_Return), XKB_KEY_Return);
    EXPECT_EQ(normalizedKeysym(XKB_KEY_Tab), XKB_KEY_Tab);
    EXPECT_EQ(normalizedKeysym(XKB_KEY_Escape), XKB_KEY_Escape);
    EXPECT_EQ(normalizedKeysym(XKB_KEY_BackSpace), XKB_KEY_BackSpace);
    EXPECT_EQ(normalizedKeysym(XKB_KEY_dead_acute), XKB_KEY_dead_acute);

    // Keypad keys change with NumLock: never the place to type a digit or a line break.
    EXPECT_FALSE(normalizedKeysym(XKB_KEY_KP_1));
    EXPECT_FALSE(normalizedKeysym(XKB_KEY_KP_Enter));
    EXPECT_FALSE(normalizedKeysym(XKB_KEY_KP_Space));
}

TEST(KeysymsTest, TurnsTextIntoKeysymsWithOneReturnPerLineBreak) {
    const char16_t text[] = u"a\r\nb\rc\nd\u0007\te\u0301\U0001F389";
    EXPECT_EQ(keysymsForText(text),
              (std::vector<xkb_keysym_t>{XKB_KEY_a, XKB_KEY_Return, XKB_KEY_b, XKB_KEY_Return,
                                         XKB_KEY_c, XKB_KEY_Return, XKB_KEY_d, XKB_KEY_Tab,
                                         XKB_KEY_e, 0x1000301, 0x101F389}));
    EXPECT_EQ(keysymsForText(u"\n\n"), (std::vector<xkb_keysym_t>{XKB_KEY_Return, XKB_KEY_Return}));
    EXPECT_TRUE(keysymsForText(u"").empty());
}

} // namespace
} // namespace tavrin::keymap
