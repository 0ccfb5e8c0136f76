#include "platform/x11/XButtonTap.h"

#include "platform/x11/X11Log.h"
#include "platform/x11/XInputAccess.h"
#include "platform/x11/XcbReply.h"

#include <QAbstractEventDispatcher>
#include <QGuiApplication>
#include <QWindow>
#include <optional>
#include <vector>
#include <xcb/xinput.h>

namespace tavrin {

namespace {

// X buttons 4 to 7 are the scroll wheel; mice rarely report anything above this one.
constexpr std::uint32_t highestSpareXButton = 32;

std::optional<std::uint32_t> xButtonFor(int stored) {
    if (stored == 2)
        return 2;
    if (stored >= 3 && stored <= static_cast<int>(highestSpareXButton) - 5)
        return static_cast<std::uint32_t>(stored + 5);
    return std::nullopt;
}

std::optional<int> storedButtonFor(std::uint32_t xButton) {
    if (xButton == 2)
        return 2;
    if (xButton >= 8 && xButton <= highestSpareXButton)
        return static_cast<int>(xButton) - 5;
    return std::nullopt;
}

std::set<std::uint32_t> xButtonsOf(const WatchedButtons& buttons) {
    std::set<std::uint32_t> result;
    if (buttons.only) {
        if (const auto xButton = xButtonFor(*buttons.only))
            result.insert(*xButton);
        return result;
    }
    result.insert(2);
    for (std::uint32_t xButton = 8; xButton <= highestSpareXButton; ++xButton)
        result.insert(xButton);
    return result;
}

std::vector<xcb_window_t> rootWindows(xcb_connection_t* connection) {
    std::vector<xcb_window_t> roots;
    for (auto screen = xcb_setup_roots_iterator(xcb_get_setup(connection)); screen.rem;
         xcb_screen_next(&screen))
        roots.push_back(screen.data->root);
    return roots;
}

bool isRootWindow(xcb_connection_t* connection, xcb_window_t window) {
    for (const xcb_window_t root : rootWindows(connection)) {
        if (root == window)
            return true;
    }
    return false;
}

// An open popup has replaced the grab that a held press started with its own pointer grab.
bool popupHoldsPointer() {
    for (const QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window->isVisible() && window->type() == Qt::Popup)
            return true;
    }
    return false;
}

} // namespace

XButtonTap::XButtonTap(xcb_connection_t* connection, std::uint8_t xinputOpcode,
                       TapCallback callback)
    : connection_(connection), xinputOpcode_(xinputOpcode),
      callback_(std::make_shared<TapCallback>(std::move(callback))) {
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->installNativeEventFilter(this);
}

XButtonTap::~XButtonTap() {
    // Qt may have closed its connection already when the tap outlives the application object.
    if (qtXcbConnection() != connection_)
        return;
    while (!grabbed_.empty())
        ungrab(*grabbed_.begin());
    roundTrip(connection_);
}

void XButtonTap::setEnabled(bool enabled, const WatchedButtons& buttons) {
    watched_ = enabled ? xButtonsOf(buttons) : std::set<std::uint32_t>{};
    std::set<std::uint32_t> unwanted;
    for (const std::uint32_t xButton : grabbed_) {
        if (!watched_.contains(xButton))
            unwanted.insert(xButton);
    }
    for (const std::uint32_t xButton : unwanted)
        ungrab(xButton);
    // A grab refused before, because another client held the button, is asked for again.
    std::set<std::uint32_t> missing;
    for (const std::uint32_t xButton : watched_) {
        if (!grabbed_.contains(xButton))
            missing.insert(xButton);
    }
    if (missing.empty())
        roundTrip(connection_);
    else
        grab(missing);
    noteWatchState(enabled ? buttons.only : std::nullopt);
}

// Told once when the one watched button stops reaching the tap, not at every retry.
void XButtonTap::noteWatchState(std::optional<int> only) {
    WatchState state = WatchState::watching;
    const auto xButton = only ? xButtonFor(*only) : std::nullopt;
    if (only && !xButton)
        state = WatchState::beyondReach;
    else if (xButton && !grabbed_.contains(*xButton))
        state = WatchState::heldByAnotherProgram;
    if (state == watchState_)
        return;
    watchState_ = state;
    if (state == WatchState::beyondReach)
        qCWarning(lcX11, "button %d cannot be watched: X buttons above %u are not grabbed", *only,
                  highestSpareXButton);
    else if (state == WatchState::heldByAnotherProgram)
        qCWarning(lcX11, "button %d (X button %u) cannot be watched: another program grabs it",
                  *only, *xButton);
}

// Waits until the server has handled every request sent so far: when the caller goes on, the
// grabs are as asked, also for input that other clients send from then on.
// Waits for the replies, which come after the server has handled every earlier request.
void XButtonTap::grab(const std::set<std::uint32_t>& xButtons) {
    const std::uint32_t mask =
        XCB_INPUT_XI_EVENT_MASK_BUTTON_PRESS | XCB_INPUT_XI_EVENT_MASK_BUTTON_RELEASE;
    // Any modifier covers every combination, the lock keys included.
    const std::uint32_t modifiers = XCB_INPUT_MODIFIER_MASK_ANY;
    struct Request {
        std::uint32_t xButton;
        xcb_window_t root;
        xcb_input_xi_passive_grab_device_cookie_t cookie;
    };
    std::vector<Request> requests;
    for (const std::uint32_t xButton : xButtons) {
        for (const xcb_window_t root : rootWindows(connection_)) {
            // Asynchronous: a utility that stops answering never freezes the pointer.
            const auto cookie = xcb_input_xi_passive_grab_device(
                connection_, XCB_CURRENT_TIME, root, XCB_NONE, xButton, XCB_INPUT_DEVICE_ALL_MASTER,
                1, 1, XCB_INPUT_GRAB_TYPE_BUTTON, XCB_INPUT_GRAB_MODE_22_ASYNC,
                XCB_INPUT_GRAB_MODE_22_ASYNC, false, &mask, &modifiers);
            requests.push_back({xButton, root, cookie});
        }
    }
    std::set<std::uint32_t> refused;
    for (const Request& request : requests) {
        xcb_generic_error_t* error = nullptr;
        const XcbReply<xcb_input_xi_passive_grab_device_reply_t> reply(
            xcb_input_xi_passive_grab_device_reply(connection_, request.cookie, &error));
        const XcbReply<xcb_generic_error_t> freedError(error);
        // A conflict with another client's grab comes back in the modifier list, not as an error.
        if (error || !reply || xcb_input_xi_passive_grab_device_modifiers_length(reply.get()) > 0)
            refused.insert(request.xButton);
        if (error)
            qCWarning(lcX11, "grabbing X button %u failed with X error %u", request.xButton,
                      error->error_code);
    }
    for (const Request& request : requests) {
        if (!refused.contains(request.xButton)) {
            grabbed_.insert(request.xButton);
        } else {
            xcb_input_xi_passive_ungrab_device(connection_, request.root, request.xButton,
                                               XCB_INPUT_DEVICE_ALL_MASTER, 1,
                                               XCB_INPUT_GRAB_TYPE_BUTTON, &modifiers);
        }
    }
    xcb_flush(connection_);
}

void XButtonTap::ungrab(std::uint32_t xButton) {
    const std::uint32_t modifiers = XCB_INPUT_MODIFIER_MASK_ANY;
    for (const xcb_window_t root : rootWindows(connection_)) {
        xcb_input_xi_passive_ungrab_device(connection_, root, xButton, XCB_INPUT_DEVICE_ALL_MASTER,
                                           1, XCB_INPUT_GRAB_TYPE_BUTTON, &modifiers);
    }
    grabbed_.erase(xButton);
    // The grab that the press started outlives the passive one; end it so that the rest of the
    // click reaches the application under the pointer, as if the button had not been watched.
    if (const auto held = heldOnRoot_.find(xButton); held != heldOnRoot_.end()) {
        if (!popupHoldsPointer())
            xcb_input_xi_ungrab_device(connection_, XCB_CURRENT_TIME, held->second);
        heldOnRoot_.erase(held);
    }
}

bool XButtonTap::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* generic = static_cast<const xcb_ge_generic_event_t*>(message);
    if ((generic->response_type & 0x7f) != XCB_GE_GENERIC || generic->extension != xinputOpcode_)
        return false;
    if (generic->event_type != XCB_INPUT_BUTTON_PRESS &&
        generic->event_type != XCB_INPUT_BUTTON_RELEASE)
        return false;
    const auto* event = static_cast<const xcb_input_button_press_event_t*>(message);
    const std::uint32_t xButton = event->detail;
    // Every event of a watched button is ours, whatever its device or window: on this
    // utility's own windows (the open popup among them) each one comes twice, from the master
    // and from the slave device, and a release comes through the popup's grab when the button
    // was held until it opened.
    if (!watched_.contains(xButton))
        return false;
    const bool press = event->event_type == XCB_INPUT_BUTTON_PRESS;
    const SeenEvent seen{event->event_type, xButton, event->time};
    if (seen == lastSeen_)
        return lastVerdict_ == Verdict::swallow;
    lastSeen_ = seen;
    if (press && isRootWindow(connection_, event->event))
        heldOnRoot_[xButton] = event->deviceid;
    else if (!press)
        heldOnRoot_.erase(xButton);

    const auto stored = storedButtonFor(xButton);
    if (!stored)
        return false;
    // The callback may remove this tap; what it needs stays alive through local copies.
    const std::shared_ptr<TapCallback> callback = callback_;
    const std::weak_ptr<bool> alive = alive_;
    const Verdict verdict =
        (*callback)({press ? ButtonEventType::press : ButtonEventType::release, *stored});
    if (!alive.expired())
        lastVerdict_ = verdict;
    // The grabs are asynchronous, so a grabbed event cannot be replayed to other clients: a
    // passed one goes on to Qt, which delivers it only when it hit one of this utility's
    // windows. That loses nothing the user would miss, because the grabs cover exactly the
    // buttons whose events the controller swallows; a pass happens only in the moment when
    // the watched set changes, and then ungrab() lets the rest of the click through.
    return verdict == Verdict::swallow;
}

std::unique_ptr<ButtonTap> createX11ButtonTap(TapCallback callback) {
    xcb_connection_t* connection = qtXcbConnection();
    if (!connection || !hasXInput2(connection))
        return nullptr;
    const auto* xinput = xcb_get_extension_data(connection, &xcb_input_id);
    return std::make_unique<XButtonTap>(connection, xinput->major_opcode, std::move(callback));
}

} // namespace tavrin
