#include "platform/wayland/SwayConfigFileSystem.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <wordexp.h>

namespace tavrin {
namespace {

std::string realPath(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr),
                                                           &std::free);
    return real ? std::string(real.get()) : std::string();
}

// sway looks for its configuration where its environment says; ours is the one it started us
// with.
std::string defaultPath() {
    const char* home = std::getenv("HOME");
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const std::string homeFolder = home ? home : "";
    const std::string configFolder =
        configHome && *configHome ? std::string(configHome) : homeFolder + "/.config";
    for (const std::string& candidate :
         {homeFolder + "/.sway/config", configFolder + "/sway/config", homeFolder + "/.i3/config",
          configFolder + "/i3/config", std::string("/etc/sway/config"),
          std::string("/etc/i3/config")}) {
        if (std::filesystem::exists(candidate))
            return realPath(candidate);
    }
    return {};
}

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string(R"('\'')") : std::string(1, c);
    return quoted + "'";
}

} // namespace

std::string SwayConfigFileSystem::mainPath(pid_t sway) {
    const std::string process = "/proc/" + std::to_string(sway);
    std::ifstream commandLine(process + "/cmdline", std::ios::binary);
    std::vector<std::string> arguments;
    for (std::string argument; std::getline(commandLine, argument, '\0');)
        arguments.push_back(argument);
    std::string named;
    for (std::size_t index = 1; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if ((argument == "-c" || argument == "--config") && index + 1 < arguments.size())
            named = arguments[++index];
        else if (argument.starts_with("--config="))
            named = argument.substr(std::string_view("--config=").size());
    }
    if (named.empty())
        return arguments.empty() ? std::string() : defaultPath();
    if (!named.starts_with('/')) {
        std::error_code failed;
        const auto folder = std::filesystem::read_symlink(process + "/cwd", failed);
        if (failed)
            return {};
        named = (folder / named).string();
    }
    return realPath(named);
}

std::optional<std::vector<std::string>>
SwayConfigFileSystem::match(const std::string& folder, const std::string& pattern) const {
    // sway expands the pattern inside the including file's folder; quoted, the folder's own
    // characters are no pattern.
    const bool relative =
        !pattern.starts_with('/') && !pattern.starts_with('~') && !pattern.starts_with('$');
    const std::string word = relative ? shellQuoted(folder) + "/" + pattern : pattern;
    wordexp_t expanded{};
    // Reading a configuration runs nothing, and a variable we lack may be one sway has.
    if (wordexp(word.c_str(), &expanded, WRDE_NOCMD | WRDE_UNDEF) != 0)
        return std::nullopt;
    std::vector<std::string> paths;
    for (std::size_t index = 0; index < expanded.we_wordc; ++index) {
        const std::string path = expanded.we_wordv[index];
        if (std::string real = realPath(path.starts_with('/') ? path : folder + "/" + path);
            !real.empty())
            paths.push_back(std::move(real));
    }
    wordfree(&expanded);
    return paths;
}

std::optional<std::string> SwayConfigFileSystem::read(const std::string& path) const {
    // A folder that a pattern names reads as nothing to sway.
    if (std::filesystem::is_directory(path))
        return std::string();
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad())
        return std::nullopt;
    return text;
}

} // namespace tavrin
