#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin {

enum class SpecialKey { returnKey, escape, tab, delete_, forwardDelete, space };

namespace specialKey {

inline constexpr std::array<SpecialKey, 6> allCases{SpecialKey::returnKey,     SpecialKey::escape,
                                                    SpecialKey::tab,           SpecialKey::delete_,
                                                    SpecialKey::forwardDelete, SpecialKey::space};

// The display name, the stored form and the identity of the key.
std::string_view rawValue(SpecialKey key);
std::optional<SpecialKey> fromRawValue(std::string_view text);
// One-character glyph (UTF-8) standing for the key in popup rows and the editor.
std::string_view symbol(SpecialKey key);

} // namespace specialKey
} // namespace tavrin
