#pragma once

#include "xkb/KeySymMaps.h"

#include <cstdint>
#include <map>
#include <optional>
#include <xcb/xcb.h>

namespace tavrin {

// One change of the keysyms of a run of neighbouring keys on one keyboard device, read and written
// under a server grab: a keymap loaded meanwhile (the user switching layouts) is never mixed with
// it, and one request makes one mapping notice for clients to handle.
class KeymapEdit {
  public:
    using KeyMap = keymap::KeySymMaps::KeyMap;

    // Grabs the server and reads the keys first..last of the device.
    KeymapEdit(xcb_connection_t* connection, std::uint16_t device, xcb_keycode_t first,
               xcb_keycode_t last);
    // Lets the server go.
    ~KeymapEdit();
    KeymapEdit(const KeymapEdit&) = delete;
    KeymapEdit& operator=(const KeymapEdit&) = delete;

    // What the key holds now; nothing when the server did not say.
    const KeyMap* current(xcb_keycode_t keycode) const;
    void replace(xcb_keycode_t keycode, const KeyMap& map) { replaced_[keycode] = map; }
    bool changes() const { return !replaced_.empty(); }
    // Sends the replaced keys' maps, if any.
    void write();

  private:
    xcb_connection_t* connection_;
    std::uint16_t device_;
    std::optional<keymap::KeySymMaps> maps_;
    xcb_keycode_t minKeycode_ = 0;
    xcb_keycode_t maxKeycode_ = 0;
    std::map<xkb_keycode_t, KeyMap> replaced_;
};

} // namespace tavrin
