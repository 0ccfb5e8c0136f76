#include "settings/EntryList.h"

#include "settings/EntryDragData.h"
#include "settings/EntryRow.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <utility>

namespace {

std::optional<int> draggedRow(const QMimeData* mime, const EntryList* list) {
    const auto* data = dynamic_cast<const EntryDragData*>(mime);
    if (!data || data->list() != list)
        return std::nullopt;
    return data->row();
}

} // namespace

EntryList::EntryList(QWidget* parent) : QListWidget(parent) {
    setObjectName("entryList");
    setFixedHeight(fixedHeight);
    setSelectionMode(QAbstractItemView::NoSelection);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setUniformItemSizes(true);
    viewport()->setAcceptDrops(true);
}

void EntryList::showItems(const std::vector<tavrin::MenuItem>& items) {
    if (items == shown_)
        return;
    shown_ = items;
    clear();
    for (int offset = 0; offset < static_cast<int>(items.size()); ++offset) {
        auto* item = new QListWidgetItem(this);
        item->setSizeHint(QSize(0, EntryRow::height));
        auto* row = new EntryRow(items[static_cast<std::size_t>(offset)]);
        connect(row, &EntryRow::editClicked, this, [this, offset] { emit editRequested(offset); });
        connect(row, &EntryRow::deleteClicked, this,
                [this, offset] { emit deleteRequested(offset); });
        setItemWidget(item, row);
    }
}

void EntryList::mousePressEvent(QMouseEvent* event) {
    pressedRow_.reset();
    const int row = indexAt(event->position().toPoint()).row();
    if (event->button() == Qt::LeftButton && row >= 0) {
        pressedRow_ = row;
        pressPosition_ = event->position().toPoint();
    }
    QListWidget::mousePressEvent(event);
}

void EntryList::mouseMoveEvent(QMouseEvent* event) {
    const bool dragging = pressedRow_ && (event->buttons() & Qt::LeftButton) &&
                          (event->position().toPoint() - pressPosition_).manhattanLength() >=
                              QApplication::startDragDistance();
    if (!dragging) {
        QListWidget::mouseMoveEvent(event);
        return;
    }
    const int row = *std::exchange(pressedRow_, std::nullopt);
    auto* drag = new QDrag(this);
    drag->setMimeData(new EntryDragData(this, row));
    if (QWidget* rowWidget = itemWidget(item(row))) {
        drag->setPixmap(rowWidget->grab());
        drag->setHotSpot(pressPosition_ - visualRect(model()->index(row, 0)).topLeft());
    }
    drag->exec(Qt::MoveAction);
}

void EntryList::keyPressEvent(QKeyEvent* event) {
    const bool deleteKey =
        event->matches(QKeySequence::Delete) || event->key() == Qt::Key_Backspace;
    if (deleteKey && currentRow() >= 0) {
        emit removeRequested(currentRow());
        return;
    }
    QListWidget::keyPressEvent(event);
}

void EntryList::dragEnterEvent(QDragEnterEvent* event) {
    if (!draggedRow(event->mimeData(), this)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    setIndicator(destinationAt(event->position().toPoint()));
}

void EntryList::dragMoveEvent(QDragMoveEvent* event) {
    if (!draggedRow(event->mimeData(), this)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    setIndicator(destinationAt(event->position().toPoint()));
}

void EntryList::dragLeaveEvent(QDragLeaveEvent* event) {
    setIndicator(std::nullopt);
    event->accept();
}

void EntryList::dropEvent(QDropEvent* event) {
    setIndicator(std::nullopt);
    const auto source = draggedRow(event->mimeData(), this);
    if (!source) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    const int destination = destinationAt(event->position().toPoint());
    // Reported after the drag has returned: the rows may be rebuilt in reaction.
    QMetaObject::invokeMethod(
        this, [this, from = *source, destination] { emit moveRequested(from, destination); },
        Qt::QueuedConnection);
}

void EntryList::paintEvent(QPaintEvent* event) {
    QListWidget::paintEvent(event);
    if (!indicator_)
        return;
    QPainter painter(viewport());
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    const int y = indicatorY(*indicator_);
    painter.drawLine(0, y, viewport()->width(), y);
}

int EntryList::destinationAt(const QPoint& position) const {
    const QModelIndex index = indexAt(position);
    if (!index.isValid())
        return count();
    const QRect rect = visualRect(index);
    return position.y() < rect.center().y() ? index.row() : index.row() + 1;
}

int EntryList::indicatorY(int destination) const {
    if (count() == 0)
        return 0;
    if (destination >= count())
        return visualRect(model()->index(count() - 1, 0)).bottom();
    return visualRect(model()->index(destination, 0)).top();
}

void EntryList::setIndicator(std::optional<int> destination) {
    if (indicator_ == destination)
        return;
    indicator_ = destination;
    viewport()->update();
}
