#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// sway's IPC protocol (i3's framing): "i3-ipc", the payload's length and the message type as
// 32-bit integers in the machine's byte order, then a JSON payload.
namespace tavrin::swayIpc {

constexpr std::uint32_t runCommand = 0;
constexpr std::uint32_t subscribe = 2;
constexpr std::uint32_t getConfig = 9;
constexpr std::uint32_t eventFlag = 0x80000000;
constexpr std::uint32_t workspaceEvent = eventFlag | 0;
constexpr std::uint32_t bindingEvent = eventFlag | 5;

struct Message {
    std::uint32_t type = 0;
    std::string payload;
};

std::string encode(std::uint32_t type, std::string_view payload);

// Cuts a byte stream into messages. Bytes that break the framing make the stream useless: no
// message comes out of it from then on.
class FrameReader {
  public:
    void feed(std::string_view bytes);
    std::optional<Message> next();
    bool broken() const { return broken_; }

  private:
    std::string buffer_;
    bool broken_ = false;
};

struct CommandResult {
    bool success = false;
};

// The replies' payloads; anything malformed reads as nothing (or no results).
std::vector<CommandResult> commandResults(std::string_view payload);
bool subscribed(std::string_view payload);
std::optional<std::string> configText(std::string_view payload);
// A workspace event telling that sway read its configuration again, dropping bindings added
// since.
bool isReload(std::string_view payload);
// The command of a binding that ran, from a binding event.
std::optional<std::string> ranBindingCommand(std::string_view payload);

} // namespace tavrin::swayIpc
