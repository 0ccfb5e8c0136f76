#include "MenuItem.h"

#include <gtest/gtest.h>

using namespace tavrin;

TEST(MenuItem, EqualityTakesTheIdAndComparesTextsByCanonicalEquivalence) {
    const Uuid id = Uuid::random();
    const MenuItem composed{id, "caf\u00E9", PopupAction::insertText("\u00C5")};
    EXPECT_EQ(composed, (MenuItem{id, "cafe\u0301", PopupAction::insertText("A\u030A")}));
    EXPECT_NE(composed, (MenuItem{id, "cafe", PopupAction::insertText("\u00C5")}));
    EXPECT_NE(composed, (MenuItem{id, "caf\u00E9", PopupAction::insertText("A")}));
    EXPECT_NE(composed, (MenuItem{Uuid::random(), "caf\u00E9", PopupAction::insertText("\u00C5")}));
    EXPECT_NE(PopupAction::insertText("Return"), PopupAction::pressKey(SpecialKey::returnKey));
    EXPECT_NE(PopupAction::pressKey(SpecialKey::tab), PopupAction::pressKey(SpecialKey::space));
    EXPECT_NE(MenuItem::defaults()[0].id, MenuItem::defaults()[1].id);
}

TEST(Uuid, ParsesEitherCaseAndWritesUpperCase) {
    EXPECT_EQ(Uuid::parse("0f8fad5b-d9cb-469f-a165-70867728950e").value().text(),
              "0F8FAD5B-D9CB-469F-A165-70867728950E");
    for (const char* bad :
         {"", "0f8fad5b-d9cb-469f-a165-70867728950", "0f8fad5bd-9cb-469f-a165-70867728950e",
          "0f8fad5b-d9cb-469f-a165-70867728950g", "0f8fad5b-d9cb-469f-a165-70867728950e "})
        EXPECT_FALSE(Uuid::parse(bad)) << bad;
    const std::string fresh = Uuid::random().text();
    EXPECT_EQ(fresh[14], '4') << "version 4";
    EXPECT_NE(std::string("89AB").find(fresh[19]), std::string::npos) << "variant 1";
}
