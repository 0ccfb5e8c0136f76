#include "FakePlatform.h"

#include <algorithm>

namespace tavrin::testing {

void FakePlatform::advance(std::chrono::milliseconds by) {
    const auto until = now + by;
    for (;;) {
        // The first of the earliest: tasks due together run in the order posted.
        const auto next = std::ranges::min_element(tasks, {}, &Task::due);
        if (next == tasks.end() || next->due > until)
            break;
        now = std::max(now, next->due);
        auto run = std::move(next->run);
        tasks.erase(next);
        run();
    }
    now = std::max(now, until); // a nested loop may have run the clock on
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
    scheduleTick(interval, std::move(tick), timer->alive);
    return timer;
}

} // namespace tavrin::testing
