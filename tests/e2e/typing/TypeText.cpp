// Types through XKeyTyper on the display named by DISPLAY, as the utility does after a choice:
//
//   tavrin_type_text FILE        types the UTF-8 text of FILE
//
// Exit status 2 when there is no display with XTEST.

#include "UnicodeText.h"
#include "platform/x11/XKeyTyper.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tavrin_type_text FILE\n");
        return 1;
    }
    auto typer = tavrin::XKeyTyper::create([](const std::string& warning) {
        std::fprintf(stderr, "tavrin_type_text: %s\n", warning.c_str());
    });
    if (!typer) {
        std::fprintf(stderr, "tavrin_type_text: no X display with XTEST\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "tavrin_type_text: cannot read %s\n", argv[1]);
        return 1;
    }
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    typer->typeText(tavrin::unicodeText::toUtf16(text));
    return 0;
}
