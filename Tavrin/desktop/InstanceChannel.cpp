#include "desktop/InstanceChannel.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QLoggingCategory>

namespace tavrin {
namespace {

Q_LOGGING_CATEGORY(instanceLog, "tavrin.instance")

const QString serviceName = QStringLiteral("org.tavrin.Tavrin");
const QString objectPath = QStringLiteral("/org/tavrin/Tavrin");
const QString interfaceName = QStringLiteral("org.tavrin.Tavrin1");
// A running instance answers at once; one that hangs must not hold a later start for long.
constexpr int answerLimitMs = 5000;

} // namespace

std::unique_ptr<InstanceChannel> InstanceChannel::claim(Claim* result) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCWarning(instanceLog, "no session bus (%s): a second start cannot find this one",
                  qPrintable(bus.lastError().message()));
        *result = Claim::noBus;
        return nullptr;
    }
    std::unique_ptr<InstanceChannel> channel(new InstanceChannel);
    // The object is in place before the name is, so that no request finds the name without it.
    if (!bus.registerObject(objectPath, channel.get(), QDBusConnection::ExportScriptableSlots)) {
        qCWarning(instanceLog, "could not export %s on the session bus", qPrintable(objectPath));
        *result = Claim::noBus;
        return nullptr;
    }
    const auto reply =
        bus.interface()->registerService(serviceName, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        bus.unregisterObject(objectPath);
        *result = Claim::heldByAnother;
        return nullptr;
    }
    *result = Claim::claimed;
    return channel;
}

bool InstanceChannel::send(Request request) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        serviceName, objectPath, interfaceName,
        request == Request::popup ? QStringLiteral("Popup") : QStringLiteral("ShowSettings"));
    // The instance is started for the call only if it runs: never by bus activation.
    call.setAutoStartService(false);
    return bus.call(call, QDBus::Block, answerLimitMs).type() == QDBusMessage::ReplyMessage;
}

InstanceChannel::~InstanceChannel() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.interface()->unregisterService(serviceName);
    bus.unregisterObject(objectPath);
}

void InstanceChannel::listen(std::function<void(Request)> handler) {
    handler_ = std::move(handler);
}

void InstanceChannel::onPopupClosed(std::function<void(int)> handler) {
    popupClosed_ = std::move(handler);
}

void InstanceChannel::ShowSettings() {
    deliver(Request::showSettings);
}

void InstanceChannel::Popup() {
    deliver(Request::popup);
}

// The caller's reply goes out before the request is served: a popup shown meanwhile must not
// hold it.
void InstanceChannel::PopupClosed(int row) {
    QMetaObject::invokeMethod(
        this,
        [this, row] {
            if (popupClosed_)
                popupClosed_(row);
        },
        Qt::QueuedConnection);
}

void InstanceChannel::deliver(Request request) {
    QMetaObject::invokeMethod(
        this,
        [this, request] {
            if (handler_)
                handler_(request);
        },
        Qt::QueuedConnection);
}

} // namespace tavrin
