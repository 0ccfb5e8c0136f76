#pragma once

#include "MenuItem.h"
#include "platform/Platform.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavrin {

// The one owner of run-time state. Every assignment of a published property runs its reaction
// and then notifies the observers, which re-read what they show.
class ClickController {
  public:
    explicit ClickController(Platform& platform);
    ~ClickController();
    ClickController(const ClickController&) = delete;
    ClickController& operator=(const ClickController&) = delete;

    bool enabled() const { return enabled_; }
    std::optional<int> assignedButton() const { return assignedButton_; }
    bool assignMode() const { return assignMode_; }
    bool accessibilityGranted() const { return accessibilityGranted_; }
    PopupOpener popupOpener() const { return platform_.popupOpener(); }
    bool launchAtLogin() const { return launchAtLogin_; }
    const std::vector<MenuItem>& menuItems() const { return menuItems_; }
    WatchState watchState() const { return watchState_; }
    // Why the settings or the login item could not be written, while they cannot.
    const std::optional<std::string>& storeProblem() const { return storeProblem_; }
    const std::optional<std::string>& loginItemProblem() const { return loginItemProblem_; }

    void setEnabled(bool value);
    void setLaunchAtLogin(bool value);
    void setMenuItems(std::vector<MenuItem> items);

    std::string statusLine() const;
    std::string menuSymbol() const;

    void beginAssign();
    void clearAssignedButton();
    void requestAccessibility();
    // Opens the popup at the pointer as the button would (tavrin --popup).
    void openPopup();
    void syncTap();
    Verdict handle(const ButtonEvent& event);

    using ObserverId = std::size_t;
    ObserverId addObserver(std::function<void()> observer);
    void removeObserver(ObserverId id);

    struct LoadedItems {
        std::vector<MenuItem> items;
        std::optional<std::string> unreadableBytes;
    };
    static LoadedItems loadMenuItems(Platform& platform);
    static std::vector<MenuItem> migrateLowercaseDefaults(Platform& platform,
                                                          std::vector<MenuItem> items);
    void saveMenuItems();

  private:
    void setAssignedButton(std::optional<int> value);
    void setAssignMode(bool value);
    void setAccessibilityGranted(bool value);
    void notify();
    void pollTick();
    void showPopup();
    void writeStore(const std::function<void()>& write);
    void updateWatchState();
    void scheduleTyping();
    void typeChosen();
    void typingDone();
    bool tapWanted() const;
    WatchedButtons watchedButtons() const;
    // Deferred work holds this weakly and does nothing once the controller is gone.
    std::function<void()> whileAlive(void (ClickController::*method)());

    Platform& platform_;
    bool enabled_ = true;
    std::optional<int> assignedButton_;
    bool assignMode_ = false;
    bool accessibilityGranted_ = false;
    bool launchAtLogin_ = false;
    std::vector<MenuItem> menuItems_;
    std::optional<std::string> unreadableStoredItems_;
    bool menuItemsWaiting_ = false;
    std::unique_ptr<ButtonTap> tap_;
    std::unique_ptr<RepeatingTimer> permissionPoll_;
    bool popupOpen_ = false;
    WatchState watchState_ = WatchState::watching;
    std::unique_ptr<RepeatingTimer> watchRetry_;
    std::optional<std::string> storeProblem_;
    std::optional<std::string> loginItemProblem_;
    // Choices wait here, in order, until no popup holds the keyboard.
    std::deque<PopupAction> chosen_;
    unsigned typingRound_ = 0;
    bool typing_ = false;
    bool popupAfterTyping_ = false;
    int loginItemRetries_ = 0;
    std::map<ObserverId, std::function<void()>> observers_;
    ObserverId nextObserverId_ = 0;
    std::shared_ptr<ClickController*> self_;
};

} // namespace tavrin
