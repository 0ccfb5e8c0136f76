#include "platform/x11/ClientKind.h"

#include <gtest/gtest.h>

using tavrin::ClientKind;
using tavrin::keysymsFor;
using tavrin::TextPiece;

namespace {

const std::u16string party = u"a\U0001F389b\n";

TEST(ClientKind, ToldFromTheWindowClass) {
    EXPECT_EQ(tavrin::clientKindForClass("libreoffice", "libreoffice-writer"),
              ClientKind::libreOffice);
    EXPECT_EQ(tavrin::clientKindForClass("Focus-Proxy-Window", "FocusProxy"), ClientKind::java);
    EXPECT_EQ(tavrin::clientKindForClass("kate", "kate"), ClientKind::textEditorPart);
    EXPECT_EQ(tavrin::clientKindForClass("mousepad", "Mousepad"), ClientKind::ordinary);
}

// Only the applications that mishandle a character outside the BMP get it another way.
TEST(ClientKind, CharactersOutsideTheBmpGoTheApplicationsWay) {
    const std::vector<xkb_keysym_t> plain{'a', 0x101F389, 'b', XKB_KEY_Return};
    EXPECT_EQ(keysymsFor(ClientKind::ordinary, party), plain);
    EXPECT_EQ(keysymsFor(ClientKind::textEditorPart, party), plain);
    EXPECT_EQ(keysymsFor(ClientKind::libreOffice, party),
              (std::vector<xkb_keysym_t>{'a', XKB_KEY_F20, 0x101F389, 'b', XKB_KEY_Return}));
    // LibreOffice also inserts what it holds before each run of East Asian characters, here
    // runs that begin at the first radical and the first jamo.
    const std::u16string asian = u"a\u2E80本 \u1100한 ｶ🎉x";
    const std::vector<xkb_keysym_t> asianKeysyms = keysymsFor(ClientKind::ordinary, asian);
    EXPECT_EQ(
        keysymsFor(ClientKind::libreOffice, asian),
        (std::vector<xkb_keysym_t>{'a', XKB_KEY_F20, asianKeysyms[1], asianKeysyms[2], ' ',
                                   XKB_KEY_F20, asianKeysyms[4], asianKeysyms[5], ' ', XKB_KEY_F20,
                                   asianKeysyms[7], XKB_KEY_F20, 0x101F389, 'x'}));
    EXPECT_EQ(keysymsFor(ClientKind::textEditorPart, asian), asianKeysyms);
    EXPECT_EQ(keysymsFor(ClientKind::java, u"\U0010FFFF\U0001F389"),
              (std::vector<xkb_keysym_t>{0x100DBFF, 0x100DFFF, 0x100D83C, 0x100DF89}));
}

TEST(ClientKind, RunsOutsideTheBmpArePastedIntoATextEditorPart) {
    EXPECT_EQ(
        tavrin::textPiecesFor(ClientKind::textEditorPart, u"\U0001F44D\U0001F3FD ok \U0001F600"),
        (std::vector<TextPiece>{
            {true, u"\U0001F44D\U0001F3FD"}, {false, u" ok "}, {true, u"\U0001F600"}}));
    // A lone surrogate is no character to paste.
    EXPECT_EQ(tavrin::textPiecesFor(ClientKind::textEditorPart, u"x\xD83C"),
              (std::vector<TextPiece>{{false, u"x\xD83C"}}));
    EXPECT_EQ(tavrin::textPiecesFor(ClientKind::java, party),
              (std::vector<TextPiece>{{false, party}}));
}

} // namespace
