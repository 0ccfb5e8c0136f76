#pragma once

#include "platform/Platform.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tavrin::testing {

// An in-memory platform with a virtual clock. Every operation is recorded so tests can see
// what the logic asked of the system.
class FakePlatform : public Platform {
  public:
    using StoredValue = std::variant<bool, std::int64_t, std::string>;

    // --- what tests arrange ---
    std::map<std::string, StoredValue, std::less<>> store;
    bool trusted = false;
    bool loginItemRegistered = false;
    bool loginItemCallsFail = false;
    bool tapRefused = false;
    // How many keyboard events can still be created; nothing means no limit.
    std::optional<int> keyboardEventsLeft;
    bool keepingFails = false;
    // Runs while the popup is open; returns the row to choose, or nothing to dismiss.
    std::function<std::optional<std::size_t>(const std::vector<PopupRow>&)> popupBehaviour;

    // --- what tests read ---
    struct Write {
        std::string key;
        StoredValue value;
    };
    std::vector<Write> writes;
    std::vector<std::pair<std::string, std::string>> keptUnreadable;
    std::vector<std::string> loginItemCalls; // "register", "unregister"
    int promptCount = 0;
    int helpOpened = 0;
    int tapsCreated = 0;
    std::vector<std::vector<PopupRow>> popupsShown;
    std::vector<KeyboardEvent> postedKeyEvents;

    struct FakeTap : ButtonTap {
        FakePlatform* owner;
        TapCallback callback;
        bool enabled = false;
        WatchedButtons watched;
        FakeTap(FakePlatform* platform, TapCallback cb)
            : owner(platform), callback(std::move(cb)) {}
        ~FakeTap() override {
            if (owner->activeTap == this)
                owner->activeTap = nullptr;
        }
        void setEnabled(bool on, const WatchedButtons& buttons) override {
            enabled = on;
            watched = buttons;
        }
    };
    FakeTap* activeTap = nullptr;

    std::chrono::milliseconds now{0};

    // Delivers an event as the system would: only to an installed, enabled tap that watches
    // the button; everything else passes untouched.
    Verdict deliver(ButtonEventType type, int button);
    // Runs tasks that are due, advancing the virtual clock by `by`.
    void advance(std::chrono::milliseconds by);
    void runPending() { advance(std::chrono::milliseconds(0)); }
    bool timerRunning() const { return timerAlive != nullptr && *timerAlive; }
    std::size_t pendingTasks() const { return tasks.size(); }

    // --- Platform ---
    void post(std::function<void()> task) override {
        postAfter(std::chrono::milliseconds(0), std::move(task));
    }
    void postAfter(std::chrono::milliseconds delay, std::function<void()> task) override;
    std::unique_ptr<RepeatingTimer> startRepeatingTimer(std::chrono::milliseconds interval,
                                                        std::function<void()> tick) override;
    std::optional<bool> readBool(std::string_view key) override;
    std::optional<std::int64_t> readInteger(std::string_view key) override;
    std::optional<std::string> readData(std::string_view key) override;
    void writeBool(std::string_view key, bool value) override { record(key, value); }
    void writeInteger(std::string_view key, std::int64_t value) override { record(key, value); }
    void writeData(std::string_view key, const std::string& bytes) override { record(key, bytes); }
    bool keepUnreadableData(std::string_view key, const std::string& bytes) override;
    bool loginItemEnabled() override { return loginItemRegistered; }
    bool registerLoginItem() override;
    bool unregisterLoginItem() override;
    bool isTrusted() override { return trusted; }
    bool isTrustedWithPrompt() override {
        ++promptCount;
        return trusted;
    }
    void openAccessibilityHelp() override { ++helpOpened; }
    std::unique_ptr<ButtonTap> createTap(TapCallback callback) override;
    void showPopup(const std::vector<PopupRow>& rows,
                   const std::function<void(const PopupAction&)>& picked) override;
    std::optional<KeyboardEvent> createKeyboardEvent(std::optional<SpecialKey> key,
                                                     bool down) override;
    void postKeyboardEvent(const KeyboardEvent& event) override {
        postedKeyEvents.push_back(event);
    }

  private:
    struct Task {
        std::chrono::milliseconds due;
        std::uint64_t order;
        std::function<void()> run;
    };
    struct Timer : RepeatingTimer {
        std::shared_ptr<bool> alive = std::make_shared<bool>(true);
        ~Timer() override { *alive = false; }
    };
    void record(std::string_view key, StoredValue value);
    void scheduleTick(std::chrono::milliseconds interval, std::function<void()> tick,
                      std::shared_ptr<bool> alive);

    std::vector<Task> tasks;
    std::uint64_t nextOrder = 0;
    std::shared_ptr<bool> timerAlive;
};

} // namespace tavrin::testing
