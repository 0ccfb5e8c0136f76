#include "platform/x11/ClientKind.h"

#include "xkb/Keysyms.h"

#include <array>
#include <utility>

namespace tavrin {
namespace {

constexpr char32_t firstAstral = 0x10000;
constexpr xkb_keysym_t unicodeKeysymBase = 0x01000000;

bool isAstralKeysym(xkb_keysym_t keysym) {
    return keysym >= unicodeKeysymBase + firstAstral && keysym <= unicodeKeysymBase + 0x10FFFF;
}

// Hangul, kana, CJK ideographs and their fullwidth forms: what LibreOffice counts as Asian
// script within the BMP.
bool isEastAsianKeysym(xkb_keysym_t keysym) {
    const char32_t c = xkb_keysym_to_utf32(keysym);
    return (c >= 0x1100 && c <= 0x11FF) || (c >= 0x2E80 && c <= 0xA4CF) ||
           (c >= 0xA960 && c <= 0xA97F) || (c >= 0xAC00 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFFEF);
}

} // namespace

ClientKind clientKindForClass(std::string_view instance, std::string_view className) {
    if (instance == "libreoffice" || className.starts_with("libreoffice-") ||
        className == "Soffice")
        return ClientKind::libreOffice;
    // Java's focus goes to a window of its own inside the top-level one.
    if (className == "FocusProxy" || instance == "Focus-Proxy-Window")
        return ClientKind::java;
    constexpr std::array textEditorHosts{"kwrite", "kate", "kdevelop", "kile"};
    for (std::string_view host : textEditorHosts) {
        if (instance == host)
            return ClientKind::textEditorPart;
    }
    return ClientKind::ordinary;
}

std::vector<TextPiece> textPiecesFor(ClientKind kind, std::u16string_view text) {
    if (kind != ClientKind::textEditorPart)
        return {{false, std::u16string(text)}};
    std::vector<TextPiece> pieces;
    for (std::size_t i = 0; i < text.size();) {
        // A high surrogate starts a character outside the BMP; a lone one is typed, as U+FFFD.
        const bool astral = i + 1 < text.size() && text[i] >= 0xD800 && text[i] <= 0xDBFF &&
                            text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        const std::size_t length = astral ? 2 : 1;
        if (pieces.empty() || pieces.back().pasted != astral)
            pieces.push_back({astral, {}});
        pieces.back().text.append(text.substr(i, length));
        i += length;
    }
    return pieces;
}

std::vector<xkb_keysym_t> keysymsFor(ClientKind kind, std::u16string_view text) {
    std::vector<xkb_keysym_t> keysyms = keymap::keysymsForText(text);
    if (kind != ClientKind::libreOffice && kind != ClientKind::java)
        return keysyms;
    std::vector<xkb_keysym_t> out;
    out.reserve(keysyms.size());
    bool inEastAsianRun = false;
    for (xkb_keysym_t keysym : keysyms) {
        const bool startsEastAsianRun = !inEastAsianRun && isEastAsianKeysym(keysym);
        inEastAsianRun = isEastAsianKeysym(keysym);
        if (kind == ClientKind::libreOffice && (isAstralKeysym(keysym) || startsEastAsianRun)) {
            // F20 is bound to nothing in LibreOffice: it only makes it insert what it holds.
            out.push_back(XKB_KEY_F20);
            out.push_back(keysym);
        } else if (kind == ClientKind::libreOffice || !isAstralKeysym(keysym)) {
            out.push_back(keysym);
        } else {
            // Java joins the two halves in the text as the user's own two key events.
            const char32_t offset = keysym - unicodeKeysymBase - firstAstral;
            out.push_back(unicodeKeysymBase + 0xD800 + (offset >> 10));
            out.push_back(unicodeKeysymBase + 0xDC00 + (offset & 0x3FF));
        }
    }
    return out;
}

} // namespace tavrin
