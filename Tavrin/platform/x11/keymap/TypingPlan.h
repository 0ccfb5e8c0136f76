#pragma once

#include "KeyStroke.h"
#include "KeymapIndex.h"

#include <span>
#include <variant>
#include <vector>
#include <xkbcommon/xkbcommon.h>

namespace tavrin::keymap {

struct SpareBinding {
    xkb_keycode_t keycode = 0;
    xkb_keysym_t keysym = XKB_KEY_NoSymbol;

    friend bool operator==(const SpareBinding&, const SpareBinding&) = default;
};

// One keymap change: spare keycodes bound to the characters typed next.
struct Rebinding {
    std::vector<SpareBinding> bindings;
};

using TypingStep = std::variant<Rebinding, KeyStroke>;

// The key strokes that type a row of keysyms on a keymap, in order. Keysyms the keymap holds are
// typed where it holds them; the others go to the spare keycodes given, bound as many at a time
// as there are, so that the keymap changes seldom. Keysyms that can be typed in neither way (no
// spare keycode at all) are left out.
struct TypingPlan {
    std::vector<TypingStep> steps;

    static TypingPlan forKeysyms(std::span<const xkb_keysym_t> keysyms, const KeymapIndex& index,
                                 xkb_layout_index_t currentGroup,
                                 std::span<const xkb_keycode_t> spareKeycodes);
};

} // namespace tavrin::keymap
