#include "platform/wayland/LayerSurface.h"

#include "platform/wayland/WaylandConnection.h"
// The layer-shell header names an argument "namespace", which C++ reserves.
#define namespace namespace_
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace

#include <QMenu>
#include <QPainter>
#include <cerrno>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace tavrin {

struct LayerSurfaceListeners {
    static void configure(void* data, zwlr_layer_surface_v1*, std::uint32_t serial,
                          std::uint32_t width, std::uint32_t height) {
        static_cast<LayerSurface*>(data)->configure(serial, width, height);
    }
    static void closed(void* data, zwlr_layer_surface_v1*) {
        static_cast<LayerSurface*>(data)->closed_();
    }
    static void enter(void* data, wl_surface*, wl_output* output) {
        static_cast<LayerSurface*>(data)->entered(output);
    }
    static void leave(void*, wl_surface*, wl_output*) {}

    static constexpr zwlr_layer_surface_v1_listener layerSurface{configure, closed};
    static constexpr wl_surface_listener surface{enter, leave};
};

LayerSurface::LayerSurface(WaylandConnection& connection, wl_output* output,
                           std::function<void()> changed, std::function<void()> closed)
    : connection_(connection), changed_(std::move(changed)), closed_(std::move(closed)),
      surface_(wl_compositor_create_surface(connection.compositor())),
      layerSurface_(zwlr_layer_shell_v1_get_layer_surface(connection.layerShell(), surface_, output,
                                                          ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY,
                                                          "tavrin-popup")),
      scale_(connection.scaleOf(output)) {
    wl_surface_add_listener(surface_, &LayerSurfaceListeners::surface, this);
    zwlr_layer_surface_v1_add_listener(layerSurface_, &LayerSurfaceListeners::layerSurface, this);
    zwlr_layer_surface_v1_set_anchor(
        layerSurface_, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                           ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_size(layerSurface_, 0, 0);
    // Over panels too: the pointer may be anywhere on the output.
    zwlr_layer_surface_v1_set_exclusive_zone(layerSurface_, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(layerSurface_, 1);
    wl_surface_commit(surface_);
}

LayerSurface::~LayerSurface() {
    zwlr_layer_surface_v1_destroy(layerSurface_);
    wl_surface_destroy(surface_);
    release();
}

void LayerSurface::configure(std::uint32_t serial, std::uint32_t width, std::uint32_t height) {
    zwlr_layer_surface_v1_ack_configure(layerSurface_, serial);
    const QSize size(static_cast<int>(width), static_cast<int>(height));
    if (!buffer_ || size != size_) {
        size_ = size;
        allocate();
    }
    changed_();
}

// On a scaled output the rows are drawn at its resolution, not blown up.
void LayerSurface::entered(wl_output* output) {
    const int scale = connection_.scaleOf(output);
    if (scale == scale_)
        return;
    scale_ = scale;
    if (buffer_) {
        allocate();
        changed_();
    }
}

void LayerSurface::release() {
    if (buffer_)
        wl_buffer_destroy(buffer_);
    if (pixels_)
        munmap(pixels_, pixelBytes_);
    buffer_ = nullptr;
    pixels_ = nullptr;
    image_ = QImage();
}

void LayerSurface::allocate() {
    release();
    const int width = size_.width() * scale_;
    const int height = size_.height() * scale_;
    const int stride = width * 4;
    pixelBytes_ = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
    const int fd = memfd_create("tavrin-popup", MFD_CLOEXEC);
    if (fd < 0 || pixelBytes_ == 0 || ftruncate(fd, static_cast<off_t>(pixelBytes_)) != 0) {
        qCWarning(lcWayland) << "No memory for the popup's pixels:" << std::strerror(errno);
        if (fd >= 0)
            close(fd);
        closed_();
        return;
    }
    pixels_ = mmap(nullptr, pixelBytes_, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels_ == MAP_FAILED) {
        pixels_ = nullptr;
        close(fd);
        closed_();
        return;
    }
    wl_shm_pool* pool = wl_shm_create_pool(connection_.shm(), fd, static_cast<int>(pixelBytes_));
    buffer_ = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    // ARGB8888 is premultiplied and little-endian, as Qt's ARGB32_Premultiplied on this machine.
    image_ = QImage(static_cast<uchar*>(pixels_), width, height, stride,
                    QImage::Format_ARGB32_Premultiplied);
    image_.setDevicePixelRatio(scale_);
}

void LayerSurface::draw(QMenu& menu, std::optional<QPoint> origin) {
    if (!buffer_)
        return;
    image_.fill(Qt::transparent);
    if (origin) {
        QPainter painter(&image_);
        menu.render(&painter, *origin);
    }
    wl_surface_set_buffer_scale(surface_, scale_);
    wl_surface_attach(surface_, buffer_, 0, 0);
    wl_surface_damage(surface_, 0, 0, size_.width(), size_.height());
    wl_surface_commit(surface_);
    wl_display_flush(connection_.display());
}

} // namespace tavrin
