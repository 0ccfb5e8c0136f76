#include "app/Backend.h"

#ifdef TAVRIN_WITH_X11
#include "platform/x11/X11Log.h"
#include "platform/x11/X11Platform.h"
#include "platform/x11/XKeyTyper.h"
#endif
#ifdef TAVRIN_WITH_WAYLAND
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandPlatform.h"
#endif
#ifdef TAVRIN_WITH_GNOME
#include "platform/gnome/GnomePlatform.h"
#endif

#include <QtGlobal>
#include <memory>
#include <xcb/xcb.h>

namespace tavrin {
namespace {

[[maybe_unused]] bool waylandSession() {
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland");
}

#ifdef TAVRIN_WITH_X11
class X11Backend final : public Backend {
  public:
    QByteArray qtPlatform() const override { return "xcb"; }
    std::unique_ptr<Platform> open(const QString& storePath, const QString& programPath,
                                   InstanceChannel*) override {
        return std::make_unique<X11Platform>(storePath, programPath, waylandSession());
    }
    const char* name() const override { return waylandSession() ? "X11 through Xwayland" : "X11"; }
};

bool x11DisplayReachable() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reachable;
}
#endif

#ifdef TAVRIN_WITH_WAYLAND
class WaylandBackend final : public Backend {
  public:
    explicit WaylandBackend(std::unique_ptr<WaylandConnection> connection)
        : connection_(std::move(connection)) {}
    // Without Qt's Wayland plugin the windows go through Xwayland; the back-end stays native.
    QByteArray qtPlatform() const override { return "wayland;xcb"; }
    std::unique_ptr<Platform> open(const QString& storePath, const QString& programPath,
                                   InstanceChannel*) override {
        return std::make_unique<WaylandPlatform>(std::move(connection_), storePath, programPath);
    }
    const char* name() const override { return "Wayland (wlroots)"; }

  private:
    std::unique_ptr<WaylandConnection> connection_;
};

// Whether the X11 back-end could take over from an incomplete Wayland compositor.
bool x11BackendReachable() {
#ifdef TAVRIN_WITH_X11
    return x11DisplayReachable();
#else
    return false;
#endif
}
#endif

#ifdef TAVRIN_WITH_GNOME
// X11 windows without an input method take keys through XTest on Xwayland. The connection is
// made at the first text for one: Xwayland may start on a first connection.
GnomePlatform::KeysTyper xwaylandKeysTyper() {
#ifdef TAVRIN_WITH_X11
    auto typer = std::make_shared<std::unique_ptr<XKeyTyper>>();
    return [typer](std::u16string_view text, std::stop_token stop) {
        if (!*typer)
            *typer = XKeyTyper::create(
                [](const std::string& warning) { qCWarning(lcX11, "%s", warning.c_str()); });
        if (*typer)
            (*typer)->typeText(text, stop);
        else
            qCWarning(lcX11, "cannot type into the X11 window in front: no connection to Xwayland "
                             "offering XTEST and XKB");
    };
#else
    return {};
#endif
}

class GnomeBackend final : public Backend {
  public:
    QByteArray qtPlatform() const override { return "wayland;xcb"; }
    std::unique_ptr<Platform> open(const QString& storePath, const QString& programPath,
                                   InstanceChannel* channel) override {
        return std::make_unique<GnomePlatform>(storePath, programPath, channel,
                                               xwaylandKeysTyper());
    }
    const char* name() const override { return "GNOME Shell"; }
};

bool gnomeWaylandSession() {
    const auto desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'));
    return waylandSession() && desktops.contains(QLatin1String("GNOME"), Qt::CaseInsensitive);
}
#endif

} // namespace

std::unique_ptr<Backend> chooseBackend() {
#ifdef TAVRIN_WITH_GNOME
    // Only the shell's own extensions may show a popup at the pointer and type there.
    if (gnomeWaylandSession())
        return std::make_unique<GnomeBackend>();
#endif
#ifdef TAVRIN_WITH_WAYLAND
    // Native on a compositor that offers what Tavrin needs, or when there is no X display to
    // fall back on, so that the status tells what is missing. The X display is tried only when
    // needed: Xwayland may start on a first connection.
    if (auto wayland = WaylandConnection::connect();
        wayland && (wayland->missingProtocols().empty() || !x11BackendReachable()))
        return std::make_unique<WaylandBackend>(std::move(wayland));
#endif
#ifdef TAVRIN_WITH_X11
    if (x11DisplayReachable())
        return std::make_unique<X11Backend>();
#endif
    return nullptr;
}

} // namespace tavrin
