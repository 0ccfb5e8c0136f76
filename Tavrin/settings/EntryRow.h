#pragma once

#include "MenuItem.h"

#include <QWidget>

// One row of the entry list: the row symbol in a fixed column, the label, and the buttons that
// edit and delete the entry.
class EntryRow : public QWidget {
    Q_OBJECT

  public:
    static constexpr int height = 28;

    explicit EntryRow(const tavrin::MenuItem& item, QWidget* parent = nullptr);

  signals:
    void editClicked();
    void deleteClicked();
};
