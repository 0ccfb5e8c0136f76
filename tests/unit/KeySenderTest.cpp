#include "keys/KeySender.h"

#include "FakePlatform.h"

#include <gtest/gtest.h>

using namespace tavrin;
using tavrin::testing::FakePlatform;

TEST(KeySender, TextTravelsWholeOnOneDownAndOneUp) {
    FakePlatform platform;
    KeySender::perform(platform, PopupAction::insertText("a\n\U0001F600/"));
    ASSERT_EQ(platform.postedKeyEvents.size(), 2u);
    const auto& down = platform.postedKeyEvents[0];
    const auto& up = platform.postedKeyEvents[1];
    EXPECT_TRUE(down.down);
    EXPECT_FALSE(up.down);
    EXPECT_FALSE(down.key || up.key);
    EXPECT_EQ(down.text, u"a\n\U0001F600/");
    EXPECT_EQ(down.text.size(), 5u); // the emoji counts as two units
    EXPECT_EQ(up.text, down.text);
}

TEST(KeySender, EmptyTextStillPostsThePair) {
    FakePlatform platform;
    KeySender::perform(platform, PopupAction::insertText(""));
    ASSERT_EQ(platform.postedKeyEvents.size(), 2u);
    EXPECT_TRUE(platform.postedKeyEvents[0].text.empty());
}

TEST(KeySender, SpecialKeysPostDownThenUpWithoutText) {
    for (SpecialKey key : specialKey::allCases) {
        FakePlatform platform;
        KeySender::perform(platform, PopupAction::pressKey(key));
        ASSERT_EQ(platform.postedKeyEvents.size(), 2u);
        EXPECT_EQ(platform.postedKeyEvents[0].key, key);
        EXPECT_TRUE(platform.postedKeyEvents[0].down);
        EXPECT_EQ(platform.postedKeyEvents[1].key, key);
        EXPECT_FALSE(platform.postedKeyEvents[1].down);
        EXPECT_TRUE(platform.postedKeyEvents[0].text.empty());
    }
}

TEST(KeySender, NothingIsPostedWhenEitherEventCannotBeMade) {
    for (int left : {0, 1}) {
        FakePlatform platform;
        platform.keyboardEventsLeft = left;
        KeySender::perform(platform, PopupAction::insertText("x"));
        KeySender::perform(platform, PopupAction::pressKey(SpecialKey::tab));
        EXPECT_TRUE(platform.postedKeyEvents.empty()) << left;
    }
}
