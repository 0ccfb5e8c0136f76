#include "xkb/KeymapIndex.h"

#include "xkb/Keysyms.h"

#include <algorithm>
#include <array>
#include <bit>
#include <memory>
#include <tuple>

namespace tavrin::keymap {
namespace {

// The eight modifiers of the core protocol; xkbcommon numbers them first, in X's bit order.
constexpr xkb_mod_mask_t realModifiers = 0xFF;
constexpr xkb_keycode_t lowestXKeycode = 8;
constexpr xkb_keycode_t highestXKeycode = 255;

struct StateDeleter {
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
};
using StatePointer = std::unique_ptr<xkb_state, StateDeleter>;

StatePointer stateInGroup(xkb_keymap* keymap, xkb_layout_index_t group) {
    StatePointer state(xkb_state_new(keymap));
    if (state)
        xkb_state_update_mask(state.get(), 0, 0, 0, 0, 0, group);
    return state;
}

xkb_keycode_t firstKeycode(xkb_keymap* keymap) {
    return std::max(xkb_keymap_min_keycode(keymap), lowestXKeycode);
}

xkb_keycode_t lastKeycode(xkb_keymap* keymap) {
    return std::min(xkb_keymap_max_keycode(keymap), highestXKeycode);
}

} // namespace

KeymapIndex::KeymapIndex(xkb_keymap* keymap) {
    for (xkb_keycode_t keycode = firstKeycode(keymap); keycode <= lastKeycode(keymap); ++keycode) {
        if (xkb_keymap_num_layouts_for_key(keymap, keycode) == 0)
            spareKeycodes_.push_back(keycode);
    }
    indexModifierKeys(keymap);
    indexStrokes(keymap);
}

void KeymapIndex::indexModifierKeys(xkb_keymap* keymap) {
    for (xkb_layout_index_t group = 0; group < xkb_keymap_num_layouts(keymap); ++group) {
        for (xkb_keycode_t keycode = firstKeycode(keymap); keycode <= lastKeycode(keymap);
             ++keycode) {
            StatePointer state = stateInGroup(keymap, group);
            if (!state)
                return;
            xkb_state_update_key(state.get(), keycode, XKB_KEY_DOWN);
            const xkb_mod_mask_t held =
                xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_DEPRESSED) & realModifiers;
            const xkb_mod_mask_t lockedOrLatched = xkb_state_serialize_mods(
                state.get(), xkb_state_component(XKB_STATE_MODS_LOCKED | XKB_STATE_MODS_LATCHED));
            const bool groupKept =
                xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_EFFECTIVE) == group;
            if (held == 0 || lockedOrLatched != 0 || !groupKept)
                continue;
            modifierKeycodes_.insert(keycode);
            modifierKeys_.try_emplace({group, held}, keycode);
        }
    }
}

void KeymapIndex::indexStrokes(xkb_keymap* keymap) {
    for (xkb_layout_index_t group = 0; group < xkb_keymap_num_layouts(keymap); ++group) {
        StatePointer state = stateInGroup(keymap, group);
        if (!state)
            return;
        for (xkb_keycode_t keycode = firstKeycode(keymap); keycode <= lastKeycode(keymap);
             ++keycode) {
            // A key with fewer groups than the keymap answers another group with one of its own.
            const xkb_layout_index_t layout = xkb_state_key_get_layout(state.get(), keycode);
            if (layout == XKB_LAYOUT_INVALID)
                continue;
            const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap, keycode, layout);
            for (xkb_level_index_t level = 0; level < levels; ++level) {
                const xkb_keysym_t* keysyms = nullptr;
                if (xkb_keymap_key_get_syms_by_level(keymap, keycode, layout, level, &keysyms) != 1)
                    continue;
                const auto keysym = normalizedKeysym(keysyms[0]);
                const auto modifiers = reachableModifiers(keymap, keycode, layout, level, group);
                if (keysym && modifiers)
                    strokes_[*keysym].push_back({keycode, group, *modifiers});
            }
        }
    }
}

std::optional<xkb_mod_mask_t> KeymapIndex::reachableModifiers(xkb_keymap* keymap,
                                                              xkb_keycode_t keycode,
                                                              xkb_layout_index_t layout,
                                                              xkb_level_index_t level,
                                                              xkb_layout_index_t group) const {
    std::array<xkb_mod_mask_t, 16> masks{};
    const std::size_t count = xkb_keymap_key_get_mods_for_level(keymap, keycode, layout, level,
                                                                masks.data(), masks.size());
    const auto reachable = [&](xkb_mod_mask_t mask) {
        if ((mask & ~realModifiers) != 0)
            return false;
        for (xkb_mod_mask_t bit = 1; bit <= realModifiers; bit <<= 1) {
            if ((mask & bit) != 0 && !modifierKey(bit, group))
                return false;
        }
        return true;
    };
    const auto* found = std::find_if(masks.begin(), masks.begin() + count, reachable);
    if (found == masks.begin() + count)
        return std::nullopt;
    return *found;
}

std::optional<KeyStroke> KeymapIndex::strokeFor(xkb_keysym_t keysym,
                                                xkb_layout_index_t currentGroup) const {
    const auto found = strokes_.find(keysym);
    if (found == strokes_.end())
        return std::nullopt;
    const auto cost = [currentGroup](const KeyStroke& stroke) {
        return std::tuple(stroke.group != currentGroup, std::popcount(stroke.modifiers),
                          stroke.group, stroke.keycode);
    };
    return *std::ranges::min_element(found->second, {}, cost);
}

std::optional<xkb_keycode_t> KeymapIndex::modifierKey(xkb_mod_mask_t modifier,
                                                      xkb_layout_index_t group) const {
    const auto found = modifierKeys_.find({group, modifier});
    if (found == modifierKeys_.end())
        return std::nullopt;
    return found->second;
}

} // namespace tavrin::keymap
