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
using Texts = std::vector<std::u16string>;

namespace {

MenuItem textItem(std::string label, std::string text) {
    return {Uuid::random(), std::move(label), PopupAction::insertText(std::move(text))};
}

struct Controller : ::testing::Test {
    FakePlatform platform;
    std::unique_ptr<ClickController> controller;

    // A new platform for the next case; what it holds is arranged before start().
    void fresh() {
        controller.reset();
        platform = FakePlatform();
    }
    // Missing values are left out of the store.
    ClickController& start(bool trusted = true, std::optional<Stored> button = std::int64_t{4},
                           std::optional<Stored> enabled = true) {
        controller.reset();
        platform.trusted = trusted;
        for (const auto& [key, value] : {std::pair("enabled", enabled), {"assignedButton", button}})
            if (value)
                platform.store[key] = *value;
        return *(controller = std::make_unique<ClickController>(platform));
    }
    // Button 4 with two text entries.
    void startWithTwo() { start().setMenuItems({textItem("A", "first"), textItem("B", "second")}); }
    bool tapOn() const { return platform.activeTap && platform.activeTap->enabled; }
    Verdict click(int button) {
        const Verdict down = platform.deliver(Type::press, button);
        EXPECT_EQ(platform.deliver(Type::release, button), down) << "one click, one verdict";
        return down;
    }
    void clickAndRun() {
        click(4);
        platform.runPending();
    }
    std::string storedList() { return std::get<std::string>(platform.store["menuItems"]); }
    Texts typed() const {
        Texts texts;
        for (const auto& event : platform.postedKeyEvents)
            if (event.down)
                texts.push_back(event.text);
        return texts;
    }
};

} // namespace

TEST_F(Controller, ReadsOnlyStoredValuesOfTheRightKindTouchesNothingAndTheTapFollows) {
    // trusted, stored enabled and button; read enabled and button
    using Value = std::optional<Stored>;
    const std::tuple<bool, Value, Value, bool, std::optional<int>> cases[]{
        {true, {}, {}, true, {}},
        {true, false, std::int64_t{4}, false, 4},
        {true, std::string("false"), std::int64_t{2}, true, 2},
        {true, std::int64_t{0}, std::string("4"), true, {}},
        {true, true, std::int64_t{1}, true, {}},
        {true, true, std::int64_t{1} << 40, true, {}},
        {false, true, std::int64_t{3}, true, 3},
    };
    for (const auto& [trusted, enabled, button, readEnabled, readButton] : cases) {
        fresh();
        platform.loginItemRegistered = true;
        start(trusted, button, enabled);
        EXPECT_EQ(controller->enabled(), readEnabled);
        EXPECT_EQ(controller->assignedButton(), readButton);
        EXPECT_TRUE(controller->launchAtLogin());
        EXPECT_TRUE(platform.writes.empty() && platform.loginItemCalls.empty());
        const bool wanted = trusted && readEnabled && readButton;
        EXPECT_EQ(platform.activeTap ? platform.activeTap->watched.only : std::nullopt,
                  wanted ? readButton : std::nullopt);
    }
}

TEST_F(Controller, AStoredListLoadsWholeAndOnlyExactLowerCaseDefaultsAreCorrectedOnce) {
    // stored label, text, label after loading
    const std::tuple<const char*, const char*, const char*> rows[]{
        {"command", "/", "Command"},   {"mention", "@", "Mention"}, {"mention", "@@", "mention"},
        {"mention ", "@", "mention "}, {"MENTION", "@", "MENTION"}, {"command", "@", "command"}};
    std::vector<MenuItem> stored, expected;
    for (const auto& [label, text, loaded] : rows) {
        stored.push_back(textItem(label, text));
        expected.push_back({stored.back().id, loaded, stored.back().action});
    }
    stored.push_back({Uuid::random(), "mention", PopupAction::pressKey(SpecialKey::returnKey)});
    expected.push_back(stored.back());
    platform.store["menuItems"] = *itemCodec::encode(stored);
    EXPECT_EQ(start().menuItems(), expected);
    EXPECT_EQ(platform.writes, Strings{"menuItems"});
    EXPECT_EQ(storedList(), *itemCodec::encode(expected));
    start();
    EXPECT_EQ(platform.writes.size(), 1u);
}

TEST_F(Controller, AnUnreadableListIsKeptOnceAndNeverOverwrittenBeforeThat) {
    const std::pair<Stored, Strings> cases[]{
        {std::string("[]"), {}},
        {std::int64_t{3}, {"3"}}, // a value of another kind is kept as its text
        {std::string("not json"), {"not json"}},
    };
    for (const auto& [value, expectKept] : cases) {
        fresh();
        platform.store["menuItems"] = value;
        platform.keepingFails = true;
        EXPECT_EQ(start().menuItems(), MenuItem::defaults());
        controller->setMenuItems({textItem("a", "b")});
        EXPECT_EQ(platform.store["menuItems"] == value, !expectKept.empty()) << "not yet kept";
        EXPECT_EQ(controller->storeProblem().has_value(), !expectKept.empty());
        platform.keepingFails = false;
        controller->setEnabled(false); // any write rewrites the file, so the waiting list goes too
        EXPECT_EQ(platform.keptUnreadable, expectKept) << "an empty list loses nothing";
        EXPECT_FALSE(controller->storeProblem());
        EXPECT_EQ(storedList(), *itemCodec::encode(controller->menuItems()));
    }
    controller->setMenuItems({});
    EXPECT_EQ(platform.keptUnreadable, Strings{"not json"}) << "kept once";
}

TEST_F(Controller, EveryRowOfTheStatusAndIconTables) {
    using enum WatchState;
    // granted, assign mode, enabled, button, watch state; a part of the status, the symbol
    const std::tuple<bool, bool, bool, std::int64_t, WatchState, const char*, const char*> cases[]{
        {false, true, true, 4, watching, "Needs Accessibility", "cursorarrow.slash"},
        {true, true, false, -1, watching, "Press a mouse button", "cursorarrow.click.badge.clock"},
        {true, false, true, -1, watching, "No button assigned", "cursorarrow"},
        {true, false, true, 3, watching, "Watching button 3", "cursorarrow.click.2"},
        {true, false, false, 4, heldByAnotherProgram, "Disabled (button 4)", "cursorarrow"},
        {true, false, true, 4, x11WindowsOnly, "button 4 over X11 windows only",
         "cursorarrow.click.2"},
        {true, false, true, 4, beyondReach, "4 can't be watched (not", "cursorarrow.slash"},
        {true, false, true, 4, heldByAnotherProgram, "4 can't be watched (another",
         "cursorarrow.slash"},
    };
    for (const auto& [granted, assign, enabled, button, state, status, symbol] : cases) {
        platform.tapWatchState = state;
        start(granted, button, enabled);
        if (assign)
            controller->beginAssign();
        EXPECT_NE(controller->statusLine().find(status), std::string::npos) << status;
        EXPECT_EQ(controller->menuSymbol(), symbol);
    }
    // The other program lets go: the next retry takes the button and says so.
    int told = 0;
    controller->addObserver([&] { ++told; });
    platform.tapWatchState = watching;
    platform.advance(2000ms);
    EXPECT_EQ(controller->statusLine(), "Watching button 4");
    EXPECT_EQ(told, 1);
}

TEST_F(Controller, EveryAssignmentIsStoredAndToldAndObserversMayLeaveWhileTold) {
    start(false, std::int64_t{5});
    int notified = 0;
    controller->addObserver([&] { ++notified; });
    ClickController::ObserverId leaving =
        controller->addObserver([&] { controller->removeObserver(leaving); });
    controller->setEnabled(false);
    EXPECT_EQ(std::get<bool>(platform.store["enabled"]), false);
    controller->setMenuItems(controller->menuItems());
    EXPECT_EQ(storedList(), *itemCodec::encode(MenuItem::defaults()));
    controller->clearAssignedButton();
    EXPECT_EQ(std::get<std::int64_t>(platform.store["assignedButton"]), -1);
    EXPECT_EQ(notified, 3);
    EXPECT_EQ(platform.writes.size(), 3u) << "the list is written once, when it changes";
}

TEST_F(Controller, TheLoginSwitchCallsOnlyOnChangeAndSettlesAFailureToTheStatus) {
    start();
    for (bool on : {false, true, true, false})
        controller->setLaunchAtLogin(on);
    EXPECT_EQ(platform.loginItemCalls, (Strings{"register", "unregister"}));
    platform.loginItemCalls.clear();
    platform.loginItemCallsFail = true;
    controller->setLaunchAtLogin(true);
    EXPECT_EQ(platform.loginItemCalls, (Strings{"register", "unregister"}));
    EXPECT_FALSE(controller->launchAtLogin());
    EXPECT_TRUE(controller->loginItemProblem());
    platform.loginItemRegistered = true; // registered after all, though the call failed
    controller->setLaunchAtLogin(true);
    EXPECT_TRUE(controller->launchAtLogin());
    platform.loginItemCallsFail = false;
    controller->setLaunchAtLogin(false);
    EXPECT_FALSE(controller->loginItemProblem()) << "a success clears the failure";

    struct Flipping : FakePlatform {
        int reads = 0;
        bool loginItemEnabled() override { return reads++ % 2 == 1; }
    } flipping;
    ClickController c(flipping);
    c.setLaunchAtLogin(true);
    EXPECT_TRUE(c.launchAtLogin()) << "a success is not read back";
    flipping.loginItemCallsFail = true;
    c.setLaunchAtLogin(false);
    EXPECT_LE(flipping.loginItemCalls.size(), 6u) << "a contradicting status still ends";
}

TEST_F(Controller, OnlyTheAssignedButtonIsSwallowedAndItsPopupOpensOutsideTheCallback) {
    platform.tapRefused = true;
    start();
    EXPECT_EQ(platform.activeTap, nullptr);
    platform.tapRefused = false;
    controller->syncTap(); // a refused tap is tried again
    EXPECT_EQ(click(4), Verdict::swallow);
    EXPECT_TRUE(platform.popupsShown.empty());
    platform.runPending();
    EXPECT_EQ(platform.popupsShown.size(), 1u);
    platform.activeTap->enabled = false; // as if the system had switched it off
    EXPECT_EQ(platform.activeTap->callback({Type::tapDisabled, 0}), Verdict::pass);
    EXPECT_EQ(click(4), Verdict::swallow);
    controller->beginAssign();
    for (const int primaryOrSecondary : {0, 1})
        for (const Type type : {Type::press, Type::release})
            EXPECT_EQ(controller->handle({type, primaryOrSecondary}), Verdict::pass);
    platform.runPending();
    EXPECT_EQ(platform.popupsShown.size(), 2u);
}

// GNOME: a keyboard shortcut runs tavrin --popup; no button is watched, "Enabled" switches it.
TEST_F(Controller, WhereAShortcutOpensThePopupNoTapIsMadeAndEnabledSwitchesTheShortcut) {
    platform.opener = PopupOpener::shortcut;
    start();
    controller->beginAssign();
    EXPECT_EQ(platform.activeTap, nullptr);
    EXPECT_EQ(controller->statusLine(), "Popup opens with a keyboard shortcut (tavrin --popup)");
    EXPECT_EQ(controller->menuSymbol(), "cursorarrow.click.2");
    controller->openPopup();
    platform.runPending();
    EXPECT_EQ(platform.popupsShown.size(), 1u);
    controller->setEnabled(false);
    EXPECT_EQ(controller->statusLine(), "Disabled");
    EXPECT_EQ(controller->menuSymbol(), "cursorarrow");
    controller->openPopup();
    platform.runPending();
    EXPECT_EQ(platform.popupsShown.size(), 1u);
}

TEST_F(Controller, ThePermissionIsPolledEveryTwoSecondsUntilGranted) {
    start(false);
    platform.advance(2000ms);
    platform.trusted = true;
    platform.advance(1999ms);
    EXPECT_FALSE(controller->accessibilityGranted() || tapOn()) << "no tick before its time";
    platform.advance(1ms);
    EXPECT_TRUE(controller->accessibilityGranted() && tapOn());
    platform.trusted = false;
    platform.advance(10000ms);
    EXPECT_TRUE(controller->accessibilityGranted()) << "a withdrawn permission is not polled";
}

TEST_F(Controller, AssignModeAskedForBeforeThePermissionTakesTheNextSparePress) {
    start(false, std::int64_t{-1});
    controller->beginAssign();
    controller->requestAccessibility();
    EXPECT_EQ(platform.activeTap, nullptr);
    platform.trusted = true;
    controller->requestAccessibility();
    EXPECT_EQ(platform.helpOpened, 2);
    EXPECT_EQ(platform.activeTap->watched, WatchedButtons{});
    EXPECT_EQ(platform.deliver(Type::release, 7), Verdict::swallow);
    EXPECT_TRUE(controller->assignMode()) << "a stray release assigns nothing";
    EXPECT_EQ(platform.deliver(Type::press, 2), Verdict::swallow);
    EXPECT_FALSE(controller->assignMode());
    EXPECT_EQ(std::get<std::int64_t>(platform.store["assignedButton"]), 2);
    EXPECT_EQ(platform.activeTap->watched.only, 2);
    EXPECT_EQ(platform.deliver(Type::release, 2), Verdict::swallow);
    platform.runPending();
    EXPECT_TRUE(platform.popupsShown.empty()) << "the capturing press opens no popup";
    controller->clearAssignedButton();
    EXPECT_FALSE(tapOn()) << "a cleared button is let go at once";
    controller->beginAssign();
    controller->clearAssignedButton();
    EXPECT_TRUE(tapOn() && controller->assignMode());

    start(true, std::int64_t{-1}, false);
    controller->beginAssign();
    EXPECT_EQ(platform.deliver(Type::press, 3), Verdict::swallow);
    EXPECT_EQ(platform.deliver(Type::release, 3), Verdict::pass) << "disabled: the tap is off";
    platform.runPending(); // the retired tap is released after its callback returned
    EXPECT_EQ(platform.activeTap, nullptr);
}

TEST_F(Controller, APressWhileThePopupIsOpenStacksNoSecondAndNothingOutlivesTheController) {
    start();
    platform.popupBehaviour = [&](const auto&) -> std::optional<std::size_t> {
        EXPECT_EQ(click(4), Verdict::swallow);
        platform.runPending(); // the menu's nested loop runs queued work
        return std::nullopt;
    };
    clickAndRun();
    EXPECT_EQ(platform.popupsShown.size(), 1u);

    auto callback = platform.activeTap->callback;
    click(4);
    controller.reset();
    EXPECT_EQ(callback({Type::press, 4}), Verdict::pass);
    platform.runPending();
    EXPECT_EQ(platform.popupsShown.size(), 1u);
}

// The second popup opens within the typing delay and stays open a while (its nested loop runs
// the clock on): the first choice waits for it and still goes first.
TEST_F(Controller, ChoicesAreTypedInOrder120msAfterTheLastPopupAsTheyWereWhenChosen) {
    const std::pair<std::optional<std::size_t>, Texts> cases[]{
        {1, {u"first", u"second"}},
        {std::nullopt, {u"first"}},
    };
    for (const auto& [secondChoice, expected] : cases) {
        fresh();
        startWithTwo();
        platform.popupBehaviour = [](const auto&) { return std::optional<std::size_t>(0); };
        clickAndRun();
        platform.advance(50ms);
        platform.popupBehaviour = [&, choice = secondChoice](const auto&) {
            platform.advance(500ms);
            controller->setMenuItems({});
            return choice;
        };
        clickAndRun();
        platform.advance(119ms);
        EXPECT_TRUE(typed().empty()) << "the closed popup gets its moment to let go";
        platform.advance(1ms);
        EXPECT_EQ(typed(), expected);
    }
    platform.popupBehaviour = nullptr; // dismissed; the list is empty, so the defaults show
    clickAndRun();
    EXPECT_EQ(platform.popupsShown.back().size(), MenuItem::defaults().size());
}

TEST_F(Controller, APressWhileTypingOpensThePopupOnceTheTextIsIn) {
    startWithTwo();
    platform.typingHeld = true;
    platform.popupBehaviour = [](const auto&) { return std::optional<std::size_t>(0); };
    clickAndRun();
    platform.advance(200ms);
    ASSERT_EQ(typed().size(), 1u);
    clickAndRun();
    platform.advance(1000ms);
    EXPECT_EQ(platform.popupsShown.size(), 1u) << "no popup may take the keyboard mid-text";
    platform.finishTyping();
    platform.runPending();
    EXPECT_EQ(platform.popupsShown.size(), 2u);
    platform.advance(1000ms);
    EXPECT_EQ(typed(), (Texts{u"first", u"first"}));
}
