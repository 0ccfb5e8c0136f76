#include "platform/gnome/GnomePlatform.h"

#include "desktop/InputAccessHelp.h"
#include "platform/gnome/GnomeLog.h"

namespace tavrin {

Q_LOGGING_CATEGORY(lcGnome, "tavrin.gnome", QtWarningMsg)

GnomePlatform::GnomePlatform(const QString& storePath, const QString& programPath,
                             InstanceChannel* channel, KeysTyper keysTyper)
    : DesktopPlatform(storePath, programPath), extension_(channel),
      keysTyper_(std::move(keysTyper)) {
    if (!keysTyper_)
        return;
    extension_.onUncommitted([this](const QString& text, std::function<void()> done) {
        keys_.add([this, text = text.toStdU16String(), done = std::move(done)]() mutable {
            keysTyper_(text, keys_.stopToken());
            post(std::move(done));
        });
    });
}

GnomePlatform::~GnomePlatform() = default;

bool GnomePlatform::isTrusted() {
    const QString trouble = extension_.trouble();
    // Said once per change: the check repeats every few seconds while it fails.
    if (trouble != reportedTrouble_ && !trouble.isEmpty())
        qCWarning(lcGnome, "%s", qPrintable(trouble));
    else if (trouble != reportedTrouble_)
        qCDebug(lcGnome, "the shell extension answers");
    reportedTrouble_ = trouble;
    return trouble.isEmpty();
}

// GNOME has no prompt for this either: the check is made again.
bool GnomePlatform::isTrustedWithPrompt() {
    return isTrusted();
}

void GnomePlatform::openAccessibilityHelp() {
    const QString trouble = extension_.trouble();
    openInputAccessHelp(trouble.isEmpty() ? QStringLiteral("Tavrin's GNOME Shell extension is "
                                                           "enabled: bind a keyboard shortcut "
                                                           "to tavrin --popup.")
                                          : trouble);
}

std::string GnomePlatform::untrustedStatus() const {
    return "Needs Tavrin's GNOME Shell extension";
}

// The controller asks for no tap where a shortcut opens the popup; one that is asked for sees
// nothing.
std::unique_ptr<ButtonTap> GnomePlatform::createTap(TapCallback) {
    return nullptr;
}

void GnomePlatform::showPopup(const std::vector<PopupRow>& rows,
                              const std::function<void(const PopupAction&)>& picked) {
    if (const auto chosen = extension_.runPopup(rows))
        picked(rows[*chosen].action);
}

std::optional<KeyboardEvent> GnomePlatform::createKeyboardEvent(std::optional<SpecialKey> key,
                                                                bool down) {
    return KeyboardEvent{key, down, {}};
}

void GnomePlatform::postKeyboardEvent(const KeyboardEvent& event) {
    if (event.key)
        extension_.pressKey(*event.key, event.down);
    else if (event.down) // the whole text goes with the key-down
        extension_.typeText(QString::fromStdU16String(event.text));
}

void GnomePlatform::whenKeyboardIdle(std::function<void()> done) {
    extension_.whenIdle([this, done = std::move(done)]() mutable { post(std::move(done)); });
}

} // namespace tavrin
