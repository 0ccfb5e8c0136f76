// Timings through the X server for scripts/bench.sh:
//
//   xbench startup CLASS COMMAND [ARGS...]
//                               starts COMMAND; prints "MILLISECONDS PID" once a window whose
//                               WM_CLASS names CLASS is mapped anywhere
//   xbench popup COUNT BUTTON   times COUNT presses of BUTTON to the popup's MapNotify, each
//                               popup closed with Escape; prints median, 95th percentile, max

#include "xpeer/XPeer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <string_view>
#include <vector>

extern char** environ;

using namespace tavrin::xpeer;
using Clock = std::chrono::steady_clock;

namespace {

std::optional<xcb_keycode_t> keycodeOf(const Peer& x, xcb_keysym_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(x.connection());
    const auto count = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    Reply<xcb_get_keyboard_mapping_reply_t> mapping(xcb_get_keyboard_mapping_reply(
        x.connection(), xcb_get_keyboard_mapping(x.connection(), setup->min_keycode, count),
        nullptr));
    if (!mapping)
        return std::nullopt;
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    for (int index = 0; index < count * mapping->keysyms_per_keycode; ++index) {
        if (keysyms[index] == keysym)
            return static_cast<xcb_keycode_t>(setup->min_keycode +
                                              index / mapping->keysyms_per_keycode);
    }
    return std::nullopt;
}

// False when the deadline passed before any event came.
bool waitForEvents(const Peer& x, Clock::time_point deadline) {
    pollfd descriptor{xcb_get_file_descriptor(x.connection()), POLLIN, 0};
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 && poll(&descriptor, 1, static_cast<int>(left.count())) > 0;
}

bool namesClass(const Peer& x, xcb_window_t window, std::string_view wanted) {
    Reply<xcb_get_property_reply_t> property(xcb_get_property_reply(
        x.connection(),
        xcb_get_property(x.connection(), false, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256),
        nullptr));
    if (!property)
        return false;
    // Instance and class name, each ending in a zero byte.
    const std::string_view names(
        static_cast<const char*>(xcb_get_property_value(property.get())),
        static_cast<std::size_t>(xcb_get_property_value_length(property.get())));
    const std::size_t end = names.find('\0');
    if (names.substr(0, end) == wanted)
        return true;
    if (end == std::string_view::npos)
        return false;
    const std::string_view className = names.substr(end + 1);
    return className.substr(0, className.find('\0')) == wanted;
}

int startup(const Peer& x, std::string_view wanted, char** command) {
    x.select(x.root(), XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
    x.roundTrip();
    pid_t child = 0;
    const auto started = Clock::now();
    if (posix_spawnp(&child, command[0], nullptr, nullptr, command, environ) != 0)
        return 2;
    do {
        while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(x.connection())}) {
            const auto type = event->response_type & 0x7f;
            xcb_window_t mapped = XCB_NONE;
            if (type == XCB_CREATE_NOTIFY) {
                // A tray host maps the icon after reparenting it, out of sight of the root.
                mapped = reinterpret_cast<xcb_create_notify_event_t*>(event.get())->window;
                x.select(mapped, XCB_EVENT_MASK_STRUCTURE_NOTIFY);
                Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
                    x.connection(), xcb_get_window_attributes(x.connection(), mapped), nullptr));
                if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
                    mapped = XCB_NONE;
            } else if (type == XCB_MAP_NOTIFY) {
                mapped = reinterpret_cast<xcb_map_notify_event_t*>(event.get())->window;
            }
            if (mapped != XCB_NONE && namesClass(x, mapped, wanted)) {
                const std::chrono::duration<double, std::milli> took = Clock::now() - started;
                std::printf("%.1f %d\n", took.count(), static_cast<int>(child));
                return 0;
            }
        }
    } while (!xcb_connection_has_error(x.connection()) &&
             waitForEvents(x, started + std::chrono::seconds(60)));
    std::printf("- %d\n", static_cast<int>(child));
    return 1;
}

// Waits for an override-redirect window to map (window none) or for WINDOW to unmap.
std::optional<xcb_window_t> waitForMapChange(const Peer& x, xcb_window_t window,
                                             Clock::time_point deadline) {
    do {
        while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(x.connection())}) {
            const auto type = event->response_type & 0x7f;
            const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event.get());
            if (window == XCB_NONE && type == XCB_MAP_NOTIFY && map->override_redirect)
                return map->window;
            if (window != XCB_NONE && type == XCB_UNMAP_NOTIFY &&
                reinterpret_cast<xcb_unmap_notify_event_t*>(event.get())->window == window)
                return window;
        }
    } while (!xcb_connection_has_error(x.connection()) && waitForEvents(x, deadline));
    return std::nullopt;
}

int bench(const Peer& x, int count, std::uint8_t button) {
    const auto escape = keycodeOf(x, 0xff1b);
    if (!escape)
        return 2;
    x.select(x.root(), XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
    std::vector<double> timings;
    for (int round = 0; round < count; ++round) {
        x.fake(XCB_BUTTON_PRESS, button);
        const auto pressed = Clock::now();
        const auto popup = waitForMapChange(x, XCB_NONE, pressed + std::chrono::seconds(10));
        timings.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - pressed).count());
        x.fake(XCB_BUTTON_RELEASE, button);
        if (!popup)
            return 1;
        // Keys sent before the popup has taken the keyboard are lost: repeat until it closes.
        std::optional<xcb_window_t> closed;
        for (int attempt = 0; attempt < 100 && !closed; ++attempt) {
            x.fake(XCB_KEY_PRESS, *escape);
            x.fake(XCB_KEY_RELEASE, *escape);
            closed = waitForMapChange(x, *popup, Clock::now() + std::chrono::milliseconds(100));
        }
        if (!closed)
            return 1;
    }
    std::sort(timings.begin(), timings.end());
    const auto at = [&](double fraction) {
        return timings[static_cast<std::size_t>(fraction * double(timings.size() - 1) + 0.5)];
    };
    std::printf("presses %d  median %.1f ms  p95 %.1f ms  max %.1f ms\n", count, at(0.5), at(0.95),
                timings.back());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string_view command = argc > 1 ? argv[1] : "";
    try {
        const Peer x;
        if (command == "startup" && argc >= 4)
            return startup(x, argv[2], argv + 3);
        if (command == "popup" && argc == 4)
            return bench(x, std::max(1, std::atoi(argv[2])),
                         static_cast<std::uint8_t>(std::atoi(argv[3])));
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "xbench: %s\n", error.what());
        return 2;
    }
    std::fprintf(stderr, "usage: xbench startup CLASS COMMAND [ARGS...] | popup COUNT BUTTON\n");
    return 2;
}
