#include "platform/x11/FocusedClient.h"

#include "platform/x11/XcbReply.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <poll.h>
#include <span>
#include <string_view>
#include <unistd.h>
#include <utility>

namespace tavrin {
namespace {

void listenOnRoot(xcb_connection_t* connection, xcb_window_t root, std::uint32_t mask) {
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
}

// This process's own windows answer from the thread that may be the one waiting here.
bool belongsToThisProcess(xcb_connection_t* connection, xcb_window_t window) {
    const XcbReply<xcb_get_property_reply_t> property(xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, window, internAtom(connection, "_NET_WM_PID"),
                         XCB_ATOM_CARDINAL, 0, 1),
        nullptr));
    if (!property)
        return false;
    const std::span pid = propertyWords(*property);
    return pid.size() == 1 && pid[0] == static_cast<std::uint32_t>(getpid());
}

// Answers go to the root window for the window manager; toolkits differ in the mask they send
// them with.
constexpr std::uint32_t answerMask =
    XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;

// Stamps tell this typer's pings from the window manager's, which carry server times.
std::uint32_t nextStamp() {
    static std::uint32_t stamp = 0xFA000000;
    return ++stamp;
}

} // namespace

std::span<const std::uint32_t> propertyWords(const xcb_get_property_reply_t& property) {
    if (property.format != 32)
        return {};
    // The count is the server's word; only what the reply carries is read.
    return {static_cast<const std::uint32_t*>(xcb_get_property_value(&property)),
            std::min<std::size_t>(property.value_len, property.length)};
}

FocusedClient::FocusedClient(xcb_connection_t* connection, OtherEvents others)
    : connection_(connection), others_(std::move(others)),
      protocols_(internAtom(connection, "WM_PROTOCOLS")),
      ping_(internAtom(connection, "_NET_WM_PING")) {
    if (protocols_ == XCB_NONE || ping_ == XCB_NONE)
        return;
    const XcbReply<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    if (!focus || focus->focus == XCB_NONE || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT)
        return;
    kind_ = findKind(focus->focus);
    idBase_ = focus->focus & ~xcb_get_setup(connection_)->resource_id_mask;
    window_ = findPingingWindow(focus->focus);
    if (window_ != XCB_NONE && belongsToThisProcess(connection_, window_))
        window_ = XCB_NONE;
    if (window_ != XCB_NONE) {
        listenOnRoot(connection_, root_, answerMask);
    } else if (kind_ == ClientKind::java) {
        probe_.emplace(connection_, focus->focus);
        if (!probe_->usable())
            probe_.reset();
    }
}

FocusedClient::~FocusedClient() {
    if (root_ == XCB_NONE)
        return;
    listenOnRoot(connection_, root_, XCB_EVENT_MASK_NO_EVENT);
    xcb_flush(connection_);
}

ClientKind FocusedClient::findKind(xcb_window_t focus) const {
    for (xcb_window_t window = focus; window != XCB_NONE;) {
        const XcbReply<xcb_get_property_reply_t> property(xcb_get_property_reply(
            connection_,
            xcb_get_property(connection_, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64),
            nullptr));
        if (property && property->format == 8 && property->value_len > 0) {
            const std::string_view both(
                static_cast<const char*>(xcb_get_property_value(property.get())),
                static_cast<std::size_t>(xcb_get_property_value_length(property.get())));
            const std::size_t end = std::min(both.find('\0'), both.size());
            const std::string_view rest = both.substr(std::min(end + 1, both.size()));
            return clientKindForClass(both.substr(0, end), rest.substr(0, rest.find('\0')));
        }
        const XcbReply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr));
        if (!tree || window == tree->root)
            break;
        window = tree->parent;
    }
    return ClientKind::ordinary;
}

// The focus may sit on a window inside the client's top-level window; the top-level one is
// where the client names the protocols it answers.
xcb_window_t FocusedClient::findPingingWindow(xcb_window_t focus) {
    for (xcb_window_t window = focus; window != XCB_NONE;) {
        const XcbReply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr));
        if (!tree || window == tree->root)
            return XCB_NONE;
        root_ = tree->root;
        if (answersPings(window))
            return window;
        window = tree->parent;
    }
    return XCB_NONE;
}

bool FocusedClient::answersPings(xcb_window_t window) const {
    const XcbReply<xcb_get_property_reply_t> property(xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, window, protocols_, XCB_ATOM_ATOM, 0, 64),
        nullptr));
    if (!property)
        return false;
    const std::span protocols = propertyWords(*property);
    return std::ranges::find(protocols, ping_) != protocols.end();
}

bool FocusedClient::catchUp(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    if (probe_) {
        probe_->ask();
        if (awaitAnswer(
                [this](const xcb_generic_event_t& event) { return probe_->isAnswer(event); },
                deadline, [this] { probe_->askAgain(); }))
            return true;
        probe_.reset();
        return false;
    }
    if (window_ == XCB_NONE)
        return false;
    const std::uint32_t stamp = nextStamp();
    xcb_client_message_event_t ping{};
    ping.response_type = XCB_CLIENT_MESSAGE;
    ping.format = 32;
    ping.window = window_;
    ping.type = protocols_;
    ping.data.data32[0] = ping_;
    ping.data.data32[1] = stamp;
    ping.data.data32[2] = window_;
    xcb_send_event(connection_, 0, window_, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&ping));
    xcb_flush(connection_);
    const auto isAnswer = [this, stamp](const xcb_generic_event_t& event) {
        const auto& message = reinterpret_cast<const xcb_client_message_event_t&>(event);
        return (event.response_type & 0x7f) == XCB_CLIENT_MESSAGE && message.type == protocols_ &&
               message.format == 32 && message.data.data32[0] == ping_ &&
               message.data.data32[1] == stamp;
    };
    if (awaitAnswer(isAnswer, deadline, {}))
        return true;
    window_ = XCB_NONE;
    return false;
}

bool FocusedClient::awaitAnswer(const IsAnswer& isAnswer,
                                std::chrono::steady_clock::time_point deadline,
                                const std::function<void()>& askAgain) {
    // Swing copies nothing while its event-dispatch thread paints, so a repaint is asked for
    // again until one comes.
    constexpr auto askingInterval = std::chrono::milliseconds(20);
    auto nextAsking = std::chrono::steady_clock::now() + askingInterval;
    while (xcb_connection_has_error(connection_) == 0) {
        while (const XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(connection_)}) {
            if (isAnswer(*event))
                return true;
            others_(*event);
        }
        auto now = std::chrono::steady_clock::now();
        if (askAgain && now >= nextAsking) {
            askAgain();
            nextAsking = now + askingInterval;
        }
        const auto wake = askAgain ? std::min(deadline, nextAsking) : deadline;
        if (now >= deadline)
            return false;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(wake - now);
        pollfd socket{xcb_get_file_descriptor(connection_), POLLIN, 0};
        poll(&socket, 1, static_cast<int>(left.count()));
    }
    return false;
}

} // namespace tavrin
