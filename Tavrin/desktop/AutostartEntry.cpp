#include "desktop/AutostartEntry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>
#include <optional>

namespace {

Q_LOGGING_CATEGORY(autostartLog, "tavrin.autostart")

bool failed(const QString& path, const QString& reason, QString* failure) {
    qCWarning(autostartLog, "could not write %s: %s", qUtf8Printable(path), qUtf8Printable(reason));
    if (failure)
        *failure = QStringLiteral("could not write %1 (%2)").arg(path, reason);
    return false;
}

const QString entryGroup = QStringLiteral("[Desktop Entry]");
// Panels that honour these keys start the program after the tray is up.
constexpr int startDelaySeconds = 3;

QString configHome() {
    const QString configured = qEnvironmentVariable("XDG_CONFIG_HOME");
    // Relative values are invalid and must be ignored.
    if (!configured.isEmpty() && QDir::isAbsolutePath(configured))
        return configured;
    return QDir::homePath() + QStringLiteral("/.config");
}

// The string escapes every value of a desktop entry goes through.
QString escapeValue(const QString& value) {
    QString escaped;
    for (const QChar c : value) {
        if (c == u'\\')
            escaped += QStringLiteral("\\\\");
        else if (c == u'\n')
            escaped += QStringLiteral("\\n");
        else if (c == u'\t')
            escaped += QStringLiteral("\\t");
        else if (c == u'\r')
            escaped += QStringLiteral("\\r");
        else
            escaped += c;
    }
    return escaped;
}

QString unescapeValue(const QString& value) {
    QString plain;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            plain += value[i];
            continue;
        }
        const QChar next = value[++i];
        if (next == u's')
            plain += u' ';
        else if (next == u'n')
            plain += u'\n';
        else if (next == u't')
            plain += u'\t';
        else if (next == u'r')
            plain += u'\r';
        else
            plain += next;
    }
    return plain;
}

// The program as one quoted Exec argument: quotes, backquotes, dollars and backslashes are
// escaped inside the quotes, and a percent sign is doubled so it is not a field code.
QString quotedArgument(const QString& program) {
    QString quoted = QStringLiteral("\"");
    for (const QChar c : program) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    return quoted + u'"';
}

// The first argument of an Exec line, after the string escapes were undone.
std::optional<QString> firstArgument(const QString& exec) {
    QString argument;
    qsizetype i = 0;
    if (exec.startsWith(u'"')) {
        for (i = 1; i < exec.size() && exec[i] != u'"'; ++i) {
            if (exec[i] == u'\\' && i + 1 < exec.size())
                ++i;
            argument += exec[i];
        }
        if (i == exec.size())
            return std::nullopt;
    } else {
        argument = exec.section(u' ', 0, 0);
    }
    return argument.replace(QStringLiteral("%%"), QStringLiteral("%"));
}

// The keys of the main group; later duplicates win, as in most readers.
std::optional<QHash<QString, QString>> readEntry(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    QHash<QString, QString> keys;
    bool inEntryGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inEntryGroup = line == entryGroup;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (inEntryGroup && equals > 0)
            keys.insert(line.left(equals).trimmed(), unescapeValue(line.mid(equals + 1).trimmed()));
    }
    return keys;
}

// An installed program names its own icon in the theme; one run from a build folder, whose
// icon is in no theme, borrows a generic one.
QString iconName(const QString& programPath) {
    const QString installedIcon =
        QFileInfo(programPath).absolutePath() + QStringLiteral("/" TAVRIN_INSTALLED_ICON);
    return QFileInfo::exists(installedIcon) ? QStringLiteral("tavrin")
                                            : QStringLiteral("input-mouse");
}

// A bare program name is looked up on the PATH, as the session would.
bool namesProgram(const QString& program, const QString& runningProgram) {
    const QString path =
        QDir::isAbsolutePath(program) ? program : QStandardPaths::findExecutable(program);
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(runningProgram).canonicalFilePath();
}

} // namespace

QString AutostartEntry::filePath() {
    return configHome() + QStringLiteral("/autostart/tavrin.desktop");
}

bool AutostartEntry::isEnabled() {
    const auto keys = readEntry(filePath());
    if (!keys)
        return false;
    const bool hidden = keys->value(QStringLiteral("Hidden")) == QStringLiteral("true");
    const bool switchedOff =
        keys->value(QStringLiteral("X-GNOME-Autostart-enabled")) == QStringLiteral("false");
    const auto program = firstArgument(keys->value(QStringLiteral("Exec")));
    return !hidden && !switchedOff && program &&
           namesProgram(*program, QCoreApplication::applicationFilePath());
}

bool AutostartEntry::enable(const QString& programPath, QString* failure) {
    const QString path = filePath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return failed(path, QStringLiteral("its folder cannot be created"), failure);
    const QStringList lines{
        entryGroup,
        QStringLiteral("Type=Application"),
        QStringLiteral("Name=Tavrin"),
        QStringLiteral("Comment=Popup menu on a spare mouse button"),
        QStringLiteral("Exec=") + escapeValue(quotedArgument(programPath)),
        QStringLiteral("TryExec=") + escapeValue(programPath),
        QStringLiteral("Icon=") + iconName(programPath),
        QStringLiteral("Terminal=false"),
        QStringLiteral("X-GNOME-Autostart-Delay=%1").arg(startDelaySeconds),
        QStringLiteral("X-KDE-autostart-after=panel"),
        QStringLiteral("X-LXQt-Need-Tray=true"),
    };
    QSaveFile file(path);
    const QByteArray content = (lines.join(u'\n') + u'\n').toUtf8();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text) ||
        file.write(content) != content.size() || !file.commit())
        return failed(path, file.errorString(), failure);
    return true;
}

bool AutostartEntry::disable(QString* failure) {
    QFile file(filePath());
    if (!file.exists() || file.remove())
        return true;
    return failed(file.fileName(), file.errorString(), failure);
}
