#include "settings/EntryRow.h"

#include "settings/TrashIcon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace {

constexpr int symbolColumnWidth = 24;
constexpr int edgeInset = 8;
constexpr int spaceBeforeLabel = 6;
constexpr int spaceBeforeDelete = 10;

} // namespace

EntryRow::EntryRow(const tavrin::MenuItem& item, QWidget* parent) : QWidget(parent) {
    setObjectName("entryRow");
    setFixedHeight(height);

    const QString symbolText = QString::fromStdString(item.rowSymbol());
    auto* symbol = new QLabel(this);
    symbol->setObjectName("rowSymbol");
    symbol->setTextFormat(Qt::PlainText);
    symbol->setFixedWidth(symbolColumnWidth);
    symbol->setAlignment(Qt::AlignCenter);
    symbol->setText(
        symbol->fontMetrics().elidedText(symbolText, Qt::ElideRight, symbolColumnWidth));
    symbol->setToolTip(symbolText);

    auto* label = new QLabel(this);
    label->setObjectName("rowLabel");
    label->setTextFormat(Qt::PlainText);
    label->setText(QString::fromStdString(item.label));
    // A long label is cut at the buttons instead of widening the row.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto* edit = new QToolButton(this);
    edit->setObjectName("editButton");
    edit->setText("Edit");
    edit->setAutoRaise(true);
    connect(edit, &QToolButton::clicked, this, &EntryRow::editClicked);

    auto* remove = new QToolButton(this);
    remove->setObjectName("deleteButton");
    remove->setIcon(trashIcon(Qt::red));
    remove->setAutoRaise(true);
    remove->setToolTip("Delete this item");
    remove->setAccessibleName("Delete this item");
    connect(remove, &QToolButton::clicked, this, &EntryRow::deleteClicked);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(edgeInset, 0, edgeInset, 0);
    layout->setSpacing(0);
    layout->addWidget(symbol, 0, Qt::AlignVCenter);
    layout->addSpacing(spaceBeforeLabel);
    layout->addWidget(label, 1, Qt::AlignVCenter);
    layout->addWidget(edit, 0, Qt::AlignVCenter);
    layout->addSpacing(spaceBeforeDelete);
    layout->addWidget(remove, 0, Qt::AlignVCenter);
}
