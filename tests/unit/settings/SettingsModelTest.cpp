#include "SettingsModel.h"

#include "ClickController.h"
#include "FakePlatform.h"
#include "ItemCodec.h"

#include <gtest/gtest.h>

using namespace tavrin;
using tavrin::testing::FakePlatform;

namespace {

MenuItem textItem(std::string label, std::string text) {
    return {Uuid::random(), std::move(label), PopupAction::insertText(std::move(text))};
}

std::vector<MenuItem> entries(std::size_t count) {
    std::vector<MenuItem> items;
    for (std::size_t i = 0; i < count; ++i)
        items.push_back(textItem(std::string(1, static_cast<char>('a' + i)), "t"));
    return items;
}

std::string labels(const std::vector<MenuItem>& items) {
    std::string joined;
    for (const auto& item : items)
        joined += item.label;
    return joined;
}

// A platform whose store already holds the given entries.
struct Fixture {
    explicit Fixture(const std::vector<MenuItem>& items, bool trusted = true) {
        platform.trusted = trusted;
        platform.store["menuItems"] = *itemCodec::encode(items);
    }
    std::vector<std::string> listWrites() const {
        std::vector<std::string> stored;
        for (const auto& write : platform.writes) {
            if (write.key == "menuItems")
                stored.push_back(std::get<std::string>(write.value));
        }
        return stored;
    }
    FakePlatform platform;
};

} // namespace

TEST(SettingsModelTexts, PermissionAndAssignStatesFollowTheController) {
    for (bool trusted : {false, true}) {
        FakePlatform platform;
        platform.trusted = trusted;
        ClickController controller(platform);
        SettingsModel model(controller);
        EXPECT_EQ(model.permissionSectionShown(), !trusted);
        EXPECT_EQ(model.assignButtonTitle(), "Assign button");
        EXPECT_EQ(model.assignButtonEnabled(), trusted);

        controller.beginAssign();
        EXPECT_EQ(model.assignButtonTitle(), "Press the button now\u2026");
        EXPECT_FALSE(model.assignButtonEnabled());
    }
}

TEST(SettingsModelTexts, AssignedButtonValueAndClear) {
    FakePlatform platform;
    platform.trusted = true;
    ClickController controller(platform);
    SettingsModel model(controller);
    EXPECT_EQ(model.assignedButtonValue(), "None");
    EXPECT_TRUE(model.assignedButtonDimmed());
    EXPECT_FALSE(model.clearButtonShown());

    controller.beginAssign();
    platform.deliver(ButtonEventType::press, 4);
    EXPECT_EQ(model.assignedButtonValue(), "Button 4");
    EXPECT_FALSE(model.assignedButtonDimmed());
    EXPECT_TRUE(model.clearButtonShown());
    EXPECT_EQ(model.assignButtonTitle(), "Assign button");
    EXPECT_TRUE(model.assignButtonEnabled());
}

TEST(SettingsModelTexts, ClearInAssignModeKeepsAssignModeAndClearStaysAvailable) {
    FakePlatform platform;
    platform.trusted = true;
    platform.store["assignedButton"] = std::int64_t{12};
    ClickController controller(platform);
    SettingsModel model(controller);
    controller.beginAssign();
    EXPECT_TRUE(model.clearButtonShown()) << "Clear is offered in assign mode too";

    controller.clearAssignedButton();
    EXPECT_EQ(model.assignedButtonValue(), "None");
    EXPECT_FALSE(model.clearButtonShown());
    EXPECT_EQ(model.assignButtonTitle(), "Press the button now\u2026");
}

TEST(SettingsModelTexts, AddButtonAndTheLimitOfFive) {
    struct Case {
        std::size_t count;
        std::string title;
        bool enabled;
    };
    for (const Case& c : {Case{0, "Add item", true}, Case{4, "Add item", true},
                          Case{5, "5 items max", false}, Case{7, "5 items max", false}}) {
        Fixture fixture(entries(c.count));
        ClickController controller(fixture.platform);
        SettingsModel model(controller);
        if (c.count == 0)
            controller.setMenuItems({});
        ASSERT_EQ(controller.menuItems().size(), c.count);
        EXPECT_EQ(model.addButtonTitle(), c.title) << c.count;
        EXPECT_EQ(model.addButtonEnabled(), c.enabled) << c.count;
        EXPECT_EQ(model.maximumReachedShown(), !c.enabled) << c.count;
    }
}

TEST(SettingsModelList, DeleteRemovesEveryEntryWithThatIdAndStoresOnce) {
    auto items = entries(4);
    items[3].id = items[1].id; // possible only through stored data
    Fixture fixture(items);
    ClickController controller(fixture.platform);
    SettingsModel model(controller);

    model.deleteItem(items[1].id);
    EXPECT_EQ(labels(controller.menuItems()), "ac");
    ASSERT_EQ(fixture.listWrites().size(), 1u);
    EXPECT_EQ(fixture.listWrites()[0], *itemCodec::encode({items[0], items[2]}));
}

TEST(SettingsModelList, DeletingEveryEntryStoresTheEmptyListAndKeepsItEmpty) {
    Fixture fixture(entries(2));
    ClickController controller(fixture.platform);
    SettingsModel model(controller);
    model.deleteItem(controller.menuItems()[0].id);
    model.deleteItem(controller.menuItems()[0].id);
    EXPECT_TRUE(controller.menuItems().empty());
    EXPECT_EQ(fixture.listWrites().back(), "[]");
    EXPECT_TRUE(model.addButtonEnabled());
}

TEST(SettingsModelList, MoveKeepsTheRelativeOrderOfTheMovedEntries) {
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
        Fixture fixture(entries(5));
        ClickController controller(fixture.platform);
        SettingsModel model(controller);
        const auto before = controller.menuItems();
        model.move(c.sources, c.destination);
        EXPECT_EQ(labels(controller.menuItems()), c.expected) << "move to " << c.destination;
        EXPECT_EQ(fixture.listWrites().size(), 1u);
        for (const auto& item : controller.menuItems()) {
            EXPECT_NE(std::find(before.begin(), before.end(), item), before.end())
                << "entries keep their ids";
        }
    }
}

TEST(SettingsModelList, RemoveAtOffsetsStoresOnce) {
    Fixture fixture(entries(5));
    ClickController controller(fixture.platform);
    SettingsModel model(controller);
    model.removeAt({4, 0, 2});
    EXPECT_EQ(labels(controller.menuItems()), "bd");
    EXPECT_EQ(fixture.listWrites().size(), 1u);
}

TEST(SettingsModelEditing, AddThenCancelChangesAndStoresNothing) {
    Fixture fixture(entries(3));
    ClickController controller(fixture.platform);
    SettingsModel model(controller);
    const auto before = controller.menuItems();

    model.add();
    ASSERT_TRUE(model.editingItem());
    const MenuItem fresh = *model.editingItem();
    EXPECT_EQ(fresh.label, "");
    ASSERT_TRUE(fresh.action.asInsertText());
    EXPECT_EQ(fresh.action.asInsertText()->text, "");
    for (const auto& item : before)
        EXPECT_NE(item.id, fresh.id);

    model.cancelEditing();
    EXPECT_FALSE(model.editingItem());
    EXPECT_EQ(controller.menuItems(), before);
    EXPECT_TRUE(fixture.listWrites().empty());

    model.add();
    EXPECT_NE(model.editingItem()->id, fresh.id) << "every new entry gets a new id";
}

TEST(SettingsModelEditing, AnEditedEntryKeepsItsPlaceAndId) {
    Fixture fixture(entries(3));
    ClickController controller(fixture.platform);
    SettingsModel model(controller);
    const auto before = controller.menuItems();

    model.edit(before[1]);
    MenuItem changed = *model.editingItem();
    changed.label = "Tab key";
    changed.action = PopupAction::pressKey(SpecialKey::tab);
    model.save(changed);

    ASSERT_EQ(controller.menuItems().size(), 3u);
    EXPECT_EQ(controller.menuItems()[0], before[0]);
    EXPECT_EQ(controller.menuItems()[1].id, before[1].id);
    EXPECT_EQ(controller.menuItems()[1].label, "Tab key");
    EXPECT_EQ(controller.menuItems()[1].rowSymbol(), "\u21E5");
    EXPECT_EQ(controller.menuItems()[2], before[2]);
    EXPECT_EQ(fixture.listWrites().size(), 1u);
    EXPECT_FALSE(model.editingItem());
}

TEST(SettingsModelEditing, ANewEntryLandsAtTheEndWithoutALimitOfItsOwn) {
    Fixture fixture(entries(5));
    ClickController controller(fixture.platform);
    SettingsModel model(controller);
    model.add();
    MenuItem added = *model.editingItem();
    added.label = "f";
    added.action = PopupAction::insertText("x");
    model.save(added);
    ASSERT_EQ(controller.menuItems().size(), 6u);
    EXPECT_EQ(controller.menuItems().back(), added);
    EXPECT_EQ(fixture.listWrites().size(), 1u);
}
