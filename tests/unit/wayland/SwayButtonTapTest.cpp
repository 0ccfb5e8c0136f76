#include "platform/wayland/SwayButtonTap.h"

#include "platform/wayland/SwayIpc.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstring>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace tavrin {
namespace {

using namespace std::string_literals;

// A sway that answers every request with success, and that sends a press of the button bound for
// button 4 in the same write as its reply to a subscription.
class FakeSway {
  public:
    explicit FakeSway(const std::string& path) : path_(path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        EXPECT_EQ(bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(listen(listener_, 4), 0);
        thread_ = std::thread([this] { serve(); });
    }
    // sway exits: its socket and every connection close.
    ~FakeSway() {
        const std::uint64_t one = 1;
        EXPECT_EQ(write(stop_, &one, sizeof one), static_cast<ssize_t>(sizeof one));
        thread_.join();
        for (const pollfd& client : clients_)
            close(client.fd);
        close(listener_);
        close(stop_);
        unlink(path_.c_str());
    }

  private:
    void serve() {
        while (true) {
            std::vector<pollfd> fds{{stop_, POLLIN, 0}, {listener_, POLLIN, 0}};
            fds.insert(fds.end(), clients_.begin(), clients_.end());
            if (poll(fds.data(), fds.size(), -1) < 0 || fds[0].revents)
                return;
            if (fds[1].revents)
                clients_.push_back({accept(listener_, nullptr, nullptr), POLLIN, 0});
            for (std::size_t index = 2; index < fds.size(); ++index) {
                const int client = fds[index].fd;
                if (fds[index].revents && !answer(client)) {
                    close(client);
                    std::erase_if(clients_, [client](const pollfd& c) { return c.fd == client; });
                }
            }
        }
    }
    bool answer(int client) {
        char header[14];
        if (recv(client, header, sizeof header, MSG_WAITALL) != sizeof header)
            return false;
        std::uint32_t length = 0, type = 0;
        std::memcpy(&length, header + 6, 4);
        std::memcpy(&type, header + 10, 4);
        std::string payload(length, '\0');
        if (length > 0 && recv(client, payload.data(), length, MSG_WAITALL) != length)
            return false;
        std::string bytes;
        if (type == swayIpc::subscribe)
            bytes = swayIpc::encode(type, R"({"success": true})") +
                    swayIpc::encode(swayIpc::bindingEvent,
                                    R"({"change": "run", "binding": {"command": )"
                                    R"("nop tavrin button 4"}})");
        else if (type == swayIpc::getConfig)
            bytes = swayIpc::encode(type, R"({"config": ""})");
        else
            bytes = swayIpc::encode(type, R"([{"success": true}])");
        return write(client, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    std::string path_;
    const int listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int stop_ = eventfd(0, EFD_CLOEXEC);
    std::vector<pollfd> clients_;
    std::thread thread_;
};

QStringList warnings;

void keepWarning(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg)
        warnings.push_back(message);
}

void idle(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

bool await(const std::function<bool()>& condition) {
    QEventLoop loop;
    QTimer check;
    check.callOnTimeout([&] {
        if (condition())
            loop.quit();
    });
    check.start(20);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    if (!condition())
        loop.exec();
    return condition();
}

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// While sway is away the tap costs nothing, and once sway is back it asks to be enabled anew.
TEST(SwayButtonTap, TakesAPressThatCameWithItsSubscriptionAndWaitsQuietlyForSwayToReturn) {
    char folder[] = "/tmp/tavrin-tap-XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    const std::string path = folder + "/sway.sock"s;
    qputenv("SWAYSOCK", path.c_str());
    qputenv("XDG_RUNTIME_DIR", folder);
    qInstallMessageHandler(keepWarning);

    auto sway = std::make_unique<FakeSway>(path);
    std::vector<std::pair<ButtonEventType, int>> seen;
    auto tap = SwayButtonTap::create([&seen](const ButtonEvent& event) {
        seen.emplace_back(event.type, event.button);
        return Verdict::swallow;
    });
    ASSERT_TRUE(tap);
    const decltype(seen) pressed{{ButtonEventType::press, 4}, {ButtonEventType::release, 4}};
    EXPECT_EQ(seen, pressed);

    sway.reset();
    ASSERT_TRUE(await([] { return !warnings.empty(); }));
    EXPECT_TRUE(warnings.front().startsWith("sway's IPC connection is lost"))
        << warnings.front().toStdString();
    int wakeUps = 0;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake,
                     [&wakeUps] { ++wakeUps; });
    const double cpuBefore = cpuSeconds();
    idle(3000);
    EXPECT_LT(cpuSeconds() - cpuBefore, 0.3);
    // The reconnection tries once a second.
    EXPECT_LT(wakeUps, 30);

    sway = std::make_unique<FakeSway>(path);
    ASSERT_TRUE(await([&seen] { return seen.size() == 5; }));
    EXPECT_EQ(seen[2].first, ButtonEventType::tapDisabled);
    EXPECT_EQ(decltype(seen)(seen.begin() + 3, seen.end()), pressed);
    // Nor did Qt find a notifier left on a closed socket.
    EXPECT_EQ(warnings.size(), 1) << warnings.join('\n').toStdString();

    tap.reset();
    sway.reset();
    rmdir(folder);
}

} // namespace
} // namespace tavrin

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
