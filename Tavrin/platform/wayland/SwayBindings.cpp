#include "platform/wayland/SwayBindings.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <sstream>
#include <vector>

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

std::vector<std::string> words(const std::string& line) {
    std::istringstream stream(line);
    std::vector<std::string> result;
    for (std::string word; stream >> word;)
        result.push_back(word);
    return result;
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

std::set<int> buttonsBoundIn(std::string_view configText) {
    std::set<int> bound;
    std::istringstream lines{std::string(configText)};
    int modeDepth = 0; // inside a mode block: those bindings are not active by default
    for (std::string line; std::getline(lines, line);) {
        const std::vector<std::string> tokens = words(line);
        if (tokens.empty() || tokens[0].starts_with('#'))
            continue;
        if (tokens[0] == "mode" && tokens.back() == "{") {
            ++modeDepth;
            continue;
        }
        if (modeDepth > 0) {
            modeDepth += static_cast<int>(std::count(line.begin(), line.end(), '{'));
            modeDepth -= static_cast<int>(std::count(line.begin(), line.end(), '}'));
            continue;
        }
        if (tokens[0] != "bindsym" && tokens[0] != "bindcode")
            continue;
        bool wholeWindow = false;
        bool otherTrigger = false; // on release, only when locked, only inhibited
        std::size_t index = 1;
        for (; index < tokens.size() && tokens[index].starts_with("--"); ++index) {
            wholeWindow = wholeWindow || tokens[index] == "--whole-window";
            otherTrigger = otherTrigger || tokens[index] == "--release" ||
                           tokens[index] == "--locked" || tokens[index] == "--inhibited" ||
                           tokens[index] == "--exclude-titlebar";
        }
        if (!wholeWindow || otherTrigger || index >= tokens.size())
            continue;
        if (const auto button = buttonOfTrigger(tokens[0], tokens[index]))
            bound.insert(*button);
    }
    return bound;
}

} // namespace tavrin::swayBindings
