#include "desktop/PopupMenu.h"

#include <QCursor>
#include <QFontMetrics>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>
#include <algorithm>
#include <optional>

namespace tavrin {

namespace {

constexpr int symbolCentre = 12;
constexpr int labelStart = 26;
constexpr int trailingMargin = 12;
constexpr int textFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs;

// The two texts of a row travel to the style in the option's one text field: the symbol's
// length, a colon, the symbol, the label. Any character may occur in either text.
QString packRowTexts(const QString& symbol, const QString& label) {
    return QString::number(symbol.size()) + u':' + symbol + label;
}

struct RowTexts {
    QString symbol;
    QString label;
};

std::optional<RowTexts> unpackRowTexts(const QString& packed) {
    const qsizetype colon = packed.indexOf(u':');
    bool isNumber = false;
    const qsizetype symbolLength = packed.left(colon).toLongLong(&isNumber);
    if (colon < 0 || !isNumber || symbolLength < 0 || colon + 1 + symbolLength > packed.size())
        return std::nullopt;
    return RowTexts{packed.mid(colon + 1, symbolLength), packed.mid(colon + 1 + symbolLength)};
}

struct RowLayout {
    QRect symbol;
    QRect label;
    QSize size;
};

// Positions relative to the row's top left corner. A symbol too wide for its column starts at
// the row's edge and pushes the label to its right, as a tab past its stop would.
RowLayout layOut(const RowTexts& texts, const QFontMetrics& metrics) {
    const QSize symbolSize = metrics.size(textFlags, texts.symbol);
    const QSize labelSize = metrics.size(textFlags, texts.label);
    const int symbolLeft = std::max(0, symbolCentre - symbolSize.width() / 2);
    const int symbolRight = symbolLeft + symbolSize.width();
    const int labelLeft =
        symbolRight <= labelStart ? labelStart : symbolRight + metrics.horizontalAdvance(u' ');
    const int height = std::max({symbolSize.height(), labelSize.height(), metrics.height()});
    return {QRect(QPoint(symbolLeft, 0), symbolSize), QRect(QPoint(labelLeft, 0), labelSize),
            QSize(labelLeft + labelSize.width() + trailingMargin, height)};
}

class PopupRowStyle final : public QProxyStyle {
  public:
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        const auto texts = item ? unpackRowTexts(item->text) : std::nullopt;
        if (type != CT_MenuItem || !texts)
            return QProxyStyle::sizeFromContents(type, option, size, widget);
        const QFontMetrics metrics(item->font);
        QStyleOptionMenuItem plain = *item;
        plain.text.clear();
        // The style's own padding around one line of text, kept around the row's lines.
        const int padding =
            QProxyStyle::sizeFromContents(type, &plain, QSize(0, metrics.height()), widget)
                .height() -
            metrics.height();
        const RowLayout layout = layOut(*texts, metrics);
        return {layout.size.width(), layout.size.height() + padding};
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        const auto texts = item ? unpackRowTexts(item->text) : std::nullopt;
        if (element != CE_MenuItem || !texts) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        QStyleOptionMenuItem background = *item;
        background.text.clear();
        QProxyStyle::drawControl(element, &background, painter, widget);

        const QFontMetrics metrics(item->font);
        const RowLayout layout = layOut(*texts, metrics);
        const QPoint origin(item->rect.left(),
                            item->rect.top() + (item->rect.height() - layout.size.height()) / 2);
        const bool highlighted = item->state & State_Selected && item->state & State_Enabled;
        painter->save();
        painter->setFont(item->font);
        painter->setPen(highlighted ? item->palette.highlightedText().color()
                                    : item->palette.text().color());
        painter->drawText(layout.symbol.translated(origin), textFlags, texts->symbol);
        painter->drawText(layout.label.translated(origin), textFlags, texts->label);
        painter->restore();
    }
};

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

std::unique_ptr<QStyle> createPopupRowStyle() {
    return std::make_unique<PopupRowStyle>();
}

PopupMenu::PopupMenu(const std::vector<PopupRow>& rows) {
    for (std::size_t index = 0; index < rows.size(); ++index) {
        // The action's own text feeds mnemonics and the shortcut column: doubled ampersands
        // and no tabs keep both away. What is drawn comes from the row data instead.
        QString accessibleTitle = fromUtf8(rows[index].title);
        accessibleTitle.replace(u'&', QStringLiteral("&&")).replace(u'\t', u' ');
        QAction* action = addAction(accessibleTitle);
        action->setData(QStringList{fromUtf8(rows[index].symbol), fromUtf8(rows[index].label)});
    }
}

void PopupMenu::initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const {
    QMenu::initStyleOption(option, action);
    const QStringList texts = action->data().toStringList();
    if (texts.size() == 2)
        option->text = packRowTexts(texts[0], texts[1]);
}

void showPopupMenu(const std::vector<PopupRow>& rows,
                   const std::function<void(const PopupAction&)>& picked) {
    std::optional<PopupAction> choice;
    {
        // Declared first so that it outlives the menu that uses it.
        const std::unique_ptr<QStyle> style = createPopupRowStyle();
        PopupMenu menu(rows);
        menu.setStyle(style.get());
        const QList<QAction*> actions = menu.actions();
        if (const QAction* chosen = menu.exec(QCursor::pos())) {
            const auto index = static_cast<std::size_t>(actions.indexOf(chosen));
            if (index < rows.size())
                choice = rows[index].action;
        }
    }
    if (choice)
        picked(*choice);
}

} // namespace tavrin
