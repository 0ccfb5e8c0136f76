#pragma once

#include "SettingsStore.h"
#include "TypingWorker.h"
#include "platform/Platform.h"

#include <QObject>
#include <QString>
#include <memory>

namespace tavrin {

// The platform on a Qt event loop over X11: the loop is the main queue, QSettings the store.
// The Wayland platform replaces the button, the popup, the typing and the trust check.
class QtPlatform : public Platform {
  public:
    QtPlatform(const QString& storePath, const QString& programPath);
    ~QtPlatform() override;

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

    bool isTrusted() override;
    bool isTrustedWithPrompt() override;
    void openAccessibilityHelp() override;

    std::unique_ptr<ButtonTap> createTap(TapCallback callback) override;
    void showPopup(const std::vector<PopupRow>& rows,
                   const std::function<void(const PopupAction&)>& picked) override;
    std::optional<KeyboardEvent> createKeyboardEvent(std::optional<SpecialKey> key,
                                                     bool down) override;
    void postKeyboardEvent(const KeyboardEvent& event) override;
    void whenKeyboardIdle(std::function<void()> done) override;

  private:
    SettingsStore store_;
    QString programPath_;
    std::optional<std::string> loginItemFailure_;
    QObject context_;     // queued work dies with the platform
    TypingWorker typing_; // stopped before the context goes
};

} // namespace tavrin
