#include "platform/x11/ClipboardKeeper.h"

#include <future>
#include <utility>

namespace tavrin {
namespace {

using namespace std::chrono_literals;

// How often the thread looks whether it is to end.
constexpr auto stopCheck = 250ms;

void serve(const SelectionContents& contents, std::promise<bool>& taken,
           std::chrono::milliseconds limit, const std::stop_token& stop) {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        taken.set_value(false);
        xcb_disconnect(connection);
        return;
    }
    const xcb_atom_t clipboard = internAtom(connection, "CLIPBOARD");
    const xcb_window_t window = createSelectionWindow(connection);
    const xcb_timestamp_t owned =
        serverTime(connection, window, std::chrono::steady_clock::now() + limit,
                   [](const xcb_generic_event_t&) {});
    xcb_set_selection_owner(connection, window, clipboard, owned);
    const XcbReply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, clipboard), nullptr));
    bool owning = owner && owner->owner == window;
    taken.set_value(owning);
    while (owning && !stop.stop_requested() && xcb_connection_has_error(connection) == 0) {
        const auto event = nextEvent(connection, std::chrono::steady_clock::now() + stopCheck);
        if (!event)
            continue;
        const auto type = event->response_type & 0x7f;
        const auto* request = reinterpret_cast<const xcb_selection_request_event_t*>(event.get());
        if (type == XCB_SELECTION_REQUEST && request->owner == window &&
            request->selection == clipboard)
            contents.answer(connection, *request, owned);
        else if (type == XCB_SELECTION_CLEAR)
            owning = false;
    }
    xcb_disconnect(connection);
}

} // namespace

bool ClipboardKeeper::keep(SelectionContents contents, std::chrono::milliseconds limit) {
    std::promise<bool> taken;
    std::future<bool> answer = taken.get_future();
    thread_ = std::jthread(
        [contents = std::move(contents), taken = std::move(taken),
         limit](const std::stop_token& stop) mutable { serve(contents, taken, limit, stop); });
    return answer.wait_for(limit + stopCheck) == std::future_status::ready && answer.get();
}

} // namespace tavrin
