#include "platform/x11/ClipboardKeeper.h"

#include <cstdint>
#include <functional>
#include <future>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <utility>

namespace tavrin {
namespace {

// Wakes the thread when it is to end, so that it sleeps until then: the clipboard may be kept
// for hours.
class StopSignal {
  public:
    explicit StopSignal(const std::stop_token& stop)
        : fd_(eventfd(0, EFD_CLOEXEC)), onStop_(stop, [this] {
              const std::uint64_t one = 1;
              if (write(fd_, &one, sizeof one) < 0)
                  return;
          }) {}
    ~StopSignal() {
        if (fd_ >= 0)
            close(fd_);
    }
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    int fd() const { return fd_; }

  private:
    const int fd_;
    std::stop_callback<std::function<void()>> onStop_;
};

void serve(const SelectionContents& contents, std::promise<bool>& taken,
           std::chrono::milliseconds limit, const std::stop_token& stop) {
    const StopSignal signal(stop);
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (signal.fd() < 0 || xcb_connection_has_error(connection) != 0) {
        taken.set_value(false);
        xcb_disconnect(connection);
        return;
    }
    const SelectionAtoms atoms(connection);
    const xcb_window_t window = createSelectionWindow(connection);
    const xcb_timestamp_t owned =
        serverTime(connection, window, std::chrono::steady_clock::now() + limit,
                   [](const xcb_generic_event_t&) {});
    xcb_set_selection_owner(connection, window, atoms.clipboard, owned);
    bool owning = selectionOwner(connection, atoms.clipboard) == window;
    taken.set_value(owning);
    while (owning && !stop.stop_requested() && xcb_connection_has_error(connection) == 0) {
        while (const XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(connection)}) {
            const auto type = event->response_type & 0x7f;
            const auto* request =
                reinterpret_cast<const xcb_selection_request_event_t*>(event.get());
            if (type == XCB_SELECTION_REQUEST && request->owner == window &&
                request->selection == atoms.clipboard)
                contents.answer(connection, atoms, *request, owned);
            else if (type == XCB_SELECTION_CLEAR)
                owning = false;
        }
        pollfd wakers[] = {{xcb_get_file_descriptor(connection), POLLIN, 0},
                           {signal.fd(), POLLIN, 0}};
        if (owning)
            poll(wakers, 2, -1);
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
    return answer.wait_for(2 * limit) == std::future_status::ready && answer.get();
}

} // namespace tavrin
