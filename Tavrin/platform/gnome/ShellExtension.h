#pragma once

#include "SpecialKey.h"
#include "platform/Platform.h"

#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace tavrin {

class InstanceChannel;

// Tavrin's extension inside GNOME Shell, reached over the session bus: it shows the popup at
// the pointer (only the shell may place a window there and take the keyboard) and types
// through the input method (only the shell may type into other windows on GNOME).
class ShellExtension : public QObject {
    Q_OBJECT

  public:
    static constexpr const char* uuid = "tavrin@tavrin.org";

    // The extension calls back through the channel with the popup's outcome.
    explicit ShellExtension(InstanceChannel* channel);
    ~ShellExtension() override;

    // Whether the extension runs and speaks this version of the interface.
    bool answers();
    // Why it does not, for the user, with what to do; empty when it does.
    QString trouble();

    // Shows the rows and returns once the popup has closed and the focus is back: the row chosen,
    // nothing when it was dismissed or the extension went away.
    std::optional<std::size_t> runPopup(const std::vector<PopupRow>& rows);

    // What types a text that the shell could not commit (an X11 window without an input
    // method); it calls done once the text is in.
    using Uncommitted = std::function<void(const QString& text, std::function<void()> done)>;
    void onUncommitted(Uncommitted handler) { uncommitted_ = std::move(handler); }

    // Typed in the order given, each once the one before is in.
    void typeText(const QString& text);
    void pressKey(SpecialKey key, bool down);
    void whenIdle(std::function<void()> done);

  private:
    struct Job {
        QString method;
        QVariantList arguments;
        std::function<void()> done;
    };
    void queue(Job job);
    void sendNext();
    void typeUncommitted(const QString& text);

    InstanceChannel* channel_;
    Uncommitted uncommitted_;
    QDBusServiceWatcher watcher_;
    std::deque<Job> jobs_;
    bool sending_ = false;
};

} // namespace tavrin
