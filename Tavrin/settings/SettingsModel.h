#pragma once

#include "ClickController.h"
#include "MenuItem.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tavrin {

// What the settings window shows and does, without a toolkit: every text and enabled state is
// derived from the controller on each read, and every list operation assigns the controller's
// list exactly once. The only state of its own is the entry open in the editor.
class SettingsModel {
  public:
    explicit SettingsModel(ClickController& controller);

    bool permissionSectionShown() const;

    std::string assignedButtonValue() const;
    bool assignedButtonDimmed() const;
    std::string assignButtonTitle() const;
    bool assignButtonEnabled() const;
    bool clearButtonShown() const;

    std::string addButtonTitle() const;
    bool addButtonEnabled() const;
    bool maximumReachedShown() const;

    // One line per thing that cannot be written right now; empty while everything is saved.
    std::string saveNotice() const;

    void deleteItem(const Uuid& id);
    // Moves the entries at the source offsets, keeping their relative order, to stand before
    // the entry at `destination` (at the end when it equals the number of entries).
    void move(const std::vector<std::size_t>& sourceOffsets, std::size_t destination);
    void removeAt(const std::vector<std::size_t>& offsets);

    const std::optional<MenuItem>& editingItem() const { return editingItem_; }
    void add();
    void edit(const MenuItem& item);
    // Replaces the entry with the same id in place, or appends a new one; closes the editor.
    void save(const MenuItem& item);
    void cancelEditing();

  private:
    bool byShortcut() const;

    ClickController& controller_;
    std::optional<MenuItem> editingItem_;
};

} // namespace tavrin
