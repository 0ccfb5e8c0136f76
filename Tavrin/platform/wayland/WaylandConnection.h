#pragma once

#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QString>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct wl_compositor;
struct wl_cursor;
struct wl_cursor_theme;
struct wl_display;
struct wl_output;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct zwlr_layer_shell_v1;
struct zwp_virtual_keyboard_manager_v1;

Q_DECLARE_LOGGING_CATEGORY(lcWayland)

namespace tavrin {

// A connection of our own to the Wayland compositor named by WAYLAND_DISPLAY, independent of the
// one Qt may hold: its events are read on the main thread through Qt's event loop.
class WaylandConnection {
  public:
    // Nothing when no compositor answers. Events are read once the connection is watched.
    static std::unique_ptr<WaylandConnection> connect();
    // A file of this process's in the runtime folder, one per Wayland display.
    static QString runtimeFile(const QString& suffix);
    // Reads events as they come through the running Qt application's event loop.
    void watch();
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    // The protocols the back-end needs and the compositor does not offer; empty when complete.
    std::vector<std::string> missingProtocols() const;
    bool alive() const;
    // Sends what is queued and waits until the compositor has handled it; false when the
    // connection is gone.
    bool roundTrip();

    wl_display* display() const { return display_; }
    wl_compositor* compositor() const { return compositor_; }
    wl_shm* shm() const { return shm_; }
    wl_seat* seat() const { return seat_; }
    zwlr_layer_shell_v1* layerShell() const { return layerShell_; }
    zwp_virtual_keyboard_manager_v1* keyboardManager() const { return keyboardManager_; }
    // The output's scale factor (1 when unknown).
    int scaleOf(wl_output* output) const;
    std::vector<wl_output*> outputs() const;
    // The arrow of the user's cursor theme, loaded once; nothing without a theme.
    wl_cursor* arrowCursor();

  private:
    explicit WaylandConnection(wl_display* display);
    static void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version);
    static void globalRemove(void* data, wl_registry* registry, std::uint32_t name);
    static void outputScale(void* data, wl_output* output, std::int32_t factor);
    void dispatch();

    wl_display* display_;
    wl_registry* registry_ = nullptr;
    wl_compositor* compositor_ = nullptr;
    wl_shm* shm_ = nullptr;
    wl_seat* seat_ = nullptr;
    zwlr_layer_shell_v1* layerShell_ = nullptr;
    zwp_virtual_keyboard_manager_v1* keyboardManager_ = nullptr;
    wl_cursor_theme* cursorTheme_ = nullptr;
    std::map<wl_output*, int> outputScales_;
    std::map<std::uint32_t, wl_output*> outputNames_; // the registry's names, to see them go
    std::unique_ptr<QSocketNotifier> notifier_;
    QMetaObject::Connection flushBeforeSleep_;
};

} // namespace tavrin
