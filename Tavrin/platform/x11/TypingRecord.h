#pragma once

#include "xkb/KeySymMaps.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// What the text being typed has changed on the keyboard. It is kept in a file while the text is
// typed, so that a run that ends before it can put things back (killed, crashed) is made good by
// the next one.
struct TypingRecord {
    using KeyMap = keymap::KeySymMaps::KeyMap;

    // A key bound for the moment: what it held before, and what was put there.
    struct Binding {
        xkb_keycode_t keycode = 0;
        KeyMap original;
        KeyMap bound;
        friend bool operator==(const Binding&, const Binding&) = default;
    };

    // The user's locked modifiers, unlocked for the text.
    std::uint8_t lockedModifiers = 0;
    // The user's locked group, and the group the text locked last.
    std::uint8_t lockedGroup = 0;
    std::uint8_t typingGroup = 0;
    // While a binding changes, its key is named twice: the server holds one of the two.
    std::vector<Binding> bindings;

    std::string encode() const;
    // Nothing unless the text is a whole record in the form encode() writes.
    static std::optional<TypingRecord> decode(std::string_view text);

    friend bool operator==(const TypingRecord&, const TypingRecord&) = default;
};

} // namespace tavrin
