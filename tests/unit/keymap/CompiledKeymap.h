#pragma once

#include "KeyStroke.h"
#include "KeymapIndex.h"

#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include <xkbcommon/xkbcommon.h>

namespace tavrin::keymap {

// A keymap compiled by xkbcommon from the system's layout data, as setxkbmap would load it.
class CompiledKeymap {
  public:
    static CompiledKeymap fromLayout(const std::string& layout);

    xkb_keymap* get() const { return keymap_.get(); }

    // What the key stroke types on this keymap, pressing the modifier keys the index names the
    // way the typer does; nothing if a modifier key is missing or the stroke types no single
    // keysym.
    std::optional<xkb_keysym_t> typedBy(const KeyStroke& stroke, const KeymapIndex& index) const;

  private:
    struct ContextDeleter {
        void operator()(xkb_context* context) const { xkb_context_unref(context); }
    };
    struct KeymapDeleter {
        void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
    };
    CompiledKeymap();

    std::unique_ptr<xkb_context, ContextDeleter> context_;
    std::unique_ptr<xkb_keymap, KeymapDeleter> keymap_;
};

// The layouts the keymap tests run on, as setxkbmap -layout takes them.
inline const std::vector<std::string> testedLayouts{"us", "de", "fr", "ru", "us,ru"};
std::string layoutTestName(const testing::TestParamInfo<std::string>& info);

} // namespace tavrin::keymap
