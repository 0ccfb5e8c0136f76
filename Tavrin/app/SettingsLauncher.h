#pragma once

#include "ClickController.h"

#include <QObject>
#include <QPointer>

class SettingsWindow;

// Opens the settings window (it keeps its own fixed size) and brings it to the front with the
// keyboard focus. The window manager may map it late, so it is raised again shortly after.
class SettingsLauncher : public QObject {
    Q_OBJECT

  public:
    explicit SettingsLauncher(tavrin::ClickController& controller);
    ~SettingsLauncher() override;

    void open();

  private:
    void raise();

    tavrin::ClickController& controller_;
    QPointer<SettingsWindow> window_;
};
