#pragma once

#include <QSettings>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin {

// The per-user defaults store: an INI file read with strict value kinds, so that a hand-edited
// or foreign value counts as absent instead of being coerced.
class SettingsStore {
  public:
    // $XDG_CONFIG_HOME/tavrin/tavrin.conf, ~/.config when the variable is unset.
    static QString defaultPath();

    explicit SettingsStore(const QString& path);

    std::optional<bool> readBool(std::string_view key);
    std::optional<std::int64_t> readInteger(std::string_view key);
    std::optional<std::string> readData(std::string_view key);
    void writeBool(std::string_view key, bool value);
    void writeInteger(std::string_view key, std::int64_t value);
    void writeData(std::string_view key, const std::string& bytes);

    // Saves bytes beside the store as <key>.unreadable (then .1, .2, … so nothing is replaced).
    bool keepUnreadable(std::string_view key, const std::string& bytes);

  private:
    void write(std::string_view key, const QVariant& value);

    QString path_;
    QSettings settings_;
};

} // namespace tavrin
