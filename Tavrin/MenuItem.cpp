#include "MenuItem.h"

#include "UnicodeText.h"

namespace tavrin {

bool operator==(const PopupAction& a, const PopupAction& b) {
    if (const auto* textA = a.asInsertText()) {
        const auto* textB = b.asInsertText();
        return textB && unicodeText::canonicallyEqual(textA->text, textB->text);
    }
    const auto* keyB = b.asPressKey();
    return keyB && a.asPressKey()->key == keyB->key;
}

bool operator==(const MenuItem& a, const MenuItem& b) {
    return a.id == b.id && unicodeText::canonicallyEqual(a.label, b.label) && a.action == b.action;
}

const std::vector<MenuItem>& MenuItem::defaults() {
    static const std::vector<MenuItem> items{
        {Uuid::random(), "Mention", PopupAction::insertText("@")},
        {Uuid::random(), "Command", PopupAction::insertText("/")},
        {Uuid::random(), "Enter", PopupAction::pressKey(SpecialKey::returnKey)},
    };
    return items;
}

std::string MenuItem::rowSymbol() const {
    if (const auto* text = action.asInsertText())
        return text->text;
    return std::string(specialKey::symbol(action.asPressKey()->key));
}

std::string MenuItem::popupTitle() const {
    return rowSymbol() + "\u2003" + label;
}

} // namespace tavrin
