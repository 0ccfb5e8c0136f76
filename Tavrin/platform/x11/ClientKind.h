#pragma once

#include <string>
#include <string_view>
#include <vector>
#include <xkbcommon/xkbcommon.h>

namespace tavrin {

// What the application in front does with typed keys that the typer must allow for, known from
// its window's class. Each of these mishandles key events that every other toolkit takes.
enum class ClientKind {
    ordinary,
    // LibreOffice holds typed characters back while more keys wait, but inserts a character
    // outside the BMP at once, ahead of them. On GTK 3 it loses the second character of the
    // first run of East Asian characters held after others. Any key without a character makes it
    // insert what it holds.
    libreOffice,
    // Java keeps one UTF-16 unit per key event and looks a key up in the keymap of the moment it
    // handles the key, not of the moment the key was sent.
    java,
    // KTextEditor (KWrite, Kate, KDevelop) drops a key whose text starts with a surrogate, so a
    // character outside the BMP reaches it only by paste.
    textEditorPart,
};

// From the two strings of WM_CLASS of the window with the focus, or of the first window above
// it that has them.
ClientKind clientKindForClass(std::string_view instance, std::string_view className);

// A part of a text, typed as keys or pasted.
struct TextPiece {
    bool pasted = false;
    std::u16string text;

    friend bool operator==(const TextPiece&, const TextPiece&) = default;
};

// The text in the pieces the client takes: for KTextEditor, each run of characters outside the
// BMP is pasted; for every other client the text is one typed piece.
std::vector<TextPiece> textPiecesFor(ClientKind kind, std::u16string_view text);

// The keysyms that type a piece into the client, in order.
std::vector<xkb_keysym_t> keysymsFor(ClientKind kind, std::u16string_view text);

} // namespace tavrin
