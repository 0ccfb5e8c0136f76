#include "platform/wayland/VirtualKeymap.h"

#include "SpecialKey.h"
#include "xkb/Keysyms.h"

#include <algorithm>
#include <array>

namespace tavrin {
namespace {

constexpr std::uint32_t evdevOffset = 8;
// X clients under Xwayland read xkb keycodes up to 255.
constexpr std::uint32_t lastEvdevCode = 255 - evdevOffset;

// Programs that read physical key codes (a browser's KeyboardEvent.code, terminals with the
// newer keyboard protocols, games, remote desktops) must see the special keys where a keyboard
// has them: KEY_ENTER, KEY_ESC, KEY_TAB, KEY_BACKSPACE, KEY_DELETE, KEY_SPACE.
constexpr std::array<std::uint32_t, specialKey::allCases.size()> specialKeyCodes{28, 1,   15,
                                                                                 14, 111, 57};

// Where the text goes first: keys that common keyboards lack and that mean nothing to the
// programs that read codes, yet that browsers know (Chromium drops a key whose code it does not
// know): a phone, exit and bass boost key (no KeyboardEvent.code at all), F13 to F24, the old
// Sun keys Again, Select, Open and Help, the Japanese, Korean and Brazilian keys, and the
// keypad's comma, parentheses and equals sign.
constexpr std::array<std::uint32_t, 33> spareCodes{
    169, 174, 209, 183, 184, 185, 186, 187, 188, 189, 190, 191, 192, 193, 194, 129, 132,
    134, 138, 85,  89,  90,  91,  92,  93,  94,  122, 123, 124, 121, 179, 180, 117};
// Then the keys that carry characters on a keyboard: digits, letters and punctuation.
constexpr std::array<std::pair<std::uint32_t, std::uint32_t>, 5> characterKeyRanges{
    {{2, 13}, {16, 27}, {30, 41}, {43, 53}, {86, 86}}};
// Codes that no browser knows go last: it would drop a character typed there.
constexpr std::array<std::uint32_t, 56> unknownCodes{
    84,  95,  101, 112, 130, 139, 141, 145, 146, 147, 148, 149, 151, 153, 154, 157, 160, 162, 170,
    175, 176, 177, 178, 195, 196, 197, 198, 199, 200, 202, 203, 205, 211, 212, 213, 214, 215, 216,
    218, 219, 220, 221, 222, 223, 226, 236, 237, 238, 239, 240, 241, 242, 243, 245, 246, 247};

template <typename Codes> bool contains(const Codes& codes, std::uint32_t code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// Where the keymap's keys go, in the order they are handed out: the special keys first.
const std::vector<std::uint32_t>& keyCodeOrder() {
    static const std::vector<std::uint32_t> order = [] {
        std::vector<std::uint32_t> codes(specialKeyCodes.begin(), specialKeyCodes.end());
        codes.insert(codes.end(), spareCodes.begin(), spareCodes.end());
        for (const auto& [first, last] : characterKeyRanges)
            for (std::uint32_t code = first; code <= last; ++code)
                codes.push_back(code);
        for (std::uint32_t code = 1; code <= lastEvdevCode; ++code)
            if (!contains(codes, code) && !contains(unknownCodes, code))
                codes.push_back(code);
        codes.insert(codes.end(), unknownCodes.begin(), unknownCodes.end());
        return codes;
    }();
    return order;
}

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
    return keyCodeOrder()[static_cast<std::size_t>(found - keysyms_.begin())];
}

std::string VirtualKeymap::text() const {
    std::string keycodes;
    std::string symbols;
    for (std::size_t index = 0; index < keysyms_.size(); ++index) {
        const std::string code = std::to_string(keyCodeOrder()[index] + evdevOffset);
        const std::string key = "<K" + code + ">";
        keycodes += "    " + key + " = " + code + ";\n";
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
