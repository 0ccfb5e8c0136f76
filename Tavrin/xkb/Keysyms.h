#pragma once

#include "SpecialKey.h"

#include <optional>
#include <string_view>
#include <vector>
#include <xkbcommon/xkbcommon.h>

namespace tavrin::keymap {

// The keysym that types one character: Return for a line break, Tab for a tab, the Latin-1
// keysym below U+0100 and the Unicode keysym above it. Nothing for other control characters.
std::optional<xkb_keysym_t> keysymForCharacter(char32_t codePoint);

// A keymap's keysym in the form keysymForCharacter gives, so that the legacy and the Unicode
// keysym of one character compare equal. Keysyms without a character (Escape, BackSpace) stay
// as they are; keypad keysyms, which depend on NumLock, give nothing.
std::optional<xkb_keysym_t> normalizedKeysym(xkb_keysym_t keysym);

// The keysym of a special key.
xkb_keysym_t keysymForSpecialKey(SpecialKey key);

// The code points of UTF-16 text; a lone surrogate becomes U+FFFD.
std::vector<char32_t> codePoints(std::u16string_view text);

// The keysyms that type the text, in order. CR LF is one line break.
std::vector<xkb_keysym_t> keysymsForText(std::u16string_view text);

} // namespace tavrin::keymap
