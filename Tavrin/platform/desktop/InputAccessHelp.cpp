#include "InputAccessHelp.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

namespace {

const QString pageResource = QStringLiteral(":/tavrin/help/input-access.html");

} // namespace

QString writeInputAccessHelp() {
    QFile page(pageResource);
    if (!page.open(QIODevice::ReadOnly))
        return {};
    const QByteArray content = page.readAll();

    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + "/tavrin";
    const QString path = folder + "/input-access.html";
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == content)
        return path;
    if (!QDir().mkpath(folder))
        return {};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        return {};
    return path;
}

void openInputAccessHelp() {
    const QString path = writeInputAccessHelp();
    if (!path.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
