#pragma once

#include "platform/Platform.h"

#include <algorithm>
#include <map>
#include <utility>
#include <variant>

namespace tavrin::testing {

// An in-memory platform with a virtual clock; it records what the tests read.
class FakePlatform : public Platform {
  public:
    using StoredValue = std::variant<bool, std::int64_t, std::string>;
    struct FakeTap : ButtonTap {
        FakeTap(FakePlatform* platform, TapCallback tapCallback)
            : owner(platform), callback(std::move(tapCallback)) {}
        ~FakeTap() override {
            if (owner->activeTap == this)
                owner->activeTap = nullptr;
        }
        void setEnabled(bool on, const WatchedButtons& buttons) override {
            enabled = on;
            watched = buttons;
        }
        WatchState watchState() const override { return owner->tapWatchState; }
        FakePlatform* owner;
        TapCallback callback;
        bool enabled = false;
        WatchedButtons watched;
    };

    // What tests arrange.
    std::map<std::string, StoredValue, std::less<>> store;
    bool trusted = false, loginItemRegistered = false, loginItemCallsFail = false;
    bool tapRefused = false, keepingFails = false;
    // What an enabled tap reports for the one button it was asked to watch.
    WatchState tapWatchState = WatchState::watching;
    PopupOpener opener = PopupOpener::button;
    // While set, writes and keeps change nothing and fail for this reason.
    std::optional<std::string> storeFailure;
    // Typing runs until finishTyping() when set; otherwise it is done at once.
    bool typingHeld = false;
    std::optional<int> keyboardEventsLeft; // nothing: no limit
    // Runs while the popup is open; returns the row to choose, or nothing to dismiss.
    std::function<std::optional<std::size_t>(const std::vector<PopupRow>&)> popupBehaviour;

    // What tests read.
    std::vector<std::string> writes, keptUnreadable; // the keys written; the bytes kept
    std::vector<std::string> loginItemCalls;         // "register", "unregister"
    int helpOpened = 0;
    std::vector<std::vector<PopupRow>> popupsShown;
    std::vector<KeyboardEvent> postedKeyEvents;
    FakeTap* activeTap = nullptr;

    // As the system would: only to an installed, enabled tap that watches the button.
    Verdict deliver(ButtonEventType type, int button) {
        if (!activeTap || !activeTap->enabled)
            return Verdict::pass;
        const auto& only = activeTap->watched.only;
        if (type != ButtonEventType::tapDisabled && only && *only != button)
            return Verdict::pass;
        return activeTap->callback(ButtonEvent{type, button});
    }
    // Runs the tasks that fall due while the virtual clock moves on by `by`.
    void advance(std::chrono::milliseconds by) {
        const auto until = now + by;
        for (;;) {
            // The first of the earliest: tasks due together run in the order posted.
            const auto next = std::ranges::min_element(tasks, {}, &Task::first);
            if (next == tasks.end() || next->first > until)
                break;
            now = std::max(now, next->first);
            auto run = std::move(next->second);
            tasks.erase(next);
            run();
        }
        now = std::max(now, until); // a nested loop may have run the clock on
    }
    void runPending() { advance(std::chrono::milliseconds(0)); }
    void finishTyping() {
        typingHeld = false;
        for (auto& done : std::exchange(typingWaiters, {}))
            post(std::move(done));
    }

    void post(std::function<void()> task) override { postAfter({}, std::move(task)); }
    void postAfter(std::chrono::milliseconds delay, std::function<void()> task) override {
        tasks.push_back({now + delay, std::move(task)});
    }
    std::unique_ptr<RepeatingTimer> startRepeatingTimer(std::chrono::milliseconds interval,
                                                        std::function<void()> tick) override {
        struct Timer : RepeatingTimer {
            std::shared_ptr<bool> alive = std::make_shared<bool>(true);
            ~Timer() override { *alive = false; }
        };
        auto timer = std::make_unique<Timer>();
        scheduleTick(interval, std::move(tick), timer->alive);
        return timer;
    }
    std::optional<bool> readBool(std::string_view key) override { return read<bool>(key); }
    std::optional<std::int64_t> readInteger(std::string_view key) override {
        return read<std::int64_t>(key);
    }
    std::optional<std::string> readData(std::string_view key) override {
        return read<std::string>(key);
    }
    void writeBool(std::string_view key, bool value) override { record(key, value); }
    void writeInteger(std::string_view key, std::int64_t value) override { record(key, value); }
    void writeData(std::string_view key, const std::string& bytes) override { record(key, bytes); }
    // Only what the tests store in another kind than read: a number.
    std::optional<std::string> readStoredText(std::string_view key) override {
        const auto number = read<std::int64_t>(key);
        return number ? std::optional(std::to_string(*number)) : std::nullopt;
    }
    bool keepUnreadableData(std::string_view, const std::string& bytes) override {
        if (keepingFails || storeFailure)
            return false;
        keptUnreadable.push_back(bytes);
        return true;
    }
    std::optional<std::string> lastStoreFailure() override { return storeFailure; }
    bool loginItemEnabled() override { return loginItemRegistered; }
    bool registerLoginItem() override { return loginItemCall("register", true); }
    bool unregisterLoginItem() override { return loginItemCall("unregister", false); }
    std::optional<std::string> lastLoginItemFailure() override {
        return loginItemCallsFail ? std::optional<std::string>("fake refusal") : std::nullopt;
    }
    bool isTrusted() override { return trusted; }
    bool isTrustedWithPrompt() override { return trusted; }
    void openAccessibilityHelp() override { ++helpOpened; }
    PopupOpener popupOpener() const override { return opener; }
    std::unique_ptr<ButtonTap> createTap(TapCallback callback) override {
        if (tapRefused)
            return nullptr;
        auto tap = std::make_unique<FakeTap>(this, std::move(callback));
        activeTap = tap.get();
        return tap;
    }
    void showPopup(const std::vector<PopupRow>& rows,
                   const std::function<void(const PopupAction&)>& picked) override {
        popupsShown.push_back(rows);
        const auto choice = popupBehaviour ? popupBehaviour(rows) : std::nullopt;
        if (choice)
            picked(rows.at(*choice).action);
    }
    std::optional<KeyboardEvent> createKeyboardEvent(std::optional<SpecialKey> key,
                                                     bool down) override {
        if (keyboardEventsLeft && (*keyboardEventsLeft)-- <= 0)
            return std::nullopt;
        return KeyboardEvent{key, down, {}};
    }
    void postKeyboardEvent(const KeyboardEvent& event) override {
        postedKeyEvents.push_back(event);
    }
    void whenKeyboardIdle(std::function<void()> done) override {
        if (typingHeld)
            typingWaiters.push_back(std::move(done));
        else
            post(std::move(done));
    }

  private:
    using Task = std::pair<std::chrono::milliseconds, std::function<void()>>; // when due, what
    template <class T> std::optional<T> read(std::string_view key) const {
        const auto found = store.find(key);
        if (found == store.end() || !std::holds_alternative<T>(found->second))
            return std::nullopt;
        return std::get<T>(found->second);
    }
    void record(std::string_view key, StoredValue value) {
        if (storeFailure)
            return;
        writes.emplace_back(key);
        store.insert_or_assign(std::string(key), std::move(value));
    }
    bool loginItemCall(const char* name, bool registered) {
        loginItemCalls.push_back(name);
        if (!loginItemCallsFail)
            loginItemRegistered = registered;
        return !loginItemCallsFail;
    }
    void scheduleTick(std::chrono::milliseconds interval, std::function<void()> tick,
                      std::shared_ptr<bool> alive) {
        postAfter(interval, [this, interval, tick, alive] {
            if (*alive) {
                tick();
                scheduleTick(interval, tick, alive);
            }
        });
    }

    std::chrono::milliseconds now{0};
    std::vector<Task> tasks; // in the order posted
    std::vector<std::function<void()>> typingWaiters;
};

// Text entries labelled "a", "b", ...; and the labels of a list, joined.
inline std::vector<MenuItem> letteredItems(std::size_t count) {
    std::vector<MenuItem> items;
    for (std::size_t i = 0; i < count; ++i)
        items.push_back({Uuid::random(), std::string(1, static_cast<char>('a' + i)),
                         PopupAction::insertText("t")});
    return items;
}
inline std::string joinedLabels(const std::vector<MenuItem>& items) {
    std::string joined;
    for (const auto& item : items)
        joined += item.label;
    return joined;
}

} // namespace tavrin::testing
