#include "platform/wayland/SwayConfigReader.h"

#include "platform/wayland/SwayBindings.h"

#include <gtest/gtest.h>
#include <map>

namespace tavrin {
namespace {

// Files by path; a pattern ending in * names the files that start with the rest, and a pattern
// holding a $ cannot be expanded.
class FakeFiles final : public SwayConfigFiles {
  public:
    explicit FakeFiles(std::map<std::string, std::optional<std::string>> files)
        : files_(std::move(files)) {}

    std::optional<std::vector<std::string>> match(const std::string& folder,
                                                  const std::string& pattern) const override {
        if (pattern.find('$') != std::string::npos)
            return std::nullopt;
        const std::string path = pattern.starts_with('/') ? pattern : folder + "/" + pattern;
        const bool glob = path.ends_with('*');
        std::vector<std::string> paths;
        for (const auto& [name, text] : files_) {
            if (glob ? name.starts_with(path.substr(0, path.size() - 1)) : name == path)
                paths.push_back(name);
        }
        return paths;
    }
    std::optional<std::string> read(const std::string& path) const override {
        return files_.at(path);
    }

  private:
    std::map<std::string, std::optional<std::string>> files_;
};

const std::set<int> all = swayBindings::spareButtons();

TEST(SwayConfigReader, FindsTheBindingsOfTheButtonsWhereverSwayWouldReadThem) {
    struct Case {
        const char* config;
        std::map<std::string, std::optional<std::string>> files;
        std::set<int> bound;
    };
    const std::string mine = "bindsym --whole-window button9 exec foot\n";
    const Case cases[] = {
        {"include conf.d/*", {{"/home/u/.config/sway/conf.d/50", mine}}, {4}},
        // Relative to the including file's folder; a file already read is not read again.
        {"include /etc/sway/config.d/5*",
         {{"/etc/sway/config.d/50", "include local/*\ninclude 50"},
          {"/etc/sway/config.d/local/a", mine}},
         {4}},
        {"  bindsym --whole-window BUTTON8 kill\nbindcode --whole-window 274 exec b\n"
         "bindsym button9 exec c\nbindsym --whole-window button1 exec d",
         {},
         {3, 2}},
        {"set $b button9\nbindsym --whole-window $b exec foo", {}, {4}},
        {"set $b button2\nset $bb button9\nbindsym --whole-window $bb exec foo", {}, {4}},
        {"set $mod Mod4\nbindsym --whole-window $mod+button9 exec foo", {}, {}},
        // An escaped backslash escapes no $ after it: the trigger is \button9, no button.
        {"set $b button9\nset $c \\\\$b\nbindsym --whole-window $c exec foo", {}, {}},
        {"set $dir conf.d\ninclude $dir/50", {{"/home/u/.config/sway/conf.d/50", mine}}, {4}},
        {"bindsym --whole-window {\n  button9 exec a\n  BTN_SIDE exec b\n}", {}, {4, 3}},
        {"bindsym --whole-window\n\n{\nbutton9 exec a\n}\nbindsym button8 exec b", {}, {4}},
        {"mode \"resize\" {\n  bindsym --whole-window button9 x\n}\nbindsym --whole-window "
         "button8 y",
         {},
         {3}},
        {"mode resize bindsym --whole-window button9 x", {}, {}},
        {"bar {\n  bindsym button9 exec a\n}", {}, {}},
        {"bindsym --whole-window \\\n    button9 \\\n    exec foo", {}, {4}},
        {"# bindsym --whole-window \\\nbutton9 exec foo", {}, {}},
        {"bindsym --whole-window --release button9 exec foo", {}, {}},
        {"bindsym --whole-window --input-device=1:2:mouse button9 exec foo", {}, {}},
        {"bindsym --whole-window --no-warn --to-code button9 exec foo", {}, {4}},
        // In doubt the button counts as taken.
        {"bindsym --whole-window --future-flag button9 exec foo", {}, {4}},
        {"bindsym --whole-window Hyper+button9 exec foo", {}, {4}},
        {"bindsym --whole-window $b exec foo\nset $b button9", {}, all},
        {"include conf.d/50", {{"/home/u/.config/sway/conf.d/50", std::nullopt}}, all},
        {"include $XDG_CONFIG_HOME/sway/*", {}, all},
    };
    for (const Case& c : cases) {
        const FakeFiles files(c.files);
        const auto commands = SwayConfigReader(files).read(c.config, "/home/u/.config/sway/config");
        EXPECT_EQ(commands ? swayBindings::buttonsBoundIn(*commands) : all, c.bound) << c.config;
    }
}

TEST(SwayConfigReader, ARelativeIncludeWithoutTheMainFilesFolderIsOutOfReach) {
    const FakeFiles files({{"/conf.d/50", std::string()}});
    EXPECT_FALSE(SwayConfigReader(files).read("include conf.d/50", ""));
    EXPECT_TRUE(SwayConfigReader(files).read("include /conf.d/50", ""));
}

} // namespace
} // namespace tavrin
