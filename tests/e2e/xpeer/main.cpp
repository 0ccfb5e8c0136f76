// The X peer as a command for the end-to-end scripts:
//
//   xpeer popup                 prints "ID X Y WIDTH HEIGHT" of the open popup; exit 1 when none
//   xpeer owner SELECTION       exit 0 when the selection (_NET_SYSTEM_TRAY_S0) has an owner

#include "XPeer.h"

#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

using namespace tavrin::xpeer;

namespace {

int owner(const Peer& x, const std::string& selection) {
    Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        x.connection(),
        xcb_intern_atom(x.connection(), false, static_cast<std::uint16_t>(selection.size()),
                        selection.data()),
        nullptr));
    Reply<xcb_get_selection_owner_reply_t> found(
        atom ? xcb_get_selection_owner_reply(
                   x.connection(), xcb_get_selection_owner(x.connection(), atom->atom), nullptr)
             : nullptr);
    return found && found->owner != XCB_NONE ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string_view command = argc > 1 ? argv[1] : "";
    try {
        const Peer x;
        if (command == "popup" && argc == 2) {
            const auto popup = x.popup();
            if (popup)
                std::printf("%u %d %d %d %d\n", popup->window, popup->x, popup->y, popup->width,
                            popup->height);
            return popup ? 0 : 1;
        }
        if (command == "owner" && argc == 3)
            return owner(x, argv[2]);
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "xpeer: %s\n", error.what());
        return 2;
    }
    std::fprintf(stderr, "usage: xpeer popup | owner SELECTION\n");
    return 2;
}
