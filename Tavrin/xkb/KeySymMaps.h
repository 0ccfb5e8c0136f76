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
// them. Writing a whole run in one request makes one mapping notice for clients to handle.
class KeySymMaps {
  public:
    struct KeyMap {
        std::array<std::uint8_t, 4> typeIndexes{};
        std::uint8_t groupInfo = 0;
        std::uint8_t width = 0;
        std::vector<std::uint32_t> keysyms;

        // One group of two levels, the second taken with Shift, whatever the group in front. An
        // empty level repeats the other, so that no client reading the core map finds a lone
        // keysym to fold into a case pair.
        static KeyMap holding(std::array<xkb_keysym_t, 2> keysyms);
        friend bool operator==(const KeyMap&, const KeyMap&) = default;
    };

    // Nothing when the data is cut short.
    static std::optional<KeySymMaps> parse(xkb_keycode_t firstKeycode, std::size_t keyCount,
                                           std::span<const std::uint8_t> data);

    xkb_keycode_t firstKeycode() const { return firstKeycode_; }
    xkb_keycode_t lastKeycode() const {
        return firstKeycode_ + static_cast<xkb_keycode_t>(keys_.size()) - 1;
    }
    const KeyMap& at(xkb_keycode_t keycode) const { return keys_.at(keycode - firstKeycode_); }

    struct Encoded {
        std::vector<std::uint8_t> bytes;
        std::uint16_t keysymCount = 0;
    };
    // The whole run, the keys in replaced with their new maps.
    Encoded encode(const std::map<xkb_keycode_t, KeyMap>& replaced) const;

  private:
    xkb_keycode_t firstKeycode_ = 0;
    std::vector<KeyMap> keys_;
};

} // namespace tavrin::keymap
