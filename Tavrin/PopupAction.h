#pragma once

#include "SpecialKey.h"

#include <string>
#include <variant>

namespace tavrin {

struct InsertText {
    std::string text; // UTF-8
};

struct PressKey {
    SpecialKey key;
};

// What choosing an entry does; texts compare by canonical equivalence.
class PopupAction {
  public:
    static PopupAction insertText(std::string text) {
        return PopupAction(InsertText{std::move(text)});
    }
    static PopupAction pressKey(SpecialKey key) { return PopupAction(PressKey{key}); }

    const InsertText* asInsertText() const { return std::get_if<InsertText>(&value_); }
    const PressKey* asPressKey() const { return std::get_if<PressKey>(&value_); }

    friend bool operator==(const PopupAction& a, const PopupAction& b);

  private:
    explicit PopupAction(std::variant<InsertText, PressKey> value) : value_(std::move(value)) {}
    std::variant<InsertText, PressKey> value_;
};

} // namespace tavrin
