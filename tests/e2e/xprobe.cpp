// A small X client for the end-to-end tests and scripts: what xdotool and xwininfo do not
// answer directly or quickly enough.
//
//   xprobe popup                 prints "ID X Y WIDTH HEIGHT" of the topmost viewable
//                                override-redirect window (an open popup); exit 1 when none
//   xprobe owner SELECTION       exit 0 when the selection (for example _NET_SYSTEM_TRAY_S0)
//                                has an owner, 1 when not
//   xprobe bench COUNT BUTTON    presses BUTTON COUNT times, each time measuring from the press
//                                to the popup's MapNotify, closes the popup with Escape, and
//                                prints the median and the 95th percentile in milliseconds
//   xprobe device-key press|release KEYCODE
//                                the key on the server's own keyboard device, as a user at a
//                                real keyboard would, not on the XTest device
//   xprobe mapping               prints "ready" once listening, then exits 0 at the first change
//                                of the keyboard mapping

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <poll.h>
#include <string>
#include <string_view>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xinput.h>
#include <xcb/xtest.h>

namespace {

using Clock = std::chrono::steady_clock;

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T> Reply<T> own(T* reply) {
    return Reply<T>(reply, &std::free);
}

struct Connection {
    xcb_connection_t* connection;
    xcb_window_t root;
};

std::optional<Connection> connect() {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "xprobe: cannot connect to the X server\n");
        return std::nullopt;
    }
    auto screen = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int index = 0; index < screenNumber; ++index)
        xcb_screen_next(&screen);
    return Connection{connection, screen.data->root};
}

int findPopup(const Connection& x) {
    auto tree =
        own(xcb_query_tree_reply(x.connection, xcb_query_tree(x.connection, x.root), nullptr));
    if (!tree)
        return 1;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    // Children come bottom to top: the last match is the one in front.
    for (int index = xcb_query_tree_children_length(tree.get()) - 1; index >= 0; --index) {
        const xcb_window_t window = children[index];
        auto attributes = own(xcb_get_window_attributes_reply(
            x.connection, xcb_get_window_attributes(x.connection, window), nullptr));
        if (!attributes || !attributes->override_redirect ||
            attributes->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        auto geometry = own(
            xcb_get_geometry_reply(x.connection, xcb_get_geometry(x.connection, window), nullptr));
        if (!geometry || geometry->width <= 1 || geometry->height <= 1)
            continue;
        std::printf("%u %d %d %u %u\n", window, geometry->x, geometry->y, geometry->width,
                    geometry->height);
        return 0;
    }
    return 1;
}

int probeOwner(const Connection& x, const std::string& selection) {
    auto atom = own(xcb_intern_atom_reply(
        x.connection,
        xcb_intern_atom(x.connection, false, static_cast<std::uint16_t>(selection.size()),
                        selection.data()),
        nullptr));
    if (!atom)
        return 2;
    auto owner = own(xcb_get_selection_owner_reply(
        x.connection, xcb_get_selection_owner(x.connection, atom->atom), nullptr));
    return owner && owner->owner != XCB_NONE ? 0 : 1;
}

std::optional<xcb_keycode_t> keycodeOf(const Connection& x, xcb_keysym_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(x.connection);
    const auto count = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    auto mapping = own(xcb_get_keyboard_mapping_reply(
        x.connection, xcb_get_keyboard_mapping(x.connection, setup->min_keycode, count), nullptr));
    if (!mapping)
        return std::nullopt;
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int perKeycode = mapping->keysyms_per_keycode;
    for (int index = 0; index < count * perKeycode; ++index) {
        if (keysyms[index] == keysym)
            return static_cast<xcb_keycode_t>(setup->min_keycode + index / perKeycode);
    }
    return std::nullopt;
}

// Waits for a map or unmap of an override-redirect window (mapped) or of the given one.
std::optional<xcb_window_t> waitForMapChange(const Connection& x, bool mapped, xcb_window_t window,
                                             Clock::time_point deadline) {
    while (true) {
        while (auto* event = xcb_poll_for_event(x.connection)) {
            const auto type = event->response_type & 0x7f;
            std::optional<xcb_window_t> match;
            if (mapped && type == XCB_MAP_NOTIFY) {
                const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                if (map->override_redirect)
                    match = map->window;
            } else if (!mapped && type == XCB_UNMAP_NOTIFY) {
                const auto* unmap = reinterpret_cast<xcb_unmap_notify_event_t*>(event);
                if (unmap->window == window)
                    match = unmap->window;
            }
            std::free(event);
            if (match)
                return match;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || xcb_connection_has_error(x.connection))
            return std::nullopt;
        pollfd descriptor{xcb_get_file_descriptor(x.connection), POLLIN, 0};
        poll(&descriptor, 1, static_cast<int>(left.count()));
    }
}

void fake(const Connection& x, std::uint8_t type, std::uint8_t detail) {
    xcb_test_fake_input(x.connection, type, detail, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
}

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto rank =
        static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[rank];
}

int bench(const Connection& x, int count, std::uint8_t button) {
    const auto escape = keycodeOf(x, 0xff1b);
    if (!escape)
        return 2;
    const std::uint32_t events = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x.connection, x.root, XCB_CW_EVENT_MASK, &events);
    std::vector<double> timings;
    for (int round = 0; round < count; ++round) {
        fake(x, XCB_BUTTON_PRESS, button);
        xcb_flush(x.connection);
        const auto pressed = Clock::now();
        const auto popup = waitForMapChange(x, true, XCB_NONE, pressed + std::chrono::seconds(10));
        const auto mappedAt = Clock::now();
        fake(x, XCB_BUTTON_RELEASE, button);
        xcb_flush(x.connection);
        if (!popup) {
            std::fprintf(stderr, "xprobe: no popup after press %d\n", round + 1);
            return 1;
        }
        timings.push_back(std::chrono::duration<double, std::milli>(mappedAt - pressed).count());
        // Keys sent before the popup has taken the keyboard are lost: repeat until it closes.
        std::optional<xcb_window_t> closed;
        for (int attempt = 0; attempt < 100 && !closed; ++attempt) {
            fake(x, XCB_KEY_PRESS, *escape);
            fake(x, XCB_KEY_RELEASE, *escape);
            xcb_flush(x.connection);
            closed =
                waitForMapChange(x, false, *popup, Clock::now() + std::chrono::milliseconds(100));
        }
        if (!closed) {
            std::fprintf(stderr, "xprobe: the popup did not close after press %d\n", round + 1);
            return 1;
        }
    }
    std::printf("presses %d  median %.1f ms  p95 %.1f ms  max %.1f ms\n", count,
                percentile(timings, 0.5), percentile(timings, 0.95),
                *std::max_element(timings.begin(), timings.end()));
    return 0;
}

std::optional<std::uint8_t> realKeyboardDevice(const Connection& x) {
    own(xcb_input_xi_query_version_reply(x.connection,
                                         xcb_input_xi_query_version(x.connection, 2, 0), nullptr));
    const auto devices = own(xcb_input_xi_query_device_reply(
        x.connection, xcb_input_xi_query_device(x.connection, XCB_INPUT_DEVICE_ALL), nullptr));
    if (!devices)
        return std::nullopt;
    for (auto info = xcb_input_xi_query_device_infos_iterator(devices.get()); info.rem > 0;
         xcb_input_xi_device_info_next(&info)) {
        const std::string_view name(xcb_input_xi_device_info_name(info.data),
                                    xcb_input_xi_device_info_name_length(info.data));
        if (info.data->type == XCB_INPUT_DEVICE_TYPE_SLAVE_KEYBOARD &&
            name.find("XTEST") == std::string_view::npos)
            return static_cast<std::uint8_t>(info.data->deviceid);
    }
    return std::nullopt;
}

int deviceKey(const Connection& x, bool press, std::uint8_t keycode) {
    const auto device = realKeyboardDevice(x);
    const auto* input = xcb_get_extension_data(x.connection, &xcb_input_id);
    if (!device || !input || !input->present)
        return 1;
    const auto type = press ? XCB_INPUT_DEVICE_KEY_PRESS : XCB_INPUT_DEVICE_KEY_RELEASE;
    const auto error = own(xcb_request_check(
        x.connection, xcb_test_fake_input_checked(
                          x.connection, static_cast<std::uint8_t>(input->first_event + type),
                          keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, *device)));
    return error ? 1 : 0;
}

// Every client hears of a mapping change, whatever it listens for.
int awaitMappingChange(const Connection& x) {
    xcb_flush(x.connection);
    std::printf("ready\n");
    std::fflush(stdout);
    while (const auto event = own(xcb_wait_for_event(x.connection))) {
        if ((event->response_type & 0x7f) == XCB_MAPPING_NOTIFY)
            return 0;
    }
    return 1;
}

int usage() {
    std::fprintf(
        stderr, "usage: xprobe popup | owner SELECTION | bench COUNT BUTTON | mapping | device-key "
                "press|release KEYCODE\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    const auto x = connect();
    if (!x)
        return 2;
    int status = 2;
    if (command == "popup" && argc == 2)
        status = findPopup(*x);
    else if (command == "owner" && argc == 3)
        status = probeOwner(*x, argv[2]);
    else if (command == "device-key" && argc == 4)
        status = deviceKey(*x, std::string_view(argv[2]) == "press",
                           static_cast<std::uint8_t>(std::atoi(argv[3])));
    else if (command == "mapping" && argc == 2)
        status = awaitMappingChange(*x);
    else if (command == "bench" && argc == 4)
        status = bench(*x, std::max(1, std::atoi(argv[2])),
                       static_cast<std::uint8_t>(std::atoi(argv[3])));
    else
        status = usage();
    xcb_disconnect(x->connection);
    return status;
}
