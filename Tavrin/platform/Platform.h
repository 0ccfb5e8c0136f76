#pragma once

#include "MenuItem.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// A mouse button in the stored numbering: 0 primary, 1 secondary, 2 and up the spare buttons.
enum class ButtonEventType { press, release, tapDisabled };

struct ButtonEvent {
    ButtonEventType type;
    int button;
};

enum class Verdict { pass, swallow };

// Which buttons an installed tap receives: one button, or every spare button (assign mode).
struct WatchedButtons {
    std::optional<int> only;
    friend bool operator==(const WatchedButtons&, const WatchedButtons&) = default;
};

// Whether the one watched button really reaches the tap, and if not, why. Under Xwayland the
// button reaches it over X11 windows only.
enum class WatchState { watching, beyondReach, heldByAnotherProgram, x11WindowsOnly };

// How the user opens the popup: with the assigned mouse button, or, where no program may take a
// button from the applications (GNOME), with a keyboard shortcut that runs `tavrin --popup`.
enum class PopupOpener { button, shortcut };

// The active button tap. Destroying it removes it; it may be destroyed from inside its own
// callback.
class ButtonTap {
  public:
    virtual ~ButtonTap() = default;
    virtual void setEnabled(bool enabled, const WatchedButtons& buttons) = 0;
    // After setEnabled: whether the one button asked for is seen (assign mode always is).
    virtual WatchState watchState() const { return WatchState::watching; }
};

using TapCallback = std::function<Verdict(const ButtonEvent&)>;

// One row of the popup: what it shows and a copy of what choosing it does.
struct PopupRow {
    std::string symbol;
    std::string label;
    std::string title; // the plain title, symbol + em space + label
    PopupAction action;
};

// A synthetic keyboard event: a special key, or (without one) a carrier of UTF-16 text.
struct KeyboardEvent {
    std::optional<SpecialKey> key;
    bool down = true;
    std::u16string text;
};

class RepeatingTimer {
  public:
    virtual ~RepeatingTimer() = default;
};

// Every operating-system operation the logic uses.
class Platform {
  public:
    virtual ~Platform() = default;

    // Main queue: tasks run later on the main thread, never before their delay.
    virtual void post(std::function<void()> task) = 0;
    virtual void postAfter(std::chrono::milliseconds delay, std::function<void()> task) = 0;
    virtual std::unique_ptr<RepeatingTimer> startRepeatingTimer(std::chrono::milliseconds interval,
                                                                std::function<void()> tick) = 0;

    // Defaults store, with typed reading: a value of another kind reads as nothing.
    virtual std::optional<bool> readBool(std::string_view key) = 0;
    virtual std::optional<std::int64_t> readInteger(std::string_view key) = 0;
    virtual std::optional<std::string> readData(std::string_view key) = 0;
    virtual void writeBool(std::string_view key, bool value) = 0;
    virtual void writeInteger(std::string_view key, std::int64_t value) = 0;
    virtual void writeData(std::string_view key, const std::string& bytes) = 0;
    // A value of any kind as it stands in the store, to keep what could not be read; nothing
    // when absent.
    virtual std::optional<std::string> readStoredText(std::string_view key) = 0;
    // Keeps stored bytes that could not be read before they are overwritten; false on failure.
    virtual bool keepUnreadableData(std::string_view key, const std::string& bytes) = 0;
    // Why the last write or keep failed, naming the file and the reason; nothing after a success.
    // A write writes every value given so far, so one that failed is written by the next one.
    virtual std::optional<std::string> lastStoreFailure() { return std::nullopt; }

    // Start at login.
    virtual bool loginItemEnabled() = 0;
    virtual bool registerLoginItem() = 0; // false on failure
    virtual bool unregisterLoginItem() = 0;
    // Why the last register or unregister failed, naming the file and the reason.
    virtual std::optional<std::string> lastLoginItemFailure() { return std::nullopt; }

    // Input access ("trust"): the check without and with the prompt, and the help page.
    virtual bool isTrusted() = 0;
    virtual bool isTrustedWithPrompt() = 0;
    virtual void openAccessibilityHelp() = 0;
    // The status while not trusted: what this desktop lacks.
    virtual std::string untrustedStatus() const { return "Needs Accessibility permission"; }

    virtual PopupOpener popupOpener() const { return PopupOpener::button; }
    // Button tap: nothing when refused. The callback runs on the main thread.
    virtual std::unique_ptr<ButtonTap> createTap(TapCallback callback) = 0;

    // Opens the popup at the pointer and returns once it has closed; picked runs for a choice.
    virtual void showPopup(const std::vector<PopupRow>& rows,
                           const std::function<void(const PopupAction&)>& picked) = 0;

    // Keyboard output: creation may fail (nothing); posting hands the event to the system.
    virtual std::optional<KeyboardEvent> createKeyboardEvent(std::optional<SpecialKey> key,
                                                             bool down) = 0;
    virtual void postKeyboardEvent(const KeyboardEvent& event) = 0;
    // Runs `done` on the main thread once every event posted so far has been typed.
    virtual void whenKeyboardIdle(std::function<void()> done) { post(std::move(done)); }
};

} // namespace tavrin
