#pragma once

#include "desktop/PopupMenu.h"
#include "platform/Platform.h"

#include <QEventLoop>
#include <QPoint>
#include <QTimer>
#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

struct wl_keyboard;
struct wl_pointer;
struct wl_surface;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace tavrin {

class LayerSurface;
class WaylandConnection;

// The popup on a wlroots compositor: a transparent layer surface over each output, with the rows
// drawn by the shared popup menu at the pointer on the surface the pointer enters first, which
// tells where it is. A click outside the rows, on any output, or Escape closes it.
class LayerPopup {
  public:
    // Shows the rows until one is chosen or the popup is dismissed; returns the chosen row once
    // the surface is gone, so that the focus is back where it was.
    static std::optional<std::size_t> run(WaylandConnection& connection,
                                          const std::vector<PopupRow>& rows);

    ~LayerPopup();
    LayerPopup(const LayerPopup&) = delete;
    LayerPopup& operator=(const LayerPopup&) = delete;

  private:
    LayerPopup(WaylandConnection& connection, const std::vector<PopupRow>& rows);
    void surfaceChanged(LayerSurface* surface);
    void pointerEntered(wl_surface* surface, QPoint position);
    void pointerAt(QPoint position);
    void showArrow(std::uint32_t serial);
    void button(bool pressed);
    void key(std::uint32_t keycode);
    void keymap(int fd, std::uint32_t size);
    void keyboardEntered();
    void moveSelection(int step);
    void finish(std::optional<std::size_t> choice);
    void draw();
    bool onMenu(QPoint position) const;

    friend struct LayerPopupListeners;

    WaylandConnection& connection_;
    std::unique_ptr<QStyle> style_;
    PopupMenu menu_;
    std::vector<std::unique_ptr<LayerSurface>> surfaces_; // one for each output
    LayerSurface* menuSurface_ = nullptr;    // where the rows are, once the pointer is known
    LayerSurface* pointerSurface_ = nullptr; // where the pointer is now
    wl_pointer* pointer_ = nullptr;
    wl_keyboard* keyboard_ = nullptr;
    wl_surface* cursorSurface_ = nullptr;
    std::optional<QPoint> origin_; // the rows' top left corner on the menu's surface
    QPoint pointerPosition_;
    bool keyboardFocused_ = false;
    bool shownTold_ = false;
    QTimer keyboardWait_;
    QTimer pointerWait_;
    bool finished_ = false;
    bool pressedOnMenu_ = false;
    xkb_context* xkbContext_ = nullptr;
    xkb_keymap* xkbKeymap_ = nullptr;
    xkb_state* xkbState_ = nullptr;
    std::optional<std::size_t> choice_;
    QEventLoop loop_;
    QTimer connectionWatch_;
};

} // namespace tavrin
