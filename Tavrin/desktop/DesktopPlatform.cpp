#include "desktop/DesktopPlatform.h"

#include "desktop/AutostartEntry.h"

#include <QDeadlineTimer>
#include <QMetaObject>
#include <QTimer>
#include <algorithm>

namespace tavrin {
namespace {

class QtRepeatingTimer final : public RepeatingTimer {
  public:
    QtRepeatingTimer(std::chrono::milliseconds interval, std::function<void()> tick) {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(interval);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, std::move(tick));
        timer_.start();
    }

  private:
    QTimer timer_;
};

// Qt may wake a timer a fraction of a millisecond early; a deadline never runs before its time.
void runAtDeadline(QObject* context, QDeadlineTimer deadline, std::function<void()> task) {
    QTimer::singleShot(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0)),
                       Qt::PreciseTimer, context,
                       [context, deadline, task = std::move(task)]() mutable {
                           if (!deadline.hasExpired())
                               runAtDeadline(context, deadline, std::move(task));
                           else
                               task();
                       });
}

} // namespace

DesktopPlatform::DesktopPlatform(const QString& storePath, const QString& programPath)
    : store_(storePath), programPath_(programPath) {}

DesktopPlatform::~DesktopPlatform() = default;

void DesktopPlatform::post(std::function<void()> task) {
    QMetaObject::invokeMethod(&context_, std::move(task), Qt::QueuedConnection);
}

void DesktopPlatform::postAfter(std::chrono::milliseconds delay, std::function<void()> task) {
    runAtDeadline(&context_, QDeadlineTimer(delay, Qt::PreciseTimer), std::move(task));
}

std::unique_ptr<RepeatingTimer>
DesktopPlatform::startRepeatingTimer(std::chrono::milliseconds interval,
                                     std::function<void()> tick) {
    return std::make_unique<QtRepeatingTimer>(interval, std::move(tick));
}

std::optional<bool> DesktopPlatform::readBool(std::string_view key) {
    return store_.readBool(key);
}
std::optional<std::int64_t> DesktopPlatform::readInteger(std::string_view key) {
    return store_.readInteger(key);
}
std::optional<std::string> DesktopPlatform::readData(std::string_view key) {
    return store_.readData(key);
}
std::optional<std::string> DesktopPlatform::readStoredText(std::string_view key) {
    return store_.readStoredText(key);
}
void DesktopPlatform::writeBool(std::string_view key, bool value) {
    store_.writeBool(key, value);
}
void DesktopPlatform::writeInteger(std::string_view key, std::int64_t value) {
    store_.writeInteger(key, value);
}
void DesktopPlatform::writeData(std::string_view key, const std::string& bytes) {
    store_.writeData(key, bytes);
}
bool DesktopPlatform::keepUnreadableData(std::string_view key, const std::string& bytes) {
    return store_.keepUnreadable(key, bytes);
}
std::optional<std::string> DesktopPlatform::lastStoreFailure() {
    return store_.lastFailure();
}

bool DesktopPlatform::loginItemEnabled() {
    return AutostartEntry::isEnabled();
}
bool DesktopPlatform::registerLoginItem() {
    QString failure;
    const bool done = AutostartEntry::enable(programPath_, &failure);
    loginItemFailure_ = done ? std::nullopt : std::optional(failure.toStdString());
    return done;
}
bool DesktopPlatform::unregisterLoginItem() {
    QString failure;
    const bool done = AutostartEntry::disable(&failure);
    loginItemFailure_ = done ? std::nullopt : std::optional(failure.toStdString());
    return done;
}
std::optional<std::string> DesktopPlatform::lastLoginItemFailure() {
    return loginItemFailure_;
}

} // namespace tavrin
