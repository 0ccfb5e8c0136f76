#pragma once

#include <QObject>
#include <functional>
#include <memory>

namespace tavrin {

// One running instance per session on every desktop: the running instance owns the name
// org.tavrin.Tavrin on the session bus, and a later start hands it a request as a method call.
// The GNOME Shell extension calls back through the same object.
class InstanceChannel : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tavrin.Tavrin1")

  public:
    enum class Request { showSettings, popup };
    enum class Claim { claimed, heldByAnother, noBus };

    // Takes the session's name for this process; needs the application. The result says why
    // when it could not.
    static std::unique_ptr<InstanceChannel> claim(Claim* result);
    // Hands a request to the instance that holds the name; false when none could be reached.
    // Needs an application object (a core one will do).
    static bool send(Request request);

    ~InstanceChannel() override;
    // Handlers run on the main thread, one for each request and one for the popup's callback.
    void listen(std::function<void(Request)> handler);
    void onPopupClosed(std::function<void(int row)> handler);

  public slots:
    Q_SCRIPTABLE void ShowSettings();
    Q_SCRIPTABLE void Popup();
    // The row chosen in the shell's popup, -1 when it was dismissed.
    Q_SCRIPTABLE void PopupClosed(int row);

  private:
    InstanceChannel() = default;
    void deliver(Request request);

    std::function<void(Request)> handler_;
    std::function<void(int)> popupClosed_;
};

} // namespace tavrin
