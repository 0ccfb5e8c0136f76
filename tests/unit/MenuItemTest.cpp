#include "MenuItem.h"

#include <gtest/gtest.h>

using namespace tavrin;

TEST(SpecialKey, BuiltOnlyFromTheExactRawValues) {
    EXPECT_EQ(specialKey::fromRawValue("Return"), SpecialKey::returnKey);
    EXPECT_EQ(specialKey::fromRawValue("Forward Delete"), SpecialKey::forwardDelete);
    for (const char* text : {"return", "RETURN", "ForwardDelete", "Forward  Delete", "", "Enter"})
        EXPECT_FALSE(specialKey::fromRawValue(text).has_value()) << text;
}

TEST(MenuItem, IdentityIsPartOfEquality) {
    const MenuItem item{Uuid::random(), "Mention", PopupAction::insertText("@")};
    MenuItem otherId = item;
    otherId.id = Uuid::random();
    EXPECT_NE(item, otherId);

    MenuItem edited = item;
    edited.label = "Something else";
    EXPECT_NE(item, edited);
    edited.label = "Mention";
    EXPECT_EQ(item, edited);
}

TEST(MenuItem, TextsCompareByCanonicalEquivalence) {
    const Uuid id = Uuid::random();
    const MenuItem composed{id, "caf\u00E9", PopupAction::insertText("\u00C5")};
    const MenuItem decomposed{id, "cafe\u0301", PopupAction::insertText("A\u030A")};
    EXPECT_EQ(composed, decomposed);
    EXPECT_NE(composed, (MenuItem{id, "cafe", PopupAction::insertText("\u00C5")}));
}

TEST(PopupAction, TextAndKeyAreDifferentCases) {
    EXPECT_NE(PopupAction::insertText("Return"), PopupAction::pressKey(SpecialKey::returnKey));
    EXPECT_EQ(PopupAction::pressKey(SpecialKey::tab), PopupAction::pressKey(SpecialKey::tab));
    EXPECT_NE(PopupAction::pressKey(SpecialKey::tab), PopupAction::pressKey(SpecialKey::space));
}

TEST(MenuItem, DefaultsAreBuiltOnceWithDistinctIds) {
    const auto& first = MenuItem::defaults();
    const auto& second = MenuItem::defaults();
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(&first, &second);
    EXPECT_NE(first[0].id, first[1].id);
    EXPECT_NE(first[1].id, first[2].id);
    EXPECT_EQ(first[0].action, PopupAction::insertText("@"));
    EXPECT_EQ(first[1].action, PopupAction::insertText("/"));
    EXPECT_EQ(first[2].action, PopupAction::pressKey(SpecialKey::returnKey));
}

TEST(Uuid, ParsesEitherCaseAndWritesUpperCase) {
    const auto parsed = Uuid::parse("0f8fad5b-d9cb-469f-a165-70867728950e");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->text(), "0F8FAD5B-D9CB-469F-A165-70867728950E");
    EXPECT_EQ(Uuid::parse(parsed->text()), parsed);
    for (const char* bad :
         {"", "0f8fad5b-d9cb-469f-a165-70867728950", "0f8fad5bd-9cb-469f-a165-70867728950e",
          "0f8fad5b-d9cb-469f-a165-70867728950g", "{0f8fad5b-d9cb-469f-a165-7086772895}",
          "0f8fad5b-d9cb-469f-a165-70867728950e "})
        EXPECT_FALSE(Uuid::parse(bad)) << bad;
}
