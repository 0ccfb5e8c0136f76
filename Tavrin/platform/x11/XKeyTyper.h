#pragma once

#include "SpecialKey.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

struct xcb_connection_t;
struct xkb_context;

namespace tavrin {

// Types into the focused window as a keyboard would, through XTest (never SendEvent, which
// terminals and newer toolkits ignore). Characters the keymap lacks are bound to spare keycodes
// for the moment. It keeps a connection of its own to the display named by DISPLAY: errors of a
// refused request stay here instead of reaching Qt's handler, which logs them, and the typer
// works without Qt.
class XKeyTyper {
  public:
    // Nothing without a display (DISPLAY) offering XTEST and XKB.
    static std::unique_ptr<XKeyTyper> create();
    ~XKeyTyper();
    XKeyTyper(const XKeyTyper&) = delete;
    XKeyTyper& operator=(const XKeyTyper&) = delete;

    // Types the text character by character and returns once the server has every key event.
    void typeText(std::u16string_view text);
    // Presses or releases one special key as it is, held modifiers included.
    void pressSpecialKey(SpecialKey key, bool down);

  private:
    XKeyTyper(xcb_connection_t* connection, xkb_context* context, std::int32_t keyboard);

    xcb_connection_t* connection_;
    xkb_context* context_;
    std::int32_t keyboard_;
    std::array<std::optional<std::uint8_t>, specialKey::allCases.size()> pressedSpecialKeys_;
};

} // namespace tavrin
