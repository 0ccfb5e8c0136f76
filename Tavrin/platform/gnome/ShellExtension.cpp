#include "platform/gnome/ShellExtension.h"

#include "desktop/InstanceChannel.h"
#include "platform/gnome/GnomeLog.h"
#include "xkb/Keysyms.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QEventLoop>
#include <xkbcommon/xkbcommon.h>

namespace tavrin {
namespace {

const QString service = QStringLiteral("org.tavrin.ShellExtension");
const QString path = QStringLiteral("/org/tavrin/ShellExtension");
const QString interface = QStringLiteral("org.tavrin.ShellExtension1");
const QString interfaceVersion = QStringLiteral("2");
// The shell answers at once; a hung shell must not freeze Tavrin's loop for long.
constexpr int answerLimitMs = 2000;
// A text is committed once the focus is back, which the extension waits for with a limit of
// its own; a long text takes a while to commit.
constexpr int typingLimitMs = 60000;

QDBusMessage call(const QString& method, const QVariantList& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    message.setAutoStartService(false);
    return message;
}

struct PopupRowArgument {
    QString symbol;
    QString label;
};

QDBusArgument& operator<<(QDBusArgument& argument, const PopupRowArgument& row) {
    argument.beginStructure();
    argument << row.symbol << row.label;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PopupRowArgument& row) {
    argument.beginStructure();
    argument >> row.symbol >> row.label;
    argument.endStructure();
    return argument;
}

QString keysymName(SpecialKey key) {
    char name[64];
    xkb_keysym_get_name(keymap::keysymForSpecialKey(key), name, sizeof name);
    return QString::fromLatin1(name);
}

} // namespace
} // namespace tavrin

Q_DECLARE_METATYPE(tavrin::PopupRowArgument)

namespace tavrin {

ShellExtension::ShellExtension(InstanceChannel* channel)
    : channel_(channel), watcher_(service, QDBusConnection::sessionBus(),
                                  QDBusServiceWatcher::WatchForUnregistration) {
    qDBusRegisterMetaType<PopupRowArgument>();
    qDBusRegisterMetaType<QList<PopupRowArgument>>();
}

ShellExtension::~ShellExtension() = default;

bool ShellExtension::answers() {
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call(QStringLiteral("Version")),
                                                                  QDBus::Block, answerLimitMs);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().first().toString() == interfaceVersion;
}

QString ShellExtension::trouble() {
    if (!channel_)
        return QStringLiteral("Tavrin has no session bus to reach GNOME Shell on.");
    if (answers())
        return {};
    const QString enable = QStringLiteral(" Run: gnome-extensions enable %1").arg(uuid);
    // The shell's own record says whether the extension is there, off, or made for another GNOME.
    QDBusMessage info = QDBusMessage::createMethodCall(
        QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"),
        QStringLiteral("org.gnome.Shell.Extensions"), QStringLiteral("GetExtensionInfo"));
    info.setArguments({QString::fromLatin1(uuid)});
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(info, QDBus::Block, answerLimitMs);
    const QVariantMap fields =
        reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
            ? qdbus_cast<QVariantMap>(reply.arguments().first())
            : QVariantMap{};
    // The shell's extension states: 1 enabled, 2 disabled, 3 error, 4 out of date, 6 initialized.
    switch (fields.value(QStringLiteral("state")).toInt()) {
    case 0:
        return QStringLiteral("GNOME Shell does not know Tavrin's extension yet: log out and in "
                              "again after installing Tavrin, then enable it.") +
               enable;
    case 3:
        return QStringLiteral("Tavrin's GNOME Shell extension failed to start: %1")
            .arg(fields.value(QStringLiteral("error")).toString());
    case 4:
        return QStringLiteral(
            "Tavrin's GNOME Shell extension does not support this GNOME version.");
    default:
        return QStringLiteral("Tavrin's GNOME Shell extension is not enabled.") + enable;
    }
}

std::optional<std::size_t> ShellExtension::runPopup(const std::vector<PopupRow>& rows) {
    if (!channel_)
        return std::nullopt;
    QList<PopupRowArgument> shown;
    for (const PopupRow& row : rows)
        shown.push_back({QString::fromStdString(row.symbol), QString::fromStdString(row.label)});
    std::optional<int> closedWith;
    QEventLoop loop;
    channel_->onPopupClosed([&](int row) {
        closedWith = row;
        loop.quit();
    });
    const auto gone =
        connect(&watcher_, &QDBusServiceWatcher::serviceUnregistered, &loop, &QEventLoop::quit);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(
        call(QStringLiteral("ShowPopup"), {QVariant::fromValue(shown)}), QDBus::Block,
        answerLimitMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        loop.exec();
    else
        qCWarning(lcGnome, "the shell did not show the popup: %s",
                  qPrintable(reply.errorMessage()));
    disconnect(gone);
    channel_->onPopupClosed({});
    // The end-to-end test reads this line.
    qCDebug(lcGnome, "popup closed: row %d", closedWith.value_or(-1));
    if (!closedWith || *closedWith < 0 || static_cast<std::size_t>(*closedWith) >= rows.size())
        return std::nullopt;
    return static_cast<std::size_t>(*closedWith);
}

void ShellExtension::typeText(const QString& text) {
    queue({QStringLiteral("TypeText"), {text}, {}});
}

void ShellExtension::pressKey(SpecialKey key, bool down) {
    queue({QStringLiteral("PressKey"), {keysymName(key), down}, {}});
}

void ShellExtension::whenIdle(std::function<void()> done) {
    queue({{}, {}, std::move(done)});
}

void ShellExtension::queue(Job job) {
    jobs_.push_back(std::move(job));
    if (!sending_)
        sendNext();
}

// One call at a time: the extension waits for the focus before it types, and a key sent
// meanwhile would overtake the text.
void ShellExtension::sendNext() {
    while (!jobs_.empty() && jobs_.front().method.isEmpty()) {
        const auto done = std::move(jobs_.front().done);
        jobs_.pop_front();
        done();
    }
    sending_ = !jobs_.empty();
    if (!sending_)
        return;
    const Job job = std::move(jobs_.front());
    jobs_.pop_front();
    auto* pending = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(call(job.method, job.arguments), typingLimitMs),
        this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, job](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                if (finished->isError()) {
                    qCWarning(lcGnome, "%s failed in the shell: %s", qPrintable(job.method),
                              qPrintable(finished->error().message()));
                } else if (const QVariantList answer = finished->reply().arguments();
                           job.method == QLatin1String("TypeText") && answer.size() == 1 &&
                           !answer.first().toBool()) {
                    typeUncommitted(job.arguments.first().toString());
                    return;
                }
                sendNext();
            });
}

// The next job waits until the text is in, typed some other way.
void ShellExtension::typeUncommitted(const QString& text) {
    if (!uncommitted_) {
        qCWarning(lcGnome, "the window in front takes no input method: the text is not typed");
        sendNext();
        return;
    }
    uncommitted_(text, [this] { sendNext(); });
}

} // namespace tavrin
