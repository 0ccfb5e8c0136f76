#include "platform/wayland/SwayIpc.h"

#include "platform/wayland/SwayBindings.h"
#include "platform/wayland/SwayIpcSocket.h"

#include <cerrno>
#include <cstdlib>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tavrin {
namespace {

using namespace std::string_literals;
using namespace std::chrono_literals;

// Bytes recorded from sway 1.7 on x86-64: the reply to a subscription followed by the event of a
// press of button 9 bound with "bindsym --whole-window button9 nop tavrin button 4".
const std::string subscribedThenPressed =
    "i3-ipc\x11\x00\x00\x00\x02\x00\x00\x00{\"success\": true}"
    "i3-ipc\xc8\x00\x00\x00\x05\x00\x00\x80"
    "{ \"change\": \"run\", \"binding\": { \"command\": \"nop tavrin button 4\", "
    "\"event_state_mask\": [ ], \"input_codes\": [ ], \"input_code\": 0, \"symbols\": [ "
    "\"button5\" ], \"symbol\": \"button5\", \"input_type\": \"mouse\" } }"s;

// A message may carry no payload at all; it ends where its header does.
TEST(SwayIpc, CutsARecordedStreamIntoMessagesHoweverItArrives) {
    const std::string stream = subscribedThenPressed + swayIpc::encode(swayIpc::getConfig, "");
    for (std::size_t piece = 1; piece <= stream.size(); ++piece) {
        swayIpc::FrameReader reader;
        std::vector<swayIpc::Message> messages;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            reader.feed(std::string_view(stream).substr(at, piece));
            while (auto message = reader.next())
                messages.push_back(*message);
        }
        ASSERT_EQ(messages.size(), 3u) << "pieces of " << piece;
        EXPECT_EQ(messages[0].type, swayIpc::subscribe);
        EXPECT_TRUE(swayIpc::subscribed(messages[0].payload));
        EXPECT_EQ(messages[1].type, swayIpc::bindingEvent);
        EXPECT_EQ(swayIpc::ranBindingCommand(messages[1].payload), "nop tavrin button 4");
        EXPECT_EQ(messages[2].type, swayIpc::getConfig);
        EXPECT_EQ(messages[2].payload, "");
    }
}

// A listening socket in a folder of its own, with one client connected.
struct FakeSway {
    FakeSway() {
        EXPECT_TRUE(mkdtemp(folder));
        path = folder + "/sway.sock"s;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, path.size());
        EXPECT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(listen(listener, 1), 0);
        client = SwayIpcSocket::connect(path);
        sway = accept(listener, nullptr, nullptr);
    }
    ~FakeSway() {
        close(sway);
        close(listener);
        unlink(path.c_str());
        rmdir(folder);
    }
    void send(const std::string& bytes) const {
        EXPECT_EQ(write(sway, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    char folder[23] = "/tmp/tavrin-ipc-XXXXXX";
    std::string path;
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    std::unique_ptr<SwayIpcSocket> client;
    int sway = -1;
};

// Woken with nothing to read, as after a read that filled its buffer exactly, the socket says so
// at once instead of spinning; a closed stream ends it, whatever an earlier call left in errno.
TEST(SwayIpc, TheSocketTakesWhatHasArrivedWithoutWaiting) {
    FakeSway fake;
    ASSERT_TRUE(fake.client && fake.sway >= 0);
    EXPECT_TRUE(fake.client->readAvailable());
    EXPECT_FALSE(fake.client->nextEvent());
    fake.send(subscribedThenPressed.substr(31));
    EXPECT_TRUE(fake.client->readAvailable());
    const auto pressed = fake.client->nextEvent();
    EXPECT_EQ(pressed ? swayIpc::ranBindingCommand(pressed->payload) : "", "nop tavrin button 4");
    close(std::exchange(fake.sway, -1));
    errno = EINTR;
    EXPECT_FALSE(fake.client->readAvailable());
}

TEST(SwayIpc, APathTooLongForASocketAddressIsRefused) {
    EXPECT_FALSE(SwayIpcSocket::connect(std::string(sizeof(sockaddr_un::sun_path), 'x')));
    EXPECT_FALSE(SwayIpcSocket::connect(""));
}

// sway answers the requests on a connection in order: a reply that comes too late, or one to
// another request, puts the connection out of step, and no later reply can be trusted.
TEST(SwayIpc, AConnectionOutOfStepGivesNoMoreReplies) {
    const auto config = [](const char* text) {
        return swayIpc::encode(swayIpc::getConfig, R"({"config": ")"s + text + "\"}");
    };
    struct Case {
        std::string beforeFirst, afterFirst;
    };
    const Case cases[] = {
        {"", config("late")},
        {swayIpc::encode(swayIpc::runCommand, R"([{"success": true}])"), ""},
    };
    for (const Case& c : cases) {
        FakeSway fake;
        ASSERT_TRUE(fake.client && fake.sway >= 0);
        fake.send(c.beforeFirst);
        EXPECT_FALSE(fake.client->request(swayIpc::getConfig, "", 50ms));
        fake.send(c.afterFirst + config("next"));
        const auto second = fake.client->request(swayIpc::getConfig, "", 50ms);
        EXPECT_EQ(second ? swayIpc::configText(second->payload) : std::nullopt, std::nullopt);
    }
}

TEST(SwayIpc, ABrokenStreamGivesNothingMore) {
    const std::string cases[] = {
        "i3-ipX\x02\x00\x00\x00\x00\x00\x00\x00[]"s, // wrong magic
        "i3-ipc\xff\xff\xff\x7f\x00\x00\x00\x00[]"s, // absurd length
    };
    for (const std::string& bytes : cases) {
        swayIpc::FrameReader reader;
        reader.feed(bytes);
        reader.feed(subscribedThenPressed);
        EXPECT_FALSE(reader.next());
        EXPECT_TRUE(reader.broken());
    }
}

// Sway's own replies are read through the end-to-end tests; here what sway never sends.
TEST(SwayIpc, ReadsMalformedRepliesAsNothing) {
    const auto refused = swayIpc::commandResults(
        R"([ { "success": true }, { "success": false, "parse_error": false, "error": "Could not find binding `button8` for the given flags" } ])");
    ASSERT_EQ(refused.size(), 2u);
    EXPECT_FALSE(refused[1].success);
    for (const char* malformed : {"", "[", "{}", R"({"config": 3})", "[1]",
                                  R"({"change": "run", "binding": {"command": 4}})"}) {
        EXPECT_TRUE(swayIpc::commandResults(malformed).empty()) << malformed;
        EXPECT_FALSE(swayIpc::configText(malformed)) << malformed;
        EXPECT_FALSE(swayIpc::ranBindingCommand(malformed)) << malformed;
    }
}

TEST(SwayBindings, OurCommandsNameTheButtonTheyCatch) {
    for (const int button : swayBindings::spareButtons()) {
        const std::string bind = swayBindings::bindCommand(button);
        ASSERT_TRUE(bind.starts_with("bindsym --whole-window ")) << bind;
        const std::string command = bind.substr(bind.find(" nop ") + 1);
        EXPECT_EQ(swayBindings::buttonOfCommand(command), button);
        // The same trigger in a user's configuration would be taken.
        std::istringstream stream(bind);
        const std::vector<std::string> words{std::istream_iterator<std::string>(stream), {}};
        EXPECT_EQ(swayBindings::buttonsBoundIn({words}), std::set<int>{button});
    }
    EXPECT_EQ(swayBindings::spareButtons(), (std::set<int>{2, 3, 4, 5, 6, 7}));
    EXPECT_FALSE(swayBindings::buttonOfCommand("nop tavrin button 1"));
    EXPECT_FALSE(swayBindings::buttonOfCommand("exec tavrin button 4"));
}

} // namespace
} // namespace tavrin
