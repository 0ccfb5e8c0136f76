#pragma once

#include "platform/Platform.h"

#include <QSocketNotifier>
#include <memory>
#include <set>
#include <string>

namespace tavrin {

class SwayIpcSocket;

// The button tap on sway: whole-window bindings of exactly the watched buttons, whose command
// does nothing, so that sway swallows their press and release; sway tells of each press through
// a binding event. Bindings of the user's own are never replaced or removed. What is bound is
// recorded in the runtime folder until it is removed again, so that the next start can remove
// what a killed instance left.
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
    SwayButtonTap(std::unique_ptr<SwayIpcSocket> commands, std::unique_ptr<SwayIpcSocket> events,
                  TapCallback callback);
    bool run(const std::string& command);
    std::set<int> buttonsTheUserBound();
    void readEvents();
    void record() const;

    std::unique_ptr<SwayIpcSocket> commands_;
    std::unique_ptr<SwayIpcSocket> events_;
    QSocketNotifier notifier_;
    std::shared_ptr<TapCallback> callback_;
    std::set<int> bound_;
    bool enabled_ = false;
    WatchedButtons watched_;
    WatchState watchState_ = WatchState::watching;
    std::set<int> reportedTaken_;
};

} // namespace tavrin
