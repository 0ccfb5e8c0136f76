#include "settings/SettingsModel.h"

#include <algorithm>
#include <set>

namespace tavrin {

SettingsModel::SettingsModel(ClickController& controller) : controller_(controller) {}

bool SettingsModel::permissionSectionShown() const {
    return !controller_.accessibilityGranted();
}

std::string SettingsModel::assignedButtonValue() const {
    if (byShortcut())
        return "None: a keyboard shortcut runs tavrin --popup";
    const auto button = controller_.assignedButton();
    return button ? "Button " + std::to_string(*button) : "None";
}

bool SettingsModel::assignedButtonDimmed() const {
    return !controller_.assignedButton();
}

std::string SettingsModel::assignButtonTitle() const {
    return controller_.assignMode() ? "Press the button now\u2026" : "Assign button";
}

bool SettingsModel::assignButtonEnabled() const {
    return !controller_.assignMode() && controller_.accessibilityGranted() && !byShortcut();
}

bool SettingsModel::clearButtonShown() const {
    return controller_.assignedButton().has_value() && !byShortcut();
}

bool SettingsModel::byShortcut() const {
    return controller_.popupOpener() == PopupOpener::shortcut;
}

std::string SettingsModel::addButtonTitle() const {
    return addButtonEnabled() ? "Add item" : "5 items max";
}

bool SettingsModel::addButtonEnabled() const {
    return controller_.menuItems().size() < maximumMenuItems;
}

bool SettingsModel::maximumReachedShown() const {
    return !addButtonEnabled();
}

std::string SettingsModel::saveNotice() const {
    std::string notice;
    if (const auto& problem = controller_.storeProblem())
        notice.append("Changes not saved: ").append(*problem);
    if (const auto& problem = controller_.loginItemProblem()) {
        if (!notice.empty())
            notice += '\n';
        notice.append("Start at login not changed: ").append(*problem);
    }
    return notice;
}

void SettingsModel::deleteItem(const Uuid& id) {
    auto items = controller_.menuItems();
    std::erase_if(items, [&](const MenuItem& item) { return item.id == id; });
    controller_.setMenuItems(std::move(items));
}

void SettingsModel::move(const std::vector<std::size_t>& sourceOffsets, std::size_t destination) {
    const auto& items = controller_.menuItems();
    const std::set<std::size_t> sources(sourceOffsets.begin(), sourceOffsets.end());
    std::vector<MenuItem> moved;
    std::vector<MenuItem> staying;
    std::size_t insertAt = 0;
    for (std::size_t offset = 0; offset < items.size(); ++offset) {
        if (sources.contains(offset)) {
            moved.push_back(items[offset]);
        } else {
            staying.push_back(items[offset]);
            if (offset < destination)
                ++insertAt;
        }
    }
    staying.insert(staying.begin() + static_cast<std::ptrdiff_t>(insertAt), moved.begin(),
                   moved.end());
    controller_.setMenuItems(std::move(staying));
}

void SettingsModel::removeAt(const std::vector<std::size_t>& offsets) {
    const auto& items = controller_.menuItems();
    const std::set<std::size_t> removed(offsets.begin(), offsets.end());
    std::vector<MenuItem> kept;
    for (std::size_t offset = 0; offset < items.size(); ++offset) {
        if (!removed.contains(offset))
            kept.push_back(items[offset]);
    }
    controller_.setMenuItems(std::move(kept));
}

void SettingsModel::add() {
    editingItem_ = MenuItem{Uuid::random(), "", PopupAction::insertText("")};
}

void SettingsModel::edit(const MenuItem& item) {
    editingItem_ = item;
}

void SettingsModel::save(const MenuItem& item) {
    auto items = controller_.menuItems();
    const auto existing = std::ranges::find(items, item.id, &MenuItem::id);
    if (existing != items.end())
        *existing = item;
    else
        items.push_back(item);
    controller_.setMenuItems(std::move(items));
    editingItem_.reset();
}

void SettingsModel::cancelEditing() {
    editingItem_.reset();
}

} // namespace tavrin
