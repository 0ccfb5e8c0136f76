#include "TypingPlan.h"

#include "CompiledKeymap.h"
#include "Keysyms.h"

#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <map>
#include <span>
#include <string>
#include <vector>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace tavrin::keymap {
namespace {

// Runs a plan against the keymap as the X server would: spare keycodes type what they are
// bound to, alone or with Shift, every other stroke what the keymap gives in its group with its
// modifiers held.
std::vector<xkb_keysym_t> runPlan(const TypingPlan& plan, const CompiledKeymap& keymap,
                                  const KeymapIndex& index,
                                  std::span<const xkb_keycode_t> spareKeycodes) {
    std::map<xkb_keycode_t, std::array<xkb_keysym_t, 2>> bound;
    std::vector<xkb_keysym_t> typed;
    for (const TypingStep& step : plan.steps) {
        if (const auto* rebinding = std::get_if<Rebinding>(&step)) {
            for (const SpareBinding& binding : rebinding->bindings) {
                EXPECT_TRUE(std::ranges::find(spareKeycodes, binding.keycode) !=
                            spareKeycodes.end())
                    << "bound keycode " << binding.keycode << " was not given as spare";
                bound[binding.keycode] = binding.keysyms;
            }
            continue;
        }
        const auto& stroke = std::get<KeyStroke>(step);
        if (const auto found = bound.find(stroke.keycode); found != bound.end()) {
            EXPECT_TRUE(stroke.modifiers == 0 || stroke.modifiers == 0x01) << stroke.modifiers;
            typed.push_back(found->second[stroke.modifiers == 0 ? 0 : 1]);
        } else {
            typed.push_back(keymap.typedBy(stroke, index).value_or(XKB_KEY_NoSymbol));
        }
    }
    return typed;
}

std::vector<const Rebinding*> rebindingsOf(const TypingPlan& plan) {
    std::vector<const Rebinding*> rebindings;
    for (const TypingStep& step : plan.steps) {
        if (const auto* rebinding = std::get_if<Rebinding>(&step))
            rebindings.push_back(rebinding);
    }
    return rebindings;
}

std::u16string distinctCjk(std::size_t count) {
    std::u16string text;
    for (std::size_t i = 0; i < count; ++i)
        text.push_back(static_cast<char16_t>(0x4E00 + i));
    return text;
}

class PlanOnLayoutTest : public testing::TestWithParam<std::string> {
  protected:
    TypingPlan planFor(const std::vector<xkb_keysym_t>& keysyms,
                       xkb_layout_index_t group = 0) const {
        return TypingPlan::forKeysyms(keysyms, index, group, spare);
    }
    std::vector<xkb_keysym_t> typeOut(const TypingPlan& plan) const {
        return runPlan(plan, keymap, index, spare);
    }

    CompiledKeymap keymap = CompiledKeymap::fromLayout(GetParam());
    KeymapIndex index{keymap.get()};
    std::span<const xkb_keycode_t> spare = index.spareKeycodes();
};

TEST_P(PlanOnLayoutTest, TypesMixedTextExactlyFromEitherGroup) {
    const std::vector<xkb_keysym_t> keysyms = keysymsForText(
        u"Hello, Wörld! Grüße, Élodie: çà, œ Ω αβγ Привет ЁЖ №5\n\tдуша 你好世界 😀🎉 e\u0301 "
        u"AaBbCc ÄäÖö ЯяЁё ~`^\\|@€");
    for (xkb_layout_index_t group = 0; group < xkb_keymap_num_layouts(keymap.get()); ++group)
        EXPECT_EQ(typeOut(planFor(keysyms, group)), keysyms) << "starting in group " << group;
}

TEST_P(PlanOnLayoutTest, BindsTwoCharactersToEverySpareKeyPerKeymapChange) {
    const std::size_t slots = 2 * spare.size();
    const std::vector<xkb_keysym_t> keysyms = keysymsForText(distinctCjk(2 * slots + 3));
    const TypingPlan plan = planFor(keysyms);

    EXPECT_EQ(typeOut(plan), keysyms);
    const auto rebindings = rebindingsOf(plan);
    ASSERT_EQ(rebindings.size(), 3u);
    for (const Rebinding* full : {rebindings[0], rebindings[1]}) {
        ASSERT_EQ(full->bindings.size(), spare.size());
        for (const SpareBinding& binding : full->bindings)
            EXPECT_NE(binding.keysyms[0], binding.keysyms[1]);
    }
    EXPECT_EQ(rebindings[2]->bindings.size(), 2u) << "three characters on two keys";
}

TEST_P(PlanOnLayoutTest, KeepsTheBindingsStillNeededAndEvictsTheOneNeededLast) {
    const std::u16string cycle = distinctCjk(2 * spare.size() + 1);
    const std::vector<xkb_keysym_t> keysyms = keysymsForText(cycle + cycle + cycle);
    const TypingPlan plan = planFor(keysyms);

    EXPECT_EQ(typeOut(plan), keysyms);
    const auto rebindings = rebindingsOf(plan);
    ASSERT_GE(rebindings.size(), 2u);
    EXPECT_EQ(rebindings.front()->bindings.size(), spare.size());
    for (std::size_t i = 1; i < rebindings.size(); ++i)
        EXPECT_EQ(rebindings[i]->bindings.size(), 1u) << "keymap change " << i;
    EXPECT_LE(rebindings.size(), 4u);
}

TEST_P(PlanOnLayoutTest, TypesHeldCharactersWithoutChangingTheKeymap) {
    const std::vector<xkb_keysym_t> keysyms = keysymsForText(u"1234 567, 890.\n");
    const TypingPlan plan = planFor(keysyms);
    EXPECT_TRUE(rebindingsOf(plan).empty());
    EXPECT_EQ(typeOut(plan), keysyms);
}

INSTANTIATE_TEST_SUITE_P(Layouts, PlanOnLayoutTest, testing::ValuesIn(testedLayouts),
                         layoutTestName);

TEST(TypingPlanTest, SwitchesGroupOnlyWhenACharacterNeedsIt) {
    const CompiledKeymap usRu = CompiledKeymap::fromLayout("us,ru");
    const KeymapIndex index(usRu.get());
    const std::vector<xkb_keysym_t> keysyms = keysymsForText(u"ab \u0436\u0437 12, \u0438 cd 3");
    const TypingPlan plan = TypingPlan::forKeysyms(keysyms, index, 0, index.spareKeycodes());

    std::vector<xkb_layout_index_t> groups;
    for (const TypingStep& step : plan.steps) {
        const auto& stroke = std::get<KeyStroke>(step);
        if (groups.empty() || groups.back() != stroke.group)
            groups.push_back(stroke.group);
    }
    EXPECT_EQ(groups, (std::vector<xkb_layout_index_t>{0, 1, 0}));
    EXPECT_EQ(runPlan(plan, usRu, index, index.spareKeycodes()), keysyms);
}

TEST(TypingPlanTest, BindsCapitalsThemselvesWhereTheLayoutLacksLatin) {
    const CompiledKeymap ru = CompiledKeymap::fromLayout("ru");
    const KeymapIndex index(ru.get());
    const TypingPlan plan =
        TypingPlan::forKeysyms(keysymsForText(u"Hi"), index, 0, index.spareKeycodes());
    const auto rebindings = rebindingsOf(plan);
    ASSERT_EQ(rebindings.size(), 1u);
    ASSERT_EQ(rebindings[0]->bindings.size(), 1u);
    EXPECT_EQ(rebindings[0]->bindings[0].keysyms,
              (std::array<xkb_keysym_t, 2>{XKB_KEY_H, XKB_KEY_i}));
}

TEST(TypingPlanTest, LeavesOutWhatNeitherTheKeymapNorASpareKeycodeCanType) {
    const CompiledKeymap us = CompiledKeymap::fromLayout("us");
    const KeymapIndex index(us.get());
    const TypingPlan plan = TypingPlan::forKeysyms(keysymsForText(u"a\u0436b"), index, 0, {});
    EXPECT_EQ(plan.steps.size(), 2u);
    EXPECT_EQ(runPlan(plan, us, index, {}), (std::vector<xkb_keysym_t>{XKB_KEY_a, XKB_KEY_b}));
}

TEST(TypingPlanTest, PlansNothingForEmptyText) {
    const CompiledKeymap us = CompiledKeymap::fromLayout("us");
    const KeymapIndex index(us.get());
    EXPECT_TRUE(TypingPlan::forKeysyms({}, index, 0, index.spareKeycodes()).steps.empty());
}

} // namespace
} // namespace tavrin::keymap
