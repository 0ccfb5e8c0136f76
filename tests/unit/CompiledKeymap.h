#pragma once

#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>
#include <xkbcommon/xkbcommon.h>

namespace tavrin::keymap {

// A keymap compiled by xkbcommon from the system's layout data, as setxkbmap would load it.
class CompiledKeymap {
  public:
    explicit CompiledKeymap(const std::string& layout) {
        const xkb_rule_names names{"evdev", "pc105", layout.c_str(), "", ""};
        if (context_)
            keymap_.reset(
                xkb_keymap_new_from_names(context_.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
        if (!keymap_)
            throw std::runtime_error("layout " + layout + " does not compile");
    }

    xkb_keymap* get() const { return keymap_.get(); }

  private:
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context_{
        xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES), &xkb_context_unref};
    std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap_{nullptr, &xkb_keymap_unref};
};

// The layouts the keymap tests run on, as setxkbmap -layout takes them.
inline const std::vector<std::string> testedLayouts{"us", "de", "fr", "ru", "us,ru"};

inline std::string layoutTestName(const testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    std::erase(name, ',');
    return name;
}

} // namespace tavrin::keymap
