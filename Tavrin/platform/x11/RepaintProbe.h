#pragma once

#include <cstdint>
#include <vector>
#include <xcb/xcb.h>

namespace tavrin {

// Java answers no ping, but its toolkit thread takes a synthetic Expose in turn with the keys
// sent before it, and Swing answers one by copying just that rectangle from its back buffer,
// which DAMAGE reports. A copy of the pixel asked for thus says that Java has handled every key
// sent before the asking.
class RepaintProbe {
  public:
    // For the Java window holding focus, its focus proxy; not usable() when the server has no
    // DAMAGE or the window no content window with pixels in sight.
    RepaintProbe(xcb_connection_t* connection, xcb_window_t focus);
    ~RepaintProbe();
    RepaintProbe(const RepaintProbe&) = delete;
    RepaintProbe& operator=(const RepaintProbe&) = delete;

    bool usable() const { return damage_ != XCB_NONE; }
    // Asks for another pixel than last time: a late copy of the last one answers nothing now.
    void ask();
    // Asks for the same pixel again, as Swing skips the copy while it paints.
    void askAgain();
    bool isAnswer(const xcb_generic_event_t& event) const;

  private:
    // Corners, the right and bottom edges outside.
    struct Box {
        int left, top, right, bottom;
        bool meets(const Box& other) const {
            return left < other.right && other.left < right && top < other.bottom &&
                   other.top < bottom;
        }
    };

    xcb_window_t findContentWindow(xcb_window_t focus) const;
    bool findSpot();
    std::vector<Box> coveringBoxes(xcb_window_t root, int x, int y) const;

    xcb_connection_t* connection_;
    xcb_window_t window_ = XCB_NONE;
    std::uint32_t damage_ = XCB_NONE;
    std::uint8_t damageNotify_ = 0;
    xcb_point_t spot_{};
    xcb_rectangle_t asked_{};
    int round_ = 0;
};

} // namespace tavrin
