#pragma once

#include <cstdint>
#include <string>
#include <vector>
#include <xcb/xcb.h>

// A second X client beside the code under test: it acts as the user through XTest, stands as
// the application in front with a window that records the button events reaching it, and can
// hold grabs of its own.
class ForeignClient {
  public:
    ForeignClient();
    ~ForeignClient();
    ForeignClient(const ForeignClient&) = delete;
    ForeignClient& operator=(const ForeignClient&) = delete;

    void press(std::uint8_t button) { fakeInput(XCB_BUTTON_PRESS, button); }
    void release(std::uint8_t button) { fakeInput(XCB_BUTTON_RELEASE, button); }
    void click(std::uint8_t button) {
        press(button);
        release(button);
    }
    void movePointer(int x, int y) { fakeInput(XCB_MOTION_NOTIFY, 0, x, y); }

    // A passive XInput 2 grab of the button on the root window, as another program would hold.
    bool grabButton(std::uint32_t button);
    void ungrabButton(std::uint32_t button);

    // The button events that reached the window since the last call, as "press 8" or
    // "release 8", oldest first; everything sent before the call is included.
    std::vector<std::string> takeSeenButtons();

  private:
    void fakeInput(std::uint8_t type, std::uint8_t detail, int x = 0, int y = 0);
    void sync();

    xcb_connection_t* connection_;
    xcb_window_t root_ = XCB_NONE;
};
