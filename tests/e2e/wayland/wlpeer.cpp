// The user at a Wayland seat: a virtual pointer and a virtual keyboard held open for the whole
// run, driven by lines on standard input, each answered with "ok" and the monotonic clock's
// milliseconds when it was sent, once the compositor has it:
//   move X Y | press B | release B | click B   (B in X numbering: 1 left, 2 middle, 8, 9 ...)
//   key KEYSYM_NAME                            (press and release, on the US layout)
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <sstream>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

namespace {

wl_seat* seat = nullptr;
zwlr_virtual_pointer_manager_v1* pointers = nullptr;
zwp_virtual_keyboard_manager_v1* keyboards = nullptr;

void global(void*, wl_registry* registry, std::uint32_t name, const char* interface,
            std::uint32_t) {
    if (std::strcmp(interface, wl_seat_interface.name) == 0)
        seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        pointers = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
        keyboards = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
}
void globalRemove(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener registryListener{global, globalRemove};

std::uint32_t now() {
    timespec time{};
    clock_gettime(CLOCK_MONOTONIC, &time);
    return static_cast<std::uint32_t>(time.tv_sec * 1000 + time.tv_nsec / 1000000);
}

std::uint32_t evdevButton(int xButton) {
    switch (xButton) {
    case 1:
        return 0x110;
    case 2:
        return 0x112;
    case 3:
        return 0x111;
    default:
        return 0x113 + static_cast<std::uint32_t>(xButton - 8);
    }
}

} // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "wlpeer: no Wayland display\n");
        return 1;
    }
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, nullptr);
    wl_display_roundtrip(display);
    if (!seat || !pointers || !keyboards) {
        std::fprintf(stderr, "wlpeer: the compositor lacks virtual input\n");
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointers, seat);
    zwp_virtual_keyboard_v1* keyboard =
        zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(keyboards, seat);

    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    const std::size_t size = std::strlen(text) + 1;
    const int fd = memfd_create("wlpeer-keymap", MFD_CLOEXEC);
    if (fd < 0 || write(fd, text, size) != static_cast<ssize_t>(size))
        return 1;
    zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   static_cast<std::uint32_t>(size));
    wl_display_roundtrip(display);

    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream words(line);
        std::string command;
        words >> command;
        if (command == "move") {
            std::uint32_t x = 0, y = 0;
            words >> x >> y;
            zwlr_virtual_pointer_v1_motion_absolute(pointer, now(), x, y, 1280, 800);
            zwlr_virtual_pointer_v1_frame(pointer);
        } else if (command == "press" || command == "release" || command == "click") {
            int button = 0;
            words >> button;
            for (const bool down : {true, false}) {
                if ((down && command == "release") || (!down && command == "press"))
                    continue;
                zwlr_virtual_pointer_v1_button(pointer, now(), evdevButton(button),
                                               down ? WL_POINTER_BUTTON_STATE_PRESSED
                                                    : WL_POINTER_BUTTON_STATE_RELEASED);
                zwlr_virtual_pointer_v1_frame(pointer);
            }
        } else if (command == "key") {
            std::string name;
            words >> name;
            const xkb_keysym_t keysym = xkb_keysym_from_name(name.c_str(), XKB_KEYSYM_NO_FLAGS);
            for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap);
                 code <= xkb_keymap_max_keycode(keymap); ++code) {
                const xkb_keysym_t* syms = nullptr;
                if (xkb_keymap_key_get_syms_by_level(keymap, code, 0, 0, &syms) == 1 &&
                    syms[0] == keysym) {
                    zwp_virtual_keyboard_v1_key(keyboard, now(), code - 8,
                                                WL_KEYBOARD_KEY_STATE_PRESSED);
                    zwp_virtual_keyboard_v1_key(keyboard, now(), code - 8,
                                                WL_KEYBOARD_KEY_STATE_RELEASED);
                    break;
                }
            }
        }
        const std::uint32_t sent = now();
        if (wl_display_roundtrip(display) < 0)
            return 1;
        std::cout << "ok " << sent << std::endl;
    }
    return 0;
}
