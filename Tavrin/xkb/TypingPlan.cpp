#include "xkb/TypingPlan.h"

#include <algorithm>
#include <optional>

namespace tavrin::keymap {
namespace {

constexpr xkb_mod_mask_t shift = 0x01;

// What each level of each spare keycode holds, keycode by keycode.
class SpareSlots {
  public:
    SpareSlots(std::span<const xkb_keycode_t> keycodes, std::size_t levels)
        : keycodes_(keycodes), levels_(levels), keysyms_(keycodes.size() * levels) {}

    std::size_t size() const { return keysyms_.size(); }
    const std::optional<xkb_keysym_t>& operator[](std::size_t slot) const { return keysyms_[slot]; }
    std::optional<std::size_t> find(xkb_keysym_t keysym) const {
        const auto found = std::ranges::find(keysyms_, keysym);
        if (found == keysyms_.end())
            return std::nullopt;
        return static_cast<std::size_t>(found - keysyms_.begin());
    }
    void bind(std::size_t slot, xkb_keysym_t keysym) { keysyms_[slot] = keysym; }

    xkb_keycode_t keycode(std::size_t slot) const { return keycodes_[slot / levels_]; }
    std::size_t level(std::size_t slot) const { return slot % levels_; }
    SpareBinding binding(std::size_t slot) const {
        const std::size_t first = slot - level(slot);
        SpareBinding binding{keycode(slot), {}};
        for (std::size_t offset = 0; offset < levels_; ++offset)
            binding.keysyms[offset] = keysyms_[first + offset].value_or(XKB_KEY_NoSymbol);
        return binding;
    }

  private:
    std::span<const xkb_keycode_t> keycodes_;
    std::size_t levels_;
    std::vector<std::optional<xkb_keysym_t>> keysyms_;
};

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

// Keeps the bindings still wanted and gives the other slots to the wanted keysyms not bound yet.
Rebinding rebind(SpareSlots& slots, const std::vector<xkb_keysym_t>& wanted) {
    std::vector<std::size_t> freeSlots;
    for (std::size_t slot = 0; slot < slots.size(); ++slot) {
        if (!slots[slot] || std::ranges::find(wanted, *slots[slot]) == wanted.end())
            freeSlots.push_back(slot);
    }
    std::vector<std::size_t> changed;
    auto nextFree = freeSlots.begin();
    for (xkb_keysym_t keysym : wanted) {
        if (slots.find(keysym))
            continue;
        slots.bind(*nextFree, keysym);
        changed.push_back(*nextFree);
        ++nextFree;
    }
    Rebinding change;
    for (std::size_t slot : changed) {
        const SpareBinding binding = slots.binding(slot);
        if (std::ranges::find(change.bindings, binding) == change.bindings.end())
            change.bindings.push_back(binding);
    }
    return change;
}

} // namespace

TypingPlan TypingPlan::forKeysyms(std::span<const xkb_keysym_t> keysyms, const KeymapIndex& index,
                                  xkb_layout_index_t currentGroup,
                                  std::span<const xkb_keycode_t> spareKeycodes) {
    // A spare key's second level takes Shift: only where a key holds Shift.
    SpareSlots slots(spareKeycodes, index.modifierKey(shift, currentGroup) ? 2 : 1);
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
        auto slot = slots.find(keysyms[i]);
        if (!slot) {
            const auto wanted = upcomingMissing(keysyms.subspan(i), index, slots.size());
            plan.steps.emplace_back(rebind(slots, wanted));
            slot = slots.find(keysyms[i]);
        }
        const xkb_mod_mask_t modifiers = slots.level(*slot) == 0 ? 0 : shift;
        plan.steps.emplace_back(KeyStroke{slots.keycode(*slot), group, modifiers});
    }
    return plan;
}

} // namespace tavrin::keymap
