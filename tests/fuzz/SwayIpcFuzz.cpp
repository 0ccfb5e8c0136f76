#include "platform/wayland/SwayConfigReader.h"
#include "platform/wayland/SwayIpc.h"

namespace {

// Every include names one more file that holds the same text, so that includes nest until the
// reader sees a file again.
struct EchoFiles final : tavrin::SwayConfigFiles {
    std::string text;
    std::optional<std::vector<std::string>> match(const std::string&,
                                                  const std::string& pattern) const override {
        return std::vector<std::string>{"/" + pattern.substr(0, 8)};
    }
    std::optional<std::string> read(const std::string&) const override { return text; }
};

} // namespace

// What comes over sway's socket, cut anywhere: every message read off it goes through every
// reader of replies and events, and a configuration's text through the reader of sway's
// configuration.
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
            if (const auto text = configText(message->payload)) {
                EchoFiles files;
                files.text = *text;
                tavrin::SwayConfigReader(files).read(*text, "/etc/sway/config");
            }
        }
    }
    return 0;
}
