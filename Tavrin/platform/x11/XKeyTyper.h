#pragma once

#include "SpecialKey.h"
#include "platform/x11/ClipboardKeeper.h"
#include "platform/x11/TypingRecordFile.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
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
    using Warn = std::function<void(const std::string&)>;

    // Nothing without a display (DISPLAY) offering XTEST and XKB. What goes wrong later is told
    // through warn.
    static std::unique_ptr<XKeyTyper> create(Warn warn);
    ~XKeyTyper();
    XKeyTyper(const XKeyTyper&) = delete;
    XKeyTyper& operator=(const XKeyTyper&) = delete;

    // Types the text character by character and returns once the server has every key event.
    // It stops early, the keyboard given back, when asked to or when the user presses Escape on
    // a keyboard.
    void typeText(std::u16string_view text, std::stop_token stop = {});
    // Puts back what a text left changed when the run typing it ended before it (killed,
    // crashed), as its record names it; then the record goes.
    void restoreInterruptedText();
    // Presses or releases one special key as it is, held modifiers included.
    void pressSpecialKey(SpecialKey key, bool down);

  private:
    XKeyTyper(xcb_connection_t* connection, xkb_context* context, std::int32_t keyboard,
              std::optional<TypingRecordFile> recordFile, Warn warn);

    xcb_connection_t* connection_;
    xkb_context* context_;
    // The keyboard whose keymap is read and changed: the XTest one where the server has it.
    std::int32_t keyboard_;
    std::optional<TypingRecordFile> recordFile_;
    Warn warn_;
    std::array<std::optional<std::uint8_t>, specialKey::allCases.size()> pressedSpecialKeys_;
    // What the clipboard held before a paste, served after it.
    ClipboardKeeper keeper_;
};

} // namespace tavrin
