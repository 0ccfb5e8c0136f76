#include "xkb/KeySymMaps.h"
#include "xkb/KeymapIndex.h"
#include "xkb/Keysyms.h"
#include "xkb/TypingPlan.h"

#include <algorithm>
#include <bit>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace tavrin::keymap {
namespace {

// A keymap compiled by xkbcommon from the system's layout data, as setxkbmap would load it, and
// its index.
struct Layout {
    explicit Layout(const std::string& name) {
        const xkb_rule_names names{"evdev", "pc105", name.c_str(), "", ""};
        keymap.reset(xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
        if (!keymap)
            throw std::runtime_error("layout " + name + " does not compile");
        index = std::make_unique<KeymapIndex>(keymap.get());
    }
    TypingPlan planFor(std::u16string_view text) const {
        return TypingPlan::forKeysyms(keysymsForText(text), *index, 0, index->spareKeycodes());
    }

    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context{
        xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES), &xkb_context_unref};
    std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap{nullptr, &xkb_keymap_unref};
    std::unique_ptr<KeymapIndex> index;
};

std::vector<const Rebinding*> rebindingsOf(const TypingPlan& plan) {
    std::vector<const Rebinding*> rebindings;
    for (const TypingStep& step : plan.steps)
        if (const auto* rebinding = std::get_if<Rebinding>(&step))
            rebindings.push_back(rebinding);
    return rebindings;
}

// Characters that no tested layout holds, all different.
std::u16string distinctCjk(std::size_t count) {
    std::u16string text;
    for (std::size_t i = 0; i < count; ++i)
        text.push_back(static_cast<char16_t>(0x4E00 + i));
    return text;
}

} // namespace

// Whether a stroke types its character is the end-to-end typing test's business; these plans are
// checked for how seldom they change the keymap.
TEST(KeymapTest, EveryLayoutHoldsWhatItOffersNeverHoldsALockAndTypesWithFewKeymapChanges) {
    const std::u16string ascii =
        u"The quick brown fox, 0123456789 !\"#$%&'()*+-./:;<=>?@[\\]_{|}~\n\t";
    const std::tuple<std::string, std::u16string, std::u16string> layouts[]{
        {"us", ascii, u"\u00E4\u0436"},
        {"de", ascii + u"äöüÄÖÜß€µ§°", u"\u00E9"},
        {"fr", ascii + u"éèàçù²€", u""},
        {"ru", u"Съешь же ещё этих мягких французских булок, ЁЖ №1.", u"aA"},
        {"us,ru", ascii + u"ЁЖ№", u"\u00E4"},
    };
    for (const auto& [name, held, missing] : layouts) {
        const Layout layout(name);
        for (xkb_keysym_t keysym : keysymsForText(held))
            EXPECT_TRUE(layout.index->holds(keysym)) << name << " " << std::hex << keysym;
        for (xkb_keysym_t keysym : keysymsForText(missing))
            EXPECT_FALSE(layout.index->holds(keysym)) << name << " " << std::hex << keysym;
        EXPECT_FALSE(layout.index->modifierKey(0x02, 0)) << "CapsLock locks, nobody holds Lock";
        for (xkb_keycode_t capsOrNumLock : {66u, 77u})
            EXPECT_FALSE(layout.index->isModifierKey(capsOrNumLock)) << name;
        EXPECT_TRUE(layout.index->isModifierKey(50)) << name << ": Shift_L holds Shift";
        const auto spare = layout.index->spareKeycodes();
        EXPECT_GE(spare.size(), 10u) << name;
        for (xkb_keycode_t keycode : spare) {
            EXPECT_GE(keycode, 8u);
            EXPECT_LE(keycode, 255u);
            EXPECT_EQ(xkb_keymap_num_layouts_for_key(layout.keymap.get(), keycode), 0u);
        }

        const std::u16string plainText = u"1234 567, 890.\n";
        const TypingPlan plain = layout.planFor(plainText);
        EXPECT_TRUE(rebindingsOf(plain).empty()) << name;
        EXPECT_EQ(plain.steps.size(), plainText.size()) << name;

        // Two characters on every spare key per keymap change; the last three on two keys.
        const TypingPlan filling = layout.planFor(distinctCjk(4 * spare.size() + 3));
        const auto full = rebindingsOf(filling);
        ASSERT_EQ(full.size(), 3u) << name;
        for (const Rebinding* rebinding : {full[0], full[1]}) {
            ASSERT_EQ(rebinding->bindings.size(), spare.size());
            for (const SpareBinding& binding : rebinding->bindings) {
                EXPECT_NE(std::ranges::find(spare, binding.keycode), spare.end());
                EXPECT_NE(binding.keysyms[0], binding.keysyms[1]);
            }
        }
        EXPECT_EQ(full[2]->bindings.size(), 2u) << name;
        // Each character is typed on the level of its spare key that holds it.
        const auto bound = keysymsForText(distinctCjk(2 * spare.size()));
        for (std::size_t i = 0; i < bound.size(); ++i) {
            const auto& stroke = std::get<KeyStroke>(filling.steps[1 + i]);
            auto key = std::ranges::find(full[0]->bindings, stroke.keycode, &SpareBinding::keycode);
            ASSERT_NE(key, full[0]->bindings.end());
            EXPECT_EQ(stroke.modifiers == 0, key->keysyms[0] == bound[i]) << name << " " << i;
        }

        // Bindings still needed stay; the one needed last goes.
        const std::u16string cycle = distinctCjk(2 * spare.size() + 1);
        const TypingPlan cycling = layout.planFor(cycle + cycle + cycle);
        const auto cycled = rebindingsOf(cycling);
        ASSERT_GE(cycled.size(), 2u) << name;
        EXPECT_LE(cycled.size(), 4u) << name;
        EXPECT_EQ(cycled.front()->bindings.size(), spare.size());
        for (std::size_t i = 1; i < cycled.size(); ++i)
            EXPECT_EQ(cycled[i]->bindings.size(), 1u) << name << " keymap change " << i;
    }
}

TEST(TypingPlanTest, TakesFewModifiersSwitchesGroupOnlyWhenNeededAndLeavesOutTheUntypable) {
    // The euro sign is on the third and the fourth level of the e key: AltGr alone reaches it.
    const auto euro = Layout("de").index->strokeFor(*keysymForCharacter(U'\u20AC'), 0);
    ASSERT_TRUE(euro);
    EXPECT_EQ(std::popcount(euro->modifiers), 1);

    std::vector<xkb_layout_index_t> groups;
    for (const TypingStep& step :
         Layout("us,ru").planFor(u"ab \u0436\u0437 12, \u0438 cd 3").steps) {
        const auto& stroke = std::get<KeyStroke>(step);
        if (groups.empty() || groups.back() != stroke.group)
            groups.push_back(stroke.group);
    }
    EXPECT_EQ(groups, (std::vector<xkb_layout_index_t>{0, 1, 0}));

    const Layout us("us");
    const TypingPlan plan = TypingPlan::forKeysyms(keysymsForText(u"a\u0436b"), *us.index, 0, {});
    ASSERT_EQ(plan.steps.size(), 2u);
    EXPECT_EQ(std::get<KeyStroke>(plan.steps[1]), *us.index->strokeFor(XKB_KEY_b, 0));
}

// What the typer binds is checked by the end-to-end typing test; here, data the server may send.
TEST(KeySymMapsTest, WritesBackWhatItReadAndRefusesDataCutShort) {
    // Two keys as XKB sends them on this machine: type indexes, group info, width, keysym count
    // and keysyms (e, E, EuroSign, cent); then a key with none.
    static_assert(std::endian::native == std::endian::little);
    const std::vector<std::uint8_t> bytes{3, 0,    0, 0, 1, 4,    4,    0, 0x65, 0,    0,
                                          0, 0x45, 0, 0, 0, 0xAC, 0x20, 0, 0,    0xA2, 0,
                                          0, 0,    0, 0, 0, 0,    0,    0, 0,    0};
    const auto maps = KeySymMaps::parse(50, 2, bytes);
    ASSERT_TRUE(maps);
    EXPECT_EQ(maps->lastKeycode(), 51u);
    EXPECT_EQ(maps->encode({}).bytes, bytes);

    // Copies of their own size, so that the sanitizer sees any read past their end.
    for (std::size_t cutAt : {bytes.size() - 4, std::size_t{10}}) {
        const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + cutAt);
        EXPECT_FALSE(KeySymMaps::parse(50, 2, cut)) << "cut at " << cutAt;
    }
    EXPECT_TRUE(KeySymMaps::parse(50, 0, {}));
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
    for (xkb_keysym_t keypad : {XKB_KEY_KP_Space, XKB_KEY_KP_1, XKB_KEY_KP_Enter, XKB_KEY_KP_Equal})
        EXPECT_FALSE(normalizedKeysym(keypad));
}

} // namespace tavrin::keymap
