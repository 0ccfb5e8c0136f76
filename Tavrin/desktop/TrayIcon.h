#pragma once

#include "ClickController.h"

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>

// The utility's face in the panel: an icon that follows the controller's state and the menu
// with the status line, "Enabled", "Settings…" and "Quit Tavrin".
class TrayIcon : public QObject {
    Q_OBJECT

  public:
    TrayIcon(tavrin::ClickController& controller, std::function<void()> openSettings);
    ~TrayIcon() override;

  private:
    void refresh();
    // At login the panel often comes up after the utility: wait for a tray instead of quitting.
    void showWhenTrayAppears();

    tavrin::ClickController& controller_;
    QMenu menu_;
    QAction* status_;
    QAction* enabled_;
    QSystemTrayIcon icon_;
    QTimer trayWait_;
    tavrin::ClickController::ObserverId observer_;
};
