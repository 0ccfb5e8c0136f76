#pragma once

#include "PopupAction.h"
#include "Uuid.h"

#include <string>
#include <vector>

namespace tavrin {

struct MenuItem {
    Uuid id;
    std::string label; // UTF-8
    PopupAction action;

    // The default entries, built once per run with fresh ids.
    static const std::vector<MenuItem>& defaults();

    // What the popup row starts with: the text itself, or the key's glyph.
    std::string rowSymbol() const;
    // Row symbol, an em space, the label.
    std::string popupTitle() const;

    friend bool operator==(const MenuItem& a, const MenuItem& b);
};

inline constexpr std::size_t maximumMenuItems = 5;

} // namespace tavrin
