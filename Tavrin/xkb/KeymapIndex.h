#pragma once

#include "xkb/KeyStroke.h"

#include <map>
#include <optional>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>
#include <xkbcommon/xkbcommon.h>

namespace tavrin::keymap {

// Where a keymap holds each keysym, which keys hold the modifiers, and which keycodes are free.
// Built once from a compiled keymap, which it does not keep.
class KeymapIndex {
  public:
    explicit KeymapIndex(xkb_keymap* keymap);

    // The stroke that types a keysym (as normalizedKeysym gives it): in the current group if the
    // group has it, otherwise in another one; with as few modifiers as possible.
    std::optional<KeyStroke> strokeFor(xkb_keysym_t keysym, xkb_layout_index_t currentGroup) const;
    bool holds(xkb_keysym_t keysym) const { return strokes_.contains(keysym); }

    // Keycodes with no symbol at all, free to be bound for a moment.
    const std::vector<xkb_keycode_t>& spareKeycodes() const { return spareKeycodes_; }

    // The key that, pressed alone in the group, holds exactly this modifier.
    std::optional<xkb_keycode_t> modifierKey(xkb_mod_mask_t modifier,
                                             xkb_layout_index_t group) const;
    // Whether holding the key holds a modifier in some group (a locking key does not count).
    bool isModifierKey(xkb_keycode_t keycode) const { return modifierKeycodes_.contains(keycode); }

  private:
    void indexModifierKeys(xkb_keymap* keymap);
    void indexStrokes(xkb_keymap* keymap);
    std::optional<xkb_mod_mask_t> reachableModifiers(xkb_keymap* keymap, xkb_keycode_t keycode,
                                                     xkb_layout_index_t layout,
                                                     xkb_level_index_t level,
                                                     xkb_layout_index_t group) const;

    std::unordered_map<xkb_keysym_t, std::vector<KeyStroke>> strokes_;
    std::vector<xkb_keycode_t> spareKeycodes_;
    std::map<std::pair<xkb_layout_index_t, xkb_mod_mask_t>, xkb_keycode_t> modifierKeys_;
    std::set<xkb_keycode_t> modifierKeycodes_;
};

} // namespace tavrin::keymap
