#include "desktop/PopupMenu.h"

#include <QImage>
#include <QStyle>
#include <gtest/gtest.h>

using namespace tavrin;

namespace {

// The left edge of the first dark pixels in the area.
int firstInk(const QImage& image, const QRect& area) {
    for (int x = area.left(); x <= area.right(); ++x)
        for (int y = area.top(); y <= area.bottom(); ++y)
            if (qGray(image.pixel(x, y)) < 80)
                return x;
    return -1;
}

// A symbol is centred in its column, a label starts after it: the same W, drawn as either,
// stands apart.
TEST(PopupMenu, DrawsTheSymbolInItsColumnAndTheLabelAfterIt) {
    const auto style = createPopupRowStyle();
    PopupMenu menu({{"W", "", "W", PopupAction::pressKey(SpecialKey::tab)},
                    {"", "W", "W", PopupAction::pressKey(SpecialKey::tab)}});
    menu.setStyle(style.get());
    const QImage image = menu.grab().toImage();
    const int symbol = firstInk(image, menu.actionGeometry(menu.actions()[0]));
    const int label = firstInk(image, menu.actionGeometry(menu.actions()[1]));
    EXPECT_GE(symbol, 0);
    EXPECT_GT(label - symbol, 10);
}

} // namespace
