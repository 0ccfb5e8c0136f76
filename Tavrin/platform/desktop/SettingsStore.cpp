#include "SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

namespace tavrin {
namespace {

QString keyOf(std::string_view key) {
    return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
}

// A file read back holds scalars as text: only the exact words and plain whole numbers count.
std::optional<QString> scalarText(const QVariant& value) {
    if (value.metaType().id() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

} // namespace

QString SettingsStore::defaultPath() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base + QStringLiteral("/tavrin/tavrin.conf");
}

SettingsStore::SettingsStore(const QString& path)
    : path_(path), settings_(path, QSettings::IniFormat) {}

std::optional<bool> SettingsStore::readBool(std::string_view key) {
    const QVariant value = settings_.value(keyOf(key));
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
    const QVariant value = settings_.value(keyOf(key));
    if (value.metaType().id() == QMetaType::LongLong || value.metaType().id() == QMetaType::Int)
        return value.toLongLong();
    const auto text = scalarText(value);
    if (!text || !wholeNumber.match(*text).hasMatch())
        return std::nullopt;
    return text->toLongLong();
}

std::optional<std::string> SettingsStore::readData(std::string_view key) {
    const QVariant value = settings_.value(keyOf(key));
    if (value.metaType().id() != QMetaType::QByteArray)
        return std::nullopt;
    return value.toByteArray().toStdString();
}

void SettingsStore::write(std::string_view key, const QVariant& value) {
    settings_.setValue(keyOf(key), value);
    // Written through at once, so a crash or a kill loses no change.
    settings_.sync();
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
    if (!folder.exists() && !QDir().mkpath(folder.path()))
        return false;
    QString name = keyOf(key) + QStringLiteral(".unreadable");
    for (int suffix = 1; folder.exists(name); ++suffix)
        name = keyOf(key) + QStringLiteral(".unreadable.") + QString::number(suffix);
    QSaveFile file(folder.filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QByteArray::fromStdString(bytes));
    return file.commit();
}

} // namespace tavrin
