#include "platform/x11/SelectionContents.h"

#include "UnicodeText.h"

#include <algorithm>
#include <poll.h>
#include <string_view>

namespace tavrin {

// TEXT lets the owner choose the encoding. STRING (Latin-1) is not offered: a pasted piece holds
// characters outside the BMP alone.
SelectionAtoms::SelectionAtoms(xcb_connection_t* connection)
    : clipboard(internAtom(connection, "CLIPBOARD")), targets(internAtom(connection, "TARGETS")),
      timestamp(internAtom(connection, "TIMESTAMP")),
      textTargets{internAtom(connection, "UTF8_STRING"),
                  internAtom(connection, "text/plain;charset=utf-8"),
                  internAtom(connection, "TEXT")} {}

SelectionContents SelectionContents::forText(const SelectionAtoms& atoms,
                                             std::u16string_view text) {
    const std::string utf8 = unicodeText::toUtf8(text);
    SelectionContents contents;
    contents.offered = {atoms.targets, atoms.timestamp};
    for (const xcb_atom_t target : atoms.textTargets) {
        // TEXT is answered with the type the data has.
        const xcb_atom_t type = target == atoms.textTargets.back() ? atoms.textTargets[0] : target;
        contents.offered.push_back(target);
        contents.targets.push_back({target, type, 8, {utf8.begin(), utf8.end()}});
    }
    return contents;
}

bool SelectionContents::answer(xcb_connection_t* connection, const SelectionAtoms& atoms,
                               const xcb_selection_request_event_t& request,
                               xcb_timestamp_t owned) const {
    // Requestors from before ICCCM name no property.
    xcb_atom_t property = request.property != XCB_NONE ? request.property : request.target;
    const auto target = std::ranges::find(targets, request.target, &Target::target);
    if (request.target == atoms.targets) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property,
                            XCB_ATOM_ATOM, 32, static_cast<std::uint32_t>(offered.size()),
                            offered.data());
    } else if (request.target == atoms.timestamp) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property,
                            XCB_ATOM_INTEGER, 32, 1, &owned);
    } else if (target != targets.end() && target->bytes.size() <= largestProperty(connection)) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property,
                            target->type, target->format,
                            static_cast<std::uint32_t>(target->bytes.size() * 8 / target->format),
                            target->bytes.data());
    } else {
        property = XCB_NONE;
    }
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = property;
    xcb_send_event(connection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&notify));
    xcb_flush(connection);
    return property != XCB_NONE;
}

xcb_window_t createSelectionWindow(xcb_connection_t* connection) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t window = xcb_generate_id(connection);
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, -1, -1, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                      &events);
    // Named, so that a clipboard manager can leave what Tavrin lends for a paste out of its
    // history, and anyone can see who owns the clipboard.
    constexpr std::string_view name = "Tavrin clipboard";
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME,
                        XCB_ATOM_STRING, 8, static_cast<std::uint32_t>(name.size()), name.data());
    return window;
}

std::size_t largestProperty(xcb_connection_t* connection) {
    // The request's own fields take 28 bytes with a big request's length.
    return std::size_t{xcb_get_maximum_request_length(connection)} * 4 - 32;
}

std::optional<xcb_window_t> selectionOwner(xcb_connection_t* connection, xcb_atom_t selection) {
    const XcbReply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, selection), nullptr));
    if (!owner)
        return std::nullopt;
    return owner->owner;
}

XcbReply<xcb_generic_event_t> nextEvent(xcb_connection_t* connection,
                                        std::chrono::steady_clock::time_point deadline) {
    while (xcb_connection_has_error(connection) == 0) {
        if (XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(connection)})
            return event;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd socket{xcb_get_file_descriptor(connection), POLLIN, 0};
        poll(&socket, 1, static_cast<int>(left.count()) + 1);
    }
    return nullptr;
}

} // namespace tavrin
