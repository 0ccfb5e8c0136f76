#include "ItemEditorModel.h"

#include <gtest/gtest.h>

using namespace tavrin;

namespace {

MenuItem newEntry() {
    return {Uuid::random(), "", PopupAction::insertText("")};
}

} // namespace

TEST(ItemEditorModelStart, AKeyEntryOpensOnItsKey) {
    const MenuItem key{Uuid::random(), "Out", PopupAction::pressKey(SpecialKey::escape)};
    ItemEditorModel editor(key);
    EXPECT_EQ(editor.actionType(), ActionType::key);
    EXPECT_EQ(editor.textValue(), "");
    EXPECT_EQ(editor.result(), key);
}

TEST(ItemEditorModelSave, NeedsALabelAndForTextATextWithoutTrimming) {
    ItemEditorModel editor(newEntry());
    editor.setLabel("Sig");
    EXPECT_FALSE(editor.saveEnabled()) << "a label alone is not enough for a text";
    editor.setTextValue(" ");
    EXPECT_TRUE(editor.saveEnabled()) << "a text of one space counts";
    editor.setLabel("");
    EXPECT_FALSE(editor.saveEnabled());

    editor.setActionType(ActionType::key);
    EXPECT_FALSE(editor.saveEnabled()) << "the key action still needs a label";
    editor.setLabel(" ");
    editor.setTextValue("");
    EXPECT_TRUE(editor.saveEnabled()) << "the text does not matter for a key";
}

TEST(ItemEditorModelLabel, AnEmptyOrKeyNamedLabelFollowsTheKey) {
    ItemEditorModel editor(newEntry());
    editor.setActionType(ActionType::key);
    editor.setKeyValue(SpecialKey::returnKey);
    EXPECT_EQ(editor.label(), "") << "picking the same key again changes nothing";
    editor.setKeyValue(SpecialKey::tab);
    EXPECT_EQ(editor.label(), "Tab");
    editor.setKeyValue(SpecialKey::forwardDelete);
    EXPECT_EQ(editor.label(), "Forward Delete");
    editor.setActionType(ActionType::text);
    EXPECT_EQ(editor.label(), "Forward Delete");
}

TEST(ItemEditorModelLabel, ALabelOfTheUsersOwnNeverChanges) {
    struct Case {
        std::string label;
        SpecialKey from;
    };
    // "Enter" is the default entry's label for Return; "return" differs in case; "Tab " has a
    // trailing space; "Escape" names a key, but not the old one.
    for (const Case& c : {Case{"Go", SpecialKey::returnKey}, Case{"Enter", SpecialKey::returnKey},
                          Case{"return", SpecialKey::returnKey}, Case{"Tab ", SpecialKey::tab},
                          Case{"Escape", SpecialKey::space}}) {
        ItemEditorModel editor({Uuid::random(), c.label, PopupAction::pressKey(c.from)});
        editor.setKeyValue(SpecialKey::delete_);
        editor.setKeyValue(SpecialKey::tab);
        EXPECT_EQ(editor.label(), c.label);
    }
}

TEST(ItemEditorModelResult, SwitchingKeepsBothValuesAndOnlyTheChosenOneIsSaved) {
    const MenuItem entry{Uuid::random(), "Mail", PopupAction::insertText("me@example.org")};
    ItemEditorModel editor(entry);
    editor.setActionType(ActionType::key);
    editor.setKeyValue(SpecialKey::space);
    EXPECT_EQ(editor.result(),
              (MenuItem{entry.id, "Mail", PopupAction::pressKey(SpecialKey::space)}));

    editor.setActionType(ActionType::text);
    EXPECT_EQ(editor.result(), entry);
    EXPECT_EQ(editor.keyValue(), SpecialKey::space);
}
