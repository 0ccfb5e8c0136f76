#pragma once

#include <cstdlib>
#include <memory>
#include <optional>
#include <xcb/xcb.h>

namespace tavrin::xpeer {

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

struct Popup {
    xcb_window_t window;
    int x, y, width, height;
};

// Another X client beside the utility: the user (XTest input), the application in front (a
// window that records what reaches it) or another program (holding a button grab).
class Peer {
  public:
    Peer(); // throws std::runtime_error without a display
    ~Peer();
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    xcb_connection_t* connection() const { return connection_; }
    xcb_window_t root() const { return root_; }

    // A reply comes after every event the server generated before it: after a round trip the
    // events caused by earlier requests are in hand.
    void roundTrip() const;
    // XTest input; a motion goes to X, Y on the root window.
    void fake(std::uint8_t type, std::uint8_t detail, int x = 0, int y = 0) const;
    // The topmost viewable override-redirect window larger than 1x1: an open popup.
    std::optional<Popup> popup() const;
    // A passive XInput 2 grab of the button on the root window, any modifiers, as another
    // program would hold it; false when the server refused it.
    bool grabButton(std::uint16_t button) const;
    void ungrabButton(std::uint16_t button) const;
    // A window over the whole screen in front of the rest, taking the given events.
    xcb_window_t coverScreen(std::uint32_t events) const;
    void select(xcb_window_t window, std::uint32_t events) const;

  private:
    xcb_connection_t* connection_;
    xcb_window_t root_ = XCB_NONE;
};

} // namespace tavrin::xpeer
