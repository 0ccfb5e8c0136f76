#include "keys/KeySender.h"

#include "FakePlatform.h"

#include <gtest/gtest.h>

using namespace tavrin;

TEST(KeySender, ATextOrAKeyTravelsOnOneDownAndOneUpAndNothingWhenEitherCannotBeMade) {
    using Posted = std::vector<std::tuple<std::optional<SpecialKey>, bool, std::u16string>>;
    const std::tuple<PopupAction, std::optional<SpecialKey>, std::u16string> cases[]{
        {PopupAction::insertText("a\n\U0001F600/"), std::nullopt, u"a\n\U0001F600/"},
        {PopupAction::pressKey(SpecialKey::tab), SpecialKey::tab, u""},
    };
    for (const auto& [action, key, text] : cases) {
        for (const int eventsLeft : {-1, 0, 1}) { // -1: no limit
            tavrin::testing::FakePlatform platform;
            if (eventsLeft >= 0)
                platform.keyboardEventsLeft = eventsLeft;
            KeySender::perform(platform, action);
            Posted posted;
            for (const auto& event : platform.postedKeyEvents)
                posted.emplace_back(event.key, event.down, event.text);
            const Posted both{{key, true, text}, {key, false, text}};
            EXPECT_EQ(posted, eventsLeft < 0 ? both : Posted{});
        }
    }
}
