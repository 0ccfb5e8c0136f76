#pragma once

#include "desktop/DesktopPlatform.h"
#include "desktop/TypingWorker.h"

#include <memory>

namespace tavrin {

class XKeyTyper;

// The platform on an X11 display: XInput 2 grabs for the button, a Qt menu at the pointer for
// the popup, XTest for the typing.
class X11Platform final : public DesktopPlatform {
  public:
    // Under Xwayland the button is seen over X11 windows only, and the status says so.
    X11Platform(const QString& storePath, const QString& programPath, bool underWayland);
    ~X11Platform() override;

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
    // The typer lives on the worker's thread and is made there when first needed.
    XKeyTyper* typer();

    bool underWayland_;
    std::unique_ptr<XKeyTyper> typer_;
    bool typerMissingTold_ = false;
    TypingWorker typing_; // stopped before the typer goes
};

} // namespace tavrin
