#pragma once

#include "platform/x11/ClientKind.h"
#include "platform/x11/RepaintProbe.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <xcb/xcb.h>

namespace tavrin {

// The values of a property of format 32 (atoms, cardinals); none of another format.
std::span<const std::uint32_t> propertyWords(const xcb_get_property_reply_t& property);

// The client whose window has the keyboard focus, asked through the window manager's ping
// protocol whether it has handled its events. Toolkits and browsers read their events in order
// and answer a ping only when they come to it, so an answer means that every key event sent
// before the ping has been turned into a character with the keymap the client knew then. Java,
// which answers no ping, is asked for a repaint instead.
class FocusedClient {
  public:
    // Other events read while waiting for an answer go to others.
    using OtherEvents = std::function<void(const xcb_generic_event_t&)>;

    // Finds the focused client; listens for answers on the root window while it lives.
    FocusedClient(xcb_connection_t* connection, OtherEvents others);
    ~FocusedClient();
    FocusedClient(const FocusedClient&) = delete;
    FocusedClient& operator=(const FocusedClient&) = delete;

    // Pings the client (or asks Java for a repaint) and waits for its answer. False when it does
    // not answer within the limit: a hung client is asked no more.
    bool catchUp(std::chrono::milliseconds limit);

    ClientKind kind() const { return kind_; }
    // What the ids of the client's windows share: the focused window's id without the part
    // that the client chooses (resource_id_mask). Zero without a focused window.
    std::uint32_t idBase() const { return idBase_; }

  private:
    ClientKind findKind(xcb_window_t focus) const;
    xcb_window_t findPingingWindow(xcb_window_t focus);
    bool answersPings(xcb_window_t window) const;
    using IsAnswer = std::function<bool(const xcb_generic_event_t&)>;
    // askAgain, if any, is called while no answer has come, every little while.
    bool awaitAnswer(const IsAnswer& isAnswer, std::chrono::steady_clock::time_point deadline,
                     const std::function<void()>& askAgain);

    xcb_connection_t* connection_;
    OtherEvents others_;
    xcb_atom_t protocols_;
    xcb_atom_t ping_;
    xcb_window_t root_ = XCB_NONE;
    xcb_window_t window_ = XCB_NONE;
    ClientKind kind_ = ClientKind::ordinary;
    std::uint32_t idBase_ = 0;
    std::optional<RepaintProbe> probe_;
};

} // namespace tavrin
