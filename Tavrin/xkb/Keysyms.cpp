#include "xkb/Keysyms.h"

#include <xkbcommon/xkbcommon-keysyms.h>

namespace tavrin::keymap {
namespace {

constexpr xkb_keysym_t unicodeKeysymBase = 0x01000000;
constexpr char32_t replacementCharacter = 0xFFFD;

bool isControl(char32_t codePoint) {
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint < 0xA0);
}

bool isSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDFFF;
}
bool isHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

bool isKeypad(xkb_keysym_t keysym) {
    return keysym >= XKB_KEY_KP_Space && keysym <= XKB_KEY_KP_Equal;
}

} // namespace

xkb_keysym_t keysymForSpecialKey(SpecialKey key) {
    switch (key) {
    case SpecialKey::returnKey:
        return XKB_KEY_Return;
    case SpecialKey::escape:
        return XKB_KEY_Escape;
    case SpecialKey::tab:
        return XKB_KEY_Tab;
    case SpecialKey::delete_:
        return XKB_KEY_BackSpace;
    case SpecialKey::forwardDelete:
        return XKB_KEY_Delete;
    case SpecialKey::space:
        return XKB_KEY_space;
    }
    return XKB_KEY_NoSymbol;
}

std::optional<xkb_keysym_t> keysymForCharacter(char32_t codePoint) {
    if (codePoint == U'\n' || codePoint == U'\r')
        return XKB_KEY_Return;
    if (codePoint == U'\t')
        return XKB_KEY_Tab;
    if (isControl(codePoint) || isSurrogate(codePoint) || codePoint > 0x10FFFF)
        return std::nullopt;
    if (codePoint < 0x100)
        return codePoint;
    return unicodeKeysymBase + codePoint;
}

std::optional<xkb_keysym_t> normalizedKeysym(xkb_keysym_t keysym) {
    if (isKeypad(keysym))
        return std::nullopt;
    const char32_t codePoint = xkb_keysym_to_utf32(keysym);
    if (codePoint == 0 || isControl(codePoint))
        return keysym;
    return keysymForCharacter(codePoint);
}

std::vector<char32_t> codePoints(std::u16string_view text) {
    std::vector<char32_t> out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = text[i];
        if (isHighSurrogate(unit) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            out.push_back(0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else {
            out.push_back(isSurrogate(unit) ? replacementCharacter : unit);
        }
    }
    return out;
}

std::vector<xkb_keysym_t> keysymsForText(std::u16string_view text) {
    const std::vector<char32_t> characters = codePoints(text);
    std::vector<xkb_keysym_t> out;
    out.reserve(characters.size());
    for (std::size_t i = 0; i < characters.size(); ++i) {
        const bool carriageReturnBeforeLineFeed =
            characters[i] == U'\r' && i + 1 < characters.size() && characters[i + 1] == U'\n';
        if (carriageReturnBeforeLineFeed)
            continue;
        if (const auto keysym = keysymForCharacter(characters[i]))
            out.push_back(*keysym);
    }
    return out;
}

} // namespace tavrin::keymap
