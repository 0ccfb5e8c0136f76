#include "platform/wayland/SwayButtonTap.h"

#include "platform/wayland/SwayIpc.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace tavrin {
namespace {

using namespace std::string_literals;

// One run of sway for the tap: it answers the subscription, sending a press of the button bound
// for button 4 in the same write, and then does nothing until it exits.
class FakeSway {
  public:
    explicit FakeSway(const std::string& path) : path_(path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        EXPECT_EQ(bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(listen(listener_, 2), 0);
        thread_ = std::thread([this] {
            // The tap connects for its commands first, then for the events it subscribes to.
            commands_ = accept(listener_, nullptr, nullptr);
            events_ = accept(listener_, nullptr, nullptr);
            swayIpc::FrameReader reader;
            std::optional<swayIpc::Message> subscription;
            for (char byte = 0; !subscription && recv(events_, &byte, 1, 0) == 1;) {
                reader.feed({&byte, 1});
                subscription = reader.next();
            }
            ASSERT_TRUE(subscription && subscription->type == swayIpc::subscribe);
            const std::string bytes =
                swayIpc::encode(swayIpc::subscribe, R"({"success": true})") +
                swayIpc::encode(
                    swayIpc::bindingEvent,
                    R"({"change": "run", "binding": {"command": "nop tavrin button 4"}})");
            ASSERT_EQ(write(events_, bytes.data(), bytes.size()), bytes.size());
        });
    }
    // sway exits: its socket and both connections close.
    ~FakeSway() {
        thread_.join();
        close(commands_);
        close(events_);
        close(listener_);
        unlink(path_.c_str());
    }

  private:
    std::string path_;
    const int listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int commands_ = -1;
    int events_ = -1;
    std::thread thread_;
};

long openSockets() {
    return std::ranges::count_if(
        std::filesystem::directory_iterator("/proc/self/fd"),
        [](const auto& fd) { return read_symlink(fd.path()).string().starts_with("socket:"); });
}

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
    EXPECT_EQ(openSockets(), 0) << "a socket of the lost connection stays open";
    int wakeUps = 0;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake,
                     [&wakeUps] { ++wakeUps; });
    const std::clock_t cpuBefore = std::clock();
    idle(3000);
    EXPECT_LT(std::clock() - cpuBefore, CLOCKS_PER_SEC * 3 / 10);
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
