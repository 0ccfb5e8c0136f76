#include "platform/wayland/SwayIpc.h"

#include <cstring>
#include <nlohmann/json.hpp>

namespace tavrin::swayIpc {
namespace {

constexpr std::string_view magic = "i3-ipc";
constexpr std::size_t headerSize = magic.size() + 2 * sizeof(std::uint32_t);
// Far above any reply sway gives (a large tree is a few MB): a longer one is a broken stream.
constexpr std::uint32_t maximumPayload = 64u << 20;

std::uint32_t readInteger(const char* bytes) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

void appendInteger(std::string& bytes, std::uint32_t value) {
    char raw[sizeof value];
    std::memcpy(raw, &value, sizeof value);
    bytes.append(raw, sizeof value);
}

nlohmann::json parse(std::string_view payload) {
    return nlohmann::json::parse(payload, nullptr, false);
}

} // namespace

std::string encode(std::uint32_t type, std::string_view payload) {
    std::string bytes(magic);
    appendInteger(bytes, static_cast<std::uint32_t>(payload.size()));
    appendInteger(bytes, type);
    bytes += payload;
    return bytes;
}

void FrameReader::feed(std::string_view bytes) {
    if (!broken_)
        buffer_ += bytes;
}

std::optional<Message> FrameReader::next() {
    if (broken_ || buffer_.size() < headerSize)
        return std::nullopt;
    const std::uint32_t length = readInteger(buffer_.data() + magic.size());
    if (buffer_.compare(0, magic.size(), magic) != 0 || length > maximumPayload) {
        broken_ = true;
        buffer_.clear();
        return std::nullopt;
    }
    if (buffer_.size() < headerSize + length)
        return std::nullopt;
    Message message{readInteger(buffer_.data() + magic.size() + sizeof length),
                    buffer_.substr(headerSize, length)};
    buffer_.erase(0, headerSize + length);
    return message;
}

std::vector<CommandResult> commandResults(std::string_view payload) {
    const nlohmann::json reply = parse(payload);
    std::vector<CommandResult> results;
    if (!reply.is_array())
        return results;
    for (const auto& entry : reply) {
        if (!entry.is_object())
            return {};
        const auto success = entry.find("success");
        results.push_back(
            {success != entry.end() && success->is_boolean() && success->get<bool>()});
    }
    return results;
}

bool subscribed(std::string_view payload) {
    const nlohmann::json reply = parse(payload);
    return reply.is_object() && reply.value("success", nlohmann::json()).is_boolean() &&
           reply["success"].get<bool>();
}

std::optional<std::string> configText(std::string_view payload) {
    const nlohmann::json reply = parse(payload);
    if (!reply.is_object() || !reply.contains("config") || !reply["config"].is_string())
        return std::nullopt;
    return reply["config"].get<std::string>();
}

bool isReload(std::string_view payload) {
    const nlohmann::json event = parse(payload);
    return event.is_object() && event.value("change", nlohmann::json()) == "reload";
}

std::optional<std::string> ranBindingCommand(std::string_view payload) {
    const nlohmann::json event = parse(payload);
    if (!event.is_object() || event.value("change", nlohmann::json()) != "run")
        return std::nullopt;
    const auto binding = event.find("binding");
    if (binding == event.end() || !binding->is_object())
        return std::nullopt;
    const auto command = binding->find("command");
    if (command == binding->end() || !command->is_string())
        return std::nullopt;
    return command->get<std::string>();
}

} // namespace tavrin::swayIpc
