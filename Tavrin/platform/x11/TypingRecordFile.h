#pragma once

#include "platform/x11/TypingRecord.h"

#include <optional>
#include <string>

namespace tavrin {

// The file in the runtime folder that holds the record of the text being typed on one display;
// it goes with the session, as the keymap changes it names go with the X server.
class TypingRecordFile {
  public:
    // The file for the display named by DISPLAY; nothing without a runtime folder
    // (XDG_RUNTIME_DIR) or a display.
    static std::optional<TypingRecordFile> forDisplay();

    const std::string& path() const { return path_; }
    // A new file renamed over the old one: a run cut short leaves the last record whole. False on
    // failure.
    bool write(const TypingRecord& record) const;
    // The file's text; nothing when there is none.
    std::optional<std::string> read() const;
    void remove() const;

  private:
    explicit TypingRecordFile(std::string path) : path_(std::move(path)) {}

    std::string path_;
};

} // namespace tavrin
