#pragma once

#include <QImage>
#include <QPoint>
#include <QSize>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

class QMenu;
struct wl_buffer;
struct wl_output;
struct wl_surface;
struct zwlr_layer_surface_v1;

namespace tavrin {

class WaylandConnection;

// A transparent layer surface over one whole output, on the overlay layer and over panels, that
// takes the keyboard; the popup draws its rows into the one the pointer is on, at that output's
// scale.
class LayerSurface {
  public:
    // On the given output, or on the one the compositor picks (nullptr). `changed` runs once the
    // compositor has given the surface its size and whenever it needs drawing anew; `closed` when
    // the compositor takes it away or no pixels can be had for it.
    LayerSurface(WaylandConnection& connection, wl_output* output, std::function<void()> changed,
                 std::function<void()> closed);
    ~LayerSurface();
    LayerSurface(const LayerSurface&) = delete;
    LayerSurface& operator=(const LayerSurface&) = delete;

    wl_surface* surface() const { return surface_; }
    // In the output's logical pixels; empty until the compositor has said.
    QSize size() const { return size_; }
    // A new frame: the menu with its top left corner at origin, or nothing.
    void draw(QMenu& menu, std::optional<QPoint> origin);

  private:
    friend struct LayerSurfaceListeners;
    void configure(std::uint32_t serial, std::uint32_t width, std::uint32_t height);
    void entered(wl_output* output);
    void allocate();
    void release();

    WaylandConnection& connection_;
    std::function<void()> changed_;
    std::function<void()> closed_;
    wl_surface* surface_;
    zwlr_layer_surface_v1* layerSurface_;
    wl_buffer* buffer_ = nullptr;
    void* pixels_ = nullptr;
    std::size_t pixelBytes_ = 0;
    QImage image_;
    QSize size_;
    int scale_;
};

} // namespace tavrin
