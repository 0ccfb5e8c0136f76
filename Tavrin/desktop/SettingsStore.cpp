#include "desktop/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

namespace tavrin {
namespace {

Q_LOGGING_CATEGORY(storeLog, "tavrin.store")

QString keyOf(std::string_view key) {
    return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
}

// A file read back holds scalars as text: only the exact words and plain whole numbers count.
std::optional<QString> scalarText(const QVariant& value) {
    if (value.metaType().id() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

// QSettings says only that a write failed; a trial write of our own says why.
QString writeFailureReason(const QString& path) {
    const QFileInfo file(path);
    if (file.exists() && !file.isWritable())
        return QStringLiteral("the file is read-only");
    if (!QDir().mkpath(file.absolutePath()))
        return QStringLiteral("its folder cannot be created");
    QSaveFile trial(path);
    if (!trial.open(QIODevice::WriteOnly))
        return trial.errorString();
    trial.cancelWriting();
    return QStringLiteral("the file could not be written");
}

// A run killed between creating Qt's lock file and filling it leaves it empty, and Qt holds every
// later write back until that lock is 30 s old. A live writer fills its lock at once.
void dropEmptyLock(const QString& path) {
    const QFileInfo lock(path);
    if (lock.exists() && lock.size() == 0 && QFile::remove(path))
        qCWarning(storeLog, "removed the empty lock %s left by an earlier run",
                  qUtf8Printable(path));
}

} // namespace

QString SettingsStore::defaultPath() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base + QStringLiteral("/tavrin/tavrin.conf");
}

SettingsStore::SettingsStore(const QString& path) : path_(path) {
    dropEmptyLock(path + QStringLiteral(".lock"));
    const QSettings file(path, QSettings::IniFormat);
    // A line without a key (a hand-edited "=x") names nothing QSettings can read or write.
    for (const QString& key : file.allKeys())
        if (!key.isEmpty())
            values_.insert(key, file.value(key));
}

std::optional<bool> SettingsStore::readBool(std::string_view key) {
    const QVariant value = values_.value(keyOf(key));
    if (value.metaType().id() == QMetaType::Bool)
        return value.toBool();
    const auto text = scalarText(value);
    if (text == QStringLiteral("true"))
        return true;
    if (text == QStringLiteral("false"))
        return false;
    return std::nullopt;
}

std::optional<std::int64_t> SettingsStore::readInteger(std::string_view key) {
    static const QRegularExpression wholeNumber(QStringLiteral("^[+-]?[0-9]{1,18}$"));
    const QVariant value = values_.value(keyOf(key));
    if (value.metaType().id() == QMetaType::LongLong || value.metaType().id() == QMetaType::Int)
        return value.toLongLong();
    const auto text = scalarText(value);
    if (!text || !wholeNumber.match(*text).hasMatch())
        return std::nullopt;
    return text->toLongLong();
}

std::optional<std::string> SettingsStore::readData(std::string_view key) {
    const QVariant value = values_.value(keyOf(key));
    if (value.metaType().id() != QMetaType::QByteArray)
        return std::nullopt;
    return value.toByteArray().toStdString();
}

std::optional<std::string> SettingsStore::readStoredText(std::string_view key) {
    if (!values_.contains(keyOf(key)))
        return std::nullopt;
    // QSettings has already split a hand-written list at its commas: the line itself is what
    // the user wrote.
    QFile file(path_);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray name = QByteArray(key.data(), static_cast<qsizetype>(key.size()));
        QByteArray section = "General";
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QByteArray trimmed = line.trimmed();
            if (trimmed.startsWith('[') && trimmed.endsWith(']'))
                section = trimmed.mid(1, trimmed.size() - 2);
            const qsizetype equals = trimmed.indexOf('=');
            if (section == "General" && equals > 0 && trimmed.left(equals).trimmed() == name)
                return trimmed.mid(equals + 1).trimmed().toStdString();
        }
    }
    return values_.value(keyOf(key)).toStringList().join(u',').toStdString();
}

void SettingsStore::write(std::string_view key, const QVariant& value) {
    values_.insert(keyOf(key), value);
    QSettings file(path_, QSettings::IniFormat);
    for (auto entry = values_.cbegin(); entry != values_.cend(); ++entry)
        file.setValue(entry.key(), entry.value());
    // Written through at once, so a crash or a kill loses no change.
    file.sync();
    if (file.status() == QSettings::NoError)
        lastFailure_.reset();
    else
        fail(path_, writeFailureReason(path_));
}

void SettingsStore::fail(const QString& file, const QString& reason) {
    qCWarning(storeLog, "could not write %s: %s", qUtf8Printable(file), qUtf8Printable(reason));
    lastFailure_ = QStringLiteral("could not write %1 (%2)").arg(file, reason).toStdString();
}

void SettingsStore::writeBool(std::string_view key, bool value) {
    write(key, value);
}

void SettingsStore::writeInteger(std::string_view key, std::int64_t value) {
    write(key, QVariant::fromValue(static_cast<qlonglong>(value)));
}

void SettingsStore::writeData(std::string_view key, const std::string& bytes) {
    write(key, QByteArray::fromStdString(bytes));
}

bool SettingsStore::keepUnreadable(std::string_view key, const std::string& bytes) {
    const QDir folder = QFileInfo(path_).absoluteDir();
    QString name = keyOf(key) + QStringLiteral(".unreadable");
    if (!folder.exists() && !QDir().mkpath(folder.path())) {
        fail(folder.filePath(name), QStringLiteral("its folder cannot be created"));
        return false;
    }
    for (int suffix = 1; folder.exists(name); ++suffix)
        name = keyOf(key) + QStringLiteral(".unreadable.") + QString::number(suffix);
    QSaveFile file(folder.filePath(name));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QByteArray::fromStdString(bytes));
        if (file.commit()) {
            lastFailure_.reset();
            return true;
        }
    }
    fail(file.fileName(), file.errorString());
    return false;
}

} // namespace tavrin
