#pragma once

#include "platform/wayland/SwayIpc.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin {

// One connection to sway's IPC socket, plain POSIX.
class SwayIpcSocket {
  public:
    // Nothing when nobody listens there.
    static std::unique_ptr<SwayIpcSocket> connect(const std::string& path);
    ~SwayIpcSocket();
    SwayIpcSocket(const SwayIpcSocket&) = delete;
    SwayIpcSocket& operator=(const SwayIpcSocket&) = delete;

    int fd() const { return fd_; }
    // Sends a message and waits for the reply of its type; events meanwhile are kept.
    std::optional<swayIpc::Message> request(std::uint32_t type, std::string_view payload,
                                            std::chrono::milliseconds timeout);
    // Takes what has arrived without waiting; false once the stream is closed or broken.
    bool readAvailable();
    std::optional<swayIpc::Message> nextEvent();

  private:
    explicit SwayIpcSocket(int fd) : fd_(fd) {}
    bool receive(int flags);

    int fd_;
    swayIpc::FrameReader reader_;
    std::optional<swayIpc::Message> pendingEvent_;
};

} // namespace tavrin
