#include "platform/wayland/SwayBindings.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <span>

namespace tavrin::swayBindings {
namespace {

struct SwayButton {
    int stored;
    std::string_view name;      // what our bindings use
    std::string_view eventName; // the evdev name, also accepted by sway
    int eventCode;              // what bindcode takes
};

constexpr std::array<SwayButton, 6> buttons{{
    {2, "button2", "BTN_MIDDLE", 0x112},
    {3, "button8", "BTN_SIDE", 0x113},
    {4, "button9", "BTN_EXTRA", 0x114},
    {5, "BTN_FORWARD", "BTN_FORWARD", 0x115},
    {6, "BTN_BACK", "BTN_BACK", 0x116},
    {7, "BTN_TASK", "BTN_TASK", 0x117},
}};

constexpr std::string_view commandPrefix = "nop tavrin button ";

const SwayButton* find(int stored) {
    for (const SwayButton& button : buttons) {
        if (button.stored == stored)
            return &button;
    }
    return nullptr;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::optional<int> buttonOfTrigger(std::string_view kind, std::string_view trigger) {
    for (const SwayButton& button : buttons) {
        const bool matches = kind == "bindcode" ? trigger == std::to_string(button.eventCode)
                                                : equalIgnoringCase(trigger, button.name) ||
                                                      trigger == button.eventName;
        if (matches)
            return button.stored;
    }
    return std::nullopt;
}

bool isModifier(std::string_view name) {
    static constexpr std::array<std::string_view, 13> modifiers{
        "Shift", "Lock", "Caps", "Ctrl",  "Control", "Mod1",       "Alt",
        "Mod2",  "Mod3", "Mod4", "Super", "Mod5",    "Mode_switch"};
    return name.starts_with("Group") ||
           std::any_of(modifiers.begin(), modifiers.end(),
                       [name](std::string_view known) { return equalIgnoringCase(name, known); });
}

// The spare buttons one command of the default mode binds where ours would be, so that ours
// would replace it. What is not understood takes its button, or every spare one when the
// trigger is not understood either.
std::optional<std::set<int>> buttonsTakenBy(std::span<const std::string> words) {
    if (words.size() > 2 && words[0] == "mode") {
        const std::size_t name = words[1] == "--pango_markup" ? 2 : 1;
        const std::string_view mode = words[name];
        const bool quoted =
            mode.size() >= 2 && (mode[0] == '"' || mode[0] == '\'') && mode.back() == mode[0];
        if ((quoted ? mode.substr(1, mode.size() - 2) : mode) != "default")
            return std::nullopt;
        return buttonsTakenBy(words.subspan(name + 1));
    }
    if (words.empty() || (words[0] != "bindsym" && words[0] != "bindcode"))
        return std::nullopt;
    bool unknownFlag = false;
    bool unresolved = false; // a variable that was never set
    bool wholeWindow = false;
    bool elsewhere =
        false; // on release, when locked or inhibited, from one device, part of a window
    std::size_t index = 1;
    for (; index < words.size() && words[index].starts_with("--"); ++index) {
        const std::string& flag = words[index];
        if (flag == "--whole-window")
            wholeWindow = true;
        else if (flag == "--release" || flag == "--locked" || flag == "--inhibited" ||
                 flag == "--exclude-titlebar" ||
                 (flag.starts_with("--input-device=") && flag != "--input-device=*"))
            elsewhere = true;
        else if (flag != "--border" && flag != "--to-code" && flag != "--no-warn" &&
                 flag != "--no-repeat" && flag != "--input-device=*")
            unknownFlag = true;
    }
    if (index >= words.size())
        return std::nullopt;
    std::optional<int> button;
    bool modified = false;
    std::string_view trigger = words[index];
    for (std::size_t end = 0; end != std::string_view::npos; trigger.remove_prefix(end + 1)) {
        end = trigger.find('+');
        const std::string_view part = trigger.substr(0, end);
        if (part.find('$') != std::string_view::npos)
            unresolved = true;
        else if (isModifier(part))
            modified = true;
        else if (const auto found = buttonOfTrigger(words[0], part))
            button = found;
        if (end == std::string_view::npos)
            break;
    }
    if (!elsewhere && (unknownFlag || (unresolved && wholeWindow)))
        return button ? std::set<int>{*button} : spareButtons();
    if (!button || !wholeWindow || elsewhere || modified)
        return std::nullopt;
    return std::set<int>{*button};
}

} // namespace

std::set<int> spareButtons() {
    std::set<int> result;
    for (const SwayButton& button : buttons)
        result.insert(button.stored);
    return result;
}

std::string bindCommand(int button) {
    const SwayButton* found = find(button);
    if (!found)
        return {};
    return "bindsym --whole-window " + std::string(found->name) + " " + std::string(commandPrefix) +
           std::to_string(button);
}

std::string unbindCommand(int button) {
    const SwayButton* found = find(button);
    if (!found)
        return {};
    return "unbindsym --whole-window " + std::string(found->name);
}

std::optional<int> buttonOfCommand(std::string_view command) {
    if (!command.starts_with(commandPrefix))
        return std::nullopt;
    const std::string_view number = command.substr(commandPrefix.size());
    for (const SwayButton& button : buttons) {
        if (number == std::to_string(button.stored))
            return button.stored;
    }
    return std::nullopt;
}

std::set<int> buttonsBoundIn(const std::vector<std::vector<std::string>>& commands) {
    std::set<int> bound;
    for (const auto& command : commands) {
        if (const auto taken = buttonsTakenBy(command))
            bound.insert(taken->begin(), taken->end());
    }
    return bound;
}

} // namespace tavrin::swayBindings
