#include "TypingPlan.h"

#include <algorithm>
#include <optional>

namespace tavrin::keymap {
namespace {

using SpareSlots = std::vector<std::optional<xkb_keysym_t>>; // what each spare keycode holds

// The distinct keysyms the keymap lacks, in the order the text first needs them.
std::vector<xkb_keysym_t> upcomingMissing(std::span<const xkb_keysym_t> rest,
                                          const KeymapIndex& index, std::size_t limit) {
    std::vector<xkb_keysym_t> missing;
    for (xkb_keysym_t keysym : rest) {
        if (missing.size() == limit)
            break;
        if (!index.holds(keysym) && std::ranges::find(missing, keysym) == missing.end())
            missing.push_back(keysym);
    }
    return missing;
}

// Keeps the bindings still wanted and gives the other spare keycodes to the wanted keysyms
// not bound yet.
Rebinding rebind(SpareSlots& slots, std::span<const xkb_keycode_t> spareKeycodes,
                 const std::vector<xkb_keysym_t>& wanted) {
    std::vector<std::size_t> freeSlots;
    for (std::size_t slot = 0; slot < slots.size(); ++slot) {
        if (!slots[slot] || std::ranges::find(wanted, *slots[slot]) == wanted.end())
            freeSlots.push_back(slot);
    }
    Rebinding change;
    auto nextFree = freeSlots.begin();
    for (xkb_keysym_t keysym : wanted) {
        if (std::ranges::find(slots, keysym) != slots.end())
            continue;
        slots[*nextFree] = keysym;
        change.bindings.push_back({spareKeycodes[*nextFree], keysym});
        ++nextFree;
    }
    return change;
}

} // namespace

TypingPlan TypingPlan::forKeysyms(std::span<const xkb_keysym_t> keysyms, const KeymapIndex& index,
                                  xkb_layout_index_t currentGroup,
                                  std::span<const xkb_keycode_t> spareKeycodes) {
    SpareSlots slots(spareKeycodes.size());
    TypingPlan plan;
    xkb_layout_index_t group = currentGroup;
    for (std::size_t i = 0; i < keysyms.size(); ++i) {
        if (const auto stroke = index.strokeFor(keysyms[i], group)) {
            group = stroke->group;
            plan.steps.emplace_back(*stroke);
            continue;
        }
        if (spareKeycodes.empty())
            continue;
        auto slot = std::ranges::find(slots, keysyms[i]);
        if (slot == slots.end()) {
            const auto wanted = upcomingMissing(keysyms.subspan(i), index, spareKeycodes.size());
            plan.steps.emplace_back(rebind(slots, spareKeycodes, wanted));
            slot = std::ranges::find(slots, keysyms[i]);
        }
        const auto keycode = spareKeycodes[static_cast<std::size_t>(slot - slots.begin())];
        plan.steps.emplace_back(KeyStroke{keycode, group, 0});
    }
    return plan;
}

} // namespace tavrin::keymap
