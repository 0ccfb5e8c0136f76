#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// The whole-window mouse bindings that stand in for a button tap on sway, in the stored button
// numbering.
namespace tavrin::swayBindings {

// The spare buttons sway can bind: the middle one, X buttons 8 and 9 and the three evdev
// buttons after them (sway names buttons beyond 9 by event code only).
std::set<int> spareButtons();

std::string bindCommand(int button);
std::string unbindCommand(int button);
// The button of one of our bindings, from the command its binding event carries.
std::optional<int> buttonOfCommand(std::string_view command);

// The spare buttons that the configuration's commands (as SwayConfigReader gives them) bind over
// whole windows without modifiers in the default mode: binding one of them would replace the
// user's binding. A binding not understood takes its button, or every spare one.
std::set<int> buttonsBoundIn(const std::vector<std::vector<std::string>>& commands);

} // namespace tavrin::swayBindings
