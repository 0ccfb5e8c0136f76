#include "keys/KeySender.h"

#include "UnicodeText.h"

namespace tavrin::KeySender {
namespace {

void postPair(Platform& platform, std::optional<SpecialKey> key, const std::u16string* text) {
    auto down = platform.createKeyboardEvent(key, true);
    if (!down)
        return;
    auto up = platform.createKeyboardEvent(key, false);
    if (!up)
        return;
    if (text) {
        down->text = *text;
        up->text = *text;
    }
    platform.postKeyboardEvent(*down);
    platform.postKeyboardEvent(*up);
}

void postUnicode(Platform& platform, const std::string& text) {
    const std::u16string units = unicodeText::toUtf16(text);
    postPair(platform, std::nullopt, &units);
}

} // namespace

void postKey(Platform& platform, SpecialKey key) {
    postPair(platform, key, nullptr);
}

void perform(Platform& platform, const PopupAction& action) {
    if (const auto* text = action.asInsertText())
        postUnicode(platform, text->text);
    else
        postKey(platform, action.asPressKey()->key);
}

} // namespace tavrin::KeySender
