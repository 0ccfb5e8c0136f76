#pragma once

#include <string>
#include <string_view>

namespace tavrin::unicodeText {

// True when both UTF-8 texts are canonically equivalent (equal after NFC).
bool canonicallyEqual(std::string_view a, std::string_view b);

// UTF-16 code units of a UTF-8 text; ill-formed sequences become U+FFFD.
std::u16string toUtf16(std::string_view utf8);
// UTF-8 of UTF-16 code units; a lone surrogate becomes U+FFFD.
std::string toUtf8(std::u16string_view utf16);

} // namespace tavrin::unicodeText
