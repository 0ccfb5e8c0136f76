#pragma once

#include "desktop/DesktopPlatform.h"
#include "platform/gnome/ShellExtension.h"

namespace tavrin {

// The platform on GNOME Shell (Wayland): Tavrin's shell extension shows the popup and types.
// No program may take a mouse button from the applications there, so a keyboard shortcut that
// runs `tavrin --popup` opens the popup.
class GnomePlatform final : public DesktopPlatform {
  public:
    GnomePlatform(const QString& storePath, const QString& programPath, InstanceChannel* channel);
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
};

} // namespace tavrin
