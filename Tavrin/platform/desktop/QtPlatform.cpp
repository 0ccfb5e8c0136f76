#include "QtPlatform.h"

#include "AutostartEntry.h"
#include "InputAccessHelp.h"
#include "PopupMenu.h"
#include "platform/x11/XButtonTap.h"
#include "platform/x11/XInputAccess.h"

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

QtPlatform::QtPlatform(const QString& storePath, const QString& programPath)
    : store_(storePath), programPath_(programPath) {}

QtPlatform::~QtPlatform() = default;

void QtPlatform::post(std::function<void()> task) {
    QMetaObject::invokeMethod(&context_, std::move(task), Qt::QueuedConnection);
}

void QtPlatform::postAfter(std::chrono::milliseconds delay, std::function<void()> task) {
    runAtDeadline(&context_, QDeadlineTimer(delay, Qt::PreciseTimer), std::move(task));
}

std::unique_ptr<RepeatingTimer> QtPlatform::startRepeatingTimer(std::chrono::milliseconds interval,
                                                                std::function<void()> tick) {
    return std::make_unique<QtRepeatingTimer>(interval, std::move(tick));
}

std::optional<bool> QtPlatform::readBool(std::string_view key) {
    return store_.readBool(key);
}
std::optional<std::int64_t> QtPlatform::readInteger(std::string_view key) {
    return store_.readInteger(key);
}
std::optional<std::string> QtPlatform::readData(std::string_view key) {
    return store_.readData(key);
}
std::optional<std::string> QtPlatform::readStoredText(std::string_view key) {
    return store_.readStoredText(key);
}
void QtPlatform::writeBool(std::string_view key, bool value) {
    store_.writeBool(key, value);
}
void QtPlatform::writeInteger(std::string_view key, std::int64_t value) {
    store_.writeInteger(key, value);
}
void QtPlatform::writeData(std::string_view key, const std::string& bytes) {
    store_.writeData(key, bytes);
}
bool QtPlatform::keepUnreadableData(std::string_view key, const std::string& bytes) {
    return store_.keepUnreadable(key, bytes);
}
std::optional<std::string> QtPlatform::lastStoreFailure() {
    return store_.lastFailure();
}

bool QtPlatform::loginItemEnabled() {
    return AutostartEntry::isEnabled();
}
bool QtPlatform::registerLoginItem() {
    QString failure;
    const bool done = AutostartEntry::enable(programPath_, &failure);
    loginItemFailure_ = done ? std::nullopt : std::optional(failure.toStdString());
    return done;
}
bool QtPlatform::unregisterLoginItem() {
    QString failure;
    const bool done = AutostartEntry::disable(&failure);
    loginItemFailure_ = done ? std::nullopt : std::optional(failure.toStdString());
    return done;
}
std::optional<std::string> QtPlatform::lastLoginItemFailure() {
    return loginItemFailure_;
}

bool QtPlatform::isTrusted() {
    return x11InputAccess();
}
// X11 has no prompt to show: the check is simply made again.
bool QtPlatform::isTrustedWithPrompt() {
    return x11InputAccess();
}
void QtPlatform::openAccessibilityHelp() {
    openInputAccessHelp();
}

std::unique_ptr<ButtonTap> QtPlatform::createTap(TapCallback callback) {
    return createX11ButtonTap(std::move(callback));
}

void QtPlatform::showPopup(const std::vector<PopupRow>& rows,
                           const std::function<void(const PopupAction&)>& picked) {
    showPopupMenu(rows, picked);
}

std::optional<KeyboardEvent> QtPlatform::createKeyboardEvent(std::optional<SpecialKey> key,
                                                             bool down) {
    return KeyboardEvent{key, down, {}};
}

void QtPlatform::postKeyboardEvent(const KeyboardEvent& event) {
    if (event.key)
        typing_.pressSpecialKey(*event.key, event.down);
    else if (event.down)
        typing_.typeText(event.text); // the whole text goes with the key-down
}

void QtPlatform::whenKeyboardIdle(std::function<void()> done) {
    typing_.afterQueued([this, done = std::move(done)]() mutable {
        QMetaObject::invokeMethod(&context_, std::move(done), Qt::QueuedConnection);
    });
}

} // namespace tavrin
