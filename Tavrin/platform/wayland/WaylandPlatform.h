#pragma once

#include "desktop/DesktopPlatform.h"

#include <memory>
#include <string>
#include <vector>

namespace tavrin {

class VirtualKeyboard;
class WaylandConnection;

// The platform on a wlroots compositor: the store, the login item and the main queue are the
// desktop's; the button is a sway binding, the popup a layer surface, the typing a virtual
// keyboard.
class WaylandPlatform final : public DesktopPlatform {
  public:
    WaylandPlatform(std::unique_ptr<WaylandConnection> connection, const QString& storePath,
                    const QString& programPath);
    ~WaylandPlatform() override;

    bool isTrusted() override;
    bool isTrustedWithPrompt() override;
    void openAccessibilityHelp() override;

    std::unique_ptr<ButtonTap> createTap(TapCallback callback) override;
    void showPopup(const std::vector<PopupRow>& rows,
                   const std::function<void(const PopupAction&)>& picked) override;
    std::optional<KeyboardEvent> createKeyboardEvent(std::optional<SpecialKey> key,
                                                     bool down) override;
    void postKeyboardEvent(const KeyboardEvent& event) override;

  private:
    // What the compositor lacks for Tavrin to work, in words for the log and the help page;
    // empty when nothing.
    std::string missing();

    std::unique_ptr<WaylandConnection> connection_;
    std::unique_ptr<VirtualKeyboard> keyboard_;
    std::string reportedMissing_;
};

} // namespace tavrin
