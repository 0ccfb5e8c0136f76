#include "platform/wayland/WaylandConnection.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"
// The layer-shell header names an argument "namespace", which C++ reserves.
#define namespace namespace_
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QStandardPaths>
#include <algorithm>
#include <cstring>
#include <poll.h>
#include <wayland-client.h>
#include <wayland-cursor.h>

Q_LOGGING_CATEGORY(lcWayland, "tavrin.wayland", QtWarningMsg)

namespace tavrin {
namespace {

template <typename Proxy>
Proxy* bind(wl_registry* registry, std::uint32_t name, const wl_interface* interface,
            std::uint32_t offered, std::uint32_t wanted) {
    return static_cast<Proxy*>(
        wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

template <typename Proxy> void destroy(Proxy*& proxy) {
    if (proxy)
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(proxy));
    proxy = nullptr;
}

} // namespace

std::unique_ptr<WaylandConnection> WaylandConnection::connect() {
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return nullptr;
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return nullptr;
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display));
    // The second round trip collects what the bound globals announce (the seat's abilities).
    if (!connection->roundTrip() || !connection->roundTrip())
        return nullptr;
    return connection;
}

WaylandConnection::WaylandConnection(wl_display* display) : display_(display) {
    static const wl_registry_listener listener{&WaylandConnection::global,
                                               &WaylandConnection::globalRemove};
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &listener, this);
}

void WaylandConnection::watch() {
    if (notifier_)
        return;
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        notifier_ =
            std::make_unique<QSocketNotifier>(wl_display_get_fd(display_), QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                         [this] { dispatch(); });
        // Requests made from Qt's callbacks leave only when flushed.
        flushBeforeSleep_ = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock,
                                             [this] { wl_display_flush(display_); });
    }
}

WaylandConnection::~WaylandConnection() {
    QObject::disconnect(flushBeforeSleep_);
    notifier_.reset();
    if (cursorTheme_)
        wl_cursor_theme_destroy(cursorTheme_);
    for (auto& [output, scale] : outputScales_)
        wl_output_destroy(output);
    destroy(keyboardManager_);
    destroy(layerShell_);
    destroy(seat_);
    destroy(shm_);
    destroy(compositor_);
    destroy(registry_);
    wl_display_disconnect(display_);
}

void WaylandConnection::global(void* data, wl_registry* registry, std::uint32_t name,
                               const char* interface, std::uint32_t version) {
    auto* self = static_cast<WaylandConnection*>(data);
    const auto is = [interface](const wl_interface& known) {
        return std::strcmp(interface, known.name) == 0;
    };
    if (is(wl_compositor_interface) && !self->compositor_)
        self->compositor_ =
            bind<wl_compositor>(registry, name, &wl_compositor_interface, version, 4);
    else if (is(wl_shm_interface) && !self->shm_)
        self->shm_ = bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
    else if (is(wl_seat_interface) && !self->seat_)
        self->seat_ = bind<wl_seat>(registry, name, &wl_seat_interface, version, 5);
    else if (is(wl_output_interface) && version >= 2) {
        auto* output = bind<wl_output>(registry, name, &wl_output_interface, version, 2);
        static const wl_output_listener listener{
            [](void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
               std::int32_t, const char*, const char*, std::int32_t) {},
            [](void*, wl_output*, std::uint32_t, std::int32_t, std::int32_t, std::int32_t) {},
            [](void*, wl_output*) {},
            &WaylandConnection::outputScale,
            [](void*, wl_output*, const char*) {},
            [](void*, wl_output*, const char*) {}};
        wl_output_add_listener(output, &listener, self);
        self->outputScales_.emplace(output, 1);
        self->outputNames_.emplace(name, output);
    } else if (is(zwlr_layer_shell_v1_interface) && !self->layerShell_)
        self->layerShell_ =
            bind<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface, version, 3);
    else if (is(zwp_virtual_keyboard_manager_v1_interface) && !self->keyboardManager_)
        self->keyboardManager_ = bind<zwp_virtual_keyboard_manager_v1>(
            registry, name, &zwp_virtual_keyboard_manager_v1_interface, version, 1);
}

// An output unplugged: no popup may ask for a surface on it.
void WaylandConnection::globalRemove(void* data, wl_registry*, std::uint32_t name) {
    auto* self = static_cast<WaylandConnection*>(data);
    const auto found = self->outputNames_.find(name);
    if (found == self->outputNames_.end())
        return;
    self->outputScales_.erase(found->second);
    wl_output_destroy(found->second);
    self->outputNames_.erase(found);
}

void WaylandConnection::outputScale(void* data, wl_output* output, std::int32_t factor) {
    static_cast<WaylandConnection*>(data)->outputScales_[output] = std::max(1, factor);
}

std::vector<wl_output*> WaylandConnection::outputs() const {
    std::vector<wl_output*> all;
    for (const auto& [output, scale] : outputScales_)
        all.push_back(output);
    return all;
}

int WaylandConnection::scaleOf(wl_output* output) const {
    const auto found = outputScales_.find(output);
    return found == outputScales_.end() ? 1 : found->second;
}

std::vector<std::string> WaylandConnection::missingProtocols() const {
    std::vector<std::string> missing;
    if (!compositor_ || !shm_ || !seat_)
        missing.emplace_back("wl_compositor, wl_shm and wl_seat");
    if (!layerShell_)
        missing.emplace_back(zwlr_layer_shell_v1_interface.name);
    if (!keyboardManager_)
        missing.emplace_back(zwp_virtual_keyboard_manager_v1_interface.name);
    return missing;
}

wl_cursor* WaylandConnection::arrowCursor() {
    if (!cursorTheme_ && shm_) {
        // sway hands its seat's cursor theme to the programs it starts in these variables.
        const QByteArray theme = qgetenv("XCURSOR_THEME");
        const int size = qEnvironmentVariableIntValue("XCURSOR_SIZE");
        cursorTheme_ = wl_cursor_theme_load(theme.isEmpty() ? nullptr : theme.constData(),
                                            size > 0 ? size : 24, shm_);
    }
    return cursorTheme_ ? wl_cursor_theme_get_cursor(cursorTheme_, "left_ptr") : nullptr;
}

bool WaylandConnection::alive() const {
    return wl_display_get_error(display_) == 0;
}

bool WaylandConnection::roundTrip() {
    return wl_display_roundtrip(display_) >= 0;
}

// Reads only what is there: a round trip since the notifier fired may have read it already.
void WaylandConnection::dispatch() {
    bool failed = false;
    while (!failed && wl_display_prepare_read(display_) != 0)
        failed = wl_display_dispatch_pending(display_) < 0;
    if (!failed) {
        wl_display_flush(display_);
        pollfd readable{wl_display_get_fd(display_), POLLIN, 0};
        if (poll(&readable, 1, 0) > 0)
            failed = wl_display_read_events(display_) < 0;
        else
            wl_display_cancel_read(display_);
    }
    if (failed || wl_display_dispatch_pending(display_) < 0) {
        qCWarning(lcWayland) << "The connection to the Wayland compositor is gone:"
                             << std::strerror(wl_display_get_error(display_));
        notifier_->setEnabled(false);
    }
}

QString WaylandConnection::runtimeFile(const QString& suffix) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/tavrin-%1.%2")
                        .arg(qEnvironmentVariable("WAYLAND_DISPLAY").remove(u'/'), suffix);
}

} // namespace tavrin
