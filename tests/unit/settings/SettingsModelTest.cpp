#include "SettingsModel.h"

#include "ClickController.h"
#include "FakePlatform.h"
#include "ItemCodec.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace tavrin;
using tavrin::testing::FakePlatform;

namespace {

// Entries labelled "a", "b", ... in the store before the controller reads it.
struct Seeded {
    explicit Seeded(std::size_t count) {
        platform.trusted = true;
        std::vector<MenuItem> items;
        for (std::size_t i = 0; i < count; ++i)
            items.push_back({Uuid::random(), std::string(1, static_cast<char>('a' + i)),
                             PopupAction::insertText("t")});
        platform.store["menuItems"] = *itemCodec::encode(items);
    }
    FakePlatform platform;
};

struct Fixture : Seeded {
    explicit Fixture(std::size_t count = 5) : Seeded(count) {}
    std::string labels() const {
        std::string joined;
        for (const auto& item : controller.menuItems())
            joined += item.label;
        return joined;
    }
    long listWrites() const {
        return std::ranges::count(platform.writes, std::string("menuItems"),
                                  &FakePlatform::Write::key);
    }

    ClickController controller{platform};
    SettingsModel model{controller};
};

} // namespace

TEST(SettingsModel, TheButtonSectionFollowsAssignMode) {
    Fixture f;
    EXPECT_FALSE(f.model.clearButtonShown());
    f.controller.beginAssign();
    EXPECT_FALSE(f.model.assignButtonEnabled());
    f.platform.deliver(ButtonEventType::press, 12);
    EXPECT_EQ(f.model.assignedButtonValue(), "Button 12");
    EXPECT_TRUE(f.model.assignButtonEnabled());
    f.controller.beginAssign();
    EXPECT_TRUE(f.model.clearButtonShown()) << "Clear is offered in assign mode too";
    f.controller.clearAssignedButton();
    EXPECT_FALSE(f.model.clearButtonShown());
    EXPECT_TRUE(f.controller.assignMode());
}

TEST(SettingsModel, TheLimitHoldsFromFiveEntriesOn) {
    for (const std::size_t count : {4u, 5u, 7u}) {
        Fixture f(count);
        EXPECT_EQ(f.model.addButtonEnabled(), count < 5);
        EXPECT_EQ(f.model.maximumReachedShown(), count >= 5);
    }
}

TEST(SettingsModel, EveryListOperationStoresOnce) {
    struct Case {
        std::vector<std::size_t> sources;
        std::size_t destination;
        std::string expected;
    };
    const Case moves[]{
        {{4}, 0, "eabcd"}, {{0}, 5, "bcdea"},    {{0}, 1, "abcde"},    {{0}, 2, "bacde"},
        {{3}, 1, "adbce"}, {{1, 3}, 0, "bdace"}, {{0, 2}, 4, "bdace"}, {{3, 1}, 5, "acebd"},
        {{2}, 2, "abcde"}, {{2}, 3, "abcde"},
    };
    for (const auto& c : moves) {
        Fixture f;
        f.model.move(c.sources, c.destination);
        EXPECT_EQ(f.labels(), c.expected) << "move to " << c.destination;
        EXPECT_EQ(f.listWrites(), 1);
    }
    Fixture f;
    f.model.removeAt({4, 0, 2});
    EXPECT_EQ(f.labels(), "bd");
    f.model.deleteItem(f.controller.menuItems()[1].id);
    EXPECT_EQ(f.labels(), "b");
    EXPECT_EQ(f.listWrites(), 2);
}

TEST(SettingsModel, SaveReplacesInPlaceOrAppendsANewEntryWithAnIdOfItsOwn) {
    Fixture f;
    auto expected = f.controller.menuItems();
    f.model.edit(expected[1]);
    MenuItem changed = *f.model.editingItem();
    changed.action = PopupAction::pressKey(SpecialKey::tab);
    f.model.save(changed);
    EXPECT_FALSE(f.model.editingItem());

    f.model.add();
    MenuItem added = *f.model.editingItem();
    EXPECT_EQ(added.action, PopupAction::insertText(""));
    f.model.add();
    EXPECT_NE(f.model.editingItem()->id, added.id);
    added.label = "f";
    f.model.save(added);
    expected[1] = changed;
    expected.push_back(added);
    EXPECT_EQ(f.controller.menuItems(), expected);
    EXPECT_EQ(f.listWrites(), 2);
}
