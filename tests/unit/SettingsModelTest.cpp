#include "settings/SettingsModel.h"

#include "FakePlatform.h"
#include "ItemCodec.h"
#include "settings/ItemEditorModel.h"

#include <gtest/gtest.h>

using namespace tavrin;
using tavrin::testing::FakePlatform;

namespace {

// A controller over entries labelled "a", "b", ... and the model on it.
struct Fixture {
    explicit Fixture(std::size_t count = 5) {
        platform.store["menuItems"] = *itemCodec::encode(tavrin::testing::letteredItems(count));
        controller = std::make_unique<ClickController>(platform);
        model = std::make_unique<SettingsModel>(*controller);
    }
    std::string labels() const { return tavrin::testing::joinedLabels(controller->menuItems()); }
    FakePlatform platform;
    std::unique_ptr<ClickController> controller;
    std::unique_ptr<SettingsModel> model;
};

} // namespace

TEST(SettingsModel, MovesKeepTheMovedEntriesInOrder) {
    const std::tuple<std::vector<std::size_t>, std::size_t, std::string> moves[]{
        {{4}, 0, "eabcd"}, {{0}, 5, "bcdea"},    {{0}, 1, "abcde"},    {{0}, 2, "bacde"},
        {{3}, 1, "adbce"}, {{1, 3}, 0, "bdace"}, {{0, 2}, 4, "bdace"}, {{3, 1}, 5, "acebd"},
        {{2}, 2, "abcde"}, {{2}, 3, "abcde"},
    };
    for (const auto& [sources, destination, expected] : moves) {
        Fixture f;
        f.model->move(sources, destination);
        EXPECT_EQ(f.labels(), expected) << "move to " << destination;
    }
    EXPECT_FALSE(Fixture().model->addButtonEnabled()) << "five entries at most";
}

TEST(ItemEditorModel, SaveNeedsALabelAndForTextATextNothingTrimmed) {
    ItemEditorModel editor({Uuid::random(), "", PopupAction::insertText("")});
    const std::tuple<std::string, ActionType, std::string, bool> steps[]{
        {"Sig", ActionType::text, "", false}, {"Sig", ActionType::text, " ", true},
        {"", ActionType::text, " ", false},   {"", ActionType::key, "", false},
        {" ", ActionType::key, "", true},
    };
    for (const auto& [label, type, text, allowed] : steps) {
        editor.setLabel(label);
        editor.setActionType(type);
        editor.setTextValue(text);
        EXPECT_EQ(editor.saveEnabled(), allowed) << "[" << label << "] [" << text << "]";
    }
}

TEST(ItemEditorModel, AnEmptyOrKeyNamedLabelFollowsTheKeyAndTheUsersOwnStays) {
    const std::tuple<std::string, SpecialKey, std::string> cases[]{
        {"", SpecialKey::returnKey, "Tab"},  {"Return", SpecialKey::returnKey, "Tab"},
        {"Go", SpecialKey::returnKey, "Go"}, {"return", SpecialKey::returnKey, "return"},
        {"Tab ", SpecialKey::tab, "Tab "},   {"Escape", SpecialKey::space, "Escape"},
    };
    for (const auto& [label, from, after] : cases) {
        ItemEditorModel editor({Uuid::random(), label, PopupAction::pressKey(from)});
        editor.setKeyValue(from);
        EXPECT_EQ(editor.label(), label) << "the same key again changes nothing";
        editor.setKeyValue(SpecialKey::tab);
        EXPECT_EQ(editor.label(), after) << label;
    }
}

TEST(SettingsModel, WhereAShortcutOpensThePopupNoButtonCanBeAssigned) {
    Fixture fixture;
    fixture.platform.opener = PopupOpener::shortcut;
    fixture.platform.store["assignedButton"] = std::int64_t{4};
    fixture.controller = std::make_unique<ClickController>(fixture.platform);
    const SettingsModel model(*fixture.controller);
    EXPECT_EQ(model.assignedButtonValue(), "None: a keyboard shortcut runs tavrin --popup");
    EXPECT_FALSE(model.assignButtonEnabled());
    EXPECT_FALSE(model.clearButtonShown());
}
