#pragma once

#include "platform/Platform.h"

#include <QAbstractNativeEventFilter>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <xcb/xcb.h>

namespace tavrin {

// Sees the spare mouse buttons through XInput 2 passive grabs on the root windows, made on
// Qt's own connection so that the events arrive on the main thread through Qt's event loop.
class XButtonTap final : public ButtonTap, public QAbstractNativeEventFilter {
  public:
    XButtonTap(xcb_connection_t* connection, std::uint8_t xinputOpcode, TapCallback callback);
    ~XButtonTap() override;
    XButtonTap(const XButtonTap&) = delete;
    XButtonTap& operator=(const XButtonTap&) = delete;

    void setEnabled(bool enabled, const WatchedButtons& buttons) override;
    WatchState watchState() const override { return watchState_; }
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    struct SeenEvent {
        std::uint16_t type = 0;
        std::uint32_t button = 0;
        std::uint32_t time = 0;
        friend bool operator==(const SeenEvent&, const SeenEvent&) = default;
    };

    void grab(const std::set<std::uint32_t>& xButtons);
    void ungrab(std::uint32_t xButton);
    void noteWatchState(std::optional<int> only);

    xcb_connection_t* connection_;
    std::uint8_t xinputOpcode_;
    std::shared_ptr<TapCallback> callback_;
    std::set<std::uint32_t> watched_;
    std::set<std::uint32_t> grabbed_;
    WatchState watchState_ = WatchState::watching;
    // Presses taken by the root grab whose release has not come yet: X button -> master device.
    std::map<std::uint32_t, std::uint16_t> heldOnRoot_;
    SeenEvent lastSeen_;
    Verdict lastVerdict_ = Verdict::pass;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// Nothing when there is no X11 connection or the server lacks XInput 2.
std::unique_ptr<ButtonTap> createX11ButtonTap(TapCallback callback);

} // namespace tavrin
