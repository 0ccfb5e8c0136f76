#include "platform/wayland/SwayIpcSocket.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace tavrin {

std::unique_ptr<SwayIpcSocket> SwayIpcSocket::connect(const std::string& path) {
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return nullptr;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return nullptr;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<SwayIpcSocket>(new SwayIpcSocket(fd));
}

SwayIpcSocket::~SwayIpcSocket() {
    close(fd_);
}

pid_t SwayIpcSocket::peer() const {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    return getsockopt(fd_, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 ? credentials.pid : 0;
}

std::optional<swayIpc::Message> SwayIpcSocket::request(std::uint32_t type, std::string_view payload,
                                                       std::chrono::milliseconds timeout) {
    const std::string bytes = swayIpc::encode(type, payload);
    for (std::size_t sent = 0; !broken_ && sent < bytes.size();) {
        const ssize_t written = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR)
            continue;
        broken_ = written <= 0;
        sent += written > 0 ? static_cast<std::size_t>(written) : 0;
    }
    if (broken_)
        return std::nullopt;
    auto reply = awaitReply(type, timeout);
    broken_ = !reply;
    return reply;
}

std::optional<swayIpc::Message> SwayIpcSocket::awaitReply(std::uint32_t type,
                                                          std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        while (auto message = reader_.next()) {
            if (!(message->type & swayIpc::eventFlag))
                return message->type == type ? std::move(message) : std::nullopt;
            pendingEvents_.push_back(std::move(*message));
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable{fd_, POLLIN, 0};
        if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0 ||
            !receive(0))
            return std::nullopt;
    }
}

bool SwayIpcSocket::readAvailable() {
    broken_ = broken_ || !receive(MSG_DONTWAIT);
    return !broken_;
}

std::optional<swayIpc::Message> SwayIpcSocket::nextEvent() {
    if (!pendingEvents_.empty()) {
        swayIpc::Message event = std::move(pendingEvents_.front());
        pendingEvents_.pop_front();
        return event;
    }
    return reader_.next();
}

bool SwayIpcSocket::receive(int flags) {
    std::array<char, 4096> chunk{};
    while (true) {
        const ssize_t got = recv(fd_, chunk.data(), chunk.size(), flags);
        if (got > 0) {
            reader_.feed(std::string_view(chunk.data(), static_cast<std::size_t>(got)));
            if (static_cast<std::size_t>(got) < chunk.size() || !(flags & MSG_DONTWAIT))
                return !reader_.broken();
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && !reader_.broken();
    }
}

} // namespace tavrin
