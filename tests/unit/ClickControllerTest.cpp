#include "ClickController.h"

#include "FakePlatform.h"
#include "ItemCodec.h"

#include <gtest/gtest.h>

using namespace tavrin;
using namespace std::chrono_literals;
using tavrin::testing::FakePlatform;
using Stored = FakePlatform::StoredValue;
using Type = ButtonEventType;
using Strings = std::vector<std::string>;

namespace {

MenuItem textItem(std::string label, std::string text) {
    return {Uuid::random(), std::move(label), PopupAction::insertText(std::move(text))};
}

struct Controller : ::testing::Test {
    FakePlatform platform;
    std::unique_ptr<ClickController> controller;

    ClickController& start(std::optional<std::int64_t> button = 4, bool enabled = true) {
        platform.store["enabled"] = enabled;
        if (button)
            platform.store["assignedButton"] = *button;
        controller = std::make_unique<ClickController>(platform);
        return *controller;
    }
    bool tapOn() const { return platform.activeTap && platform.activeTap->enabled; }
    Verdict click(int button) {
        const Verdict down = platform.deliver(Type::press, button);
        EXPECT_EQ(platform.deliver(Type::release, button), down) << "one click, one verdict";
        return down;
    }
    std::string storedList() { return std::get<std::string>(platform.store["menuItems"]); }
};

} // namespace

TEST_F(Controller, AnEmptyStoreGivesTheDefaultsAndNothingIsTouched) {
    platform.loginItemRegistered = true;
    ClickController& c = *(controller = std::make_unique<ClickController>(platform));
    EXPECT_TRUE(c.enabled());
    EXPECT_FALSE(c.assignedButton());
    EXPECT_TRUE(c.launchAtLogin());
    EXPECT_EQ(c.menuItems(), MenuItem::defaults());
    EXPECT_TRUE(platform.writes.empty());
    EXPECT_TRUE(platform.loginItemCalls.empty());
    EXPECT_EQ(platform.tapsCreated, 0);
}

TEST_F(Controller, ReadsOnlyValuesOfTheRightKind) {
    struct Case {
        Stored enabled, button;
        bool expectEnabled;
        std::optional<int> expectButton;
    };
    const Case cases[]{
        {false, std::int64_t{4}, false, 4},
        {std::string("false"), std::int64_t{2}, true, 2},
        {std::int64_t{0}, std::string("4"), true, {}},
        {true, std::int64_t{1}, true, {}},
        {true, std::int64_t{0}, true, {}},
        {true, std::int64_t{-1}, true, {}},
        {true, std::int64_t{1} << 40, true, {}},
    };
    for (const auto& c : cases) {
        FakePlatform fresh;
        fresh.store = {{"enabled", c.enabled}, {"assignedButton", c.button}};
        ClickController started(fresh);
        EXPECT_EQ(started.enabled(), c.expectEnabled);
        EXPECT_EQ(started.assignedButton(), c.expectButton);
        EXPECT_TRUE(fresh.writes.empty());
    }
}

TEST_F(Controller, AStoredListLoadsWholeAndOnlyExactLowerCaseDefaultsAreCorrectedOnce) {
    const std::vector<MenuItem> stored{
        textItem("command", "/"),
        textItem("mention", "@"),
        textItem("mention", "@@"),
        textItem("mention ", "@"),
        textItem("MENTION", "@"),
        textItem("command", "@"),
        {Uuid::random(), "mention", PopupAction::pressKey(SpecialKey::returnKey)}};
    platform.store["menuItems"] = *itemCodec::encode(stored);
    auto expected = stored;
    expected[0].label = "Command";
    expected[1].label = "Mention";
    EXPECT_EQ(start().menuItems(), expected);
    for (std::size_t i = 0; i < stored.size(); ++i)
        EXPECT_EQ(controller->menuItems()[i].id, stored[i].id);
    ASSERT_EQ(platform.writes.size(), 1u);
    EXPECT_EQ(storedList(), *itemCodec::encode(expected));

    platform.writes.clear();
    ClickController again(platform);
    EXPECT_TRUE(platform.writes.empty());
}

TEST_F(Controller, AnEmptyOrWrongKindListFallsBackAndIsNotKept) {
    for (const Stored& value : {Stored{std::string("[]")}, Stored{std::int64_t{3}}}) {
        FakePlatform fresh;
        fresh.store["menuItems"] = value;
        ClickController started(fresh);
        EXPECT_EQ(started.menuItems(), MenuItem::defaults());
        started.setMenuItems({});
        EXPECT_EQ(fresh.writes.size(), 1u);
        EXPECT_TRUE(fresh.keptUnreadable.empty());
    }
}

TEST_F(Controller, AnUnreadableListIsKeptOnceAndNeverOverwrittenBeforeThat) {
    platform.store["menuItems"] = std::string("not json");
    platform.keepingFails = true;
    start();
    EXPECT_EQ(controller->menuItems(), MenuItem::defaults());
    controller->setMenuItems({textItem("a", "b")});
    EXPECT_EQ(storedList(), "not json");
    platform.keepingFails = false;
    controller->setMenuItems({textItem("c", "d")});
    controller->setMenuItems({textItem("e", "f")});
    EXPECT_EQ(platform.keptUnreadable,
              (std::vector<std::pair<std::string, std::string>>{{"menuItems", "not json"}}));
    EXPECT_EQ(storedList(), *itemCodec::encode(controller->menuItems()));
}

TEST_F(Controller, EveryRowOfTheStatusAndIconTables) {
    struct Case {
        bool granted, assign, enabled;
        std::optional<std::int64_t> button;
        const char* status;
        const char* symbol;
    };
    const Case cases[]{
        {false, true, true, 4, "Needs Accessibility permission", "cursorarrow.slash"},
        {true,
         true,
         false,
         {},
         "Press a mouse button to assign\u2026",
         "cursorarrow.click.badge.clock"},
        {true, false, true, {}, "No button assigned yet", "cursorarrow"},
        {true, false, false, {}, "No button assigned yet", "cursorarrow"},
        {true, false, true, 3, "Watching button 3", "cursorarrow.click.2"},
        {true, false, false, 4, "Disabled (button 4)", "cursorarrow"},
    };
    for (const auto& c : cases) {
        FakePlatform fresh;
        fresh.trusted = c.granted;
        fresh.store["enabled"] = c.enabled;
        if (c.button)
            fresh.store["assignedButton"] = *c.button;
        ClickController started(fresh);
        if (c.assign)
            started.beginAssign();
        EXPECT_EQ(started.statusLine(), c.status);
        EXPECT_EQ(started.menuSymbol(), c.symbol);
    }
}

TEST_F(Controller, EveryAssignmentStoresAndNotifiesAndObserversMayLeaveWhileTold) {
    start(5);
    int notified = 0;
    controller->addObserver([&] { ++notified; });
    ClickController::ObserverId leaving =
        controller->addObserver([&] { controller->removeObserver(leaving); });
    controller->setEnabled(true);
    controller->setEnabled(false);
    EXPECT_EQ(std::get<bool>(platform.store["enabled"]), false);
    controller->setMenuItems(controller->menuItems());
    EXPECT_EQ(storedList(), *itemCodec::encode(MenuItem::defaults()));
    controller->clearAssignedButton();
    EXPECT_EQ(std::get<std::int64_t>(platform.store["assignedButton"]), -1);
    EXPECT_EQ(notified, 4);
    EXPECT_EQ(platform.writes.size(), 4u);
    EXPECT_FALSE(ClickController(platform).assignedButton());
}

TEST_F(Controller, TheLoginSwitchCallsOnlyOnChangeAndSettlesAFailureToTheStatus) {
    start();
    controller->setLaunchAtLogin(false);
    controller->setLaunchAtLogin(true);
    controller->setLaunchAtLogin(true);
    controller->setLaunchAtLogin(false);
    EXPECT_EQ(platform.loginItemCalls, (Strings{"register", "unregister"}));

    platform.loginItemCalls.clear();
    platform.loginItemCallsFail = true;
    controller->setLaunchAtLogin(true);
    EXPECT_EQ(platform.loginItemCalls, (Strings{"register", "unregister"}));
    EXPECT_FALSE(controller->launchAtLogin());
    platform.loginItemRegistered = true; // registered after all, though the call failed
    controller->setLaunchAtLogin(true);
    EXPECT_TRUE(controller->launchAtLogin());
}

TEST_F(Controller, ASuccessIsNotReadBackAndAContradictingStatusStillEnds) {
    struct Flipping : FakePlatform {
        int reads = 0;
        bool loginItemEnabled() override { return reads++ % 2 == 1; }
    } flipping;
    ClickController c(flipping);
    c.setLaunchAtLogin(true);
    EXPECT_EQ(flipping.loginItemCalls, (Strings{"register"}));
    EXPECT_TRUE(c.launchAtLogin()) << "stays on until the next start reads the status";
    flipping.loginItemCallsFail = true;
    c.setLaunchAtLogin(false);
    EXPECT_LE(flipping.loginItemCalls.size(), 6u);
}

TEST_F(Controller, ThePermissionIsPolledEveryTwoSecondsUntilGrantedThenNeverAgain) {
    start();
    EXPECT_TRUE(platform.timerRunning());
    platform.advance(2000ms);
    platform.trusted = true;
    platform.advance(1999ms);
    EXPECT_FALSE(controller->accessibilityGranted()) << "no tick before its time";
    EXPECT_EQ(platform.tapsCreated, 0);
    platform.advance(1ms);
    EXPECT_TRUE(controller->accessibilityGranted());
    EXPECT_TRUE(tapOn());
    EXPECT_FALSE(platform.timerRunning());
    platform.trusted = false;
    platform.advance(10000ms);
    EXPECT_TRUE(controller->accessibilityGranted()) << "a withdrawn permission is not polled";
    EXPECT_EQ(platform.promptCount, 0) << "the poll never prompts";
}

TEST_F(Controller, TheRequestOpensTheHelpAndAGrantActsAtOnce) {
    start(std::nullopt);
    controller->beginAssign();
    controller->requestAccessibility();
    EXPECT_EQ(platform.tapsCreated, 0);
    platform.trusted = true;
    controller->requestAccessibility();
    EXPECT_EQ(platform.helpOpened, 2);
    EXPECT_EQ(platform.promptCount, 2);
    EXPECT_TRUE(tapOn());
    EXPECT_EQ(platform.deliver(Type::press, 2), Verdict::swallow);
    EXPECT_EQ(controller->assignedButton(), 2);
}

TEST_F(Controller, EventsAndQueuedWorkAfterTheControllerIsGoneDoNothing) {
    platform.trusted = true;
    start();
    auto callback = platform.activeTap->callback;
    click(4);
    controller.reset();
    EXPECT_EQ(callback({Type::press, 4}), Verdict::pass);
    platform.runPending();
    EXPECT_TRUE(platform.popupsShown.empty());
}

TEST_F(Controller, TheTapIsOnExactlyWhenGrantedEnabledAndAssignedWatchingThatButton) {
    struct Case {
        bool trusted, enabled;
        std::optional<std::int64_t> button;
    };
    for (const Case& c :
         {Case{true, true, 4}, Case{true, false, 4}, Case{true, true, {}}, Case{false, true, 4}}) {
        FakePlatform fresh;
        fresh.trusted = c.trusted;
        fresh.store["enabled"] = c.enabled;
        if (c.button)
            fresh.store["assignedButton"] = *c.button;
        ClickController started(fresh);
        const bool wanted = c.trusted && c.enabled && c.button;
        EXPECT_EQ(fresh.activeTap != nullptr, wanted);
        if (wanted) {
            EXPECT_EQ(fresh.activeTap->watched.only, 4);
        }
    }
}

TEST_F(Controller, TheAssignedButtonIsSwallowedAndOpensOnePopupOutsideTheCallback) {
    platform.trusted = true;
    start();
    EXPECT_EQ(click(4), Verdict::swallow);
    EXPECT_TRUE(platform.popupsShown.empty());
    platform.runPending();
    EXPECT_EQ(platform.popupsShown.size(), 1u);
    EXPECT_EQ(click(3), Verdict::pass);
    controller->setEnabled(false);
    EXPECT_FALSE(tapOn());
    EXPECT_EQ(click(4), Verdict::pass);
    controller->setEnabled(true);
    EXPECT_EQ(click(4), Verdict::swallow);
    platform.runPending();
    EXPECT_EQ(platform.popupsShown.size(), 2u);
}

TEST_F(Controller, PrimaryAndSecondaryPassInEveryState) {
    platform.trusted = true;
    start();
    for (int round = 0; round < 3; ++round) {
        if (round == 1)
            controller->beginAssign();
        if (round == 2)
            controller->setEnabled(false);
        for (const int button : {0, 1})
            for (const Type type : {Type::press, Type::release})
                EXPECT_EQ(controller->handle({type, button}), Verdict::pass);
    }
    EXPECT_TRUE(controller->assignMode());
}

TEST_F(Controller, AssignModeWatchesEverySpareButtonAndThePressAssignsIt) {
    platform.trusted = true;
    start(std::nullopt);
    controller->beginAssign();
    ASSERT_TRUE(tapOn());
    EXPECT_EQ(platform.activeTap->watched, WatchedButtons{});
    EXPECT_EQ(platform.deliver(Type::release, 7), Verdict::swallow);
    EXPECT_TRUE(controller->assignMode()) << "a stray release assigns nothing";
    EXPECT_EQ(platform.deliver(Type::press, 5), Verdict::swallow);
    EXPECT_FALSE(controller->assignMode());
    EXPECT_EQ(std::get<std::int64_t>(platform.store["assignedButton"]), 5);
    EXPECT_EQ(platform.activeTap->watched.only, 5);
    EXPECT_EQ(platform.deliver(Type::release, 5), Verdict::swallow);
    platform.runPending();
    EXPECT_TRUE(platform.popupsShown.empty()) << "the capturing press opens no popup";

    controller->beginAssign();
    controller->clearAssignedButton();
    EXPECT_TRUE(tapOn());
    EXPECT_TRUE(controller->assignMode());
}

TEST_F(Controller, AssignModeWhileDisabledEndsWithTheTapOffAfterTheCapture) {
    platform.trusted = true;
    start(std::nullopt, false);
    controller->beginAssign();
    EXPECT_EQ(platform.deliver(Type::press, 3), Verdict::swallow);
    EXPECT_EQ(controller->assignedButton(), 3);
    EXPECT_EQ(platform.deliver(Type::release, 3), Verdict::pass);
    platform.runPending(); // the retired tap is released after its callback returned
    EXPECT_EQ(platform.activeTap, nullptr);
}

TEST_F(Controller, ATapSwitchedOffOrRefusedIsTriedAgain) {
    platform.trusted = true;
    platform.tapRefused = true;
    start();
    EXPECT_EQ(platform.activeTap, nullptr);
    platform.tapRefused = false;
    controller->syncTap();
    platform.activeTap->enabled = false; // as if the system had switched it off
    EXPECT_EQ(platform.activeTap->callback({Type::tapDisabled, 0}), Verdict::pass);
    EXPECT_EQ(click(4), Verdict::swallow);
}

TEST_F(Controller, AChosenRowIsTypedOnce120msLaterAsItWasWhenChosen) {
    platform.trusted = true;
    start();
    controller->setMenuItems({textItem("Sig", "Best,\nMe"),
                              {Uuid::random(), "Go", PopupAction::pressKey(SpecialKey::tab)}});
    platform.popupBehaviour = [](const std::vector<PopupRow>& rows) -> std::optional<std::size_t> {
        EXPECT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[1].action, PopupAction::pressKey(SpecialKey::tab));
        return 0;
    };
    click(4);
    platform.runPending();
    controller->setMenuItems({});
    platform.advance(119ms);
    EXPECT_TRUE(platform.postedKeyEvents.empty());
    platform.advance(1ms);
    ASSERT_EQ(platform.postedKeyEvents.size(), 2u);
    EXPECT_EQ(platform.postedKeyEvents[0].text, u"Best,\nMe");
    platform.advance(1000ms);
    EXPECT_EQ(platform.postedKeyEvents.size(), 2u);
}

TEST_F(Controller, DismissingTypesNothingAndAnEmptyListShowsTheDefaults) {
    platform.trusted = true;
    start();
    controller->setMenuItems({});
    click(4);
    platform.runPending();
    platform.advance(1000ms);
    ASSERT_EQ(platform.popupsShown.size(), 1u);
    EXPECT_EQ(platform.popupsShown[0].size(), MenuItem::defaults().size());
    EXPECT_EQ(platform.popupsShown[0][0].action, MenuItem::defaults()[0].action);
    EXPECT_TRUE(platform.postedKeyEvents.empty());
}

TEST_F(Controller, APressWhileThePopupIsOpenDoesNotStackASecond) {
    platform.trusted = true;
    start();
    int depth = 0, deepest = 0;
    platform.popupBehaviour = [&](const std::vector<PopupRow>&) -> std::optional<std::size_t> {
        deepest = std::max(deepest, ++depth);
        EXPECT_EQ(click(4), Verdict::swallow);
        platform.runPending(); // the menu's nested loop runs queued work
        --depth;
        return std::nullopt;
    };
    click(4);
    platform.runPending();
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(platform.popupsShown.size(), 1u);
}
