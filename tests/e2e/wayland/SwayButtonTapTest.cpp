// The sway tap against a fake sway on a socket of its own: which commands reach sway, and
// which presses reach the callback.
#include "SwayButtonTap.h"

#include "SwayIpc.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <array>
#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace tavrin {
namespace {

// Answers like sway: every command succeeds, the configuration is the text given.
class FakeSway {
  public:
    explicit FakeSway(std::string config) : config_(std::move(config)) {
        const std::string path = folder_.path().toStdString() + "/sway.sock";
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(listener_, 4) != 0)
            throw std::runtime_error("no socket for the fake sway");
        qputenv("SWAYSOCK", QByteArray::fromStdString(path));
        qputenv("XDG_RUNTIME_DIR", folder_.path().toUtf8());
        thread_ = std::thread([this] { serve(); });
    }
    ~FakeSway() {
        stop_ = true;
        thread_.join();
        for (const Client& client : clients_)
            close(client.fd);
        close(listener_);
    }

    std::vector<std::string> commands() {
        const std::lock_guard lock(mutex_);
        return commands_;
    }

    void pressBinding(const std::string& command) {
        const std::lock_guard lock(mutex_);
        const std::string event =
            swayIpc::encode(swayIpc::bindingEvent,
                            R"({"change": "run", "binding": {"command": ")" + command + R"("}})");
        for (const Client& client : clients_) {
            if (client.subscribed)
                send(client.fd, event.data(), event.size(), MSG_NOSIGNAL);
        }
    }

  private:
    struct Client {
        int fd;
        swayIpc::FrameReader reader;
        bool subscribed = false;
    };

    void serve() {
        while (!stop_) {
            std::vector<pollfd> fds{{listener_, POLLIN, 0}};
            {
                const std::lock_guard lock(mutex_);
                for (const Client& client : clients_)
                    fds.push_back({client.fd, POLLIN, 0});
            }
            if (poll(fds.data(), fds.size(), 20) <= 0)
                continue;
            const std::lock_guard lock(mutex_);
            if (fds[0].revents & POLLIN)
                clients_.push_back({accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC), {}});
            for (std::size_t index = 1; index < fds.size(); ++index) {
                if (fds[index].revents & POLLIN)
                    answer(clients_[index - 1]);
            }
        }
    }

    void answer(Client& client) {
        std::array<char, 4096> bytes{};
        const ssize_t got = recv(client.fd, bytes.data(), bytes.size(), MSG_DONTWAIT);
        if (got <= 0)
            return;
        client.reader.feed(std::string_view(bytes.data(), static_cast<std::size_t>(got)));
        while (const auto message = client.reader.next()) {
            std::string reply = R"({"success": true})";
            if (message->type == swayIpc::runCommand) {
                commands_.push_back(message->payload);
                reply = R"([{"success": true}])";
            } else if (message->type == swayIpc::subscribe) {
                client.subscribed = true;
            } else if (message->type == swayIpc::getConfig) {
                reply = R"({"config": ")" + config_ + R"("})";
            }
            const std::string frame = swayIpc::encode(message->type, reply);
            send(client.fd, frame.data(), frame.size(), MSG_NOSIGNAL);
        }
    }

    QTemporaryDir folder_;
    std::string config_;
    int listener_ = -1;
    std::mutex mutex_;
    std::vector<Client> clients_;
    std::vector<std::string> commands_;
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};

bool processEventsUntil(const std::function<bool()>& condition) {
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

std::vector<std::string> bindingsOf(std::initializer_list<const char*> triggers,
                                    std::initializer_list<int> buttons, const char* verb) {
    std::vector<std::string> commands;
    auto button = buttons.begin();
    for (const char* trigger : triggers) {
        std::string command = std::string(verb) + " --whole-window " + trigger;
        if (std::string_view(verb) == "bindsym")
            command += " nop tavrin button " + std::to_string(*button++);
        commands.push_back(command);
    }
    return commands;
}

TEST(SwayButtonTap, BindsExactlyTheWatchedButtonsAndRemovesExactlyThose) {
    FakeSway sway("bindsym --whole-window button2 exec paste-something\\n");
    std::vector<ButtonEvent> seen;
    {
        const auto tap = SwayButtonTap::create([&seen](const ButtonEvent& event) {
            seen.push_back(event);
            return Verdict::swallow;
        });
        ASSERT_TRUE(tap);
        tap->setEnabled(true, WatchedButtons{}); // assign mode: every spare button but the user's
        EXPECT_EQ(sway.commands(),
                  bindingsOf({"button8", "button9", "BTN_FORWARD", "BTN_BACK", "BTN_TASK"},
                             {3, 4, 5, 6, 7}, "bindsym"));
        const std::size_t assigning = sway.commands().size();
        tap->setEnabled(true, WatchedButtons{4});
        std::vector<std::string> narrowed = sway.commands();
        narrowed.erase(narrowed.begin(), narrowed.begin() + static_cast<long>(assigning));
        EXPECT_EQ(narrowed,
                  bindingsOf({"button8", "BTN_FORWARD", "BTN_BACK", "BTN_TASK"}, {}, "unbindsym"));

        sway.pressBinding("exec paste-something");
        sway.pressBinding("nop tavrin button 4");
        ASSERT_TRUE(processEventsUntil([&seen] { return seen.size() >= 2; }));
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[0].type, ButtonEventType::press);
        EXPECT_EQ(seen[1].type, ButtonEventType::release);
        EXPECT_EQ(seen[0].button, 4);
        EXPECT_EQ(seen[1].button, 4);
        EXPECT_EQ(tap->watchState(), WatchState::watching);

        tap->setEnabled(true, WatchedButtons{2}); // the user's
        EXPECT_EQ(tap->watchState(), WatchState::heldByAnotherProgram);
        tap->setEnabled(true, WatchedButtons{9}); // X button 14: sway has no name for it
        EXPECT_EQ(tap->watchState(), WatchState::beyondReach);
    }
    EXPECT_EQ(sway.commands().back(), "unbindsym --whole-window button9");
    for (const std::string& command : sway.commands())
        EXPECT_EQ(command.find("button2"), std::string::npos) << command;
}

} // namespace
} // namespace tavrin

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
