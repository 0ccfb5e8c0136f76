#include "SettingsModel.h"

#include "ClickController.h"
#include "FakePlatform.h"
#include "ItemCodec.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace tavrin;
using tavrin::testing::FakePlatform;

namespace {

// Entries labelled "a", "b", ...
std::vector<MenuItem> entries(std::size_t count) {
    std::vector<MenuItem> items;
    for (std::size_t i = 0; i < count; ++i)
        items.push_back({Uuid::random(), std::string(1, static_cast<char>('a' + i)),
                         PopupAction::insertText("t")});
    return items;
}

// Filled before the controller reads it.
struct Store {
    explicit Store(const std::vector<MenuItem>& items) {
        platform.trusted = true;
        platform.store["menuItems"] = *itemCodec::encode(items);
    }
    FakePlatform platform;
};

struct Fixture : Store {
    explicit Fixture(const std::vector<MenuItem>& items = entries(5)) : Store(items) {}

    std::string labels() const {
        std::string joined;
        for (const auto& item : controller.menuItems())
            joined += item.label;
        return joined;
    }
    std::size_t listWrites() const {
        return static_cast<std::size_t>(std::ranges::count(
            platform.writes, std::string("menuItems"), &FakePlatform::Write::key));
    }

    ClickController controller{platform};
    SettingsModel model{controller};
};

} // namespace

TEST(SettingsModelTexts, ClearInAssignModeKeepsAssignMode) {
    Fixture f;
    f.controller.beginAssign();
    f.platform.deliver(ButtonEventType::press, 12);
    f.controller.beginAssign();
    EXPECT_TRUE(f.model.clearButtonShown()) << "Clear is offered in assign mode too";
    f.controller.clearAssignedButton();
    EXPECT_FALSE(f.model.clearButtonShown());
    EXPECT_EQ(f.model.assignButtonTitle(), "Press the button now\u2026");
}

TEST(SettingsModelTexts, MoreThanFiveStoredEntriesStillReachTheLimit) {
    Fixture f(entries(7));
    EXPECT_FALSE(f.model.addButtonEnabled());
    EXPECT_TRUE(f.model.maximumReachedShown());
}

TEST(SettingsModelList, MoveKeepsTheRelativeOrderOfTheMovedEntriesAndStoresOnce) {
    struct Case {
        std::vector<std::size_t> sources;
        std::size_t destination;
        std::string expected;
    };
    const std::vector<Case> cases{
        {{4}, 0, "eabcd"}, {{0}, 5, "bcdea"},    {{0}, 1, "abcde"},    {{0}, 2, "bacde"},
        {{3}, 1, "adbce"}, {{1, 3}, 0, "bdace"}, {{0, 2}, 4, "bdace"}, {{3, 1}, 5, "acebd"},
        {{2}, 2, "abcde"}, {{2}, 3, "abcde"},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.model.move(c.sources, c.destination);
        EXPECT_EQ(f.labels(), c.expected) << "move to " << c.destination;
        EXPECT_EQ(f.listWrites(), 1u);
    }
}

TEST(SettingsModelList, RemovalsStoreOnce) {
    Fixture byOffset;
    byOffset.model.removeAt({4, 0, 2});
    EXPECT_EQ(byOffset.labels(), "bd");
    EXPECT_EQ(byOffset.listWrites(), 1u);

    auto items = entries(4);
    items[3].id = items[1].id; // possible only through stored data
    Fixture byId(items);
    byId.model.deleteItem(items[1].id);
    EXPECT_EQ(byId.labels(), "ac");
    EXPECT_EQ(byId.listWrites(), 1u);
}

TEST(SettingsModelEditing, EveryNewEntryIsAnEmptyTextWithAnIdOfItsOwn) {
    Fixture f;
    f.model.add();
    const MenuItem fresh = *f.model.editingItem();
    EXPECT_EQ(fresh.label, "");
    EXPECT_EQ(fresh.action, PopupAction::insertText(""));
    f.model.add();
    EXPECT_NE(f.model.editingItem()->id, fresh.id);
}

TEST(SettingsModelEditing, SaveReplacesInPlaceOrAppendsPastTheLimit) {
    Fixture f;
    auto expected = f.controller.menuItems();
    f.model.edit(expected[1]);
    MenuItem changed = *f.model.editingItem();
    changed.label = "Tab key";
    changed.action = PopupAction::pressKey(SpecialKey::tab);
    f.model.save(changed);
    EXPECT_FALSE(f.model.editingItem());

    f.model.add();
    MenuItem added = *f.model.editingItem();
    added.label = "f";
    f.model.save(added);

    expected[1] = changed;
    expected.push_back(added);
    EXPECT_EQ(f.controller.menuItems(), expected);
    EXPECT_EQ(f.listWrites(), 2u);
}
