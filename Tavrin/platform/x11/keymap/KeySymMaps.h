#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>
#include <xkbcommon/xkbcommon.h>

namespace tavrin::keymap {

// The keysym maps of a run of neighbouring keys as XKB's GetMap returns them and SetMap takes
// them: read once, written back with some keys bound to one keysym each. Writing every key of
// a span in one request makes one mapping notice per change, and writing the maps read puts the
// keys back exactly as they were.
class KeySymMaps {
  public:
    // Nothing when the data is cut short.
    static std::optional<KeySymMaps> parse(xkb_keycode_t firstKeycode, std::size_t keyCount,
                                           std::span<const std::uint8_t> data);

    xkb_keycode_t firstKeycode() const { return firstKeycode_; }
    xkb_keycode_t lastKeycode() const {
        return firstKeycode_ + static_cast<xkb_keycode_t>(keys_.size()) - 1;
    }

    struct Encoded {
        std::vector<std::uint8_t> bytes;
        std::uint16_t keysymCount = 0;
    };
    // The maps of the keys from..to, those in bound holding their keysym alone on one level of
    // one group, whatever the group and modifiers; the others as read.
    Encoded encode(xkb_keycode_t from, xkb_keycode_t to,
                   const std::map<xkb_keycode_t, xkb_keysym_t>& bound) const;

  private:
    struct KeyMap {
        std::array<std::uint8_t, 4> typeIndexes{};
        std::uint8_t groupInfo = 0;
        std::uint8_t width = 0;
        std::vector<std::uint32_t> keysyms;
    };

    xkb_keycode_t firstKeycode_ = 0;
    std::vector<KeyMap> keys_;
};

} // namespace tavrin::keymap
