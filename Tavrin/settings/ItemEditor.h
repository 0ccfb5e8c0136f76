#pragma once

#include "settings/ItemEditorModel.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QFormLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;

// The window-modal form that creates or changes one entry. It edits a private copy and only
// reports: onSave with the finished entry, or onCancel. Closing it is the caller's business.
class ItemEditor : public QDialog {
    Q_OBJECT

  public:
    static constexpr QSize fixedSize{400, 440};

    ItemEditor(const tavrin::MenuItem& item, std::function<void(const tavrin::MenuItem&)> onSave,
               std::function<void()> onCancel, QWidget* parent = nullptr);

    // Escape and the window's close button count as Cancel.
    void reject() override;

  private:
    QGroupBox* labelSection();
    QGroupBox* actionSection();
    void connectFields(QPushButton* cancelButton);
    void refresh();

    tavrin::ItemEditorModel model_;
    std::function<void(const tavrin::MenuItem&)> onSave_;
    std::function<void()> onCancel_;

    QLineEdit* labelField_;
    QComboBox* actionTypePicker_;
    QFormLayout* actionForm_;
    QLineEdit* textField_;
    QWidget* textNote_;
    QComboBox* keyPicker_;
    QPushButton* saveButton_;
};
