#include "CompiledKeymap.h"

#include "Keysyms.h"

#include <stdexcept>

namespace tavrin::keymap {

CompiledKeymap::CompiledKeymap() : context_(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES)) {
    if (!context_)
        throw std::runtime_error("no xkb context");
}

CompiledKeymap CompiledKeymap::fromLayout(const std::string& layout) {
    CompiledKeymap compiled;
    const xkb_rule_names names{"evdev", "pc105", layout.c_str(), "", ""};
    compiled.keymap_.reset(
        xkb_keymap_new_from_names(compiled.context_.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!compiled.keymap_)
        throw std::runtime_error("layout " + layout + " does not compile");
    return compiled;
}

std::optional<xkb_keysym_t> CompiledKeymap::typedBy(const KeyStroke& stroke,
                                                    const KeymapIndex& index) const {
    std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state(xkb_state_new(keymap_.get()),
                                                                 &xkb_state_unref);
    xkb_state_update_mask(state.get(), 0, 0, 0, 0, 0, stroke.group);
    for (xkb_mod_mask_t bit = 1; bit <= 0x80; bit <<= 1) {
        if ((stroke.modifiers & bit) == 0)
            continue;
        const auto modifierKey = index.modifierKey(bit, stroke.group);
        if (!modifierKey)
            return std::nullopt;
        xkb_state_update_key(state.get(), *modifierKey, XKB_KEY_DOWN);
    }
    if ((xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_EFFECTIVE) & 0xFF) !=
        stroke.modifiers)
        return std::nullopt;
    const xkb_keysym_t keysym = xkb_state_key_get_one_sym(state.get(), stroke.keycode);
    if (keysym == XKB_KEY_NoSymbol)
        return std::nullopt;
    return normalizedKeysym(keysym);
}

std::string layoutTestName(const testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    std::erase(name, ',');
    return name;
}

} // namespace tavrin::keymap
