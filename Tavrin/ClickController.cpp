#include "ClickController.h"

#include "ItemCodec.h"
#include "keys/KeySender.h"

#include <climits>

namespace tavrin {
namespace {

using namespace std::chrono_literals;

constexpr auto permissionPollInterval = 2000ms;
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
    platform_.writeBool(enabledKey, value);
    syncTap();
    notify();
}

void ClickController::setAssignedButton(std::optional<int> value) {
    assignedButton_ = value;
    platform_.writeInteger(assignedButtonKey, value.value_or(noButtonStored));
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
    if (succeeded || loginItemRetries_ >= maximumLoginItemRetries)
        return;
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
        return "Needs Accessibility permission";
    if (assignMode_)
        return "Press a mouse button to assign\u2026";
    if (!assignedButton_)
        return "No button assigned yet";
    if (enabled_)
        return "Watching button " + std::to_string(*assignedButton_);
    return "Disabled (button " + std::to_string(*assignedButton_) + ")";
}

std::string ClickController::menuSymbol() const {
    if (!accessibilityGranted_)
        return "cursorarrow.slash";
    if (assignMode_)
        return "cursorarrow.click.badge.clock";
    if (enabled_ && assignedButton_)
        return "cursorarrow.click.2";
    return "cursorarrow";
}

void ClickController::beginAssign() {
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
    return accessibilityGranted_ && (assignMode_ || (enabled_ && assignedButton_));
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
}

Verdict ClickController::handle(const ButtonEvent& event) {
    if (event.type == ButtonEventType::tapDisabled) {
        if (tap_)
            tap_->setEnabled(true, watchedButtons());
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

void ClickController::showPopup() {
    // The popup runs a nested loop; a press of the button meanwhile must not stack another.
    if (popupOpen_)
        return;
    popupOpen_ = true;
    const auto& shown = menuItems_.empty() ? MenuItem::defaults() : menuItems_;
    Platform* platform = &platform_;
    platform_.showPopup(popupRows(shown), [platform](const PopupAction& action) {
        platform->postAfter(typingDelay,
                            [platform, action] { KeySender::perform(*platform, action); });
    });
    popupOpen_ = false;
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
    if (!bytes)
        return {MenuItem::defaults(), std::nullopt};
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
    const auto bytes = itemCodec::encode(menuItems_);
    if (!bytes)
        return;
    // Bytes that could not be read are the user's only copy: keep them before overwriting.
    if (unreadableStoredItems_) {
        if (!platform_.keepUnreadableData(menuItemsKey, *unreadableStoredItems_))
            return;
        unreadableStoredItems_.reset();
    }
    platform_.writeData(menuItemsKey, *bytes);
}

} // namespace tavrin
