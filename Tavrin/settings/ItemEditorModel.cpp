#include "settings/ItemEditorModel.h"

#include <utility>

namespace tavrin {

std::string_view actionType::rawValue(ActionType type) {
    return type == ActionType::text ? "Type text" : "Press special key";
}

ItemEditorModel::ItemEditorModel(MenuItem item)
    : id_(item.id), label_(std::move(item.label)), actionType_(ActionType::text) {
    if (const auto* text = item.action.asInsertText()) {
        textValue_ = text->text;
    } else {
        actionType_ = ActionType::key;
        keyValue_ = item.action.asPressKey()->key;
    }
}

void ItemEditorModel::setLabel(std::string label) {
    label_ = std::move(label);
}

void ItemEditorModel::setActionType(ActionType type) {
    actionType_ = type;
}

void ItemEditorModel::setTextValue(std::string text) {
    textValue_ = std::move(text);
}

void ItemEditorModel::setKeyValue(SpecialKey key) {
    const SpecialKey previous = std::exchange(keyValue_, key);
    if (key == previous)
        return;
    if (label_.empty() || label_ == specialKey::rawValue(previous))
        label_ = specialKey::rawValue(key);
}

bool ItemEditorModel::saveEnabled() const {
    return !label_.empty() && !(actionType_ == ActionType::text && textValue_.empty());
}

MenuItem ItemEditorModel::result() const {
    return MenuItem{id_, label_,
                    actionType_ == ActionType::key ? PopupAction::pressKey(keyValue_)
                                                   : PopupAction::insertText(textValue_)};
}

std::string ItemEditorModel::keyRowText(SpecialKey key) {
    return std::string(specialKey::symbol(key)) + "  " + std::string(specialKey::rawValue(key));
}

} // namespace tavrin
