#include "desktop/InputAccessHelp.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

namespace {

const QString pageResource = QStringLiteral(":/tavrin/help/input-access.html");

} // namespace

QString writeInputAccessHelp(const QString& situation) {
    QFile page(pageResource);
    if (!page.open(QIODevice::ReadOnly))
        return {};
    QByteArray content = page.readAll();
    if (!situation.isEmpty())
        content.replace("<!-- situation -->",
                        "<p><strong>" + situation.toHtmlEscaped().toUtf8() + "</strong></p>");

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

void openInputAccessHelp(const QString& situation) {
    const QString path = writeInputAccessHelp(situation);
    if (!path.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
