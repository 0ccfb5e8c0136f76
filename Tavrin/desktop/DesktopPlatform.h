#pragma once

#include "desktop/SettingsStore.h"
#include "platform/Platform.h"

#include <QObject>
#include <QString>
#include <memory>

namespace tavrin {

// What every back-end on a Qt desktop shares: the Qt event loop as the main queue, QSettings as
// the store and an XDG autostart entry as the login item. A back-end adds the button, the popup,
// the typing and the trust check.
class DesktopPlatform : public Platform {
  public:
    DesktopPlatform(const QString& storePath, const QString& programPath);
    ~DesktopPlatform() override;

    // Safe from any thread.
    void post(std::function<void()> task) override;
    void postAfter(std::chrono::milliseconds delay, std::function<void()> task) override;
    std::unique_ptr<RepeatingTimer> startRepeatingTimer(std::chrono::milliseconds interval,
                                                        std::function<void()> tick) override;

    std::optional<bool> readBool(std::string_view key) override;
    std::optional<std::int64_t> readInteger(std::string_view key) override;
    std::optional<std::string> readData(std::string_view key) override;
    std::optional<std::string> readStoredText(std::string_view key) override;
    void writeBool(std::string_view key, bool value) override;
    void writeInteger(std::string_view key, std::int64_t value) override;
    void writeData(std::string_view key, const std::string& bytes) override;
    bool keepUnreadableData(std::string_view key, const std::string& bytes) override;
    std::optional<std::string> lastStoreFailure() override;

    bool loginItemEnabled() override;
    bool registerLoginItem() override;
    bool unregisterLoginItem() override;
    std::optional<std::string> lastLoginItemFailure() override;

  private:
    SettingsStore store_;
    QString programPath_;
    std::optional<std::string> loginItemFailure_;
    QObject context_; // queued work dies with the platform
};

} // namespace tavrin
