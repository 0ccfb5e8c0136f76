#include "platform/wayland/VirtualKeymap.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace tavrin {
namespace {

using Context = std::unique_ptr<xkb_context, decltype(&xkb_context_unref)>;
using Keymap = std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)>;
using State = std::unique_ptr<xkb_state, decltype(&xkb_state_unref)>;

// Compiles the keymap as the compositor and every client do; fails the test when it does not.
Keymap compile(const VirtualKeymap& keymap) {
    static const Context context{xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES),
                                 &xkb_context_unref};
    Keymap compiled{xkb_keymap_new_from_string(context.get(), keymap.text().c_str(),
                                               XKB_KEYMAP_FORMAT_TEXT_V1,
                                               XKB_KEYMAP_COMPILE_NO_FLAGS),
                    &xkb_keymap_unref};
    EXPECT_NE(compiled, nullptr) << keymap.text();
    return compiled;
}

// What a client receives when the runs' keys are pressed, each run on its own keymap.
std::string typedText(const std::vector<TypingRun>& runs) {
    std::string text;
    for (const TypingRun& run : runs) {
        const Keymap keymap = compile(run.keymap);
        if (!keymap)
            return text;
        EXPECT_LE(xkb_keymap_max_keycode(keymap.get()), 255u);
        const State state{xkb_state_new(keymap.get()), &xkb_state_unref};
        for (const std::uint32_t keycode : run.keycodes) {
            char utf8[16] = {};
            xkb_state_key_get_utf8(state.get(), keycode + 8, utf8, sizeof utf8);
            text += utf8;
        }
    }
    return text;
}

struct TextCase {
    const char* name;
    std::u16string text;
    std::string received; // UTF-8; Return arrives as a carriage return
};

TEST(VirtualKeymap, TypesEveryCharacterOfTheTextExactly) {
    const TextCase cases[] = {
        {"line feed and tab", u"a\nb\tc", "a\rb\tc"},
        {"CR LF is one Return", u"a\r\nb", "a\rb"},
        {"outside the BMP", u"😀𝄞🇩🇪", "😀𝄞🇩🇪"},
        {"other control characters left out", u"a\u0007b\u007fc", "abc"},
        {"a lone surrogate", std::u16string(u"a") + char16_t(0xD800) + u"b", "a\uFFFDb"},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(typedText(typingRuns(c.text)), c.received);
    }
}

TEST(VirtualKeymap, SplitsATextWithMoreCharactersThanKeys) {
    std::u16string text;
    std::string expected;
    for (char16_t c = u'\u4E00'; c < u'\u4E00' + 600; ++c) {
        text += c;
        text += u'a';
        const char32_t point = c;
        expected += static_cast<char>(0xE0 | (point >> 12));
        expected += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        expected += static_cast<char>(0x80 | (point & 0x3F));
        expected += 'a';
    }
    const auto runs = typingRuns(text);
    EXPECT_EQ(runs.size(), 3u);
    for (const TypingRun& run : runs)
        EXPECT_LE(run.keymap.size(), VirtualKeymap::capacity);
    EXPECT_EQ(typedText(runs), expected);
}

// Programs that read key codes see the special keys on their own evdev codes (KEY_ENTER, ...),
// and no character on those.
TEST(VirtualKeymap, HoldsTheSpecialKeysOnTheirOwnCodesBesideTheText) {
    std::vector<xkb_keysym_t> text;
    for (xkb_keysym_t letter = 0x1000410; letter < 0x1000410 + 40; ++letter)
        text.push_back(letter);
    const VirtualKeymap keymap(text);
    const Keymap compiled = compile(keymap);
    ASSERT_NE(compiled, nullptr);
    const std::pair<xkb_keysym_t, std::uint32_t> special[]{
        {XKB_KEY_Return, 28},    {XKB_KEY_Escape, 1},   {XKB_KEY_Tab, 15},
        {XKB_KEY_BackSpace, 14}, {XKB_KEY_Delete, 111}, {XKB_KEY_space, 57}};
    std::vector<std::pair<xkb_keysym_t, std::optional<std::uint32_t>>> wanted;
    for (const auto& [keysym, code] : special)
        wanted.emplace_back(keysym, code);
    for (const xkb_keysym_t keysym : text)
        wanted.emplace_back(keysym, std::nullopt);
    for (const auto& [keysym, code] : wanted) {
        const auto keycode = keymap.keycodeOf(keysym);
        ASSERT_TRUE(keycode) << keysym;
        if (code)
            EXPECT_EQ(*keycode, *code) << keysym;
        else
            EXPECT_EQ(std::count_if(std::begin(special), std::end(special),
                                    [&](const auto& key) { return key.second == *keycode; }),
                      0)
                << keysym;
        const xkb_keysym_t* found = nullptr;
        ASSERT_EQ(xkb_keymap_key_get_syms_by_level(compiled.get(), *keycode + 8, 0, 0, &found), 1);
        EXPECT_EQ(found[0], keysym);
    }
    EXPECT_FALSE(keymap.holds(XKB_KEY_a));
}

} // namespace
} // namespace tavrin
