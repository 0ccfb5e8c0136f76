#pragma once

#include <QMimeData>

class EntryList;

// What a row drag carries. Drops are accepted only from the same list in this process, so
// rows dragged from elsewhere never reorder the entries.
class EntryDragData : public QMimeData {
  public:
    EntryDragData(const EntryList* list, int row) : list_(list), row_(row) {}

    const EntryList* list() const { return list_; }
    int row() const { return row_; }

  private:
    const EntryList* list_;
    int row_;
};
