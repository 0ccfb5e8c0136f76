#include "ClickController.h"
#include "FakePlatform.h"
#include "SettingsModel.h"

#include <gtest/gtest.h>

using namespace tavrin;
using namespace std::chrono_literals;
using tavrin::testing::FakePlatform;

namespace {

struct Untrusted {
    Untrusted() { platform.store["assignedButton"] = std::int64_t{4}; }
    FakePlatform platform;
};

} // namespace

TEST(AccessibilityRequest, RefusedPromptOpensHelpAndTheLaterGrantArrivesByThePoll) {
    Untrusted fixture;
    auto& platform = fixture.platform;
    ClickController controller(platform);
    SettingsModel model(controller);

    controller.requestAccessibility();
    EXPECT_EQ(platform.promptCount, 1);
    EXPECT_EQ(platform.helpOpened, 1);
    EXPECT_EQ(controller.statusLine(), "Needs Accessibility permission");
    EXPECT_TRUE(model.permissionSectionShown());
    EXPECT_FALSE(model.assignButtonEnabled());
    EXPECT_EQ(platform.tapsCreated, 0);

    platform.trusted = true;
    platform.advance(2000ms);
    EXPECT_FALSE(model.permissionSectionShown());
    EXPECT_TRUE(model.assignButtonEnabled());
    EXPECT_EQ(controller.statusLine(), "Watching button 4");
    ASSERT_TRUE(platform.activeTap);
    EXPECT_TRUE(platform.activeTap->enabled);
    EXPECT_EQ(platform.promptCount, 1) << "the poll never prompts";
}

TEST(AccessibilityRequest, AGrantSeenByThePromptActsAtOnceAndThePollStops) {
    Untrusted fixture;
    auto& platform = fixture.platform;
    ClickController controller(platform);
    SettingsModel model(controller);
    int notified = 0;
    controller.addObserver([&] { ++notified; });

    platform.trusted = true;
    controller.requestAccessibility();
    EXPECT_GE(notified, 1);
    EXPECT_FALSE(model.permissionSectionShown());
    ASSERT_TRUE(platform.activeTap);
    EXPECT_TRUE(platform.activeTap->enabled);

    platform.advance(2000ms);
    EXPECT_FALSE(platform.timerRunning());
    EXPECT_EQ(platform.tapsCreated, 1);
}

TEST(AccessibilityRequest, AssignModeStartedBeforeTheGrantWatchesEverySpareButton) {
    Untrusted fixture;
    auto& platform = fixture.platform;
    ClickController controller(platform);
    controller.beginAssign();
    EXPECT_EQ(platform.tapsCreated, 0) << "no tap without the permission";

    platform.trusted = true;
    controller.requestAccessibility();
    ASSERT_TRUE(platform.activeTap);
    EXPECT_EQ(platform.activeTap->watched, WatchedButtons{});
    platform.deliver(ButtonEventType::press, 7);
    EXPECT_EQ(controller.assignedButton(), 7);
}
