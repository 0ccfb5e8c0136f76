#include "ItemCodec.h"

#include <gtest/gtest.h>

using namespace tavrin;

namespace {

const std::string idA = "0F8FAD5B-D9CB-469F-A165-70867728950E";

std::string entry(const std::string& label, const std::string& action,
                  const std::string& id = idA) {
    return R"({"id":")" + id + R"(","label":")" + label + R"(","action":)" + action + "}";
}

std::vector<MenuItem> decoded(const std::string& bytes) {
    auto result = itemCodec::decode(bytes);
    auto* items = std::get_if<std::vector<MenuItem>>(&result);
    return items ? *items : std::vector<MenuItem>{};
}

} // namespace

TEST(ItemCodec, WritesTheExactCompactFormOnlyForUtf8AndReadsItBack) {
    const std::vector<MenuItem> items{
        {*Uuid::parse(idA), "a/b \"q\" \\",
         PopupAction::insertText("x\n\t\x01/\u00E9\u20AC\U0001F600")},
        {*Uuid::parse("7c9e6679-7425-40de-944b-e07fc1f90ae7"), "Fwd",
         PopupAction::pressKey(SpecialKey::forwardDelete)},
    };
    EXPECT_EQ(
        itemCodec::encode(items),
        R"([{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","label":"a\/b \"q\" \\","action":{"insertText":{"_0":"x\n\t\u0001\/)"
        "\u00E9\u20AC\U0001F600"
        R"("}}},{"id":"7C9E6679-7425-40DE-944B-E07FC1F90AE7","label":"Fwd","action":{"pressKey":{"_0":"Forward Delete"}}}])");
    EXPECT_EQ(decoded(*itemCodec::encode(items)), items);
    EXPECT_EQ(itemCodec::encode({}), "[]");
    std::vector<MenuItem> keys;
    for (SpecialKey key : specialKey::allCases)
        keys.push_back({Uuid::random(), "", PopupAction::pressKey(key)});
    EXPECT_EQ(decoded(*itemCodec::encode(keys)), keys);
    // Texts that are not UTF-8 are refused on writing.
    EXPECT_FALSE(itemCodec::encode({{Uuid::random(), "bad \xC3", PopupAction::insertText("x")}}));
    for (const char* text : {"\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xC3\x28"})
        EXPECT_FALSE(itemCodec::encode({{Uuid::random(), "x", PopupAction::insertText(text)}}));
}

TEST(ItemCodec, ReadsAnyMemberOrderAndExtraMembersButOneBadEntryOrHostileBytesFailAll) {
    // Nested arrays one after the other are deep only one at a time; brackets in a text nest
    // nothing.
    const std::string deep = std::string(20, '[') + std::string(20, ']');
    const auto items =
        decoded(R"([{"extra":[)" + deep + "," + deep +
                R"(],"action":{"other":1,"insertText":{"_0":"/","x":2}},"label":")" +
                std::string(40, '{') + R"(","id":"0f8fad5b-d9cb-469f-a165-70867728950e"}])");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].id.text(), idA);
    EXPECT_EQ(items[0].action, PopupAction::insertText("/"));

    const std::string good = entry("ok", R"({"pressKey":{"_0":"Return"}})");
    const std::string bad[]{
        entry("x", R"({"insertText":{"_0":"a"},"pressKey":{"_0":"Tab"}})"),
        entry("x", R"({"typeText":{"_0":"a"}})"),
        entry("x", R"({"pressKey":{"_0":"return"}})"),
        entry("x", R"({"insertText":{"_1":"a"}})"),
        entry("x", R"({"insertText":{"_0":5}})"),
        entry("x", R"({"insertText":"a"})"),
        entry("x", R"({"pressKey":{"_0":"Tab"}})", "not-a-uuid"),
        entry("\xC3\x28", R"({"insertText":{"_0":"a"}})"),
        entry("x", R"({"insertText":{"_0":"\ud800"}})"),
        R"({"id":")" + idA + R"(","label":7,"action":{"pressKey":{"_0":"Tab"}}})",
        R"({"id":")" + idA + R"(","action":{"pressKey":{"_0":"Tab"}}})",
        R"({"label":"x","action":{"pressKey":{"_0":"Tab"}}})",
        R"("just a string")",
        std::string(100000, '[') + std::string(100000, ']'),
        std::string(50000, '{'),
        "1e999999",
    };
    EXPECT_EQ(decoded("[" + good + "," + good + "]").size(), 2u);
    for (const auto& entry : bad)
        EXPECT_TRUE(decoded("[" + good + "," + entry + "]").empty()) << entry.substr(0, 80);
    // Deep nesting after an escape in a name: a scan that lost track of strings would miss it.
    for (const std::size_t levels : {20u, 40u}) {
        const std::string bytes = R"([{"\\":0,"x":)" + std::string(levels, '[') +
                                  std::string(levels, ']') + "," +
                                  entry("x", R"({"pressKey":{"_0":"Tab"}})").substr(1) + "]";
        EXPECT_EQ(decoded(bytes).size(), levels < 30 ? 1u : 0u) << levels;
    }
    for (const std::string& bytes : {std::string(), std::string("{}"), std::string("["),
                                     std::string("[\"\xFF\xFE\"]"), std::string("[\0]", 3)})
        EXPECT_TRUE(std::holds_alternative<itemCodec::DecodeFailure>(itemCodec::decode(bytes)));
}
