#pragma once

#include "platform/wayland/SwayIpc.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace tavrin {

// One connection to sway's IPC socket, plain POSIX. sway answers the requests on one connection
// in order, so a reply that does not come in time would answer the next request: the connection
// is then broken for good, and so it is once closed or out of step.
class SwayIpcSocket {
  public:
    // Nothing when nobody listens there.
    static std::unique_ptr<SwayIpcSocket> connect(const std::string& path);
    ~SwayIpcSocket();
    SwayIpcSocket(const SwayIpcSocket&) = delete;
    SwayIpcSocket& operator=(const SwayIpcSocket&) = delete;

    int fd() const { return fd_; }
    // The sway process at the other end (0 when unknown).
    pid_t peer() const;
    bool broken() const { return broken_; }
    // Sends a message and waits for its reply; events meanwhile are kept. Nothing once broken.
    std::optional<swayIpc::Message> request(std::uint32_t type, std::string_view payload,
                                            std::chrono::milliseconds timeout);
    // Takes what has arrived without waiting; false once the stream is closed or broken.
    bool readAvailable();
    std::optional<swayIpc::Message> nextEvent();

  private:
    explicit SwayIpcSocket(int fd) : fd_(fd) {}
    bool receive(int flags);
    std::optional<swayIpc::Message> awaitReply(std::uint32_t type,
                                               std::chrono::milliseconds timeout);

    int fd_;
    bool broken_ = false;
    swayIpc::FrameReader reader_;
    std::deque<swayIpc::Message> pendingEvents_;
};

} // namespace tavrin
