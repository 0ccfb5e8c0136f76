#include "keys/KeySender.h"

#include "FakePlatform.h"

#include <gtest/gtest.h>

using namespace tavrin;
using tavrin::testing::FakePlatform;

TEST(KeySender, ATextOrAKeyTravelsOnOneDownAndOneUpAndNothingWhenEitherCannotBeMade) {
    const PopupAction actions[]{PopupAction::insertText("a\n\U0001F600/"),
                                PopupAction::pressKey(SpecialKey::tab)};
    for (const auto& action : actions) {
        FakePlatform platform;
        KeySender::perform(platform, action);
        ASSERT_EQ(platform.postedKeyEvents.size(), 2u);
        const auto* key = action.asPressKey();
        for (bool down : {true, false}) {
            const KeyboardEvent& event = platform.postedKeyEvents[down ? 0 : 1];
            EXPECT_EQ(event.down, down);
            EXPECT_EQ(event.key, key ? std::optional(key->key) : std::nullopt);
            EXPECT_EQ(event.text, key ? u"" : u"a\n\U0001F600/");
        }
        for (int left : {0, 1}) {
            FakePlatform failing;
            failing.keyboardEventsLeft = left;
            KeySender::perform(failing, action);
            EXPECT_TRUE(failing.postedKeyEvents.empty());
        }
    }
}
