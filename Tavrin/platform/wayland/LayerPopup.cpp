#include "platform/wayland/LayerPopup.h"

#include "platform/wayland/LayerSurface.h"
#include "platform/wayland/WaylandConnection.h"

#include <QStyle>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <wayland-cursor.h>
#include <xkbcommon/xkbcommon.h>

namespace tavrin {

// The C callbacks of the protocol objects, forwarding to the popup.
struct LayerPopupListeners {
    static void enter(void* data, wl_pointer*, std::uint32_t serial, wl_surface* surface,
                      wl_fixed_t x, wl_fixed_t y) {
        static_cast<LayerPopup*>(data)->showArrow(serial);
        static_cast<LayerPopup*>(data)->pointerEntered(surface,
                                                       {wl_fixed_to_int(x), wl_fixed_to_int(y)});
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

    // On every output: the pointer may be on any of them, and only the surface it enters learns
    // where it is.
    std::vector<wl_output*> outputs = connection_.outputs();
    if (outputs.empty())
        outputs.push_back(nullptr);
    for (wl_output* output : outputs)
        surfaces_.push_back(std::make_unique<LayerSurface>(
            connection_, output,
            [this, index = surfaces_.size()] { surfaceChanged(surfaces_[index].get()); },
            [this] { finish(std::nullopt); }));

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
    // A pointer that enters none of the surfaces (an output the compositor has not told of yet)
    // leaves the popup invisible, and an invisible popup must not keep the keyboard.
    pointerWait_.setSingleShot(true);
    pointerWait_.setInterval(1000);
    QObject::connect(&pointerWait_, &QTimer::timeout, &pointerWait_, [this] {
        qCWarning(lcWayland) << "The pointer never entered the popup (on an unknown output?)";
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
    if (cursorSurface_)
        wl_surface_destroy(cursorSurface_);
}

void LayerPopup::surfaceChanged(LayerSurface* surface) {
    if (surface == pointerSurface_ && !origin_)
        pointerAt(pointerPosition_);
    if (surface == menuSurface_)
        draw();
    else
        surface->draw(menu_, std::nullopt);
}

void LayerPopup::pointerEntered(wl_surface* surface, QPoint position) {
    pointerSurface_ = nullptr;
    for (const auto& layer : surfaces_)
        if (layer->surface() == surface)
            pointerSurface_ = layer.get();
    pointerAt(position);
}

void LayerPopup::pointerAt(QPoint position) {
    pointerPosition_ = position;
    pointerWait_.stop();
    if (!pointerSurface_)
        return;
    const QSize area = pointerSurface_->size();
    if (!origin_ && !area.isEmpty()) {
        // At the pointer, moved back inside the output where the rows would cross its edge.
        const QSize size = menu_.size();
        menuSurface_ = pointerSurface_;
        origin_ = QPoint(std::max(0, std::min(position.x(), area.width() - size.width())),
                         std::max(0, std::min(position.y(), area.height() - size.height())));
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
    return origin_ && keyboardFocused_ && pointerSurface_ == menuSurface_ &&
           QRect(*origin_, menu_.size()).contains(position);
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
    if (!menuSurface_)
        return;
    menuSurface_->draw(menu_, keyboardFocused_ ? origin_ : std::nullopt);
    if (keyboardFocused_ && !shownTold_) {
        shownTold_ = true;
        // The benchmark times the press of the button to this line.
        qCDebug(lcWayland) << "popup shown";
    }
}

} // namespace tavrin
