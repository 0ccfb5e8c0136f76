#pragma once

#include "platform/Platform.h"

#include <QSocketNotifier>
#include <QTimer>
#include <memory>
#include <set>
#include <string>
#include <sys/types.h>

namespace tavrin {

class SwayIpcSocket;

// The button tap on sway: whole-window bindings of exactly the watched buttons, whose command
// does nothing, so that sway swallows their press and release; sway tells of each press through
// a binding event. Bindings of the user's own are never replaced or removed. What is bound is
// recorded in the runtime folder until it is removed again, so that the next start can remove
// what a killed instance left. When sway goes away the tap waits for it and binds again.
class SwayButtonTap final : public ButtonTap {
  public:
    // Nothing when SWAYSOCK names no sway that answers.
    static std::unique_ptr<SwayButtonTap> create(TapCallback callback);
    // Removes the bindings that a previous instance recorded and did not remove.
    static void removeLeftovers();
    // sway answers on SWAYSOCK.
    static bool reachable();
    ~SwayButtonTap() override;

    void setEnabled(bool enabled, const WatchedButtons& buttons) override;
    WatchState watchState() const override { return watchState_; }

  private:
    explicit SwayButtonTap(TapCallback callback);
    bool connect();
    void disconnect();
    void reconnect();
    bool run(const std::string& command);
    // Every spare button when in doubt.
    std::set<int> buttonsTheUserBound();
    void readEvents();
    void record() const;

    std::unique_ptr<SwayIpcSocket> commands_;
    std::unique_ptr<SwayIpcSocket> events_;
    QSocketNotifier notifier_{QSocketNotifier::Read};
    QTimer reconnectTimer_;
    // The sway process that holds the bindings in bound_.
    pid_t sway_ = 0;
    std::shared_ptr<TapCallback> callback_;
    std::set<int> bound_;
    bool enabled_ = false;
    WatchedButtons watched_;
    WatchState watchState_ = WatchState::watching;
    std::set<int> reportedTaken_;
};

} // namespace tavrin
