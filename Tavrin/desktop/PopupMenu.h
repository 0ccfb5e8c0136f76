#pragma once

#include "platform/Platform.h"

#include <QMenu>
#include <functional>
#include <memory>
#include <vector>

class QStyle;
class QStyleOptionMenuItem;

namespace tavrin {

// A menu of popup rows, each drawn in two columns: the symbol centred at 12 px and the label
// from 26 px, both taken literally (no mnemonics, no shortcut column, no eliding).
class PopupMenu final : public QMenu {
  public:
    explicit PopupMenu(const std::vector<PopupRow>& rows);

  protected:
    void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override;
};

// The style that draws the rows; it must outlive the menus that use it.
std::unique_ptr<QStyle> createPopupRowStyle();

// Opens the rows at the pointer and returns once the menu has closed; picked receives a copy of
// the chosen row's action.
void showPopupMenu(const std::vector<PopupRow>& rows,
                   const std::function<void(const PopupAction&)>& picked);

} // namespace tavrin
