#pragma once

#include <xkbcommon/xkbcommon.h>

namespace tavrin::keymap {

// One key press: the key, the keyboard group to be in, and the real modifiers to hold (the
// bits of an X event's state: Shift 0x01, Lock 0x02, Control 0x04, Mod1 0x08 ... Mod5 0x80).
struct KeyStroke {
    xkb_keycode_t keycode = 0;
    xkb_layout_index_t group = 0;
    xkb_mod_mask_t modifiers = 0;

    friend bool operator==(const KeyStroke&, const KeyStroke&) = default;
};

} // namespace tavrin::keymap
