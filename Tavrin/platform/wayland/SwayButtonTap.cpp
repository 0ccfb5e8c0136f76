#include "platform/wayland/SwayButtonTap.h"

#include "platform/wayland/SwayBindings.h"
#include "platform/wayland/SwayConfigFileSystem.h"
#include "platform/wayland/SwayConfigReader.h"
#include "platform/wayland/SwayIpc.h"
#include "platform/wayland/SwayIpcSocket.h"
#include "platform/wayland/WaylandConnection.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>

namespace tavrin {
namespace {

using namespace std::chrono_literals;

constexpr auto replyTimeout = 2000ms;
// Soon enough after sway is back, seldom enough to cost nothing while it is away.
constexpr auto reconnectInterval = 1000ms;

std::string swaySocketPath() {
    return qEnvironmentVariable("SWAYSOCK").toStdString();
}

// The sway process and its socket: a sway started anew on the same socket holds none of the
// bindings on record, and the same button may be the user's there.
QByteArray swayName(pid_t sway) {
    return QByteArray::number(sway) + ' ' + QByteArray::fromStdString(swaySocketPath());
}

// One record per Wayland display; it names the sway it belongs to, whose bindings die with it.
QString recordPath() {
    return WaylandConnection::runtimeFile(QStringLiteral("sway-bindings"));
}

bool succeeded(const std::optional<swayIpc::Message>& reply) {
    if (!reply)
        return false;
    const auto results = swayIpc::commandResults(reply->payload);
    return !results.empty() && std::all_of(results.begin(), results.end(),
                                           [](const auto& result) { return result.success; });
}

} // namespace

bool SwayButtonTap::reachable() {
    const auto socket = SwayIpcSocket::connect(swaySocketPath());
    return socket && socket->request(swayIpc::getConfig, "", replyTimeout).has_value();
}

std::unique_ptr<SwayButtonTap> SwayButtonTap::create(TapCallback callback) {
    std::unique_ptr<SwayButtonTap> tap(new SwayButtonTap(std::move(callback)));
    if (!tap->connect())
        return nullptr;
    // An event may have come with the subscription's reply.
    tap->readEvents();
    return tap;
}

void SwayButtonTap::removeLeftovers() {
    QFile file(recordPath());
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QList<QByteArray> lines = file.readAll().split('\n');
    file.close();
    if (const auto socket = SwayIpcSocket::connect(swaySocketPath());
        socket && lines.value(0) == swayName(socket->peer())) {
        for (qsizetype index = 1; index < lines.size(); ++index) {
            bool isNumber = false;
            const int button = lines[index].toInt(&isNumber);
            if (isNumber && swayBindings::spareButtons().contains(button))
                socket->request(swayIpc::runCommand, swayBindings::unbindCommand(button),
                                replyTimeout);
        }
    }
    file.remove();
}

SwayButtonTap::SwayButtonTap(TapCallback callback)
    : callback_(std::make_shared<TapCallback>(std::move(callback))) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, &notifier_, [this] { readEvents(); });
    reconnectTimer_.setInterval(reconnectInterval);
    QObject::connect(&reconnectTimer_, &QTimer::timeout, &reconnectTimer_, [this] { reconnect(); });
}

SwayButtonTap::~SwayButtonTap() {
    setEnabled(false, {});
}

bool SwayButtonTap::connect() {
    auto commands = SwayIpcSocket::connect(swaySocketPath());
    auto events = SwayIpcSocket::connect(swaySocketPath());
    if (!commands || !events)
        return false;
    const auto reply =
        events->request(swayIpc::subscribe, R"(["binding", "workspace"])", replyTimeout);
    if (!reply || !swayIpc::subscribed(reply->payload)) {
        qCWarning(lcWayland) << "sway refused to report its binding events";
        return false;
    }
    // Bindings die with the sway that held them.
    if (commands->peer() != sway_)
        bound_.clear();
    sway_ = commands->peer();
    commands_ = std::move(commands);
    events_ = std::move(events);
    notifier_.setSocket(events_->fd());
    notifier_.setEnabled(true);
    return true;
}

// The notifier goes first: a closed socket would wake the event loop again and again.
void SwayButtonTap::disconnect() {
    notifier_.setEnabled(false);
    commands_.reset();
    events_.reset();
    qCWarning(lcWayland) << "sway's IPC connection is lost; the button is bound again once sway"
                         << "answers";
    reconnectTimer_.start();
}

void SwayButtonTap::reconnect() {
    if (!connect())
        return;
    reconnectTimer_.stop();
    reportedTaken_.clear();
    // Asked to enable the tap again, the controller binds the buttons anew and reads the state.
    const auto callback = callback_;
    (*callback)({ButtonEventType::tapDisabled, 0});
    readEvents();
}

bool SwayButtonTap::run(const std::string& command) {
    return succeeded(commands_->request(swayIpc::runCommand, command, replyTimeout));
}

std::set<int> SwayButtonTap::buttonsTheUserBound() {
    const auto reply = commands_->request(swayIpc::getConfig, "", replyTimeout);
    const auto text = reply ? swayIpc::configText(reply->payload) : std::nullopt;
    const SwayConfigFileSystem files;
    const auto commands =
        text ? SwayConfigReader(files).read(*text, SwayConfigFileSystem::mainPath(sway_))
             : std::nullopt;
    if (commands)
        return swayBindings::buttonsBoundIn(*commands);
    if (!commands_->broken())
        qCWarning(lcWayland) << "Part of sway's configuration cannot be read; every button it"
                             << "might bind counts as bound";
    return swayBindings::spareButtons();
}

void SwayButtonTap::setEnabled(bool enabled, const WatchedButtons& buttons) {
    enabled_ = enabled;
    watched_ = buttons;
    // sway is away: the controller enables the tap again once sway answers.
    if (!commands_)
        return;
    std::set<int> wanted;
    if (enabled) {
        for (const int button : swayBindings::spareButtons()) {
            if (!buttons.only || *buttons.only == button)
                wanted.insert(button);
        }
    }
    for (auto it = bound_.begin(); it != bound_.end() && !commands_->broken();) {
        if (wanted.contains(*it)) {
            ++it;
            continue;
        }
        // Unanswered, the binding may still be there: it stays on record.
        if (!run(swayBindings::unbindCommand(*it)) && !commands_->broken())
            qCWarning(lcWayland) << "sway did not remove the binding of button" << *it;
        if (!commands_->broken())
            it = bound_.erase(it);
    }
    std::set<int> missing;
    std::set_difference(wanted.begin(), wanted.end(), bound_.begin(), bound_.end(),
                        std::inserter(missing, missing.end()));
    const std::set<int> taken = missing.empty() ? std::set<int>{} : buttonsTheUserBound();
    for (const int button : missing) {
        if (commands_->broken())
            break;
        if (taken.contains(button)) {
            if (reportedTaken_.insert(button).second)
                qCWarning(lcWayland)
                    << "Button" << button << "is bound in sway's configuration; that binding stays";
            continue;
        }
        // Recorded before it exists: a crash in between leaves a removal that finds nothing.
        bound_.insert(button);
        record();
        if (!run(swayBindings::bindCommand(button)) && !commands_->broken()) {
            qCWarning(lcWayland) << "sway refused to bind button" << button;
            bound_.erase(button);
        }
    }
    record();
    if (commands_->broken()) {
        disconnect();
        return;
    }
    watchState_ = WatchState::watching;
    if (enabled && buttons.only && !swayBindings::spareButtons().contains(*buttons.only))
        watchState_ = WatchState::beyondReach;
    else if (enabled && buttons.only && !bound_.contains(*buttons.only))
        watchState_ = WatchState::heldByAnotherProgram;
}

void SwayButtonTap::record() const {
    if (bound_.empty()) {
        QFile::remove(recordPath());
        return;
    }
    QByteArray content = swayName(sway_) + '\n';
    for (const int button : bound_)
        content += QByteArray::number(button) + '\n';
    QSaveFile file(recordPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        qCWarning(lcWayland) << "Could not record sway's bindings in" << recordPath();
}

void SwayButtonTap::readEvents() {
    if (!events_)
        return;
    const bool open = events_->readAvailable();
    // The callback may narrow the bindings (assign mode ends) or retire this tap.
    const auto callback = callback_;
    while (events_) {
        const auto event = events_->nextEvent();
        if (!event)
            break;
        if (event->type == swayIpc::workspaceEvent && swayIpc::isReload(event->payload)) {
            // The configuration read again holds none of ours, and perhaps new ones of the user.
            bound_.clear();
            reportedTaken_.clear();
            setEnabled(enabled_, watched_);
        }
        if (event->type != swayIpc::bindingEvent)
            continue;
        const auto command = swayIpc::ranBindingCommand(event->payload);
        const auto button = command ? swayBindings::buttonOfCommand(*command) : std::nullopt;
        if (!button)
            continue;
        (*callback)({ButtonEventType::press, *button});
        (*callback)({ButtonEventType::release, *button});
    }
    if (events_ && !open)
        disconnect();
}

} // namespace tavrin
