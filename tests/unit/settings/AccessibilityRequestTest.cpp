#include "ClickController.h"
#include "FakePlatform.h"

#include <gtest/gtest.h>

using namespace tavrin;
using namespace std::chrono_literals;
using tavrin::testing::FakePlatform;

TEST(AccessibilityRequest, AGrantSeenByThePromptActsAtOnceAndThePollStops) {
    FakePlatform platform;
    ClickController controller(platform);
    controller.beginAssign();
    controller.requestAccessibility();
    EXPECT_EQ(platform.helpOpened, 1);
    EXPECT_EQ(platform.tapsCreated, 0) << "a refused prompt installs nothing";

    platform.trusted = true;
    controller.requestAccessibility();
    EXPECT_TRUE(controller.accessibilityGranted());
    ASSERT_TRUE(platform.activeTap);
    EXPECT_TRUE(platform.activeTap->enabled);
    EXPECT_EQ(platform.activeTap->watched, WatchedButtons{}) << "assign mode watches every button";
    EXPECT_EQ(platform.helpOpened, 2) << "the help opens also once granted";

    platform.advance(2000ms);
    EXPECT_FALSE(platform.timerRunning());
    EXPECT_EQ(platform.tapsCreated, 1);
    EXPECT_EQ(platform.promptCount, 2) << "the poll never prompts";
}
