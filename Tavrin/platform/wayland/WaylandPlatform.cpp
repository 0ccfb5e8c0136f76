#include "platform/wayland/WaylandPlatform.h"

#include "desktop/InputAccessHelp.h"
#include "platform/wayland/LayerPopup.h"
#include "platform/wayland/SwayButtonTap.h"
#include "platform/wayland/VirtualKeyboard.h"
#include "platform/wayland/WaylandConnection.h"

namespace tavrin {
namespace {

// Compositors without sway's IPC give no way to take a button: the status says so.
class UnwatchableButtons final : public ButtonTap {
  public:
    void setEnabled(bool enabled, const WatchedButtons& buttons) override {
        reach_ = enabled && buttons.only ? WatchState::beyondReach : WatchState::watching;
    }
    WatchState watchState() const override { return reach_; }

  private:
    WatchState reach_ = WatchState::watching;
};

} // namespace

WaylandPlatform::WaylandPlatform(std::unique_ptr<WaylandConnection> connection,
                                 const QString& storePath, const QString& programPath)
    : DesktopPlatform(storePath, programPath), connection_(std::move(connection)) {
    connection_->watch();
    keyboard_ = VirtualKeyboard::create(*connection_);
    if (!qEnvironmentVariableIsEmpty("SWAYSOCK"))
        SwayButtonTap::removeLeftovers();
}

WaylandPlatform::~WaylandPlatform() = default;

std::string WaylandPlatform::missing() {
    std::vector<std::string> lacking;
    if (!connection_->alive())
        lacking.emplace_back("a connection to the Wayland compositor");
    for (const std::string& protocol : connection_->missingProtocols())
        lacking.push_back("the compositor's " + protocol + " protocol");
    if (!keyboard_ && connection_->missingProtocols().empty())
        lacking.emplace_back("a virtual keyboard from the compositor");
    if (!qEnvironmentVariableIsEmpty("SWAYSOCK") && !SwayButtonTap::reachable())
        lacking.emplace_back("an answer from sway's IPC socket (SWAYSOCK)");
    std::string text;
    for (const std::string& what : lacking)
        text += (text.empty() ? "" : ", ") + what;
    return text;
}

bool WaylandPlatform::isTrusted() {
    const std::string lacking = missing();
    // Said once per change: the check repeats every few seconds while it fails.
    if (lacking != reportedMissing_ && !lacking.empty())
        qCWarning(lcWayland) << "Tavrin cannot work on this Wayland desktop without:"
                             << lacking.c_str();
    reportedMissing_ = lacking;
    return lacking.empty();
}

// Wayland has no prompt either: the check is made again.
bool WaylandPlatform::isTrustedWithPrompt() {
    return isTrusted();
}

void WaylandPlatform::openAccessibilityHelp() {
    const std::string lacking = missing();
    openInputAccessHelp(QString::fromStdString(
        lacking.empty() ? "This Wayland desktop offers everything Tavrin needs."
                        : "This Wayland desktop lacks what Tavrin needs: " + lacking + "."));
}

std::unique_ptr<ButtonTap> WaylandPlatform::createTap(TapCallback callback) {
    // Other compositors have no IPC of this kind: there the popup comes with tavrin --popup.
    if (qEnvironmentVariableIsEmpty("SWAYSOCK"))
        return std::make_unique<UnwatchableButtons>();
    return SwayButtonTap::create(std::move(callback));
}

void WaylandPlatform::showPopup(const std::vector<PopupRow>& rows,
                                const std::function<void(const PopupAction&)>& picked) {
    if (!connection_->alive() || !connection_->layerShell())
        return;
    if (const auto chosen = LayerPopup::run(*connection_, rows); chosen && *chosen < rows.size())
        picked(rows[*chosen].action);
}

std::optional<KeyboardEvent> WaylandPlatform::createKeyboardEvent(std::optional<SpecialKey> key,
                                                                  bool down) {
    if (!keyboard_ || !connection_->alive())
        return std::nullopt;
    return KeyboardEvent{key, down, {}};
}

void WaylandPlatform::postKeyboardEvent(const KeyboardEvent& event) {
    if (!keyboard_ || !connection_->alive())
        return;
    if (event.key)
        keyboard_->pressSpecialKey(*event.key, event.down);
    else if (event.down)
        keyboard_->typeText(event.text); // the whole text goes with the key-down
}

} // namespace tavrin
