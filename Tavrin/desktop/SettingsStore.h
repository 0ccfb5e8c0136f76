#pragma once

#include <QString>
#include <QVariantMap>
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
    // The value's text as it stands in the file, whatever its kind; nothing when absent.
    std::optional<std::string> readStoredText(std::string_view key);
    // Each write writes every value read or written so far, so that a deleted or replaced
    // file gets the whole state back and a failed write is made good by the next one.
    void writeBool(std::string_view key, bool value);
    void writeInteger(std::string_view key, std::int64_t value);
    void writeData(std::string_view key, const std::string& bytes);

    // Saves bytes beside the store as <key>.unreadable (then .1, .2, … so nothing is replaced).
    bool keepUnreadable(std::string_view key, const std::string& bytes);

    // Why the last write or keep failed, naming the file and the reason; nothing after success.
    const std::optional<std::string>& lastFailure() const { return lastFailure_; }

  private:
    void write(std::string_view key, const QVariant& value);
    void fail(const QString& file, const QString& reason);

    QString path_;
    QVariantMap values_;
    std::optional<std::string> lastFailure_;
};

} // namespace tavrin
