#pragma once

#include "MenuItem.h"

#include <QListWidget>
#include <QPoint>
#include <optional>
#include <vector>

// The list of popup entries. It shows what it is given and reports what the user asks for
// (edit, delete, reorder by dragging, the Delete key on the current row); it never changes its
// rows itself.
class EntryList : public QListWidget {
    Q_OBJECT

  public:
    static constexpr int fixedHeight = 142;

    explicit EntryList(QWidget* parent = nullptr);

    // Rebuilds the rows only when the entries differ from those shown.
    void showItems(const std::vector<tavrin::MenuItem>& items);

  signals:
    void editRequested(int offset);
    void deleteRequested(int offset);
    void removeRequested(int offset);
    // `destination` is the offset the row is to stand before; the row count means the end.
    void moveRequested(int source, int destination);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    int destinationAt(const QPoint& position) const;
    int indicatorY(int destination) const;
    void setIndicator(std::optional<int> destination);

    std::vector<tavrin::MenuItem> shown_;
    std::optional<int> pressedRow_;
    QPoint pressPosition_;
    std::optional<int> indicator_;
};
