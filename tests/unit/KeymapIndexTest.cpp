#include "KeymapIndex.h"

#include "CompiledKeymap.h"
#include "Keysyms.h"

#include <bit>
#include <gtest/gtest.h>

namespace tavrin::keymap {
namespace {

// Whether a stroke types its character is the end-to-end typing test's business.
class LayoutTest : public testing::TestWithParam<std::string> {
  protected:
    CompiledKeymap keymap{GetParam()};
    KeymapIndex index{keymap.get()};
};

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
