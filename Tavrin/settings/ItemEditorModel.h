#pragma once

#include "MenuItem.h"

#include <array>
#include <string>
#include <string_view>

namespace tavrin {

// The two kinds of action the editor offers, in picker order.
enum class ActionType { text, key };

namespace actionType {

inline constexpr std::array<ActionType, 2> allCases{ActionType::text, ActionType::key};

// The picker row: "Type text" or "Press special key".
std::string_view rawValue(ActionType type);

} // namespace actionType

// The editing state of one entry: a private copy of its values that only the finished entry
// (result) leaves. Switching the action type keeps both the text and the key.
class ItemEditorModel {
  public:
    explicit ItemEditorModel(MenuItem item);

    const std::string& label() const { return label_; }
    ActionType actionType() const { return actionType_; }
    const std::string& textValue() const { return textValue_; }
    SpecialKey keyValue() const { return keyValue_; }

    void setLabel(std::string label);
    void setActionType(ActionType type);
    void setTextValue(std::string text);
    // A label that is empty or only names the old key follows the new key; one typed by the
    // user stays.
    void setKeyValue(SpecialKey key);

    // Nothing is trimmed: a label or text of spaces counts as present.
    bool saveEnabled() const;
    MenuItem result() const;

    // A key picker row: glyph, two spaces, name.
    static std::string keyRowText(SpecialKey key);

  private:
    Uuid id_;
    std::string label_;
    ActionType actionType_;
    std::string textValue_;
    SpecialKey keyValue_ = SpecialKey::returnKey;
};

} // namespace tavrin
