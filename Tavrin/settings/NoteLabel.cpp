#include "settings/NoteLabel.h"

#include <algorithm>

namespace {

constexpr qreal captionShrink = 2.0;
constexpr qreal smallestCaptionPoints = 7.0;

} // namespace

NoteLabel::NoteLabel(const QString& text, Tone tone, QWidget* parent) : QLabel(text, parent) {
    QFont caption = font();
    if (caption.pointSizeF() > 0)
        caption.setPointSizeF(
            std::max(caption.pointSizeF() - captionShrink, smallestCaptionPoints));
    setFont(caption);
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    if (tone == Tone::secondary)
        setForegroundRole(QPalette::PlaceholderText);
}
