#include "KeymapIndex.h"

#include "CompiledKeymap.h"
#include "Keysyms.h"

#include <bit>
#include <gtest/gtest.h>
#include <utility>

namespace tavrin::keymap {
namespace {

// What the stroke types on the keymap with the modifier keys the index names held, as the typer
// holds them; nothing if one is missing or they give other modifiers than the stroke's.
std::optional<xkb_keysym_t> typedBy(xkb_keymap* keymap, const KeyStroke& stroke,
                                    const KeymapIndex& index) {
    std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state(xkb_state_new(keymap),
                                                                 &xkb_state_unref);
    xkb_state_update_mask(state.get(), 0, 0, 0, 0, 0, stroke.group);
    for (xkb_mod_mask_t bit = 1; bit <= 0x80; bit <<= 1) {
        if ((stroke.modifiers & bit) == 0)
            continue;
        const auto modifierKey = index.modifierKey(bit, stroke.group);
        if (!modifierKey)
            return std::nullopt;
        xkb_state_update_key(state.get(), *modifierKey, XKB_KEY_DOWN);
    }
    if ((xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_EFFECTIVE) & 0xFF) !=
        stroke.modifiers)
        return std::nullopt;
    return normalizedKeysym(xkb_state_key_get_one_sym(state.get(), stroke.keycode));
}

class LayoutTest : public testing::TestWithParam<std::string> {
  protected:
    CompiledKeymap keymap{GetParam()};
    KeymapIndex index{keymap.get()};
};

TEST_P(LayoutTest, EveryStrokeTypesTheCharacterItWasFoundFor) {
    std::vector<char32_t> characters{U'\n', U'\t'};
    const std::pair<char32_t, char32_t> blocks[]{
        {0x20, 0x7E}, {0xA0, 0x17F}, {0x391, 0x3C9}, {0x400, 0x45F}, {0x2010, 0x20AC}};
    for (const auto& [first, last] : blocks) {
        for (char32_t c = first; c <= last; ++c)
            characters.push_back(c);
    }
    int held = 0;
    for (char32_t character : characters) {
        const xkb_keysym_t keysym = *keysymForCharacter(character);
        for (xkb_layout_index_t group = 0; group < xkb_keymap_num_layouts(keymap.get()); ++group) {
            const auto stroke = index.strokeFor(keysym, group);
            ASSERT_EQ(stroke.has_value(), index.holds(keysym));
            if (!stroke)
                continue;
            ++held;
            EXPECT_EQ(typedBy(keymap.get(), *stroke, index), keysym)
                << "U+" << std::hex << static_cast<unsigned>(character) << " on key " << std::dec
                << stroke->keycode << " group " << stroke->group << " modifiers "
                << stroke->modifiers;
        }
    }
    EXPECT_GT(held, 60);
}

TEST_P(LayoutTest, LockKeysAreNeverHeldAndSpareKeycodesHoldNothing) {
    EXPECT_FALSE(index.modifierKey(0x02, 0)) << "CapsLock locks, nobody holds Lock";
    for (xkb_keycode_t capsOrNumLock : {66u, 77u})
        EXPECT_FALSE(index.isModifierKey(capsOrNumLock));

    EXPECT_GE(index.spareKeycodes().size(), 10u);
    for (xkb_keycode_t keycode : index.spareKeycodes()) {
        EXPECT_GE(keycode, 8u);
        EXPECT_LE(keycode, 255u);
        EXPECT_EQ(xkb_keymap_num_layouts_for_key(keymap.get(), keycode), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, LayoutTest, testing::ValuesIn(testedLayouts), layoutTestName);

TEST(KeymapIndexTest, HoldsWhatEachLayoutOffers) {
    const std::u16string ascii =
        u"The quick brown fox, 0123456789 !\"#$%&'()*+-./:;<=>?@[\\]_{|}~\n\t";
    struct Case {
        std::string layout;
        std::u16string held;
        std::u16string missing;
    };
    const Case cases[]{
        {"us", ascii, u"\u00E4\u0436"},
        {"de", ascii + u"äöüÄÖÜß€µ§°", u"\u00E9"},
        {"fr", ascii + u"éèàçù²€", u""},
        {"ru", u"Съешь же ещё этих мягких французских булок, ЁЖ №1.", u"aA"},
    };
    for (const Case& c : cases) {
        const CompiledKeymap keymap(c.layout);
        const KeymapIndex index(keymap.get());
        for (xkb_keysym_t keysym : keysymsForText(c.held))
            EXPECT_TRUE(index.holds(keysym)) << c.layout << " keysym " << std::hex << keysym;
        for (xkb_keysym_t keysym : keysymsForText(c.missing))
            EXPECT_FALSE(index.holds(keysym)) << c.layout << " keysym " << std::hex << keysym;
    }
}

TEST(KeymapIndexTest, TakesTheStrokeWithTheFewestModifiers) {
    const CompiledKeymap de("de");
    const KeymapIndex index(de.get());
    // The euro sign is on the third and the fourth level of the e key: AltGr alone reaches it.
    const auto euro = index.strokeFor(*keysymForCharacter(U'\u20AC'), 0);
    ASSERT_TRUE(euro);
    EXPECT_EQ(std::popcount(euro->modifiers), 1);
}

} // namespace
} // namespace tavrin::keymap
