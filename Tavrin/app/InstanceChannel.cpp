#include "app/InstanceChannel.h"

#include "platform/xcb/XcbReply.h"

#include <QLoggingCategory>
#include <QSocketNotifier>
#include <optional>
#include <xcb/xcb.h>

namespace {

Q_LOGGING_CATEGORY(instanceLog, "tavrin.instance")

constexpr char selectionName[] = "_TAVRIN_INSTANCE";
constexpr char requestName[] = "_TAVRIN_REQUEST";

xcb_window_t selectionOwner(xcb_connection_t* connection, xcb_atom_t selection) {
    const tavrin::XcbReply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, selection), nullptr));
    return reply ? reply->owner : xcb_window_t{XCB_WINDOW_NONE};
}

xcb_connection_t* connectToDisplay(xcb_screen_t** screen) {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    auto roots = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int index = 0; index < screenNumber && roots.rem; ++index)
        xcb_screen_next(&roots);
    *screen = roots.data;
    return connection;
}

} // namespace

std::unique_ptr<InstanceChannel> InstanceChannel::claim() {
    xcb_screen_t* screen = nullptr;
    xcb_connection_t* connection = connectToDisplay(&screen);
    if (!connection)
        return nullptr;
    const xcb_atom_t selection = tavrin::internAtom(connection, selectionName);
    const xcb_atom_t request = tavrin::internAtom(connection, requestName);
    const xcb_window_t window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    // With the server grabbed, nobody can take the selection between the look and the claim.
    xcb_grab_server(connection);
    const bool unowned = selectionOwner(connection, selection) == XCB_WINDOW_NONE;
    if (unowned)
        xcb_set_selection_owner(connection, window, selection, XCB_CURRENT_TIME);
    xcb_ungrab_server(connection);
    if (!unowned || selection == XCB_ATOM_NONE || selectionOwner(connection, selection) != window) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::unique_ptr<InstanceChannel>(new InstanceChannel(connection, request));
}

bool InstanceChannel::send(Request request) {
    xcb_screen_t* screen = nullptr;
    xcb_connection_t* connection = connectToDisplay(&screen);
    if (!connection)
        return false;
    const xcb_window_t owner =
        selectionOwner(connection, tavrin::internAtom(connection, selectionName));
    if (owner != XCB_WINDOW_NONE) {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = owner;
        message.type = tavrin::internAtom(connection, requestName);
        message.data.data32[0] = static_cast<std::uint32_t>(request);
        // No event mask: the event goes to the client that made the window.
        xcb_send_event(connection, 0, owner, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&message));
    }
    // The reply comes after the server has delivered the message.
    const tavrin::XcbReply<xcb_get_input_focus_reply_t> synced(
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    const bool sent = owner != XCB_WINDOW_NONE && synced;
    xcb_disconnect(connection);
    return sent;
}

InstanceChannel::InstanceChannel(xcb_connection_t* connection, std::uint32_t requestAtom)
    : connection_(connection), requestAtom_(requestAtom) {}

InstanceChannel::~InstanceChannel() {
    delete notifier_;
    xcb_disconnect(connection_);
}

void InstanceChannel::listen(std::function<void(Request)> handler) {
    handler_ = std::move(handler);
    notifier_ = new QSocketNotifier(xcb_get_file_descriptor(connection_), QSocketNotifier::Read);
    connect(notifier_, &QSocketNotifier::activated, this, &InstanceChannel::readEvents);
    // A request may have arrived before there was anyone to tell.
    readEvents();
}

void InstanceChannel::readEvents() {
    while (const tavrin::XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(connection_)}) {
        if (event->response_type == 0)
            qCWarning(instanceLog, "X error %u on the instance connection",
                      reinterpret_cast<const xcb_generic_error_t*>(event.get())->error_code);
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
            continue;
        const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event.get());
        if (message->type == requestAtom_ && message->format == 32)
            handler_(static_cast<Request>(message->data.data32[0]));
    }
    if (xcb_connection_has_error(connection_) && notifier_->isEnabled()) {
        qCWarning(instanceLog, "the connection to the X display broke; later starts go unheard");
        notifier_->setEnabled(false);
    }
}
