#include "app/SettingsLauncher.h"

#include "settings/SettingsWindow.h"

#include <QTimer>

namespace {

constexpr int firstRaiseMs = 50;
constexpr int secondRaiseMs = 250;

} // namespace

SettingsLauncher::SettingsLauncher(tavrin::ClickController& controller) : controller_(controller) {}

SettingsLauncher::~SettingsLauncher() {
    delete window_;
}

void SettingsLauncher::open() {
    if (!window_)
        window_ = new SettingsWindow(controller_);
    window_->show();
    window_->activateWindow();
    QTimer::singleShot(firstRaiseMs, Qt::PreciseTimer, this, &SettingsLauncher::raise);
    QTimer::singleShot(secondRaiseMs, Qt::PreciseTimer, this, &SettingsLauncher::raise);
}

// A window closed before the late raise stays closed.
void SettingsLauncher::raise() {
    if (!window_ || !window_->isVisible())
        return;
    window_->showNormal();
    window_->raise();
    window_->activateWindow();
}
