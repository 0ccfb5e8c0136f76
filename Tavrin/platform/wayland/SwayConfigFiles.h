#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tavrin {

// What reading sway's configuration takes from the file system; tests hand in a fake.
class SwayConfigFiles {
  public:
    virtual ~SwayConfigFiles() = default;
    // The real paths of the files an include of PATTERN names, expanded as sway expands it in
    // FOLDER (tilde, globs, the environment), in sway's order. Names that lead to no file are
    // left out, as sway leaves them out. Nothing when the pattern cannot be expanded.
    virtual std::optional<std::vector<std::string>> match(const std::string& folder,
                                                          const std::string& pattern) const = 0;
    // Nothing when the file cannot be read.
    virtual std::optional<std::string> read(const std::string& path) const = 0;
};

} // namespace tavrin
