#include "UnicodeText.h"

#include <unicode/unorm2.h>
#include <unicode/ustring.h>

namespace tavrin::unicodeText {
namespace {

std::u16string normalizedNfc(const std::u16string& text) {
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
    if (U_FAILURE(status))
        return text;
    const auto* source = reinterpret_cast<const UChar*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    if (unorm2_isNormalized(nfc, source, length, &status) && U_SUCCESS(status))
        return text;
    status = U_ZERO_ERROR;
    const int32_t needed = unorm2_normalize(nfc, source, length, nullptr, 0, &status);
    std::u16string out(static_cast<std::size_t>(needed), u'\0');
    status = U_ZERO_ERROR;
    unorm2_normalize(nfc, source, length, reinterpret_cast<UChar*>(out.data()), needed, &status);
    return U_SUCCESS(status) ? out : text;
}

} // namespace

std::u16string toUtf16(std::string_view utf8) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t needed = 0;
    const auto length = static_cast<int32_t>(utf8.size());
    u_strFromUTF8WithSub(nullptr, 0, &needed, utf8.data(), length, 0xFFFD, nullptr, &status);
    std::u16string out(static_cast<std::size_t>(needed), u'\0');
    status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), needed, nullptr, utf8.data(), length,
                         0xFFFD, nullptr, &status);
    return U_SUCCESS(status) ? out : std::u16string{};
}

std::string toUtf8(std::u16string_view utf16) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t needed = 0;
    const auto* source = reinterpret_cast<const UChar*>(utf16.data());
    const auto length = static_cast<int32_t>(utf16.size());
    u_strToUTF8WithSub(nullptr, 0, &needed, source, length, 0xFFFD, nullptr, &status);
    std::string out(static_cast<std::size_t>(needed), '\0');
    status = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), needed, nullptr, source, length, 0xFFFD, nullptr, &status);
    return U_SUCCESS(status) ? out : std::string{};
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
    if (a == b)
        return true;
    return normalizedNfc(toUtf16(a)) == normalizedNfc(toUtf16(b));
}

} // namespace tavrin::unicodeText
