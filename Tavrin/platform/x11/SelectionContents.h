#pragma once

#include "platform/x11/XcbReply.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>
#include <xcb/xcb.h>

namespace tavrin {

// The atoms that CLIPBOARD and text are asked for by, interned once for a connection.
struct SelectionAtoms {
    explicit SelectionAtoms(xcb_connection_t* connection);

    xcb_atom_t clipboard;
    xcb_atom_t targets;
    xcb_atom_t timestamp;
    // The names text is asked for by, UTF8_STRING first.
    std::array<xcb_atom_t, 3> textTargets;
};

// What a selection's owner hands out: each target's data as the owner gave it, to be handed out
// again byte for byte by whoever owns the selection next.
struct SelectionContents {
    struct Target {
        xcb_atom_t target = XCB_NONE;
        xcb_atom_t type = XCB_NONE;
        std::uint8_t format = 8;
        std::vector<std::uint8_t> bytes;
    };
    // The targets named when asked for TARGETS, as the owner named them; some may be refused.
    std::vector<xcb_atom_t> offered;
    std::vector<Target> targets;

    // The text, in UTF-8, under the names text is asked for by.
    static SelectionContents forText(const SelectionAtoms& atoms, std::u16string_view text);

    // Answers a request to its requestor: the data, or a refusal (property None). True when
    // data went out.
    bool answer(xcb_connection_t* connection, const SelectionAtoms& atoms,
                const xcb_selection_request_event_t& request, xcb_timestamp_t owned) const;
};

// The most bytes one property can take in one request on the connection: more cannot be handed
// out again without the incremental protocol.
std::size_t largestProperty(xcb_connection_t* connection);

// An InputOnly window out of sight, named for Tavrin, that reports its property changes, for
// selections.
xcb_window_t createSelectionWindow(xcb_connection_t* connection);

// The selection's owner, XCB_NONE for none; nothing when the server does not answer.
std::optional<xcb_window_t> selectionOwner(xcb_connection_t* connection, xcb_atom_t selection);

// The next event, or nothing once the deadline has passed.
XcbReply<xcb_generic_event_t> nextEvent(xcb_connection_t* connection,
                                        std::chrono::steady_clock::time_point deadline);

// A server time for taking a selection, got by touching a property of the window, which must
// report property changes. XCB_CURRENT_TIME when the server does not answer in time; events
// read meanwhile go to others.
template <typename Others>
xcb_timestamp_t serverTime(xcb_connection_t* connection, xcb_window_t window,
                           std::chrono::steady_clock::time_point deadline, Others&& others) {
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING,
                        8, 0, nullptr);
    xcb_flush(connection);
    while (const auto event = nextEvent(connection, deadline)) {
        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY && notify->window == window &&
            notify->atom == XCB_ATOM_WM_NAME)
            return notify->time;
        others(*event);
    }
    return XCB_CURRENT_TIME;
}

} // namespace tavrin
