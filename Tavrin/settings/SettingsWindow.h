#pragma once

#include "ClickController.h"
#include "settings/SettingsModel.h"

#include <QPointer>
#include <QWidget>

class EntryList;
class ItemEditor;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

// The settings window: permission, mouse button, popup entries and general switches. It keeps
// no copy of the controller's state and re-reads everything whenever the controller changes.
class SettingsWindow : public QWidget {
    Q_OBJECT

  public:
    static constexpr QSize fixedSize{440, 640};

    explicit SettingsWindow(tavrin::ClickController& controller, QWidget* parent = nullptr);
    ~SettingsWindow() override;

  protected:
    void hideEvent(QHideEvent* event) override;

  private:
    QGroupBox* buildPermissionSection();
    QGroupBox* buildMouseSection();
    QGroupBox* buildItemsSection();
    QGroupBox* buildGeneralSection();
    void refresh();
    // Opens or closes the editor to match the model's entry being edited.
    void syncEditor();
    void editAt(int offset);
    void deleteAt(int offset);

    tavrin::ClickController& controller_;
    tavrin::SettingsModel model_;
    tavrin::ClickController::ObserverId observer_;
    QPointer<ItemEditor> editor_;

    QGroupBox* permissionSection_ = nullptr;
    QLabel* assignedButtonValue_ = nullptr;
    QPushButton* assignButton_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    EntryList* entryList_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QLabel* maximumReached_ = nullptr;
    QCheckBox* enabledToggle_ = nullptr;
    QCheckBox* launchAtLoginToggle_ = nullptr;
    QLabel* saveNotice_ = nullptr;
};
