#include "platform/wayland/SwayIpc.h"

// What comes over sway's socket, cut anywhere: every message read off it goes through every
// reader of replies and events.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavrin::swayIpc;
    if (size < 1)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t cut = std::min<std::size_t>(data[0], bytes.size());
    FrameReader reader;
    for (const std::string_view part : {bytes.substr(0, cut), bytes.substr(cut)}) {
        reader.feed(part);
        while (const auto message = reader.next()) {
            commandResults(message->payload);
            subscribed(message->payload);
            configText(message->payload);
            isReload(message->payload);
            ranBindingCommand(message->payload);
        }
    }
    return 0;
}
