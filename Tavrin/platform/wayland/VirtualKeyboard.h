#pragma once

#include "SpecialKey.h"
#include "platform/wayland/VirtualKeymap.h"

#include <cstdint>
#include <memory>
#include <string_view>

struct zwp_virtual_keyboard_v1;

namespace tavrin {

class WaylandConnection;

// One virtual keyboard for the life of the process: a keyboard made per text loses its first
// keys while the focused client binds it. Each text goes with a keymap of its own characters,
// so it arrives exactly whatever the user's layout; the user's keyboard keeps its keymap.
class VirtualKeyboard {
  public:
    // Nothing when the compositor offers no virtual keyboards.
    static std::unique_ptr<VirtualKeyboard> create(WaylandConnection& connection);
    ~VirtualKeyboard();
    VirtualKeyboard(const VirtualKeyboard&) = delete;
    VirtualKeyboard& operator=(const VirtualKeyboard&) = delete;

    // Returns once the compositor has every key event.
    void typeText(std::u16string_view text);
    void pressSpecialKey(SpecialKey key, bool down);

  private:
    VirtualKeyboard(WaylandConnection& connection, zwp_virtual_keyboard_v1* keyboard);
    bool upload(const VirtualKeymap& keymap);
    void key(std::uint32_t keycode, bool down);

    WaylandConnection& connection_;
    zwp_virtual_keyboard_v1* keyboard_;
    VirtualKeymap keymap_;
    int unconfirmedKeys_ = 0;
};

} // namespace tavrin
