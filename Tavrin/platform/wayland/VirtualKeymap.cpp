#include "platform/wayland/VirtualKeymap.h"

#include "SpecialKey.h"
#include "platform/xkb/Keysyms.h"

#include <algorithm>
#include <array>

namespace tavrin {
namespace {

constexpr std::uint32_t firstXkbKeycode = 9;
constexpr std::uint32_t evdevOffset = 8;

std::string keysymName(xkb_keysym_t keysym) {
    std::array<char, 64> name{};
    if (xkb_keysym_get_name(keysym, name.data(), name.size()) <= 0)
        return "NoSymbol";
    return name.data();
}

std::vector<xkb_keysym_t> specialKeysyms() {
    std::vector<xkb_keysym_t> keysyms;
    for (const SpecialKey key : specialKey::allCases)
        keysyms.push_back(keymap::keysymForSpecialKey(key));
    return keysyms;
}

} // namespace

VirtualKeymap::VirtualKeymap(const std::vector<xkb_keysym_t>& keysyms) {
    std::vector<xkb_keysym_t> wanted = specialKeysyms();
    wanted.insert(wanted.end(), keysyms.begin(), keysyms.end());
    for (const xkb_keysym_t keysym : wanted) {
        if (keysyms_.size() < capacity && !holds(keysym))
            keysyms_.push_back(keysym);
    }
}

std::optional<std::uint32_t> VirtualKeymap::keycodeOf(xkb_keysym_t keysym) const {
    const auto found = std::find(keysyms_.begin(), keysyms_.end(), keysym);
    if (found == keysyms_.end())
        return std::nullopt;
    return firstXkbKeycode - evdevOffset + static_cast<std::uint32_t>(found - keysyms_.begin());
}

std::string VirtualKeymap::text() const {
    std::string keycodes;
    std::string symbols;
    for (std::size_t index = 0; index < keysyms_.size(); ++index) {
        const std::string key = "<K" + std::to_string(firstXkbKeycode + index) + ">";
        keycodes += "    " + key + " = " + std::to_string(firstXkbKeycode + index) + ";\n";
        symbols += "    key " + key + " { [ " + keysymName(keysyms_[index]) + " ] };\n";
    }
    return "xkb_keymap {\n"
           "xkb_keycodes \"tavrin\" {\n"
           "    minimum = 8;\n"
           "    maximum = 255;\n" +
           keycodes +
           "};\n"
           "xkb_types \"tavrin\" {\n"
           "    type \"ONE_LEVEL\" {\n"
           "        modifiers = none;\n"
           "        level_name[Level1] = \"Any\";\n"
           "    };\n"
           "};\n"
           "xkb_compatibility \"tavrin\" {\n"
           "};\n"
           "xkb_symbols \"tavrin\" {\n" +
           symbols +
           "};\n"
           "};\n";
}

std::vector<TypingRun> typingRuns(std::u16string_view text) {
    std::vector<TypingRun> runs;
    const std::vector<xkb_keysym_t> keysyms = keymap::keysymsForText(text);
    std::size_t start = 0;
    while (start < keysyms.size()) {
        // The longest stretch from start whose distinct keysyms fit one keymap.
        std::vector<xkb_keysym_t> distinct = specialKeysyms();
        std::size_t end = start;
        for (; end < keysyms.size(); ++end) {
            if (std::find(distinct.begin(), distinct.end(), keysyms[end]) != distinct.end())
                continue;
            if (distinct.size() == VirtualKeymap::capacity)
                break;
            distinct.push_back(keysyms[end]);
        }
        TypingRun run{VirtualKeymap(distinct), {}};
        for (std::size_t index = start; index < end; ++index)
            run.keycodes.push_back(*run.keymap.keycodeOf(keysyms[index]));
        runs.push_back(std::move(run));
        start = end;
    }
    return runs;
}

} // namespace tavrin
