#include "ClickController.h"

#include "ItemCodec.h"
#include "keys/KeySender.h"

#include <climits>
#include <utility>

namespace tavrin {
namespace {

using namespace std::chrono_literals;

constexpr auto permissionPollInterval = 2000ms;
// Another program may let go of the button at any time; X tells nobody when it does.
constexpr auto watchRetryInterval = 2000ms;
constexpr auto typingDelay = 120ms;
constexpr int firstAssignableButton = 2;
constexpr int noButtonStored = -1;
// A failing login-item service whose status keeps flipping must not recurse for ever.
constexpr int maximumLoginItemRetries = 4;

constexpr const char* enabledKey = "enabled";
constexpr const char* assignedButtonKey = "assignedButton";
constexpr const char* menuItemsKey = "menuItems";

std::optional<int> assignableButton(std::optional<std::int64_t> stored) {
    if (!stored || *stored < firstAssignableButton || *stored > INT_MAX)
        return std::nullopt;
    return static_cast<int>(*stored);
}

std::vector<PopupRow> popupRows(const std::vector<MenuItem>& items) {
    std::vector<PopupRow> rows;
    rows.reserve(items.size());
    for (const MenuItem& item : items)
        rows.push_back({item.rowSymbol(), item.label, item.popupTitle(), item.action});
    return rows;
}

} // namespace

ClickController::ClickController(Platform& platform)
    : platform_(platform), self_(std::make_shared<ClickController*>(this)) {
    enabled_ = platform_.readBool(enabledKey).value_or(true);
    assignedButton_ = assignableButton(platform_.readInteger(assignedButtonKey));
    launchAtLogin_ = platform_.loginItemEnabled();
    LoadedItems loaded = loadMenuItems(platform_);
    menuItems_ = std::move(loaded.items);
    unreadableStoredItems_ = std::move(loaded.unreadableBytes);
    storeProblem_ = platform_.lastStoreFailure();

    setAccessibilityGranted(platform_.isTrusted());
    syncTap();
    if (!accessibilityGranted_) {
        permissionPoll_ = platform_.startRepeatingTimer(permissionPollInterval, [this] {
            platform_.post(whileAlive(&ClickController::pollTick));
        });
    }
}

ClickController::~ClickController() {
    self_.reset();
    permissionPoll_.reset();
    watchRetry_.reset();
    tap_.reset();
}

std::function<void()> ClickController::whileAlive(void (ClickController::*method)()) {
    return [weak = std::weak_ptr<ClickController*>(self_), method] {
        if (const auto self = weak.lock())
            ((*self)->*method)();
    };
}

void ClickController::setEnabled(bool value) {
    enabled_ = value;
    writeStore([&] { platform_.writeBool(enabledKey, value); });
    syncTap();
    notify();
}

void ClickController::setAssignedButton(std::optional<int> value) {
    assignedButton_ = value;
    writeStore([&] { platform_.writeInteger(assignedButtonKey, value.value_or(noButtonStored)); });
    notify();
}

void ClickController::setAssignMode(bool value) {
    assignMode_ = value;
    notify();
}

void ClickController::setAccessibilityGranted(bool value) {
    accessibilityGranted_ = value;
    notify();
}

void ClickController::setLaunchAtLogin(bool value) {
    const bool previous = launchAtLogin_;
    launchAtLogin_ = value;
    notify();
    if (value == previous)
        return;
    const bool succeeded = value ? platform_.registerLoginItem() : platform_.unregisterLoginItem();
    if (succeeded) {
        // Undoing a failed change succeeds quietly; the failure stays told.
        if (loginItemRetries_ == 0 && std::exchange(loginItemProblem_, std::nullopt))
            notify();
        return;
    }
    loginItemProblem_ =
        platform_.lastLoginItemFailure().value_or("the start-at-login entry could not be changed");
    if (loginItemRetries_ >= maximumLoginItemRetries) {
        notify();
        return;
    }
    ++loginItemRetries_;
    setLaunchAtLogin(platform_.loginItemEnabled());
    --loginItemRetries_;
}

void ClickController::setMenuItems(std::vector<MenuItem> items) {
    menuItems_ = std::move(items);
    saveMenuItems();
    notify();
}

std::string ClickController::statusLine() const {
    if (!accessibilityGranted_)
        return platform_.untrustedStatus();
    if (platform_.popupOpener() == PopupOpener::shortcut)
        return enabled_ ? "Popup opens with a keyboard shortcut (tavrin --popup)" : "Disabled";
    if (assignMode_)
        return "Press a mouse button to assign\u2026";
    if (!assignedButton_)
        return "No button assigned yet";
    const std::string button = std::to_string(*assignedButton_);
    if (!enabled_)
        return "Disabled (button " + button + ")";
    switch (watchState_) {
    case WatchState::beyondReach:
        return "Button " + button + " can't be watched (not supported here)";
    case WatchState::heldByAnotherProgram:
        return "Button " + button + " can't be watched (another program holds it)";
    case WatchState::x11WindowsOnly:
        return "Watching button " + button + " over X11 windows only";
    case WatchState::watching:
        break;
    }
    return "Watching button " + button;
}

std::string ClickController::menuSymbol() const {
    if (!accessibilityGranted_)
        return "cursorarrow.slash";
    if (assignMode_)
        return "cursorarrow.click.badge.clock";
    if (enabled_ && platform_.popupOpener() == PopupOpener::shortcut)
        return "cursorarrow.click.2";
    if (enabled_ && assignedButton_)
        return watchState_ == WatchState::watching || watchState_ == WatchState::x11WindowsOnly
                   ? "cursorarrow.click.2"
                   : "cursorarrow.slash";
    return "cursorarrow";
}

void ClickController::beginAssign() {
    // No button can be watched there: the mode would wait for ever.
    if (platform_.popupOpener() == PopupOpener::shortcut)
        return;
    setAssignMode(true);
    syncTap();
}

void ClickController::clearAssignedButton() {
    setAssignedButton(std::nullopt);
    syncTap();
}

void ClickController::requestAccessibility() {
    setAccessibilityGranted(platform_.isTrustedWithPrompt());
    syncTap();
    platform_.openAccessibilityHelp();
}

void ClickController::pollTick() {
    const bool trusted = platform_.isTrusted();
    if (trusted != accessibilityGranted_) {
        setAccessibilityGranted(trusted);
        syncTap();
    }
    if (trusted)
        permissionPoll_.reset();
}

bool ClickController::tapWanted() const {
    return accessibilityGranted_ && platform_.popupOpener() == PopupOpener::button &&
           (assignMode_ || (enabled_ && assignedButton_));
}

WatchedButtons ClickController::watchedButtons() const {
    if (assignMode_)
        return WatchedButtons{std::nullopt};
    return WatchedButtons{assignedButton_};
}

void ClickController::syncTap() {
    const bool wanted = tapWanted();
    if (wanted && !tap_) {
        tap_ = platform_.createTap(
            [weak = std::weak_ptr<ClickController*>(self_)](const ButtonEvent& event) {
                const auto self = weak.lock();
                return self ? (*self)->handle(event) : Verdict::pass;
            });
    }
    if (!wanted && tap_) {
        tap_->setEnabled(false, watchedButtons());
        // The tap may be running its own callback right now: let it unwind before it goes.
        platform_.post([retired = std::shared_ptr<ButtonTap>(std::move(tap_))] {});
    }
    if (tap_)
        tap_->setEnabled(true, watchedButtons());
    updateWatchState();
}

void ClickController::updateWatchState() {
    const WatchState state = tap_ && !assignMode_ ? tap_->watchState() : WatchState::watching;
    if (state != WatchState::heldByAnotherProgram)
        watchRetry_.reset();
    else if (!watchRetry_)
        watchRetry_ = platform_.startRepeatingTimer(
            watchRetryInterval, [this] { platform_.post(whileAlive(&ClickController::syncTap)); });
    if (state == watchState_)
        return;
    watchState_ = state;
    notify();
}

Verdict ClickController::handle(const ButtonEvent& event) {
    if (event.type == ButtonEventType::tapDisabled) {
        if (tap_)
            tap_->setEnabled(true, watchedButtons());
        updateWatchState();
        return Verdict::pass;
    }
    if (event.button < firstAssignableButton)
        return Verdict::pass;
    if (assignMode_) {
        if (event.type == ButtonEventType::press) {
            setAssignedButton(event.button);
            setAssignMode(false);
            syncTap();
        }
        return Verdict::swallow;
    }
    if (!enabled_ || assignedButton_ != event.button)
        return Verdict::pass;
    if (event.type == ButtonEventType::press)
        platform_.post(whileAlive(&ClickController::showPopup));
    return Verdict::swallow;
}

void ClickController::openPopup() {
    // Where a shortcut is the only way in, "Enabled" switches it.
    if (accessibilityGranted_ && (enabled_ || platform_.popupOpener() == PopupOpener::button))
        platform_.post(whileAlive(&ClickController::showPopup));
}

void ClickController::showPopup() {
    // The popup runs a nested loop; a press of the button meanwhile must not stack another.
    if (popupOpen_)
        return;
    // A popup takes the keyboard: text still being typed would end up in it.
    if (typing_) {
        popupAfterTyping_ = true;
        return;
    }
    popupOpen_ = true;
    const auto& shown = menuItems_.empty() ? MenuItem::defaults() : menuItems_;
    platform_.showPopup(popupRows(shown),
                        [this](const PopupAction& action) { chosen_.push_back(action); });
    popupOpen_ = false;
    if (!chosen_.empty())
        scheduleTyping();
}

// The closed popup needs a moment to let go of the keyboard; each popup that closes meanwhile
// starts the wait again, and choices made earlier still go first.
void ClickController::scheduleTyping() {
    const unsigned round = ++typingRound_;
    platform_.postAfter(typingDelay, [weak = std::weak_ptr<ClickController*>(self_), round] {
        const auto self = weak.lock();
        if (self && (*self)->typingRound_ == round)
            (*self)->typeChosen();
    });
}

void ClickController::typeChosen() {
    if (popupOpen_ || typing_ || chosen_.empty())
        return;
    typing_ = true;
    for (; !chosen_.empty(); chosen_.pop_front())
        KeySender::perform(platform_, chosen_.front());
    platform_.whenKeyboardIdle(whileAlive(&ClickController::typingDone));
}

void ClickController::typingDone() {
    typing_ = false;
    if (std::exchange(popupAfterTyping_, false))
        showPopup();
}

ClickController::ObserverId ClickController::addObserver(std::function<void()> observer) {
    const ObserverId id = nextObserverId_++;
    observers_.emplace(id, std::move(observer));
    return id;
}

void ClickController::removeObserver(ObserverId id) {
    observers_.erase(id);
}

void ClickController::notify() {
    // Observers may add or remove observers while being told.
    std::vector<ObserverId> ids;
    ids.reserve(observers_.size());
    for (const auto& entry : observers_)
        ids.push_back(entry.first);
    for (ObserverId id : ids) {
        const auto found = observers_.find(id);
        if (found != observers_.end()) {
            const auto observer = found->second;
            observer();
        }
    }
}

ClickController::LoadedItems ClickController::loadMenuItems(Platform& platform) {
    const auto bytes = platform.readData(menuItemsKey);
    // A value of another kind (written by hand, say) is kept like bytes that do not decode.
    if (!bytes)
        return {MenuItem::defaults(), platform.readStoredText(menuItemsKey)};
    auto decoded = itemCodec::decode(*bytes);
    auto* items = std::get_if<std::vector<MenuItem>>(&decoded);
    if (!items)
        return {MenuItem::defaults(), *bytes};
    if (items->empty())
        return {MenuItem::defaults(), std::nullopt};
    return {migrateLowercaseDefaults(platform, std::move(*items)), std::nullopt};
}

std::vector<MenuItem> ClickController::migrateLowercaseDefaults(Platform& platform,
                                                                std::vector<MenuItem> items) {
    bool changed = false;
    for (MenuItem& item : items) {
        const auto* text = item.action.asInsertText();
        if (!text)
            continue;
        if (text->text == "@" && item.label == "mention") {
            item.label = "Mention";
            changed = true;
        } else if (text->text == "/" && item.label == "command") {
            item.label = "Command";
            changed = true;
        }
    }
    if (changed) {
        if (const auto bytes = itemCodec::encode(items))
            platform.writeData(menuItemsKey, *bytes);
    }
    return items;
}

void ClickController::saveMenuItems() {
    menuItemsWaiting_ = true;
    writeStore({});
}

// Every write rewrites the whole file, so stored entries that could not be read, the user's
// only copy, are kept before the first one; the list waits until they are.
void ClickController::writeStore(const std::function<void()>& write) {
    std::optional<std::string> keepFailure;
    if (unreadableStoredItems_) {
        if (platform_.keepUnreadableData(menuItemsKey, *unreadableStoredItems_))
            unreadableStoredItems_.reset();
        else
            keepFailure =
                platform_.lastStoreFailure().value_or("the unreadable entries were not kept");
    }
    if (write)
        write();
    if (menuItemsWaiting_ && !unreadableStoredItems_) {
        if (const auto bytes = itemCodec::encode(menuItems_))
            platform_.writeData(menuItemsKey, *bytes);
        menuItemsWaiting_ = false;
    }
    storeProblem_ = keepFailure ? keepFailure : platform_.lastStoreFailure();
}

} // namespace tavrin
