// The Wayland side of the end-to-end tests and the benchmark, in three roles:
//   wlpeer             the user at the seat: a virtual pointer and keyboard held open for the
//                      whole run, driven by lines on standard input, each answered with "ok" and
//                      the monotonic clock's milliseconds when it was sent, once the compositor
//                      has it: move X Y [LAYOUT_WIDTH LAYOUT_HEIGHT] | press B | release B |
//                      click B (X numbering) | key NAME
//   wlpeer field FILE  the application in front: a Qt text field that prints "press N" /
//                      "release N" for every button reaching it and keeps its text in FILE
//   wlpeer type FILE   types the text of FILE through Tavrin's virtual keyboard, as after a
//                      choice, and prints how long that took in milliseconds
#include "platform/wayland/VirtualKeyboard.h"
#include "platform/wayland/WaylandConnection.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <map>
#include <sstream>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

namespace {

wl_seat* seat = nullptr;
zwlr_virtual_pointer_manager_v1* pointers = nullptr;
zwp_virtual_keyboard_manager_v1* keyboards = nullptr;

template <typename T>
void bindIf(wl_registry* registry, std::uint32_t name, const char* interface,
            const wl_interface& wanted, T*& global) {
    if (std::strcmp(interface, wanted.name) == 0)
        global = static_cast<T*>(wl_registry_bind(registry, name, &wanted, 1));
}

void global(void*, wl_registry* registry, std::uint32_t name, const char* interface,
            std::uint32_t) {
    bindIf(registry, name, interface, wl_seat_interface, seat);
    bindIf(registry, name, interface, zwlr_virtual_pointer_manager_v1_interface, pointers);
    bindIf(registry, name, interface, zwp_virtual_keyboard_manager_v1_interface, keyboards);
}
void globalRemove(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener registryListener{global, globalRemove};

std::uint32_t now() {
    timespec time{};
    clock_gettime(CLOCK_MONOTONIC, &time);
    return static_cast<std::uint32_t>(time.tv_sec * 1000 + time.tv_nsec / 1000000);
}

int user() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return 1;
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, nullptr);
    wl_display_roundtrip(display);
    if (!seat || !pointers || !keyboards) {
        std::fprintf(stderr, "wlpeer: the compositor lacks virtual input\n");
        return 1;
    }
    auto* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointers, seat);
    auto* keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(keyboards, seat);
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    const char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    const std::size_t size = std::strlen(text) + 1;
    const int fd = memfd_create("wlpeer-keymap", MFD_CLOEXEC);
    if (fd < 0 || write(fd, text, size) != static_cast<ssize_t>(size))
        return 1;
    zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   static_cast<std::uint32_t>(size));
    // Evdev codes of the keys the tests press, on the us layout.
    const std::map<std::string, std::uint32_t> keys{
        {"Escape", 1}, {"Return", 28}, {"Up", 103}, {"Down", 108}};
    // X buttons 1, 2, 3, 8, 9 ... are BTN_LEFT, BTN_MIDDLE, BTN_RIGHT, BTN_SIDE, BTN_EXTRA ...
    const std::map<int, std::uint32_t> buttons{{1, 0x110}, {2, 0x112}, {3, 0x111}};
    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream words(line);
        std::string command, name;
        int x = 0, y = 0;
        words >> command;
        if (command == "move" && words >> x >> y) {
            // Over the whole layout, which is one 1280x800 output unless told otherwise.
            int width = 1280, height = 800;
            words >> width >> height;
            zwlr_virtual_pointer_v1_motion_absolute(
                pointer, now(), static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y),
                static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
        } else if (command == "key" && words >> name && keys.contains(name)) {
            for (const auto state : {WL_KEYBOARD_KEY_STATE_PRESSED, WL_KEYBOARD_KEY_STATE_RELEASED})
                zwp_virtual_keyboard_v1_key(keyboard, now(), keys.at(name), state);
        } else if (words >> x) {
            const std::uint32_t code = buttons.contains(x) ? buttons.at(x) : 0x113 + x - 8;
            if (command != "release")
                zwlr_virtual_pointer_v1_button(pointer, now(), code,
                                               WL_POINTER_BUTTON_STATE_PRESSED);
            if (command != "press")
                zwlr_virtual_pointer_v1_button(pointer, now(), code,
                                               WL_POINTER_BUTTON_STATE_RELEASED);
        }
        zwlr_virtual_pointer_v1_frame(pointer);
        const std::uint32_t sent = now();
        if (wl_display_roundtrip(display) < 0)
            return 1;
        std::cout << "ok " << sent << std::endl;
    }
    return 0;
}

class ButtonLog final : public QObject {
  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        static const std::map<Qt::MouseButton, int> xButtons{{Qt::LeftButton, 1},
                                                             {Qt::MiddleButton, 2},
                                                             {Qt::RightButton, 3},
                                                             {Qt::BackButton, 8},
                                                             {Qt::ForwardButton, 9}};
        const bool press = event->type() == QEvent::MouseButtonPress;
        if (press || event->type() == QEvent::MouseButtonRelease) {
            const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
            std::printf("%s %d\n", press ? "press" : "release",
                        xButtons.contains(button) ? xButtons.at(button) : 0);
            std::fflush(stdout);
            // Qt 6.4 crashes pasting an empty primary selection on Wayland: the middle button,
            // the tests' marker, pastes nothing here.
            if (button == Qt::MiddleButton)
                return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

// Keys are told with the time they were pressed; a key at time 0 went without it. The loss of
// the keyboard is told too.
class KeyLog final : public QObject {
  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool untimed =
            event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->timestamp() == 0;
        if (untimed || event->type() == QEvent::FocusOut) {
            std::puts(untimed ? "a key without its time" : "focus out");
            std::fflush(stdout);
        }
        return QObject::eventFilter(watched, event);
    }
};

int field(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString path = QString::fromLocal8Bit(argv[2]);
    QPlainTextEdit field;
    ButtonLog log;
    field.viewport()->installEventFilter(&log);
    KeyLog keys;
    field.installEventFilter(&keys);
    // Written once the text has stopped changing for a moment, not once per key.
    QTimer save;
    save.setSingleShot(true);
    save.setInterval(20);
    QObject::connect(&field, &QPlainTextEdit::textChanged, &save, qOverload<>(&QTimer::start));
    QObject::connect(&save, &QTimer::timeout, [&field, path] {
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly) && file.write(field.toPlainText().toUtf8()) >= 0)
            file.commit();
    });
    field.show();
    return QApplication::exec();
}

int type(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QFile file(QString::fromLocal8Bit(argv[2]));
    auto connection = tavrin::WaylandConnection::connect();
    auto keyboard = connection ? tavrin::VirtualKeyboard::create(*connection) : nullptr;
    if (!file.open(QIODevice::ReadOnly) || !keyboard)
        return 1;
    const QString text = QString::fromUtf8(file.readAll());
    QElapsedTimer timer;
    timer.start();
    keyboard->typeText(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                           static_cast<std::size_t>(text.size())));
    std::printf("%lld\n", static_cast<long long>(timer.elapsed()));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return user();
    if (argc < 3)
        return 2;
    return std::strcmp(argv[1], "field") == 0 ? field(argc, argv) : type(argc, argv);
}
