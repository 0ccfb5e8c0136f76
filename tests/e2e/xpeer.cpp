// Another X client beside the utility, for the fault and load tests and the benchmark:
//
//   xpeer hold BUTTON           holds a passive XInput 2 grab of X button BUTTON on the root
//                               window, as another program would; prints "held" once the server
//                               has it ("refused", exit 1, when someone else holds it) and lets
//                               go when its standard input closes
//   xpeer popups                follows popups (viewable override-redirect windows larger than
//                               1x1) as they map and unmap; prints "watching" once it sees every
//                               change and, when its standard input closes, "opened N most M":
//                               how many opened, and the most that were open at once
//   xpeer startup CLASS COMMAND [ARGS...]
//                               starts COMMAND and prints "MILLISECONDS PID" once a window whose
//                               WM_CLASS names CLASS is mapped anywhere (a tray icon is mapped by
//                               the tray host); the command keeps running

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <poll.h>
#include <set>
#include <spawn.h>
#include <string>
#include <string_view>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xinput.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

template <typename T> struct FreeDeleter {
    void operator()(T* pointer) const { std::free(pointer); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter<T>>;

struct Display {
    xcb_connection_t* connection;
    xcb_window_t root;
};

void roundTrip(const Display& x) {
    Reply<xcb_get_input_focus_reply_t>(
        xcb_get_input_focus_reply(x.connection, xcb_get_input_focus(x.connection), nullptr));
}

void selectOn(const Display& x, xcb_window_t window, std::uint32_t events) {
    xcb_change_window_attributes(x.connection, window, XCB_CW_EVENT_MASK, &events);
}

// Waits until standard input has something to read or has closed, or the X connection has
// events; true when the input is ready.
bool waitForInputOrEvents(const Display& x) {
    pollfd descriptors[] = {{xcb_get_file_descriptor(x.connection), POLLIN, 0},
                            {STDIN_FILENO, POLLIN, 0}};
    while (poll(descriptors, 2, -1) < 0) {
    }
    return descriptors[1].revents != 0;
}

// False when the limit passed first.
bool waitForEvents(const Display& x, Clock::time_point deadline) {
    pollfd descriptor{xcb_get_file_descriptor(x.connection), POLLIN, 0};
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 && poll(&descriptor, 1, static_cast<int>(left.count())) != 0;
}

// Reads what is there; false once the input has closed.
bool inputStillOpen() {
    char buffer[256];
    return read(STDIN_FILENO, buffer, sizeof buffer) > 0;
}

void say(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}

int hold(const Display& x, std::uint16_t button) {
    Reply<xcb_input_xi_query_version_reply_t> version(xcb_input_xi_query_version_reply(
        x.connection, xcb_input_xi_query_version(x.connection, 2, 2), nullptr));
    if (!version || version->major_version < 2)
        return 2;
    const std::uint32_t events =
        XCB_INPUT_XI_EVENT_MASK_BUTTON_PRESS | XCB_INPUT_XI_EVENT_MASK_BUTTON_RELEASE;
    const std::uint32_t modifiers = XCB_INPUT_MODIFIER_MASK_ANY;
    Reply<xcb_input_xi_passive_grab_device_reply_t> grab(xcb_input_xi_passive_grab_device_reply(
        x.connection,
        xcb_input_xi_passive_grab_device(x.connection, XCB_CURRENT_TIME, x.root, XCB_NONE, button,
                                         XCB_INPUT_DEVICE_ALL_MASTER, 1, 1,
                                         XCB_INPUT_GRAB_TYPE_BUTTON, XCB_INPUT_GRAB_MODE_22_ASYNC,
                                         XCB_INPUT_GRAB_MODE_22_ASYNC, false, &events, &modifiers),
        nullptr));
    // A conflict comes back as the list of modifier combinations that failed.
    if (!grab || xcb_input_xi_passive_grab_device_modifiers_length(grab.get()) != 0) {
        say("refused");
        return 1;
    }
    say("held");
    while (!waitForInputOrEvents(x) || inputStillOpen()) {
        while (Reply<xcb_generic_event_t>(xcb_poll_for_event(x.connection))) {
        }
        if (xcb_connection_has_error(x.connection))
            return 2;
    }
    xcb_input_xi_passive_ungrab_device(x.connection, x.root, button, XCB_INPUT_DEVICE_ALL_MASTER, 1,
                                       XCB_INPUT_GRAB_TYPE_BUTTON, &modifiers);
    roundTrip(x);
    return 0;
}

bool isPopup(const Display& x, xcb_window_t window) {
    Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        x.connection, xcb_get_window_attributes(x.connection, window), nullptr));
    if (!attributes || !attributes->override_redirect ||
        attributes->map_state != XCB_MAP_STATE_VIEWABLE)
        return false;
    Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(x.connection, xcb_get_geometry(x.connection, window), nullptr));
    return geometry && geometry->width > 1 && geometry->height > 1;
}

int followPopups(const Display& x) {
    selectOn(x, x.root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
    std::set<xcb_window_t> open;
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(x.connection, xcb_query_tree(x.connection, x.root), nullptr));
    if (!tree)
        return 2;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int index = 0; index < xcb_query_tree_children_length(tree.get()); ++index) {
        if (isPopup(x, children[index]))
            open.insert(children[index]);
    }
    std::size_t most = open.size();
    int opened = 0;
    const auto follow = [&] {
        while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(x.connection)}) {
            const auto type = event->response_type & 0x7f;
            if (type == XCB_MAP_NOTIFY) {
                const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event.get());
                if (map->override_redirect && isPopup(x, map->window)) {
                    open.insert(map->window);
                    ++opened;
                }
            } else if (type == XCB_UNMAP_NOTIFY) {
                open.erase(reinterpret_cast<xcb_unmap_notify_event_t*>(event.get())->window);
            } else if (type == XCB_DESTROY_NOTIFY) {
                open.erase(reinterpret_cast<xcb_destroy_notify_event_t*>(event.get())->window);
            }
            most = std::max(most, open.size());
        }
    };
    say("watching");
    do {
        follow();
        if (xcb_connection_has_error(x.connection))
            return 2;
    } while (!waitForInputOrEvents(x) || inputStillOpen());
    // Changes the server made before the input closed are in hand after a round trip.
    roundTrip(x);
    follow();
    std::printf("opened %d most %zu\n", opened, most);
    return 0;
}

bool namesClass(const Display& x, xcb_window_t window, std::string_view wanted) {
    Reply<xcb_get_property_reply_t> property(xcb_get_property_reply(
        x.connection,
        xcb_get_property(x.connection, false, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256),
        nullptr));
    if (!property)
        return false;
    // Instance and class name, each ending in a zero byte.
    const std::string_view names(
        static_cast<const char*>(xcb_get_property_value(property.get())),
        static_cast<std::size_t>(xcb_get_property_value_length(property.get())));
    std::size_t start = 0;
    while (start < names.size()) {
        const std::size_t end = std::min(names.find('\0', start), names.size());
        if (names.substr(start, end - start) == wanted)
            return true;
        start = end + 1;
    }
    return false;
}

bool isViewable(const Display& x, xcb_window_t window) {
    Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        x.connection, xcb_get_window_attributes(x.connection, window), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

int startup(const Display& x, std::string_view wanted, char** command) {
    selectOn(x, x.root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
    roundTrip(x);
    pid_t child = 0;
    const auto started = Clock::now();
    if (posix_spawnp(&child, command[0], nullptr, nullptr, command, environ) != 0) {
        std::fprintf(stderr, "xpeer: cannot start %s\n", command[0]);
        return 2;
    }
    const auto deadline = started + std::chrono::seconds(60);
    do {
        while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(x.connection)}) {
            const auto type = event->response_type & 0x7f;
            xcb_window_t mapped = XCB_NONE;
            if (type == XCB_CREATE_NOTIFY) {
                // A tray host maps the icon after reparenting it, out of sight of the root.
                const auto window =
                    reinterpret_cast<xcb_create_notify_event_t*>(event.get())->window;
                selectOn(x, window, XCB_EVENT_MASK_STRUCTURE_NOTIFY);
                if (isViewable(x, window))
                    mapped = window;
            } else if (type == XCB_MAP_NOTIFY) {
                mapped = reinterpret_cast<xcb_map_notify_event_t*>(event.get())->window;
            }
            if (mapped != XCB_NONE && namesClass(x, mapped, wanted)) {
                const std::chrono::duration<double, std::milli> took = Clock::now() - started;
                std::printf("%.1f %d\n", took.count(), static_cast<int>(child));
                return 0;
            }
        }
    } while (!xcb_connection_has_error(x.connection) && waitForEvents(x, deadline));
    std::fprintf(stderr, "xpeer: no window of class %s was mapped\n", std::string(wanted).c_str());
    std::printf("- %d\n", static_cast<int>(child));
    return 1;
}

int usage() {
    std::fprintf(stderr, "usage: xpeer hold BUTTON | popups | startup CLASS COMMAND [ARGS...]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usage();
    const std::string_view command = argv[1];
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "xpeer: cannot connect to the X server\n");
        return 2;
    }
    auto screen = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int index = 0; index < screenNumber; ++index)
        xcb_screen_next(&screen);
    const Display x{connection, screen.data->root};
    int status = 2;
    if (command == "hold" && argc == 3)
        status = hold(x, static_cast<std::uint16_t>(std::atoi(argv[2])));
    else if (command == "popups" && argc == 2)
        status = followPopups(x);
    else if (command == "startup" && argc >= 4)
        status = startup(x, argv[2], argv + 3);
    else
        status = usage();
    xcb_disconnect(connection);
    return status;
}
