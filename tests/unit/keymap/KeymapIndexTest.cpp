#include "KeymapIndex.h"

#include "CompiledKeymap.h"
#include "Keysyms.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace tavrin::keymap {
namespace {

// evdev keycodes of a pc105 keyboard
constexpr xkb_keycode_t controlLeft = 37;
constexpr xkb_keycode_t letterA = 38;
constexpr xkb_keycode_t shiftLeft = 50;
constexpr xkb_keycode_t capsLock = 66;
constexpr xkb_keycode_t numLock = 77;

std::vector<char32_t> characterRange(char32_t first, char32_t last) {
    std::vector<char32_t> range;
    for (char32_t c = first; c <= last; ++c)
        range.push_back(c);
    return range;
}

class LayoutTest : public testing::TestWithParam<std::string> {
  protected:
    CompiledKeymap keymap = CompiledKeymap::fromLayout(GetParam());
    KeymapIndex index{keymap.get()};
};

TEST_P(LayoutTest, EveryStrokeTypesTheCharacterItWasFoundFor) {
    std::vector<char32_t> characters = characterRange(0x20, 0x7E);
    for (const auto& block : {characterRange(0xA0, 0x17F), characterRange(0x391, 0x3C9),
                              characterRange(0x400, 0x45F), characterRange(0x2010, 0x20AC)})
        characters.insert(characters.end(), block.begin(), block.end());
    characters.insert(characters.end(), {U'\n', U'\t'});

    int held = 0;
    for (char32_t character : characters) {
        const xkb_keysym_t keysym = *keysymForCharacter(character);
        for (xkb_layout_index_t group = 0; group < xkb_keymap_num_layouts(keymap.get()); ++group) {
            const auto stroke = index.strokeFor(keysym, group);
            ASSERT_EQ(stroke.has_value(), index.holds(keysym));
            if (!stroke)
                continue;
            ++held;
            EXPECT_EQ(keymap.typedBy(*stroke, index), keysym)
                << "U+" << std::hex << static_cast<unsigned>(character) << " on key " << std::dec
                << stroke->keycode << " group " << stroke->group << " modifiers "
                << stroke->modifiers;
        }
    }
    EXPECT_GT(held, 60);
}

TEST_P(LayoutTest, FindsHeldModifierKeysButNotLockingOnes) {
    EXPECT_EQ(index.modifierKey(0x01, 0), shiftLeft);
    EXPECT_EQ(index.modifierKey(0x04, 0), controlLeft);
    EXPECT_FALSE(index.modifierKey(0x02, 0)) << "CapsLock locks, nobody holds Lock";
    EXPECT_TRUE(index.isModifierKey(shiftLeft));
    EXPECT_TRUE(index.isModifierKey(controlLeft));
    EXPECT_FALSE(index.isModifierKey(capsLock));
    EXPECT_FALSE(index.isModifierKey(numLock));
    EXPECT_FALSE(index.isModifierKey(letterA));
}

TEST_P(LayoutTest, LeavesEnoughSpareKeycodesToBindManyCharactersAtOnce) {
    EXPECT_GE(index.spareKeycodes().size(), 10u);
    for (xkb_keycode_t keycode : index.spareKeycodes()) {
        EXPECT_GE(keycode, 8u);
        EXPECT_LE(keycode, 255u);
        EXPECT_EQ(xkb_keymap_num_layouts_for_key(keymap.get(), keycode), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, LayoutTest, testing::ValuesIn(testedLayouts), layoutTestName);

bool holdsAll(const KeymapIndex& index, std::u16string_view text) {
    for (xkb_keysym_t keysym : keysymsForText(text)) {
        if (!index.holds(keysym))
            return false;
    }
    return true;
}

TEST(KeymapIndexTest, HoldsWhatEachLayoutOffers) {
    const CompiledKeymap us = CompiledKeymap::fromLayout("us");
    const CompiledKeymap de = CompiledKeymap::fromLayout("de");
    const CompiledKeymap fr = CompiledKeymap::fromLayout("fr");
    const CompiledKeymap ru = CompiledKeymap::fromLayout("ru");
    const KeymapIndex usIndex(us.get()), deIndex(de.get()), frIndex(fr.get()), ruIndex(ru.get());

    const std::u16string ascii = u"The quick brown fox, 0123456789 !\"#$%&'()*+-./:;<=>?@[\\]_{|}~";
    EXPECT_TRUE(holdsAll(usIndex, ascii + u"\n\t"));
    EXPECT_TRUE(holdsAll(deIndex, ascii + u"äöüÄÖÜß€µ§°"));
    EXPECT_TRUE(holdsAll(frIndex, ascii + u"éèàçù²€"));
    EXPECT_TRUE(holdsAll(ruIndex, u"Съешь же ещё этих мягких французских булок, ЁЖ №1."));

    EXPECT_FALSE(holdsAll(usIndex, u"ä"));
    EXPECT_FALSE(holdsAll(usIndex, u"\u0436"));
    EXPECT_FALSE(holdsAll(deIndex, u"\u00E9"));
    EXPECT_FALSE(holdsAll(ruIndex, u"a"));
    EXPECT_FALSE(holdsAll(ruIndex, u"A"));
}

TEST(KeymapIndexTest, TypesWhereTheKeymapHoldsAndPrefersTheCurrentGroup) {
    const CompiledKeymap usRu = CompiledKeymap::fromLayout("us,ru");
    const KeymapIndex index(usRu.get());

    const auto zhe = index.strokeFor(*keysymForCharacter(U'\u0436'), 0);
    ASSERT_TRUE(zhe);
    EXPECT_EQ(zhe->group, 1u);
    EXPECT_EQ(zhe->modifiers, 0u);

    const auto capitalZhe = index.strokeFor(*keysymForCharacter(U'\u0416'), 0);
    ASSERT_TRUE(capitalZhe);
    EXPECT_EQ(capitalZhe->group, 1u);
    EXPECT_EQ(capitalZhe->modifiers, 0x01u);

    EXPECT_EQ(index.strokeFor(XKB_KEY_a, 1)->group, 0u);
    // Digits and the space bar are in both groups: no switch for them.
    EXPECT_EQ(index.strokeFor(XKB_KEY_1, 1)->group, 1u);
    EXPECT_EQ(index.strokeFor(XKB_KEY_1, 0)->group, 0u);
    EXPECT_EQ(index.strokeFor(XKB_KEY_space, 1)->group, 1u);
}

TEST(KeymapIndexTest, ReachesTheThirdLevelWithTheKeyThatHoldsItsModifier) {
    const CompiledKeymap de = CompiledKeymap::fromLayout("de");
    const KeymapIndex index(de.get());
    const auto euro = index.strokeFor(*keysymForCharacter(U'\u20AC'), 0);
    ASSERT_TRUE(euro);
    ASSERT_NE(euro->modifiers, 0u);
    EXPECT_EQ(euro->modifiers & 0x05u, 0u) << "neither Shift nor Control";
    EXPECT_EQ(de.typedBy(*euro, index), *keysymForCharacter(U'\u20AC'));
    const auto levelThreeKey = index.modifierKey(euro->modifiers, 0);
    ASSERT_TRUE(levelThreeKey);
    const xkb_keysym_t* keysyms = nullptr;
    ASSERT_EQ(xkb_keymap_key_get_syms_by_level(de.get(), *levelThreeKey, 0, 0, &keysyms), 1);
    EXPECT_EQ(keysyms[0], XKB_KEY_ISO_Level3_Shift);
}

} // namespace
} // namespace tavrin::keymap
