#pragma once

#include "desktop/DesktopPlatform.h"
#include "desktop/TypingWorker.h"
#include "platform/gnome/ShellExtension.h"

#include <functional>
#include <stop_token>
#include <string_view>

namespace tavrin {

// The platform on GNOME Shell (Wayland): Tavrin's shell extension shows the popup and types.
// No program may take a mouse button from the applications there, so a keyboard shortcut that
// runs `tavrin --popup` opens the popup.
class GnomePlatform final : public DesktopPlatform {
  public:
    // Types a text as keys into the window in front, where the shell cannot commit it (an X11
    // window without an input method). Runs on a thread of its own; stops early when asked.
    using KeysTyper = std::function<void(std::u16string_view text, std::stop_token stop)>;

    // Without a keys typer, a text the shell cannot commit is left untyped, with a warning.
    GnomePlatform(const QString& storePath, const QString& programPath, InstanceChannel* channel,
                  KeysTyper keysTyper);
    ~GnomePlatform() override;

    bool isTrusted() override;
    bool isTrustedWithPrompt() override;
    void openAccessibilityHelp() override;
    std::string untrustedStatus() const override;
    PopupOpener popupOpener() const override { return PopupOpener::shortcut; }

    std::unique_ptr<ButtonTap> createTap(TapCallback callback) override;
    void showPopup(const std::vector<PopupRow>& rows,
                   const std::function<void(const PopupAction&)>& picked) override;
    std::optional<KeyboardEvent> createKeyboardEvent(std::optional<SpecialKey> key,
                                                     bool down) override;
    void postKeyboardEvent(const KeyboardEvent& event) override;
    void whenKeyboardIdle(std::function<void()> done) override;

  private:
    ShellExtension extension_;
    std::optional<QString> reportedTrouble_;
    KeysTyper keysTyper_;
    // Last, so that it ends, and stops using the typer, first.
    TypingWorker keys_;
};

} // namespace tavrin
