#include "platform/x11/TypingRecord.h"

#include <gtest/gtest.h>

using tavrin::TypingRecord;

namespace {

TypingRecord sample() {
    const TypingRecord::KeyMap empty;
    const TypingRecord::KeyMap omega = TypingRecord::KeyMap::holding({0x7d9, 0x7f9});
    const TypingRecord::KeyMap han = TypingRecord::KeyMap::holding({0x1004e00, 0x1004e01});
    return {0x12, 1, 2, {{93, empty, omega}, {93, empty, han}, {255, omega, han}}};
}

TEST(TypingRecord, ReadsBackWhatItWrote) {
    EXPECT_EQ(TypingRecord::decode(sample().encode()), sample());
    EXPECT_EQ(TypingRecord::decode(TypingRecord{}.encode()), TypingRecord{});
}

// A record cut short, damaged or not written by Tavrin restores nothing.
TEST(TypingRecord, TakesNothingButAWholeRecord) {
    const std::string whole = sample().encode();
    for (std::size_t length = 0; length < whole.size(); length += 7)
        EXPECT_FALSE(TypingRecord::decode(whole.substr(0, length))) << whole.substr(0, length);
    const auto damaged = [&whole](const std::string& from, const std::string& to) {
        std::string text = whole;
        const auto at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return TypingRecord::decode(text.replace(at, from.size(), to));
    };
    EXPECT_FALSE(damaged("\"keycode\":93", "\"keycode\":7"));
    EXPECT_FALSE(damaged("\"keycode\":255", "\"keycode\":256"));
    EXPECT_FALSE(damaged("\"keycode\":93", "\"keycode\":-93"));
    EXPECT_FALSE(damaged("\"lockedGroup\":1", "\"lockedGroup\":4"));
    EXPECT_FALSE(damaged("\"typingGroup\":2", "\"typingGroup\":\"2\""));
    EXPECT_FALSE(damaged("\"width\":2", "\"width\":3"));
    EXPECT_FALSE(damaged("[1,1,1,1]", "[1,1,1]"));
    EXPECT_FALSE(damaged("2009", "2009.5"));
    EXPECT_FALSE(damaged("\"bound\"", "\"bond\""));
    EXPECT_FALSE(TypingRecord::decode("[]"));
    EXPECT_FALSE(TypingRecord::decode("\x89PNG\r\n\x1a\n"));
}

} // namespace
