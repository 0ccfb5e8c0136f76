#include "platform/x11/X11Platform.h"

#include "desktop/InputAccessHelp.h"
#include "desktop/PopupMenu.h"
#include "platform/x11/X11Log.h"
#include "platform/x11/XButtonTap.h"
#include "platform/x11/XInputAccess.h"
#include "platform/x11/XKeyTyper.h"

namespace tavrin {
namespace {

class XwaylandTap final : public ButtonTap {
  public:
    explicit XwaylandTap(std::unique_ptr<ButtonTap> grabs) : grabs_(std::move(grabs)) {}
    void setEnabled(bool enabled, const WatchedButtons& buttons) override {
        grabs_->setEnabled(enabled, buttons);
    }
    WatchState watchState() const override {
        const WatchState state = grabs_->watchState();
        return state == WatchState::watching ? WatchState::x11WindowsOnly : state;
    }

  private:
    std::unique_ptr<ButtonTap> grabs_;
};

} // namespace

X11Platform::X11Platform(const QString& storePath, const QString& programPath, bool underWayland)
    : DesktopPlatform(storePath, programPath), underWayland_(underWayland) {
    // An earlier run may have ended in the middle of a text, its changes to the keymap in place.
    typing_.add([this] {
        if (XKeyTyper* keys = typer())
            keys->restoreInterruptedText();
    });
}

X11Platform::~X11Platform() = default;

bool X11Platform::isTrusted() {
    return x11InputAccess();
}
// X11 has no prompt to show: the check is simply made again.
bool X11Platform::isTrustedWithPrompt() {
    return x11InputAccess();
}
void X11Platform::openAccessibilityHelp() {
    openInputAccessHelp();
}

std::unique_ptr<ButtonTap> X11Platform::createTap(TapCallback callback) {
    auto grabs = createX11ButtonTap(std::move(callback));
    if (grabs && underWayland_)
        return std::make_unique<XwaylandTap>(std::move(grabs));
    return grabs;
}

void X11Platform::showPopup(const std::vector<PopupRow>& rows,
                            const std::function<void(const PopupAction&)>& picked) {
    showPopupMenu(rows, picked);
}

std::optional<KeyboardEvent> X11Platform::createKeyboardEvent(std::optional<SpecialKey> key,
                                                              bool down) {
    return KeyboardEvent{key, down, {}};
}

void X11Platform::postKeyboardEvent(const KeyboardEvent& event) {
    if (event.key) {
        typing_.add([this, key = *event.key, down = event.down] {
            if (XKeyTyper* keys = typer())
                keys->pressSpecialKey(key, down);
        });
    } else if (event.down) {
        // The whole text goes with the key-down.
        typing_.add([this, text = event.text] {
            if (XKeyTyper* keys = typer())
                keys->typeText(text, typing_.stopToken());
        });
    }
}

void X11Platform::whenKeyboardIdle(std::function<void()> done) {
    typing_.add([this, done = std::move(done)]() mutable { post(std::move(done)); });
}

// Asked again for every job: the display may offer XTEST later, or come back.
XKeyTyper* X11Platform::typer() {
    if (!typer_)
        typer_ = XKeyTyper::create(
            [](const std::string& warning) { qCWarning(lcX11, "%s", warning.c_str()); });
    if (!typer_ && !typerMissingTold_)
        qCWarning(lcX11, "cannot type: no connection to an X display offering XTEST and XKB");
    typerMissingTold_ = !typer_;
    return typer_.get();
}

} // namespace tavrin
