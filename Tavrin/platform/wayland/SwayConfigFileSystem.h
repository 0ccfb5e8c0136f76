#pragma once

#include "platform/wayland/SwayConfigFiles.h"

#include <sys/types.h>

namespace tavrin {

// The files of sway's configuration as the sway process sees them.
class SwayConfigFileSystem final : public SwayConfigFiles {
  public:
    // The real path of the main configuration that the sway process read: the one named on its
    // command line, else the first of sway's own defaults that exists; empty when unknown.
    static std::string mainPath(pid_t sway);

    std::optional<std::vector<std::string>> match(const std::string& folder,
                                                  const std::string& pattern) const override;
    std::optional<std::string> read(const std::string& path) const override;
};

} // namespace tavrin
