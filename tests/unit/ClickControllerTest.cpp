#include "ClickController.h"

#include "FakePlatform.h"
#include "ItemCodec.h"

#include <gtest/gtest.h>

using namespace tavrin;
using namespace std::chrono_literals;
using tavrin::testing::FakePlatform;

namespace {

std::string storedList(const std::vector<MenuItem>& items) {
    return *itemCodec::encode(items);
}

MenuItem textItem(std::string label, std::string text) {
    return {Uuid::random(), std::move(label), PopupAction::insertText(std::move(text))};
}

} // namespace

TEST(ClickControllerStart, EmptyStoreGivesDefaultsAndWritesNothing) {
    FakePlatform platform;
    ClickController controller(platform);
    EXPECT_TRUE(controller.enabled());
    EXPECT_FALSE(controller.assignedButton());
    EXPECT_EQ(controller.menuItems(), MenuItem::defaults());
    EXPECT_TRUE(platform.writes.empty());
    EXPECT_TRUE(platform.loginItemCalls.empty());
    EXPECT_EQ(platform.tapsCreated, 0);
}

TEST(ClickControllerStart, ReadsOnlyValuesOfTheRightKind) {
    struct Case {
        FakePlatform::StoredValue enabled;
        FakePlatform::StoredValue button;
        bool expectEnabled;
        std::optional<int> expectButton;
    };
    const std::vector<Case> cases{
        {false, std::int64_t{4}, false, 4},
        {std::string("false"), std::int64_t{2}, true, 2},
        {std::int64_t{0}, std::string("4"), true, std::nullopt},
        {true, std::int64_t{1}, true, std::nullopt},
        {true, std::int64_t{0}, true, std::nullopt},
        {true, std::int64_t{-1}, true, std::nullopt},
        {true, std::int64_t{1} << 40, true, std::nullopt},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        platform.store["enabled"] = c.enabled;
        platform.store["assignedButton"] = c.button;
        ClickController controller(platform);
        EXPECT_EQ(controller.enabled(), c.expectEnabled);
        EXPECT_EQ(controller.assignedButton(), c.expectButton);
        EXPECT_TRUE(platform.writes.empty()) << "nothing is rewritten when read";
    }
}

TEST(ClickControllerStart, ReadsTheLoginItemWithoutTouchingIt) {
    FakePlatform platform;
    platform.loginItemRegistered = true;
    ClickController controller(platform);
    EXPECT_TRUE(controller.launchAtLogin());
    EXPECT_TRUE(platform.loginItemCalls.empty());
}

TEST(ClickControllerStart, StoredListLoadsInOrderWithoutTruncation) {
    FakePlatform platform;
    std::vector<MenuItem> seven;
    for (int i = 0; i < 7; ++i)
        seven.push_back(textItem("e" + std::to_string(i), "t"));
    platform.store["menuItems"] = storedList(seven);
    ClickController controller(platform);
    EXPECT_EQ(controller.menuItems(), seven);
    EXPECT_TRUE(platform.writes.empty());
}

TEST(ClickControllerStart, EmptyOrWrongKindListFallsBackAndLeavesTheStoreAlone) {
    for (FakePlatform::StoredValue value : {FakePlatform::StoredValue{std::string("[]")},
                                            FakePlatform::StoredValue{std::int64_t{3}}}) {
        FakePlatform platform;
        platform.store["menuItems"] = value;
        ClickController controller(platform);
        EXPECT_EQ(controller.menuItems(), MenuItem::defaults());
        EXPECT_TRUE(platform.writes.empty());
        controller.setMenuItems({});
        EXPECT_TRUE(platform.keptUnreadable.empty()) << "only undecodable bytes are kept";
    }
}

TEST(ClickControllerStart, UnreadableListIsKeptOnceBeforeTheFirstSave) {
    FakePlatform platform;
    const std::string broken = R"([{"id":"x","label":"mine"}])";
    platform.store["menuItems"] = broken;
    ClickController controller(platform);
    EXPECT_EQ(controller.menuItems(), MenuItem::defaults());
    EXPECT_TRUE(platform.keptUnreadable.empty()) << "loading alone keeps the store as it was";

    controller.setMenuItems({textItem("a", "b")});
    controller.setMenuItems({textItem("c", "d")});
    ASSERT_EQ(platform.keptUnreadable.size(), 1u);
    EXPECT_EQ(platform.keptUnreadable[0].second, broken);
}

TEST(ClickControllerStart, UnreadableListIsNeverOverwrittenWhileItCannotBeKept) {
    FakePlatform platform;
    platform.store["menuItems"] = std::string("not json");
    platform.keepingFails = true;
    ClickController controller(platform);
    controller.setMenuItems({textItem("a", "b")});
    EXPECT_EQ(std::get<std::string>(platform.store["menuItems"]), "not json");
    platform.keepingFails = false;
    controller.setMenuItems({textItem("a", "b")});
    EXPECT_EQ(platform.keptUnreadable.size(), 1u);
    EXPECT_EQ(std::get<std::string>(platform.store["menuItems"]),
              storedList(controller.menuItems()));
}

TEST(Migration, LowerCaseDefaultsAreCorrectedAndWrittenBackOnce) {
    FakePlatform platform;
    const auto enter =
        MenuItem{Uuid::random(), "mention", PopupAction::pressKey(SpecialKey::returnKey)};
    const std::vector<MenuItem> stored{textItem("x", "y"), textItem("command", "/"),
                                       textItem("mention", "@"), enter};
    platform.store["menuItems"] = storedList(stored);
    {
        ClickController controller(platform);
        const auto& items = controller.menuItems();
        ASSERT_EQ(items.size(), 4u);
        EXPECT_EQ(items[1].label, "Command");
        EXPECT_EQ(items[2].label, "Mention");
        EXPECT_EQ(items[3].label, "mention") << "a key entry is never migrated";
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_EQ(items[i].id, stored[i].id);
        ASSERT_EQ(platform.writes.size(), 1u);
        EXPECT_EQ(std::get<std::string>(platform.writes[0].value), storedList(items));
    }
    platform.writes.clear();
    ClickController again(platform);
    EXPECT_TRUE(platform.writes.empty());
}

TEST(Migration, OnlyExactLabelAndTextPairsChange) {
    FakePlatform platform;
    const std::vector<MenuItem> stored{textItem("mention", "@@"), textItem("mention ", "@"),
                                       textItem("Mention", "@"),  textItem("command", "@"),
                                       textItem("MENTION", "@"),  textItem("mention", "@ ")};
    const auto result = ClickController::migrateLowercaseDefaults(platform, stored);
    EXPECT_EQ(result, stored);
    EXPECT_TRUE(platform.writes.empty());
}

TEST(ClickControllerStatus, EveryRowOfTheStatusAndIconTables) {
    struct Case {
        bool granted, assign, enabled;
        std::optional<std::int64_t> button;
        const char* status;
        const char* symbol;
    };
    const std::vector<Case> cases{
        {false, true, true, 4, "Needs Accessibility permission", "cursorarrow.slash"},
        {true, true, false, std::nullopt, "Press a mouse button to assign\u2026",
         "cursorarrow.click.badge.clock"},
        {true, false, true, std::nullopt, "No button assigned yet", "cursorarrow"},
        {true, false, false, std::nullopt, "No button assigned yet", "cursorarrow"},
        {true, false, true, 3, "Watching button 3", "cursorarrow.click.2"},
        {true, false, false, 4, "Disabled (button 4)", "cursorarrow"},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        platform.trusted = c.granted;
        platform.store["enabled"] = c.enabled;
        if (c.button)
            platform.store["assignedButton"] = *c.button;
        ClickController controller(platform);
        if (c.assign)
            controller.beginAssign();
        EXPECT_EQ(controller.statusLine(), c.status);
        EXPECT_EQ(controller.menuSymbol(), c.symbol);
    }
}

TEST(ClickControllerReactions, EveryAssignmentStoresAndNotifiesEvenWhenUnchanged) {
    FakePlatform platform;
    platform.trusted = true;
    ClickController controller(platform);
    int notified = 0;
    controller.addObserver([&] { ++notified; });

    controller.setEnabled(true);
    controller.setEnabled(true);
    ASSERT_EQ(platform.writes.size(), 2u);
    EXPECT_EQ(platform.writes[1].key, "enabled");
    EXPECT_EQ(std::get<bool>(platform.writes[1].value), true);

    const auto items = controller.menuItems();
    controller.setMenuItems(items);
    EXPECT_EQ(platform.writes.back().key, "menuItems");
    EXPECT_EQ(std::get<std::string>(platform.writes.back().value), storedList(items));
    EXPECT_EQ(notified, 3);
}

TEST(ClickControllerReactions, ClearStoresMinusOneAndSurvivesARestart) {
    FakePlatform platform;
    platform.trusted = true;
    platform.store["assignedButton"] = std::int64_t{5};
    {
        ClickController controller(platform);
        ASSERT_TRUE(platform.activeTap);
        controller.clearAssignedButton();
        EXPECT_EQ(std::get<std::int64_t>(platform.store["assignedButton"]), -1);
        EXPECT_FALSE(platform.activeTap && platform.activeTap->enabled);
    }
    ClickController restarted(platform);
    EXPECT_FALSE(restarted.assignedButton());
}

TEST(ClickControllerReactions, ObserversMayRemoveThemselvesWhileBeingTold) {
    FakePlatform platform;
    ClickController controller(platform);
    int calls = 0;
    ClickController::ObserverId id = 0;
    id = controller.addObserver([&] {
        ++calls;
        controller.removeObserver(id);
    });
    controller.setEnabled(false);
    controller.setEnabled(true);
    EXPECT_EQ(calls, 1);
}

TEST(LoginItem, TogglingRegistersOnceAndTheHeldValueCallsNothing) {
    FakePlatform platform;
    ClickController controller(platform);
    controller.setLaunchAtLogin(false);
    EXPECT_TRUE(platform.loginItemCalls.empty());
    controller.setLaunchAtLogin(true);
    controller.setLaunchAtLogin(true);
    controller.setLaunchAtLogin(false);
    EXPECT_EQ(platform.loginItemCalls, (std::vector<std::string>{"register", "unregister"}));
}

TEST(LoginItem, AStatusThatContradictsEveryCallStillEnds) {
    struct FlippingPlatform : FakePlatform {
        bool flip = false;
        bool loginItemEnabled() override { return flip = !flip; }
    } platform;
    ClickController controller(platform);
    platform.loginItemCallsFail = true;
    controller.setLaunchAtLogin(!controller.launchAtLogin());
    EXPECT_LE(platform.loginItemCalls.size(), 6u);
}

TEST(Permission, PollGrantsWithinOneIntervalAndThenStopsForGood) {
    FakePlatform platform;
    platform.store["assignedButton"] = std::int64_t{4};
    ClickController controller(platform);
    EXPECT_TRUE(platform.timerRunning());
    platform.advance(2000ms);
    EXPECT_FALSE(controller.accessibilityGranted());
    EXPECT_EQ(platform.tapsCreated, 0);

    platform.trusted = true;
    platform.advance(1999ms);
    EXPECT_FALSE(controller.accessibilityGranted()) << "no tick before its time";
    platform.advance(1ms);
    EXPECT_TRUE(controller.accessibilityGranted());
    EXPECT_EQ(controller.statusLine(), "Watching button 4");
    EXPECT_EQ(platform.tapsCreated, 1);
    EXPECT_FALSE(platform.timerRunning());

    platform.trusted = false;
    platform.advance(10000ms);
    EXPECT_TRUE(controller.accessibilityGranted()) << "a withdrawn permission is not polled";
}

TEST(Permission, PollTaskAfterTheControllerIsGoneDoesNothing) {
    FakePlatform platform;
    auto controller = std::make_unique<ClickController>(platform);
    platform.trusted = true;
    platform.advance(2000ms); // the tick queues its task
    controller.reset();
    platform.advance(10000ms);
    EXPECT_EQ(platform.tapsCreated, 0);
}
