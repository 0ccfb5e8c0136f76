#include "platform/wayland/LayerPopup.h"

#include "platform/wayland/WaylandConnection.h"
// The layer-shell header names an argument "namespace", which C++ reserves.
#define namespace namespace_
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace

#include <QPainter>
#include <QStyle>
#include <cerrno>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <wayland-cursor.h>
#include <xkbcommon/xkbcommon.h>

namespace tavrin {

// The C callbacks of the protocol objects, forwarding to the popup.
struct LayerPopupListeners {
    static void configure(void* data, zwlr_layer_surface_v1*, std::uint32_t serial,
                          std::uint32_t width, std::uint32_t height) {
        static_cast<LayerPopup*>(data)->configure(serial, width, height);
    }
    static void closed(void* data, zwlr_layer_surface_v1*) {
        static_cast<LayerPopup*>(data)->finish(std::nullopt);
    }

    static void enter(void* data, wl_pointer*, std::uint32_t serial, wl_surface*, wl_fixed_t x,
                      wl_fixed_t y) {
        static_cast<LayerPopup*>(data)->showArrow(serial);
        static_cast<LayerPopup*>(data)->pointerAt({wl_fixed_to_int(x), wl_fixed_to_int(y)});
    }
    static void leave(void*, wl_pointer*, std::uint32_t, wl_surface*) {}
    static void motion(void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
        static_cast<LayerPopup*>(data)->pointerAt({wl_fixed_to_int(x), wl_fixed_to_int(y)});
    }
    static void button(void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t,
                       std::uint32_t state) {
        static_cast<LayerPopup*>(data)->button(state == WL_POINTER_BUTTON_STATE_PRESSED);
    }
    static void axis(void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {}
    static void frame(void*, wl_pointer*) {}
    static void axisSource(void*, wl_pointer*, std::uint32_t) {}
    static void axisStop(void*, wl_pointer*, std::uint32_t, std::uint32_t) {}
    static void axisDiscrete(void*, wl_pointer*, std::uint32_t, std::int32_t) {}
    static void axisValue120(void*, wl_pointer*, std::uint32_t, std::int32_t) {}

    static void keymap(void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd,
                       std::uint32_t size) {
        if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1)
            static_cast<LayerPopup*>(data)->keymap(fd, size);
        close(fd);
    }
    static void keyboardEnter(void* data, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {
        static_cast<LayerPopup*>(data)->keyboardEntered();
    }
    static void keyboardLeave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}
    static void key(void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key,
                    std::uint32_t state) {
        if (state == WL_KEYBOARD_KEY_STATE_PRESSED)
            static_cast<LayerPopup*>(data)->key(key);
    }
    static void modifiers(void* data, wl_keyboard*, std::uint32_t, std::uint32_t depressed,
                          std::uint32_t latched, std::uint32_t locked, std::uint32_t group) {
        auto* popup = static_cast<LayerPopup*>(data);
        if (popup->xkbState_)
            xkb_state_update_mask(popup->xkbState_, depressed, latched, locked, 0, 0, group);
    }
    static void repeatInfo(void*, wl_keyboard*, std::int32_t, std::int32_t) {}

    static void surfaceEnter(void* data, wl_surface*, wl_output* output) {
        static_cast<LayerPopup*>(data)->outputEntered(output);
    }
    static void surfaceLeave(void*, wl_surface*, wl_output*) {}

    static constexpr zwlr_layer_surface_v1_listener layerSurface{configure, closed};
    static constexpr wl_surface_listener surface{surfaceEnter, surfaceLeave};
    static constexpr wl_pointer_listener pointer{enter,        leave,       motion,     button,
                                                 axis,         frame,       axisSource, axisStop,
                                                 axisDiscrete, axisValue120};
    static constexpr wl_keyboard_listener keyboard{keymap, keyboardEnter, keyboardLeave,
                                                   key,    modifiers,     repeatInfo};
};

std::optional<std::size_t> LayerPopup::run(WaylandConnection& connection,
                                           const std::vector<PopupRow>& rows) {
    std::optional<std::size_t> choice;
    {
        LayerPopup popup(connection, rows);
        if (!popup.finished_)
            popup.loop_.exec();
        choice = popup.choice_;
    }
    // The surface is gone: the window that had the focus gets it back before anything is typed.
    connection.roundTrip();
    return choice;
}

LayerPopup::LayerPopup(WaylandConnection& connection, const std::vector<PopupRow>& rows)
    : connection_(connection), style_(createPopupRowStyle()), menu_(rows) {
    menu_.setStyle(style_.get());
    menu_.ensurePolished();
    menu_.resize(menu_.sizeHint());

    surface_ = wl_compositor_create_surface(connection_.compositor());
    wl_surface_add_listener(surface_, &LayerPopupListeners::surface, this);
    layerSurface_ =
        zwlr_layer_shell_v1_get_layer_surface(connection_.layerShell(), surface_, nullptr,
                                              ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "tavrin-popup");
    zwlr_layer_surface_v1_add_listener(layerSurface_, &LayerPopupListeners::layerSurface, this);
    zwlr_layer_surface_v1_set_anchor(
        layerSurface_, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                           ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_size(layerSurface_, 0, 0);
    // Over panels too: the pointer may be anywhere on the output.
    zwlr_layer_surface_v1_set_exclusive_zone(layerSurface_, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(layerSurface_, 1);
    wl_surface_commit(surface_);

    pointer_ = wl_seat_get_pointer(connection_.seat());
    wl_pointer_add_listener(pointer_, &LayerPopupListeners::pointer, this);
    keyboard_ = wl_seat_get_keyboard(connection_.seat());
    wl_keyboard_add_listener(keyboard_, &LayerPopupListeners::keyboard, this);
    xkbContext_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    wl_display_flush(connection_.display());

    // A compositor that goes away while the popup is open must not leave it waiting for ever.
    connectionWatch_.setInterval(500);
    QObject::connect(&connectionWatch_, &QTimer::timeout, &connectionWatch_, [this] {
        if (!connection_.alive())
            finish(std::nullopt);
    });
    connectionWatch_.start();
    // Rows are shown once the keyboard is ours, so that no key meant for them reaches the
    // window below; a seat without a keyboard never gives it, so they come after a while anyway.
    keyboardWait_.setSingleShot(true);
    keyboardWait_.setInterval(1000);
    QObject::connect(&keyboardWait_, &QTimer::timeout, &keyboardWait_,
                     [this] { keyboardEntered(); });
    keyboardWait_.start();
    // The compositor puts the surface on the output it deems focused; a pointer on another one
    // never enters it, and an invisible popup must not keep the keyboard.
    pointerWait_.setSingleShot(true);
    pointerWait_.setInterval(1000);
    QObject::connect(&pointerWait_, &QTimer::timeout, &pointerWait_, [this] {
        qCWarning(lcWayland) << "The pointer never entered the popup (on another output?)";
        finish(std::nullopt);
    });
    pointerWait_.start();
}

void LayerPopup::keyboardEntered() {
    keyboardWait_.stop();
    if (keyboardFocused_)
        return;
    keyboardFocused_ = true;
    draw();
}

// The surface covers the output: without a cursor of its own the pointer would keep whatever
// shape the window below gave it, or none.
void LayerPopup::showArrow(std::uint32_t serial) {
    wl_cursor* arrow = connection_.arrowCursor();
    if (!arrow || arrow->image_count == 0)
        return;
    wl_cursor_image* image = arrow->images[0];
    if (!cursorSurface_)
        cursorSurface_ = wl_compositor_create_surface(connection_.compositor());
    wl_surface_attach(cursorSurface_, wl_cursor_image_get_buffer(image), 0, 0);
    wl_surface_damage(cursorSurface_, 0, 0, static_cast<std::int32_t>(image->width),
                      static_cast<std::int32_t>(image->height));
    wl_surface_commit(cursorSurface_);
    wl_pointer_set_cursor(pointer_, serial, cursorSurface_,
                          static_cast<std::int32_t>(image->hotspot_x),
                          static_cast<std::int32_t>(image->hotspot_y));
}

LayerPopup::~LayerPopup() {
    if (xkbState_)
        xkb_state_unref(xkbState_);
    if (xkbKeymap_)
        xkb_keymap_unref(xkbKeymap_);
    xkb_context_unref(xkbContext_);
    if (wl_keyboard_get_version(keyboard_) >= WL_KEYBOARD_RELEASE_SINCE_VERSION)
        wl_keyboard_release(keyboard_);
    else
        wl_keyboard_destroy(keyboard_);
    if (wl_pointer_get_version(pointer_) >= WL_POINTER_RELEASE_SINCE_VERSION)
        wl_pointer_release(pointer_);
    else
        wl_pointer_destroy(pointer_);
    zwlr_layer_surface_v1_destroy(layerSurface_);
    wl_surface_destroy(surface_);
    if (cursorSurface_)
        wl_surface_destroy(cursorSurface_);
    if (buffer_)
        wl_buffer_destroy(buffer_);
    if (pixels_)
        munmap(pixels_, pixelBytes_);
}

void LayerPopup::configure(std::uint32_t serial, std::uint32_t width, std::uint32_t height) {
    zwlr_layer_surface_v1_ack_configure(layerSurface_, serial);
    const QSize size(static_cast<int>(width), static_cast<int>(height));
    if (!buffer_ || size != surfaceSize_) {
        surfaceSize_ = size;
        allocate();
    }
    if (pointerSeen_ && !origin_)
        pointerAt(pointerPosition_);
    draw();
}

// On a scaled output the rows are drawn at its resolution, not blown up.
void LayerPopup::outputEntered(wl_output* output) {
    const int scale = connection_.scaleOf(output);
    if (scale == scale_)
        return;
    scale_ = scale;
    if (buffer_) {
        allocate();
        draw();
    }
}

void LayerPopup::allocate() {
    if (buffer_)
        wl_buffer_destroy(buffer_);
    if (pixels_)
        munmap(pixels_, pixelBytes_);
    buffer_ = nullptr;
    pixels_ = nullptr;
    image_ = QImage();
    const int width = surfaceSize_.width() * scale_;
    const int height = surfaceSize_.height() * scale_;
    const int stride = width * 4;
    pixelBytes_ = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
    const int fd = memfd_create("tavrin-popup", MFD_CLOEXEC);
    if (fd < 0 || pixelBytes_ == 0 || ftruncate(fd, static_cast<off_t>(pixelBytes_)) != 0) {
        qCWarning(lcWayland) << "No memory for the popup's pixels:" << std::strerror(errno);
        if (fd >= 0)
            close(fd);
        finish(std::nullopt);
        return;
    }
    pixels_ = mmap(nullptr, pixelBytes_, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels_ == MAP_FAILED) {
        pixels_ = nullptr;
        close(fd);
        finish(std::nullopt);
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

void LayerPopup::pointerAt(QPoint position) {
    pointerPosition_ = position;
    pointerSeen_ = true;
    pointerWait_.stop();
    if (!origin_ && !surfaceSize_.isEmpty()) {
        // At the pointer, moved back inside the output where the rows would cross its edge.
        const QSize size = menu_.size();
        origin_ =
            QPoint(std::max(0, std::min(position.x(), surfaceSize_.width() - size.width())),
                   std::max(0, std::min(position.y(), surfaceSize_.height() - size.height())));
        draw();
        return;
    }
    if (!origin_)
        return;
    QAction* hovered = onMenu(position) ? menu_.actionAt(position - *origin_) : nullptr;
    if (hovered != menu_.activeAction()) {
        menu_.setActiveAction(hovered);
        draw();
    }
}

bool LayerPopup::onMenu(QPoint position) const {
    return origin_ && keyboardFocused_ && QRect(*origin_, menu_.size()).contains(position);
}

// A row is chosen by a press and a release on it: the press that opened the popup never
// reaches the surface, and its release, when it does, chooses nothing.
void LayerPopup::button(bool pressed) {
    if (pressed) {
        pressedOnMenu_ = onMenu(pointerPosition_);
        if (!pressedOnMenu_)
            finish(std::nullopt);
        return;
    }
    if (!pressedOnMenu_ || !onMenu(pointerPosition_))
        return;
    const QList<QAction*> actions = menu_.actions();
    if (QAction* chosen = menu_.actionAt(pointerPosition_ - *origin_))
        finish(static_cast<std::size_t>(actions.indexOf(chosen)));
}

void LayerPopup::keymap(int fd, std::uint32_t size) {
    void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (text == MAP_FAILED)
        return;
    xkb_keymap* compiled =
        xkb_keymap_new_from_buffer(xkbContext_, static_cast<const char*>(text), size - 1,
                                   XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    if (!compiled)
        return;
    if (xkbState_)
        xkb_state_unref(xkbState_);
    if (xkbKeymap_)
        xkb_keymap_unref(xkbKeymap_);
    xkbKeymap_ = compiled;
    xkbState_ = xkb_state_new(compiled);
}

void LayerPopup::key(std::uint32_t keycode) {
    if (!xkbState_)
        return;
    switch (xkb_state_key_get_one_sym(xkbState_, keycode + 8)) {
    case XKB_KEY_Up:
    case XKB_KEY_KP_Up:
        moveSelection(-1);
        break;
    case XKB_KEY_Down:
    case XKB_KEY_KP_Down:
        moveSelection(1);
        break;
    case XKB_KEY_Return:
    case XKB_KEY_KP_Enter:
        if (QAction* active = menu_.activeAction())
            finish(static_cast<std::size_t>(menu_.actions().indexOf(active)));
        break;
    case XKB_KEY_Escape:
        finish(std::nullopt);
        break;
    default:
        break;
    }
}

void LayerPopup::moveSelection(int step) {
    const QList<QAction*> actions = menu_.actions();
    if (actions.isEmpty())
        return;
    const qsizetype count = actions.size();
    const qsizetype current = actions.indexOf(menu_.activeAction());
    const qsizetype next =
        current < 0 ? (step > 0 ? 0 : count - 1) : (current + step + count) % count;
    menu_.setActiveAction(actions[next]);
    draw();
}

void LayerPopup::finish(std::optional<std::size_t> choice) {
    choice_ = choice;
    finished_ = true;
    connectionWatch_.stop();
    pointerWait_.stop();
    keyboardWait_.stop();
    loop_.exit();
}

void LayerPopup::draw() {
    if (!buffer_)
        return;
    image_.fill(Qt::transparent);
    if (origin_ && keyboardFocused_) {
        QPainter painter(&image_);
        menu_.render(&painter, *origin_);
    }
    wl_surface_set_buffer_scale(surface_, scale_);
    wl_surface_attach(surface_, buffer_, 0, 0);
    wl_surface_damage(surface_, 0, 0, surfaceSize_.width(), surfaceSize_.height());
    wl_surface_commit(surface_);
    wl_display_flush(connection_.display());
    if (origin_ && keyboardFocused_ && !shownTold_) {
        shownTold_ = true;
        // The benchmark times the press of the button to this line.
        qCDebug(lcWayland) << "popup shown";
    }
}

} // namespace tavrin
