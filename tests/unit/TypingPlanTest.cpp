#include "TypingPlan.h"

#include "CompiledKeymap.h"
#include "Keysyms.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace tavrin::keymap {
namespace {

std::vector<const Rebinding*> rebindingsOf(const TypingPlan& plan) {
    std::vector<const Rebinding*> rebindings;
    for (const TypingStep& step : plan.steps) {
        if (const auto* rebinding = std::get_if<Rebinding>(&step))
            rebindings.push_back(rebinding);
    }
    return rebindings;
}

// Characters that no tested layout holds, all different.
std::u16string distinctCjk(std::size_t count) {
    std::u16string text;
    for (std::size_t i = 0; i < count; ++i)
        text.push_back(static_cast<char16_t>(0x4E00 + i));
    return text;
}

// Exact typing is the end-to-end typing test's business; these plans are checked for how seldom
// they change the keymap.
class PlanOnLayoutTest : public testing::TestWithParam<std::string> {
  protected:
    TypingPlan planFor(std::u16string_view text) const {
        return TypingPlan::forKeysyms(keysymsForText(text), index, 0, spare);
    }

    CompiledKeymap keymap{GetParam()};
    KeymapIndex index{keymap.get()};
    std::span<const xkb_keycode_t> spare = index.spareKeycodes();
};

TEST_P(PlanOnLayoutTest, HeldCharactersLeaveTheKeymapAlone) {
    const std::u16string text = u"1234 567, 890.\n";
    const TypingPlan plan = planFor(text);
    EXPECT_TRUE(rebindingsOf(plan).empty());
    EXPECT_EQ(plan.steps.size(), text.size());
}

TEST_P(PlanOnLayoutTest, BindsTwoCharactersToEverySpareKeyPerKeymapChange) {
    const TypingPlan plan = planFor(distinctCjk(4 * spare.size() + 3));
    const auto rebindings = rebindingsOf(plan);
    ASSERT_EQ(rebindings.size(), 3u);
    for (const Rebinding* full : {rebindings[0], rebindings[1]}) {
        ASSERT_EQ(full->bindings.size(), spare.size());
        for (const SpareBinding& binding : full->bindings) {
            EXPECT_NE(std::ranges::find(spare, binding.keycode), spare.end());
            EXPECT_NE(binding.keysyms[0], binding.keysyms[1]);
        }
    }
    EXPECT_EQ(rebindings[2]->bindings.size(), 2u) << "three characters on two keys";
}

TEST_P(PlanOnLayoutTest, KeepsTheBindingsStillNeededAndEvictsTheOneNeededLast) {
    const std::u16string cycle = distinctCjk(2 * spare.size() + 1);
    const TypingPlan plan = planFor(cycle + cycle + cycle);
    const auto rebindings = rebindingsOf(plan);
    ASSERT_GE(rebindings.size(), 2u);
    EXPECT_LE(rebindings.size(), 4u);
    EXPECT_EQ(rebindings.front()->bindings.size(), spare.size());
    for (std::size_t i = 1; i < rebindings.size(); ++i)
        EXPECT_EQ(rebindings[i]->bindings.size(), 1u) << "keymap change " << i;
}

INSTANTIATE_TEST_SUITE_P(Layouts, PlanOnLayoutTest, testing::ValuesIn(testedLayouts),
                         layoutTestName);

TEST(TypingPlanTest, SwitchesGroupOnlyWhenACharacterNeedsIt) {
    const CompiledKeymap usRu("us,ru");
    const KeymapIndex index(usRu.get());
    const TypingPlan plan = TypingPlan::forKeysyms(
        keysymsForText(u"ab \u0436\u0437 12, \u0438 cd 3"), index, 0, index.spareKeycodes());
    std::vector<xkb_layout_index_t> groups;
    for (const TypingStep& step : plan.steps) {
        const auto& stroke = std::get<KeyStroke>(step);
        if (groups.empty() || groups.back() != stroke.group)
            groups.push_back(stroke.group);
    }
    EXPECT_EQ(groups, (std::vector<xkb_layout_index_t>{0, 1, 0}));
}

TEST(TypingPlanTest, LeavesOutWhatNeitherTheKeymapNorASpareKeycodeCanType) {
    const CompiledKeymap us("us");
    const KeymapIndex index(us.get());
    const TypingPlan plan = TypingPlan::forKeysyms(keysymsForText(u"a\u0436b"), index, 0, {});
    ASSERT_EQ(plan.steps.size(), 2u);
    EXPECT_EQ(std::get<KeyStroke>(plan.steps[1]), *index.strokeFor(XKB_KEY_b, 0));
}

} // namespace
} // namespace tavrin::keymap
