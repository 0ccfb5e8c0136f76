#include "ClickController.h"
#include "FakePlatform.h"
#include "SettingsModel.h"

#include <gtest/gtest.h>

using namespace tavrin;
using namespace std::chrono_literals;
using tavrin::testing::FakePlatform;

namespace {

struct Faults : ::testing::Test {
    FakePlatform platform;
    std::unique_ptr<ClickController> controller;

    void start() {
        platform.trusted = true;
        platform.store["assignedButton"] = std::int64_t{4};
        controller = std::make_unique<ClickController>(platform);
        controller->setMenuItems({{Uuid::random(), "A", PopupAction::insertText("first")},
                                  {Uuid::random(), "B", PopupAction::insertText("second")}});
    }
    void press() {
        platform.deliver(ButtonEventType::press, 4);
        platform.deliver(ButtonEventType::release, 4);
        platform.runPending();
    }
    std::vector<std::u16string> typed() const {
        std::vector<std::u16string> texts;
        for (const auto& event : platform.postedKeyEvents)
            if (event.down)
                texts.push_back(event.text);
        return texts;
    }
};

} // namespace

// The second popup opens within the typing delay and stays open a while (its nested loop runs
// the clock on): the first choice waits for it and still goes first.
TEST_F(Faults, AChoiceWaitsForALaterPopupAndGoesFirst) {
    const std::vector<std::pair<std::optional<std::size_t>, std::vector<std::u16string>>> cases{
        {1, {u"first", u"second"}},
        {std::nullopt, {u"first"}},
    };
    for (const auto& [secondChoice, expected] : cases) {
        controller.reset();
        platform = FakePlatform();
        start();
        platform.popupBehaviour = [](const auto&) { return std::optional<std::size_t>(0); };
        press();
        platform.advance(50ms);
        platform.popupBehaviour = [&, choice = secondChoice](const auto&) {
            platform.advance(500ms);
            return choice;
        };
        press();
        platform.advance(119ms);
        EXPECT_TRUE(typed().empty()) << "the closed popup gets its moment to let go";
        platform.advance(1000ms);
        EXPECT_EQ(platform.keyEventsIntoPopup, 0);
        EXPECT_EQ(typed(), expected);
    }
}

TEST_F(Faults, APressWhileTypingOpensThePopupOnceTheTextIsIn) {
    start();
    platform.typingHeld = true;
    platform.popupBehaviour = [](const auto&) { return std::optional<std::size_t>(0); };
    press();
    platform.advance(200ms);
    ASSERT_EQ(typed().size(), 1u);
    press();
    platform.advance(1000ms);
    EXPECT_EQ(platform.popupsShown.size(), 1u) << "no popup may take the keyboard mid-text";
    platform.finishTyping();
    platform.runPending();
    EXPECT_EQ(platform.popupsShown.size(), 2u);
    platform.advance(1000ms);
    EXPECT_EQ(typed(), (std::vector<std::u16string>{u"first", u"first"}));
}

TEST_F(Faults, AButtonThatCannotBeWatchedIsToldUntilItCanBe) {
    struct Case {
        WatchState state;
        std::string status;
        std::string symbol;
    };
    for (const Case& c :
         {Case{WatchState::watching, "Watching button 4", "cursorarrow.click.2"},
          Case{WatchState::beyondReach, "Button 4 can't be watched (not supported here)",
               "cursorarrow.slash"},
          Case{WatchState::heldByAnotherProgram,
               "Button 4 can't be watched (another program holds it)", "cursorarrow.slash"}}) {
        controller.reset();
        platform = FakePlatform();
        platform.tapWatchState = c.state;
        start();
        EXPECT_EQ(controller->statusLine(), c.status);
        EXPECT_EQ(controller->menuSymbol(), c.symbol);
        controller->setEnabled(false);
        EXPECT_EQ(controller->statusLine(), "Disabled (button 4)");
        controller->setEnabled(true);
        EXPECT_EQ(controller->statusLine(), c.status);
    }
    // The other program lets go: the next retry takes the button and says so.
    int told = 0;
    controller->addObserver([&] { ++told; });
    platform.tapWatchState = WatchState::watching;
    platform.advance(2000ms);
    EXPECT_EQ(controller->statusLine(), "Watching button 4");
    EXPECT_EQ(told, 1);
}

TEST_F(Faults, AFailedSaveIsToldKeptInMemoryAndClearedByTheNextSave) {
    start();
    SettingsModel model(*controller);
    platform.storeFailure = "could not write /x/tavrin.conf (Permission denied)";
    controller->setEnabled(false);
    EXPECT_FALSE(controller->enabled());
    EXPECT_EQ(model.saveNotice(), "Changes not saved: could not write /x/tavrin.conf (Permission "
                                  "denied)");
    platform.storeFailure.reset();
    controller->setMenuItems({});
    EXPECT_EQ(model.saveNotice(), "");

    platform.loginItemCallsFail = true;
    controller->setLaunchAtLogin(true);
    EXPECT_FALSE(controller->launchAtLogin());
    EXPECT_EQ(model.saveNotice(), "Start at login not changed: fake refusal");
    platform.loginItemCallsFail = false;
    controller->setLaunchAtLogin(true);
    EXPECT_TRUE(controller->launchAtLogin());
    EXPECT_EQ(model.saveNotice(), "");
}

// Any write rewrites the file: the hand-written list is kept first, and a list saved while it
// could not be kept goes with the next write that can.
TEST_F(Faults, UnreadableEntriesAreKeptBeforeAnyWriteAndTheListWaitsForThem) {
    platform.store["menuItems"] = FakePlatform::Text{"mine, by hand"};
    platform.keepingFails = true;
    start();
    EXPECT_EQ(platform.store["menuItems"],
              FakePlatform::StoredValue{FakePlatform::Text{"mine, by hand"}});
    EXPECT_TRUE(controller->storeProblem());
    platform.keepingFails = false;
    controller->setEnabled(false);
    ASSERT_EQ(platform.keptUnreadable.size(), 1u);
    EXPECT_EQ(platform.keptUnreadable[0].second, "mine, by hand");
    ASSERT_EQ(platform.writes.size(), 2u);
    EXPECT_EQ(platform.writes[0].key, "enabled");
    EXPECT_EQ(platform.writes[1].key, "menuItems");
    EXPECT_FALSE(controller->storeProblem());
}
