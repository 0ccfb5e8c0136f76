#pragma once

#include "platform/wayland/SwayConfigFiles.h"

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavrin {

// sway's configuration read as sway reads it: lines continued with a backslash joined, blocks
// expanded into the commands they hold, variables replaced, included files read in place.
class SwayConfigReader {
  public:
    using Command = std::vector<std::string>;

    explicit SwayConfigReader(const SwayConfigFiles& files) : files_(files) {}
    // The commands in the order sway runs them while reading. MAIN_PATH is the real path of the
    // main file, empty when unknown. Nothing when a part is out of reach (an include that cannot
    // be expanded or read, a relative one with no folder to start from): it may bind anything.
    std::optional<std::vector<Command>> read(std::string_view mainText,
                                             const std::string& mainPath);

  private:
    bool readFile(std::string_view text, const std::string& path);
    bool runLine(const std::string& line, const std::string& folder);
    bool include(const std::string& pattern, const std::string& folder);
    std::string replaceVariables(std::string text) const;

    const SwayConfigFiles& files_;
    // Longest name first, as sway tries them.
    std::vector<std::pair<std::string, std::string>> variables_;
    std::set<std::string> included_;
    std::vector<Command> commands_;
};

} // namespace tavrin
