#include "ItemCodec.h"

#include <gtest/gtest.h>

using namespace tavrin;

namespace {

const std::string idA = "0F8FAD5B-D9CB-469F-A165-70867728950E";
const std::string idB = "7C9E6679-7425-40DE-944B-E07FC1F90AE7";

std::string entry(const std::string& id, const std::string& label, const std::string& action) {
    return R"({"id":")" + id + R"(","label":")" + label + R"(","action":)" + action + "}";
}

std::vector<MenuItem> decoded(const std::string& bytes) {
    auto result = itemCodec::decode(bytes);
    auto* items = std::get_if<std::vector<MenuItem>>(&result);
    return items ? *items : std::vector<MenuItem>{};
}

std::string failure(const std::string& bytes) {
    auto result = itemCodec::decode(bytes);
    auto* failed = std::get_if<itemCodec::DecodeFailure>(&result);
    return failed ? failed->description : std::string("(decoded)");
}

} // namespace

TEST(ItemCodec, WritesTheExactCompactForm) {
    const std::vector<MenuItem> items{
        {*Uuid::parse(idA), "Command", PopupAction::insertText("/")},
        {*Uuid::parse(idB), "Forward", PopupAction::pressKey(SpecialKey::forwardDelete)},
    };
    EXPECT_EQ(
        itemCodec::encode(items),
        R"([{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","label":"Command","action":{"insertText":{"_0":"\/"}}},)"
        R"({"id":"7C9E6679-7425-40DE-944B-E07FC1F90AE7","label":"Forward","action":{"pressKey":{"_0":"Forward Delete"}}}])");
    EXPECT_EQ(itemCodec::encode({}), "[]");
}

TEST(ItemCodec, EscapesControlCharactersQuotesAndSlashesButKeepsUnicodeRaw) {
    const std::vector<MenuItem> items{
        {*Uuid::parse(idA), "a/b \"q\" \\",
         PopupAction::insertText("line\nnext\ttab\x01 \u00E9\U0001F600")}};
    const auto bytes = itemCodec::encode(items);
    ASSERT_TRUE(bytes);
    EXPECT_NE(bytes->find(R"("label":"a\/b \"q\" \\")"), std::string::npos);
    EXPECT_NE(bytes->find("line\\nnext\\ttab\\u0001 \u00E9\U0001F600"), std::string::npos);
    EXPECT_EQ(bytes->find('\n'), std::string::npos);
    EXPECT_EQ(decoded(*bytes), items);
}

TEST(ItemCodec, RefusesToWriteTextsThatAreNotUtf8) {
    EXPECT_FALSE(itemCodec::encode({{Uuid::random(), "bad \xC3", PopupAction::insertText("x")}}));
    EXPECT_FALSE(
        itemCodec::encode({{Uuid::random(), "x", PopupAction::insertText("\xED\xA0\x80")}}));
}

TEST(ItemCodec, RoundTripsEveryKeyAndKeepsIds) {
    std::vector<MenuItem> items;
    for (SpecialKey key : specialKey::allCases)
        items.push_back({Uuid::random(), "key", PopupAction::pressKey(key)});
    items.push_back({Uuid::random(), "", PopupAction::insertText("")});
    EXPECT_EQ(decoded(*itemCodec::encode(items)), items);
}

TEST(ItemCodec, AcceptsAnyMemberOrderLowerCaseIdsPlainSlashesAndExtraMembers) {
    const std::string bytes =
        R"([{"action":{"other":1,"insertText":{"_0":"/","x":2}},"label":"c","extra":[1],"id":")" +
        std::string("0f8fad5b-d9cb-469f-a165-70867728950e") + R"("}])";
    const auto items = decoded(bytes);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].id.text(), idA);
    EXPECT_EQ(items[0].action, PopupAction::insertText("/"));
}

TEST(ItemCodec, ActionNeedsExactlyOneRecognisedCase) {
    EXPECT_EQ(failure("[" +
                      entry(idA, "x", R"({"insertText":{"_0":"a"},"pressKey":{"_0":"Tab"}})") +
                      "]"),
              "Invalid number of keys found, expected one.");
    EXPECT_EQ(failure("[" + entry(idA, "x", R"({"typeText":{"_0":"a"}})") + "]"),
              "Invalid number of keys found, expected one.");
}

TEST(ItemCodec, OneBadEntryFailsTheWholeList) {
    const std::string good = entry(idA, "ok", R"({"pressKey":{"_0":"Return"}})");
    const std::vector<std::string> badEntries{
        entry(idB, "x", R"({"pressKey":{"_0":"return"}})"),
        entry(idB, "x", R"({"pressKey":{"_0":"Enter"}})"),
        entry(idB, "x", R"({"insertText":{"_1":"a"}})"),
        entry(idB, "x", R"({"insertText":{"_0":5}})"),
        entry(idB, "x", R"({"insertText":"a"})"),
        entry("not-a-uuid", "x", R"({"pressKey":{"_0":"Tab"}})"),
        R"({"id":")" + idB + R"(","label":7,"action":{"pressKey":{"_0":"Tab"}}})",
        R"({"id":")" + idB + R"(","action":{"pressKey":{"_0":"Tab"}}})",
        R"({"label":"x","action":{"pressKey":{"_0":"Tab"}}})",
        R"("just a string")",
    };
    for (const auto& bad : badEntries)
        EXPECT_TRUE(decoded("[" + good + "," + bad + "]").empty()) << bad;
}

TEST(ItemCodec, KeepsLongListsAndDuplicateIds) {
    std::string bytes = "[";
    for (int i = 0; i < 7; ++i)
        bytes +=
            (i ? "," : "") + entry(idA, "e" + std::to_string(i), R"({"insertText":{"_0":"t"}})");
    bytes += "]";
    const auto items = decoded(bytes);
    ASSERT_EQ(items.size(), 7u);
    EXPECT_EQ(items[6].label, "e6");
}

TEST(ItemCodec, HostileBytesFailWithoutCrashing) {
    const std::vector<std::string> hostile{
        "",
        "{}",
        "[",
        std::string(100000, '[') + std::string(100000, ']'),
        "[" + std::string(50000, '{'),
        "[\"\xFF\xFE\"]",
        "[" + entry(idA, "\xC3\x28", R"({"insertText":{"_0":"a"}})") + "]",
        std::string("[\0]", 3),
        "[1e999999]",
        "[" + entry(idA, "x", R"({"insertText":{"_0":"\ud800"}})") + "]",
    };
    for (const auto& bytes : hostile)
        EXPECT_TRUE(decoded(bytes).empty());
}

TEST(ItemCodec, DecodesAVeryLargeText) {
    const std::string big(4 * 1024 * 1024, 'x');
    const std::vector<MenuItem> items{{Uuid::random(), "big", PopupAction::insertText(big)}};
    EXPECT_EQ(decoded(*itemCodec::encode(items)), items);
}
