#include "FakePlatform.h"

#include <algorithm>

namespace tavrin::testing {

void FakePlatform::postAfter(std::chrono::milliseconds delay, std::function<void()> task) {
    tasks.push_back({now + delay, nextOrder++, std::move(task)});
}

void FakePlatform::advance(std::chrono::milliseconds by) {
    const auto until = now + by;
    for (;;) {
        auto next = std::min_element(tasks.begin(), tasks.end(), [](const Task& a, const Task& b) {
            return a.due != b.due ? a.due < b.due : a.order < b.order;
        });
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
        if (!*alive)
            return;
        tick();
        scheduleTick(interval, tick, alive);
    });
}

std::unique_ptr<RepeatingTimer>
FakePlatform::startRepeatingTimer(std::chrono::milliseconds interval, std::function<void()> tick) {
    auto timer = std::make_unique<Timer>();
    timerAlive = timer->alive;
    scheduleTick(interval, std::move(tick), timer->alive);
    return timer;
}

std::optional<bool> FakePlatform::readBool(std::string_view key) {
    const auto found = store.find(key);
    if (found == store.end() || !std::holds_alternative<bool>(found->second))
        return std::nullopt;
    return std::get<bool>(found->second);
}

std::optional<std::int64_t> FakePlatform::readInteger(std::string_view key) {
    const auto found = store.find(key);
    if (found == store.end() || !std::holds_alternative<std::int64_t>(found->second))
        return std::nullopt;
    return std::get<std::int64_t>(found->second);
}

std::optional<std::string> FakePlatform::readData(std::string_view key) {
    const auto found = store.find(key);
    if (found == store.end() || !std::holds_alternative<std::string>(found->second))
        return std::nullopt;
    return std::get<std::string>(found->second);
}

void FakePlatform::record(std::string_view key, StoredValue value) {
    writes.push_back({std::string(key), value});
    store.insert_or_assign(std::string(key), std::move(value));
}

bool FakePlatform::keepUnreadableData(std::string_view key, const std::string& bytes) {
    if (keepingFails)
        return false;
    keptUnreadable.emplace_back(std::string(key), bytes);
    return true;
}

bool FakePlatform::registerLoginItem() {
    loginItemCalls.push_back("register");
    if (loginItemCallsFail)
        return false;
    loginItemRegistered = true;
    return true;
}

bool FakePlatform::unregisterLoginItem() {
    loginItemCalls.push_back("unregister");
    if (loginItemCallsFail)
        return false;
    loginItemRegistered = false;
    return true;
}

std::unique_ptr<ButtonTap> FakePlatform::createTap(TapCallback callback) {
    if (tapRefused)
        return nullptr;
    ++tapsCreated;
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
    if (!popupBehaviour)
        return;
    if (const auto choice = popupBehaviour(rows))
        picked(rows.at(*choice).action);
}

std::optional<KeyboardEvent> FakePlatform::createKeyboardEvent(std::optional<SpecialKey> key,
                                                               bool down) {
    if (keyboardEventsLeft) {
        if (*keyboardEventsLeft == 0)
            return std::nullopt;
        --*keyboardEventsLeft;
    }
    return KeyboardEvent{key, down, {}};
}

} // namespace tavrin::testing
