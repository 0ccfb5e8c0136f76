#include "platform/x11/KeymapEdit.h"

#include "platform/x11/XcbReply.h"
#include "platform/x11/XcbXkb.h"

namespace tavrin {

KeymapEdit::KeymapEdit(xcb_connection_t* connection, std::uint16_t device, xcb_keycode_t first,
                       xcb_keycode_t last)
    : connection_(connection), device_(device) {
    xcb_grab_server(connection_);
    const auto count = static_cast<std::uint8_t>(last - first + 1);
    const XcbReply<xcb_xkb_get_map_reply_t> reply(
        xcb_xkb_get_map_reply(connection,
                              xcb_xkb_get_map(connection, device_, 0, XCB_XKB_MAP_PART_KEY_SYMS, 0,
                                              0, first, count, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
                              nullptr));
    if (!reply || reply->firstKeySym != first || reply->nKeySyms != count)
        return;
    const auto* data = static_cast<const std::uint8_t*>(xcb_xkb_get_map_map(reply.get()));
    const std::size_t size = 32 + std::size_t{reply->length} * 4 - sizeof *reply;
    maps_ = keymap::KeySymMaps::parse(first, count, {data, size});
    minKeycode_ = reply->minKeyCode;
    maxKeycode_ = reply->maxKeyCode;
}

KeymapEdit::~KeymapEdit() {
    xcb_ungrab_server(connection_);
    xcb_flush(connection_);
}

const KeymapEdit::KeyMap* KeymapEdit::current(xcb_keycode_t keycode) const {
    if (!maps_ || keycode < maps_->firstKeycode() || keycode > maps_->lastKeycode())
        return nullptr;
    return &maps_->at(keycode);
}

void KeymapEdit::write() {
    if (!maps_ || replaced_.empty())
        return;
    const keymap::KeySymMaps::Encoded encoded = maps_->encode(replaced_);
    const auto first = static_cast<xcb_keycode_t>(maps_->firstKeycode());
    const auto count = static_cast<std::uint8_t>(maps_->lastKeycode() - maps_->firstKeycode() + 1);
    // Naming the key types, none of them changed, makes Xwayland 22 check the keys against the
    // device's types: without them it takes every type to have no level and refuses the keys.
    xcb_xkb_set_map(connection_, device_, XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS, 0,
                    minKeycode_, maxKeycode_, 0, 0, first, count, encoded.keysymCount, 0, 0, 0, 0,
                    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, encoded.bytes.data());
}

} // namespace tavrin
