#include "ItemEditorModel.h"

#include <gtest/gtest.h>

using namespace tavrin;

TEST(ItemEditorModel, SaveNeedsALabelAndForTextATextNothingTrimmed) {
    ItemEditorModel editor({Uuid::random(), "", PopupAction::insertText("")});
    editor.setLabel("Sig");
    EXPECT_FALSE(editor.saveEnabled());
    editor.setTextValue(" ");
    EXPECT_TRUE(editor.saveEnabled());
    editor.setLabel("");
    EXPECT_FALSE(editor.saveEnabled());
    editor.setActionType(ActionType::key);
    editor.setTextValue("");
    EXPECT_FALSE(editor.saveEnabled());
    editor.setLabel(" ");
    EXPECT_TRUE(editor.saveEnabled());
}

TEST(ItemEditorModel, AnEmptyOrKeyNamedLabelFollowsTheKeyAndTheUsersOwnStays) {
    struct Case {
        std::string label;
        SpecialKey from;
        std::string after;
    };
    const Case cases[]{
        {"", SpecialKey::returnKey, "Tab"},  {"Return", SpecialKey::returnKey, "Tab"},
        {"Go", SpecialKey::returnKey, "Go"}, {"return", SpecialKey::returnKey, "return"},
        {"Tab ", SpecialKey::tab, "Tab "},   {"Escape", SpecialKey::space, "Escape"},
    };
    for (const auto& c : cases) {
        ItemEditorModel editor({Uuid::random(), c.label, PopupAction::pressKey(c.from)});
        editor.setKeyValue(c.from);
        EXPECT_EQ(editor.label(), c.label) << "the same key again changes nothing";
        editor.setKeyValue(SpecialKey::tab);
        EXPECT_EQ(editor.label(), c.after) << c.label;
    }
}

TEST(ItemEditorModel, SwitchingKeepsBothValuesAndOnlyTheChosenOneIsSaved) {
    const MenuItem entry{Uuid::random(), "Mail", PopupAction::insertText("me@example.org")};
    ItemEditorModel editor(entry);
    editor.setActionType(ActionType::key);
    editor.setKeyValue(SpecialKey::space);
    EXPECT_EQ(editor.result(),
              (MenuItem{entry.id, "Mail", PopupAction::pressKey(SpecialKey::space)}));
    editor.setActionType(ActionType::text);
    EXPECT_EQ(editor.result(), entry);
    const MenuItem key{Uuid::random(), "Out", PopupAction::pressKey(SpecialKey::escape)};
    EXPECT_EQ(ItemEditorModel(key).result(), key);
}
