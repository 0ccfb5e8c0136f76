#pragma once

#include <cstdint>
#include <vector>
#include <xcb/xcb.h>

namespace tavrin {

// Escape pressed on a keyboard of the user's while a text is typed, seen through XInput 2 raw
// key presses on the root window: they arrive whatever window has the focus and whoever grabs
// the keyboard, and watching them takes the keyboard from no one. Keys sent through XTest (this
// typer's, and other programs' acting for the user) are not the user's.
class EscapeWatch {
  public:
    EscapeWatch(xcb_connection_t* connection, xcb_keycode_t escape);
    ~EscapeWatch();
    EscapeWatch(const EscapeWatch&) = delete;
    EscapeWatch& operator=(const EscapeWatch&) = delete;

    // Takes in an event read from the connection by someone else.
    void notice(const xcb_generic_event_t& event);
    // Reads the events waiting on the connection; true once Escape has been pressed.
    bool pressed();

  private:
    void listen(bool on);

    xcb_connection_t* connection_;
    xcb_keycode_t escape_;
    xcb_window_t root_ = XCB_NONE;
    std::uint8_t xinput_ = 0;
    std::vector<std::uint16_t> xtestDevices_;
    bool pressed_ = false;
};

} // namespace tavrin
