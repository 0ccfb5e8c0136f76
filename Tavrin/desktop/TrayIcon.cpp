#include "desktop/TrayIcon.h"

#include <QApplication>
#include <QCursor>
#include <QIcon>

namespace {

constexpr int trayWaitIntervalMs = 1000;

QIcon iconNamed(const std::string& symbolName) {
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(QString::fromStdString(symbolName)));
}

} // namespace

TrayIcon::TrayIcon(tavrin::ClickController& controller, std::function<void()> openSettings)
    : controller_(controller) {
    status_ = menu_.addAction(QString());
    status_->setObjectName(QStringLiteral("statusLine"));
    status_->setEnabled(false);
    menu_.addSeparator();
    enabled_ = menu_.addAction(tr("Enabled"));
    enabled_->setCheckable(true);
    connect(enabled_, &QAction::triggered, this,
            [this] { controller_.setEnabled(!controller_.enabled()); });
    menu_.addSeparator();
    connect(menu_.addAction(tr("Settings\u2026")), &QAction::triggered, this,
            std::move(openSettings));
    menu_.addSeparator();
    connect(menu_.addAction(tr("Quit Tavrin")), &QAction::triggered, qApp, &QApplication::quit);

    icon_.setContextMenu(&menu_);
    // A left click opens the same menu as a right click; a quick second click counts too.
    connect(&icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::Trigger || why == QSystemTrayIcon::DoubleClick)
                    menu_.popup(QCursor::pos());
            });

    observer_ = controller_.addObserver([this] { refresh(); });
    refresh();
    showWhenTrayAppears();
}

TrayIcon::~TrayIcon() {
    controller_.removeObserver(observer_);
}

void TrayIcon::refresh() {
    status_->setText(QString::fromStdString(controller_.statusLine()));
    enabled_->setChecked(controller_.enabled());
    icon_.setIcon(iconNamed(controller_.menuSymbol()));
    icon_.setToolTip(QStringLiteral("Tavrin: ") + status_->text());
}

void TrayIcon::showWhenTrayAppears() {
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        icon_.show();
        return;
    }
    trayWait_.setInterval(trayWaitIntervalMs);
    connect(&trayWait_, &QTimer::timeout, this, [this] {
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            return;
        trayWait_.stop();
        icon_.show();
    });
    trayWait_.start();
}
