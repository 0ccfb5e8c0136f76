#include "platform/x11/TypingRecordFile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <xcb/xcb.h>

namespace tavrin {
namespace {

// A record names a few keys; anything much larger is not one.
constexpr std::streamsize sizeLimit = 1 << 20;

} // namespace

std::optional<TypingRecordFile> TypingRecordFile::forDisplay() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    char* host = nullptr;
    int display = 0;
    if (!runtime || *runtime == '\0' || xcb_parse_display(nullptr, &host, &display, nullptr) == 0)
        return std::nullopt;
    // ":0" and ":0.0" are one display; a host name or socket path may hold slashes.
    std::string name(host);
    std::free(host);
    std::ranges::replace(name, '/', '_');
    return TypingRecordFile(std::string(runtime) + "/tavrin-typing-" + name + ":" +
                            std::to_string(display) + ".json");
}

bool TypingRecordFile::write(const TypingRecord& record) const {
    const std::string next = path_ + ".new";
    {
        std::ofstream file(next, std::ios::binary | std::ios::trunc);
        file << record.encode();
        if (!file.flush())
            return false;
    }
    return std::rename(next.c_str(), path_.c_str()) == 0;
}

std::optional<std::string> TypingRecordFile::read() const {
    std::ifstream file(path_, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::string text(static_cast<std::size_t>(sizeLimit) + 1, '\0');
    file.read(text.data(), sizeLimit + 1);
    text.resize(static_cast<std::size_t>(file.gcount()));
    return text;
}

void TypingRecordFile::remove() const {
    std::remove(path_.c_str());
}

} // namespace tavrin
