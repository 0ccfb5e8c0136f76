#include "FakePlatform.h"

#include <algorithm>
#include <utility>

namespace tavrin::testing {

void FakePlatform::advance(std::chrono::milliseconds by) {
    const auto until = now + by;
    for (;;) {
        const auto next = std::ranges::min_element(
            tasks, {}, [](const Task& task) { return std::pair(task.due, task.order); });
        if (next == tasks.end() || next->due > until)
            break;
        now = std::max(now, next->due);
        auto run = std::move(next->run);
        tasks.erase(next);
        run();
    }
    now = until;
}

void FakePlatform::scheduleTick(std::chrono::milliseconds interval, std::function<void()> tick,
                                std::shared_ptr<bool> alive) {
    postAfter(interval, [this, interval, tick, alive] {
        if (*alive) {
            tick();
            scheduleTick(interval, tick, alive);
        }
    });
}

std::unique_ptr<RepeatingTimer>
FakePlatform::startRepeatingTimer(std::chrono::milliseconds interval, std::function<void()> tick) {
    struct Timer : RepeatingTimer {
        std::shared_ptr<bool> alive = std::make_shared<bool>(true);
        ~Timer() override { *alive = false; }
    };
    auto timer = std::make_unique<Timer>();
    timerAlive = timer->alive;
    scheduleTick(interval, std::move(tick), timer->alive);
    return timer;
}

std::unique_ptr<ButtonTap> FakePlatform::createTap(TapCallback callback) {
    if (tapRefused)
        return nullptr;
    auto tap = std::make_unique<FakeTap>(this, std::move(callback));
    activeTap = tap.get();
    return tap;
}

Verdict FakePlatform::deliver(ButtonEventType type, int button) {
    if (!activeTap || !activeTap->enabled)
        return Verdict::pass;
    const auto& only = activeTap->watched.only;
    if (type != ButtonEventType::tapDisabled && only && *only != button)
        return Verdict::pass;
    return activeTap->callback(ButtonEvent{type, button});
}

void FakePlatform::showPopup(const std::vector<PopupRow>& rows,
                             const std::function<void(const PopupAction&)>& picked) {
    popupsShown.push_back(rows);
    popupOpen = true;
    const auto choice = popupBehaviour ? popupBehaviour(rows) : std::nullopt;
    popupOpen = false;
    if (choice)
        picked(rows.at(*choice).action);
}

void FakePlatform::whenKeyboardIdle(std::function<void()> done) {
    if (typingHeld)
        typingWaiters.push_back(std::move(done));
    else
        post(std::move(done));
}

void FakePlatform::finishTyping() {
    typingHeld = false;
    for (auto& done : std::exchange(typingWaiters, {}))
        post(std::move(done));
}

std::optional<KeyboardEvent> FakePlatform::createKeyboardEvent(std::optional<SpecialKey> key,
                                                               bool down) {
    if (keyboardEventsLeft && (*keyboardEventsLeft)-- <= 0)
        return std::nullopt;
    return KeyboardEvent{key, down, {}};
}

} // namespace tavrin::testing
