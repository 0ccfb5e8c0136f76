#include "platform/wayland/VirtualKeyboard.h"

#include "platform/wayland/WaylandConnection.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "xkb/Keysyms.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace tavrin {
namespace {

// Without a round trip now and then a long text fills the socket and libwayland gives up the
// connection ("Resource temporarily unavailable").
constexpr int keysPerRoundTrip = 32;

std::uint32_t milliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

} // namespace

std::unique_ptr<VirtualKeyboard> VirtualKeyboard::create(WaylandConnection& connection) {
    if (!connection.keyboardManager() || !connection.seat())
        return nullptr;
    std::unique_ptr<VirtualKeyboard> keyboard(
        new VirtualKeyboard(connection, zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(
                                            connection.keyboardManager(), connection.seat())));
    if (!keyboard->upload(keyboard->keymap_) || !connection.roundTrip())
        return nullptr;
    return keyboard;
}

VirtualKeyboard::VirtualKeyboard(WaylandConnection& connection, zwp_virtual_keyboard_v1* keyboard)
    : connection_(connection), keyboard_(keyboard), keymap_({}) {}

VirtualKeyboard::~VirtualKeyboard() {
    zwp_virtual_keyboard_v1_destroy(keyboard_);
    connection_.roundTrip();
}

bool VirtualKeyboard::upload(const VirtualKeymap& keymap) {
    const std::string text = keymap.text();
    const int fd = memfd_create("tavrin-keymap", MFD_CLOEXEC);
    if (fd < 0) {
        qCWarning(lcWayland) << "No memory file for a keymap:" << std::strerror(errno);
        return false;
    }
    // The compositor maps the file and reads it up to and including the final NUL.
    const bool written =
        write(fd, text.c_str(), text.size() + 1) == static_cast<ssize_t>(text.size() + 1);
    if (written)
        zwp_virtual_keyboard_v1_keymap(keyboard_, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                       static_cast<std::uint32_t>(text.size() + 1));
    else
        qCWarning(lcWayland) << "Could not write a keymap:" << std::strerror(errno);
    // The request holds a copy of the descriptor.
    close(fd);
    if (written)
        keymap_ = keymap;
    return written;
}

void VirtualKeyboard::key(std::uint32_t keycode, bool down) {
    zwp_virtual_keyboard_v1_key(keyboard_, milliseconds(), keycode,
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED
                                     : WL_KEYBOARD_KEY_STATE_RELEASED);
    if (++unconfirmedKeys_ >= keysPerRoundTrip) {
        unconfirmedKeys_ = 0;
        connection_.roundTrip();
    }
}

void VirtualKeyboard::typeText(std::u16string_view text) {
    for (const TypingRun& run : typingRuns(text)) {
        if (!upload(run.keymap))
            return;
        for (const std::uint32_t keycode : run.keycodes) {
            key(keycode, true);
            key(keycode, false);
        }
    }
    unconfirmedKeys_ = 0;
    connection_.roundTrip();
}

void VirtualKeyboard::pressSpecialKey(SpecialKey specialKey, bool down) {
    const xkb_keysym_t keysym = keymap::keysymForSpecialKey(specialKey);
    // Every keymap holds the special keys.
    if (const auto keycode = keymap_.keycodeOf(keysym))
        key(*keycode, down);
    connection_.roundTrip();
}

} // namespace tavrin
