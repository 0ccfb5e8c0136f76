#pragma once

#include "platform/Platform.h"
#include "platform/desktop/PopupMenu.h"

#include <QEventLoop>
#include <QImage>
#include <QPoint>
#include <QTimer>
#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

struct wl_buffer;
struct wl_keyboard;
struct wl_output;
struct wl_pointer;
struct wl_surface;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;
struct zwlr_layer_surface_v1;

namespace tavrin {

class WaylandConnection;

// The popup on a wlroots compositor: a transparent layer surface over the whole output on the
// overlay layer, with the rows drawn by the shared popup menu at the pointer, which the surface
// learns when the pointer enters it. A click outside the rows or Escape closes it.
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
    void configure(std::uint32_t serial, std::uint32_t width, std::uint32_t height);
    void outputEntered(wl_output* output);
    void allocate();
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
    wl_surface* surface_ = nullptr;
    zwlr_layer_surface_v1* layerSurface_ = nullptr;
    wl_pointer* pointer_ = nullptr;
    wl_keyboard* keyboard_ = nullptr;
    wl_buffer* buffer_ = nullptr;
    wl_surface* cursorSurface_ = nullptr;
    void* pixels_ = nullptr;
    std::size_t pixelBytes_ = 0;
    QImage image_;
    QSize surfaceSize_; // in the output's logical pixels
    int scale_ = 1;
    std::optional<QPoint> origin_; // the rows' top left corner, once the pointer is known
    QPoint pointerPosition_;
    bool pointerSeen_ = false;
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
