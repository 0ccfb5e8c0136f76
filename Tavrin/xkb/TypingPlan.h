#pragma once

#include "xkb/KeyStroke.h"
#include "xkb/KeymapIndex.h"

#include <array>
#include <span>
#include <variant>
#include <vector>
#include <xkbcommon/xkbcommon.h>

namespace tavrin::keymap {

// A spare key bound for the moment: the keysym it types alone and the one it types with Shift,
// NoSymbol where it types none.
struct SpareBinding {
    xkb_keycode_t keycode = 0;
    std::array<xkb_keysym_t, 2> keysyms{};

    friend bool operator==(const SpareBinding&, const SpareBinding&) = default;
};

// One keymap change: spare keys bound to the characters typed next.
struct Rebinding {
    std::vector<SpareBinding> bindings;
};

using TypingStep = std::variant<Rebinding, KeyStroke>;

// The key strokes that type a row of keysyms on a keymap, in order. Keysyms the keymap holds are
// typed where it holds them; the others go to the spare keycodes given, two on each (one with
// Shift), as many at a time as they take, so that the keymap changes seldom. Keysyms that can be
// typed in neither way (no spare keycode at all) are left out.
struct TypingPlan {
    std::vector<TypingStep> steps;

    static TypingPlan forKeysyms(std::span<const xkb_keysym_t> keysyms, const KeymapIndex& index,
                                 xkb_layout_index_t currentGroup,
                                 std::span<const xkb_keycode_t> spareKeycodes);
};

} // namespace tavrin::keymap
