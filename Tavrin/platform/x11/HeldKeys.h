#pragma once

#include <cstdint>
#include <vector>
#include <xcb/xcb.h>

namespace tavrin {

// A key held down on one keyboard device: the user's own keyboard, or the XTest device that
// programs such as this one type through.
struct HeldKey {
    xcb_keycode_t keycode = 0;
    std::uint16_t device = 0;
    bool onXTestDevice = false;
};

namespace heldKeys {

// The keys held on every keyboard device; the server only merges them for clients.
std::vector<HeldKey> read(xcb_connection_t* connection);
// Lets go of the key on the device that holds it, as if the user had released it there: a
// release sent through the XTest device would leave it held on the user's keyboard.
void release(xcb_connection_t* connection, const HeldKey& key);

} // namespace heldKeys
} // namespace tavrin
