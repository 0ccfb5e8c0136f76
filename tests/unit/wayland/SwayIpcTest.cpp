#include "platform/wayland/SwayIpc.h"

#include "platform/wayland/SwayBindings.h"
#include "platform/wayland/SwayIpcSocket.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tavrin {
namespace {

using namespace std::string_literals;

// Bytes recorded from sway 1.7 on x86-64: the reply to a subscription followed by the event of a
// press of button 9 bound with "bindsym --whole-window button9 nop tavrin button 4".
const std::string subscribedThenPressed =
    "i3-ipc\x11\x00\x00\x00\x02\x00\x00\x00{\"success\": true}"
    "i3-ipc\xc8\x00\x00\x00\x05\x00\x00\x80"
    "{ \"change\": \"run\", \"binding\": { \"command\": \"nop tavrin button 4\", "
    "\"event_state_mask\": [ ], \"input_codes\": [ ], \"input_code\": 0, \"symbols\": [ "
    "\"button5\" ], \"symbol\": \"button5\", \"input_type\": \"mouse\" } }"s;

TEST(SwayIpc, CutsARecordedStreamIntoMessagesHoweverItArrives) {
    for (std::size_t piece = 1; piece <= subscribedThenPressed.size(); ++piece) {
        swayIpc::FrameReader reader;
        std::vector<swayIpc::Message> messages;
        for (std::size_t at = 0; at < subscribedThenPressed.size(); at += piece) {
            reader.feed(std::string_view(subscribedThenPressed).substr(at, piece));
            while (auto message = reader.next())
                messages.push_back(*message);
        }
        ASSERT_EQ(messages.size(), 2u) << "pieces of " << piece;
        EXPECT_EQ(messages[0].type, swayIpc::subscribe);
        EXPECT_TRUE(swayIpc::subscribed(messages[0].payload));
        EXPECT_EQ(messages[1].type, swayIpc::bindingEvent);
        EXPECT_EQ(swayIpc::ranBindingCommand(messages[1].payload), "nop tavrin button 4");
    }
}

// Woken with nothing to read, as after a read that filled its buffer exactly, the socket says so
// at once instead of spinning; a closed stream ends it.
TEST(SwayIpc, TheSocketTakesWhatHasArrivedWithoutWaiting) {
    char folder[] = "/tmp/tavrin-ipc-XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = folder + "/sway.sock"s;
    path.copy(address.sun_path, path.size());
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    const auto client = SwayIpcSocket::connect(path);
    const int sway = accept(listener, nullptr, nullptr);
    ASSERT_TRUE(client && sway >= 0);

    EXPECT_TRUE(client->readAvailable());
    EXPECT_FALSE(client->nextEvent());
    const std::string event = subscribedThenPressed.substr(31);
    ASSERT_EQ(write(sway, event.data(), event.size()), static_cast<ssize_t>(event.size()));
    EXPECT_TRUE(client->readAvailable());
    const auto pressed = client->nextEvent();
    EXPECT_EQ(pressed ? swayIpc::ranBindingCommand(pressed->payload) : "", "nop tavrin button 4");
    close(sway);
    EXPECT_FALSE(client->readAvailable());
    close(listener);
    unlink(path.c_str());
    rmdir(folder);
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
        EXPECT_EQ(swayBindings::buttonsBoundIn(bind + "\n"), std::set<int>{button});
    }
    EXPECT_EQ(swayBindings::spareButtons(), (std::set<int>{2, 3, 4, 5, 6, 7}));
    EXPECT_FALSE(swayBindings::buttonOfCommand("nop tavrin button 1"));
    EXPECT_FALSE(swayBindings::buttonOfCommand("exec tavrin button 4"));
}

TEST(SwayBindings, FindsTheUsersWholeWindowBindingsOfSpareButtons) {
    struct Case {
        const char* config;
        std::set<int> bound;
    };
    const Case cases[] = {
        {"bindsym --whole-window button9 exec foot", {4}},
        {"  bindsym --whole-window BUTTON8 kill\n", {3}},
        {"bindsym --whole-window BTN_EXTRA exec a\nbindcode --whole-window 274 exec b", {4, 2}},
        {"bindsym --whole-window BTN_FORWARD exec a\nbindsym --whole-window --no-warn BTN_TASK x",
         {5, 7}},
        {"bindsym button9 exec foot", {}},                          // title bars only
        {"bindsym --whole-window $mod+button9 exec foot", {}},      // with a modifier
        {"bindsym --whole-window --release button9 exec foot", {}}, // on release
        {"# bindsym --whole-window button9 exec foot", {}},
        {"bindsym --whole-window button1 exec foot", {}}, // not a spare button
        {"mode \"resize\" {\n  bindsym --whole-window button9 x\n}\nbindsym --whole-window "
         "button8 y",
         {3}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(swayBindings::buttonsBoundIn(c.config), c.bound) << c.config;
}

} // namespace
} // namespace tavrin
