#include "platform/x11/ClipboardLoan.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

using namespace tavrin;
using namespace std::chrono_literals;

namespace {

std::string contentsOf(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// xclip hands out more than its request size allows in parts (INCR); the loan keeps all of it
// and gives it back whole.
TEST(ClipboardLoan, KeepsWhatTheOwnerHandsOutInPartsAndGivesItBackWhole) {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("tavrin-clipboard-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::ostringstream text;
    for (int line = 0; line < 400000; ++line)
        text << "line " << line << " of what the user copied\n";
    std::ofstream(folder / "copied", std::ios::binary) << text.str();
    const std::string copy = "xclip -i -selection clipboard -t UTF8_STRING " +
                             (folder / "copied").string() + " >/dev/null";
    ASSERT_EQ(std::system(copy.c_str()), 0);

    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    std::vector<std::string> warnings;
    {
        ClipboardKeeper keeper;
        ClipboardLoan loan(
            connection, keeper, [](const xcb_generic_event_t&) {},
            [&warnings](const std::string& warning) { warnings.push_back(warning); });
        ASSERT_TRUE(loan.lend(u"😀", 20s));
        loan.giveBack(20s);
        const std::string paste = "timeout 20 xclip -o -selection clipboard -t UTF8_STRING > " +
                                  (folder / "pasted").string();
        ASSERT_EQ(std::system(paste.c_str()), 0);
    }
    xcb_disconnect(connection);
    EXPECT_EQ(warnings, std::vector<std::string>{});
    EXPECT_TRUE(contentsOf(folder / "pasted") == text.str());
    std::filesystem::remove_all(folder);
}

} // namespace
