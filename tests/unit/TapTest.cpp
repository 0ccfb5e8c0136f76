#include "ClickController.h"
#include "FakePlatform.h"

#include <gtest/gtest.h>

using namespace tavrin;
using namespace std::chrono_literals;
using tavrin::testing::FakePlatform;
using Type = ButtonEventType;

namespace {

struct TapFixture : ::testing::Test {
    FakePlatform platform;
    std::unique_ptr<ClickController> controller;

    void start(bool trusted, bool enabled, std::optional<std::int64_t> button) {
        platform.trusted = trusted;
        platform.store["enabled"] = enabled;
        if (button)
            platform.store["assignedButton"] = *button;
        controller = std::make_unique<ClickController>(platform);
    }
    bool tapOn() const { return platform.activeTap && platform.activeTap->enabled; }
    Verdict click(int button) {
        const Verdict down = platform.deliver(Type::press, button);
        const Verdict up = platform.deliver(Type::release, button);
        EXPECT_EQ(down, up) << "press and release of one click are treated alike";
        return down;
    }
};

} // namespace

TEST_F(TapFixture, SyncTapInstallsOnlyWhenWanted) {
    struct Case {
        bool trusted, enabled;
        std::optional<std::int64_t> button;
        bool wanted;
    };
    for (const Case& c : std::vector<Case>{{true, true, 4, true},
                                           {true, false, 4, false},
                                           {true, true, std::nullopt, false},
                                           {false, true, 4, false}}) {
        FakePlatform fresh;
        fresh.trusted = c.trusted;
        fresh.store["enabled"] = c.enabled;
        if (c.button)
            fresh.store["assignedButton"] = *c.button;
        ClickController started(fresh);
        EXPECT_EQ(fresh.activeTap != nullptr, c.wanted);
        EXPECT_EQ(fresh.timerRunning(), !c.trusted)
            << "the permission is polled only while missing";
        if (c.wanted) {
            EXPECT_EQ(fresh.activeTap->watched.only, 4);
        }
    }
}

TEST_F(TapFixture, DisablingRemovesTheTapAndEnablingMakesANewOne) {
    start(true, true, 4);
    EXPECT_EQ(click(4), Verdict::swallow);
    controller->setEnabled(false);
    EXPECT_FALSE(tapOn());
    EXPECT_EQ(click(4), Verdict::pass);
    controller->setEnabled(true);
    EXPECT_TRUE(tapOn());
    EXPECT_EQ(platform.tapsCreated, 2);
}

TEST_F(TapFixture, AssignedButtonIsSwallowedAndOpensOnePopupPerPress) {
    start(true, true, 4);
    EXPECT_EQ(click(4), Verdict::swallow);
    EXPECT_TRUE(platform.popupsShown.empty()) << "never opened inside the callback";
    platform.runPending();
    ASSERT_EQ(platform.popupsShown.size(), 1u);
    EXPECT_EQ(click(3), Verdict::pass);
    platform.runPending();
    EXPECT_EQ(platform.popupsShown.size(), 1u);
}

TEST_F(TapFixture, PrimaryAndSecondaryPassInEveryState) {
    start(true, true, 4);
    for (int round = 0; round < 3; ++round) {
        if (round == 1)
            controller->beginAssign();
        if (round == 2)
            controller->setEnabled(false);
        for (int button : {0, 1}) {
            EXPECT_EQ(controller->handle({Type::press, button}), Verdict::pass);
            EXPECT_EQ(controller->handle({Type::release, button}), Verdict::pass);
        }
    }
    EXPECT_EQ(controller->assignMode(), true) << "0 and 1 are never captured";
}

TEST_F(TapFixture, AssignModeWatchesEverySpareButtonAndCapturesThePress) {
    start(true, true, std::nullopt);
    controller->beginAssign();
    ASSERT_TRUE(tapOn());
    EXPECT_FALSE(platform.activeTap->watched.only);
    EXPECT_EQ(platform.deliver(Type::release, 7), Verdict::swallow)
        << "a stray release assigns nothing";
    EXPECT_TRUE(controller->assignMode());

    EXPECT_EQ(platform.deliver(Type::press, 5), Verdict::swallow);
    EXPECT_FALSE(controller->assignMode());
    EXPECT_EQ(controller->assignedButton(), 5);
    EXPECT_EQ(std::get<std::int64_t>(platform.store["assignedButton"]), 5);
    EXPECT_EQ(platform.activeTap->watched.only, 5);
    EXPECT_EQ(platform.deliver(Type::release, 5), Verdict::swallow);
    platform.runPending();
    EXPECT_TRUE(platform.popupsShown.empty()) << "the capturing press opens no popup";
}

TEST_F(TapFixture, AssignModeWhileDisabledRemovesTheTapRightAfterTheCapture) {
    start(true, false, std::nullopt);
    controller->beginAssign();
    EXPECT_TRUE(tapOn());
    EXPECT_EQ(platform.deliver(Type::press, 3), Verdict::swallow);
    EXPECT_EQ(controller->assignedButton(), 3);
    EXPECT_FALSE(tapOn());
    EXPECT_EQ(platform.deliver(Type::release, 3), Verdict::pass);
    platform.runPending(); // the retired tap is released after its callback returned
    EXPECT_EQ(platform.activeTap, nullptr);
}

TEST_F(TapFixture, AssignModeWithoutPermissionWaitsForThePoll) {
    start(false, true, std::nullopt);
    controller->beginAssign();
    EXPECT_EQ(platform.tapsCreated, 0);
    EXPECT_EQ(controller->statusLine(), "Needs Accessibility permission");
    platform.trusted = true;
    platform.advance(2000ms);
    EXPECT_TRUE(tapOn());
    EXPECT_EQ(platform.deliver(Type::press, 2), Verdict::swallow);
    EXPECT_EQ(controller->assignedButton(), 2);
}

TEST_F(TapFixture, ClearKeepsTheTapOnlyInAssignMode) {
    start(true, true, 4);
    controller->beginAssign();
    controller->clearAssignedButton();
    EXPECT_TRUE(tapOn());
    EXPECT_TRUE(controller->assignMode());
}

TEST_F(TapFixture, ATapSwitchedOffIsSwitchedOnAgainAtTheNotice) {
    start(true, true, 4);
    platform.activeTap->enabled = false; // as if the system had switched it off
    EXPECT_EQ(platform.activeTap->callback({Type::tapDisabled, 0}), Verdict::pass);
    EXPECT_TRUE(tapOn());
    EXPECT_EQ(click(4), Verdict::swallow);
}

TEST_F(TapFixture, ARefusedTapIsTriedAgainAtTheNextSync) {
    platform.tapRefused = true;
    start(true, true, 4);
    EXPECT_EQ(platform.activeTap, nullptr);
    platform.tapRefused = false;
    controller->syncTap();
    EXPECT_TRUE(tapOn());
}

TEST_F(TapFixture, ChoosingARowTypesItsActionOnce120msLater) {
    start(true, true, 4);
    const std::vector<MenuItem> items{
        {Uuid::random(), "Sig", PopupAction::insertText("Best,\nMe")},
        {Uuid::random(), "Go", PopupAction::pressKey(SpecialKey::tab)}};
    controller->setMenuItems(items);
    platform.popupBehaviour = [](const std::vector<PopupRow>& rows) -> std::optional<std::size_t> {
        EXPECT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0].symbol, "Best,\nMe");
        EXPECT_EQ(rows[1].symbol, "\u21E5");
        EXPECT_EQ(rows[1].title, "\u21E5\u2003Go");
        return 0;
    };
    click(4);
    platform.runPending();
    controller->setMenuItems({}); // a later change does not alter what was chosen
    platform.advance(119ms);
    EXPECT_TRUE(platform.postedKeyEvents.empty());
    platform.advance(1ms);
    ASSERT_EQ(platform.postedKeyEvents.size(), 2u);
    EXPECT_EQ(platform.postedKeyEvents[0].text, u"Best,\nMe");
    platform.advance(1000ms);
    EXPECT_EQ(platform.postedKeyEvents.size(), 2u);
}

TEST_F(TapFixture, DismissingTypesNothingAndAnEmptyListShowsTheDefaults) {
    start(true, true, 4);
    controller->setMenuItems({});
    click(4);
    platform.runPending();
    platform.advance(1000ms);
    ASSERT_EQ(platform.popupsShown.size(), 1u);
    ASSERT_EQ(platform.popupsShown[0].size(), 3u);
    EXPECT_EQ(platform.popupsShown[0][0].label, "Mention");
    EXPECT_TRUE(platform.postedKeyEvents.empty());
    EXPECT_TRUE(controller->menuItems().empty());
}

TEST_F(TapFixture, APressWhileThePopupIsOpenDoesNotStackASecond) {
    start(true, true, 4);
    int depth = 0;
    int deepest = 0;
    platform.popupBehaviour = [&](const std::vector<PopupRow>&) -> std::optional<std::size_t> {
        ++depth;
        deepest = std::max(deepest, depth);
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

TEST_F(TapFixture, EventsAfterTheControllerIsGonePass) {
    start(true, true, 4);
    auto callback = platform.activeTap->callback;
    click(4);
    controller.reset();
    EXPECT_EQ(callback({Type::press, 4}), Verdict::pass);
    platform.runPending();
    EXPECT_TRUE(platform.popupsShown.empty());
}
