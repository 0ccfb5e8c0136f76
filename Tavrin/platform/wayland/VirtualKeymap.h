#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include <xkbcommon/xkbcommon.h>

namespace tavrin {

// A keymap for the virtual keyboard: the special keys and the given keysyms, each alone on the
// only level of a key of its own, so that no modifier and no layout can change what a key types.
class VirtualKeymap {
  public:
    // X clients under Xwayland read keycodes up to 255 only; xkb keycodes start at 8.
    static constexpr std::size_t capacity = 255 - 8;

    // Keeps the first capacity keysyms, special keys first, each once. The special keys go on
    // the keys that carry them on a keyboard, the text on keys that common keyboards lack as
    // long as there are any.
    explicit VirtualKeymap(const std::vector<xkb_keysym_t>& keysyms);

    // The keymap in xkb's text format, as the keyboard uploads it.
    std::string text() const;
    // The key (an evdev code, the xkb keycode less 8) that types the keysym.
    std::optional<std::uint32_t> keycodeOf(xkb_keysym_t keysym) const;
    bool holds(xkb_keysym_t keysym) const { return keycodeOf(keysym).has_value(); }
    std::size_t size() const { return keysyms_.size(); }

  private:
    std::vector<xkb_keysym_t> keysyms_;
};

// A stretch of a text whose characters fit one keymap, and the keys that type it there.
struct TypingRun {
    VirtualKeymap keymap;
    std::vector<std::uint32_t> keycodes;
};

// The runs that type the text in order: line breaks as Return, tabs as Tab, other control
// characters left out.
std::vector<TypingRun> typingRuns(std::u16string_view text);

} // namespace tavrin
