#include "ItemEditorModel.h"

#include <gtest/gtest.h>

using namespace tavrin;

namespace {

MenuItem newEntry() {
    return {Uuid::random(), "", PopupAction::insertText("")};
}

} // namespace

TEST(ItemEditorModelStart, StateComesFromTheEntry) {
    const MenuItem text{Uuid::random(), "Mention", PopupAction::insertText("@")};
    ItemEditorModel fromText(text);
    EXPECT_EQ(fromText.label(), "Mention");
    EXPECT_EQ(fromText.actionType(), ActionType::text);
    EXPECT_EQ(fromText.textValue(), "@");
    EXPECT_EQ(fromText.keyValue(), SpecialKey::returnKey);
    EXPECT_EQ(fromText.result(), text);

    const MenuItem key{Uuid::random(), "Out", PopupAction::pressKey(SpecialKey::escape)};
    ItemEditorModel fromKey(key);
    EXPECT_EQ(fromKey.actionType(), ActionType::key);
    EXPECT_EQ(fromKey.textValue(), "");
    EXPECT_EQ(fromKey.keyValue(), SpecialKey::escape);
    EXPECT_EQ(fromKey.result(), key);
}

TEST(ItemEditorModelSave, NeedsALabelAndForTextATextWithoutTrimming) {
    ItemEditorModel editor(newEntry());
    EXPECT_FALSE(editor.saveEnabled());
    editor.setLabel("Sig");
    EXPECT_FALSE(editor.saveEnabled()) << "a label alone is not enough for a text";
    editor.setTextValue(" ");
    EXPECT_TRUE(editor.saveEnabled()) << "a text of one space counts";
    editor.setLabel("");
    EXPECT_FALSE(editor.saveEnabled());

    editor.setActionType(ActionType::key);
    EXPECT_FALSE(editor.saveEnabled()) << "the key action still needs a label";
    editor.setLabel(" ");
    EXPECT_TRUE(editor.saveEnabled());
    editor.setTextValue("");
    EXPECT_TRUE(editor.saveEnabled()) << "the text does not matter for a key";
    const MenuItem saved = editor.result();
    EXPECT_EQ(saved.label, " ");
    EXPECT_EQ(saved.action, PopupAction::pressKey(SpecialKey::returnKey));
}

TEST(ItemEditorModelLabel, AnEmptyOrKeyNamedLabelFollowsTheKey) {
    ItemEditorModel editor(newEntry());
    editor.setActionType(ActionType::key);
    EXPECT_EQ(editor.label(), "") << "switching the action type leaves the label";

    editor.setKeyValue(SpecialKey::returnKey);
    EXPECT_EQ(editor.label(), "") << "picking the same key again changes nothing";
    editor.setKeyValue(SpecialKey::tab);
    EXPECT_EQ(editor.label(), "Tab");
    EXPECT_TRUE(editor.saveEnabled());
    editor.setKeyValue(SpecialKey::escape);
    EXPECT_EQ(editor.label(), "Escape");
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
    EXPECT_EQ(editor.label(), "Mail");
    MenuItem saved = editor.result();
    EXPECT_EQ(saved.id, entry.id);
    EXPECT_EQ(saved.action, PopupAction::pressKey(SpecialKey::space));

    editor.setActionType(ActionType::text);
    EXPECT_EQ(editor.textValue(), "me@example.org");
    saved = editor.result();
    EXPECT_EQ(saved, entry);
    EXPECT_EQ(editor.keyValue(), SpecialKey::space);
}
