#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>

class QSocketNotifier;
struct xcb_connection_t;

// One running instance per X display, however DISPLAY spells it: the running instance owns
// the selection _TAVRIN_INSTANCE on the display, and a later start hands it a request as a
// client message to the owner's window. A new kind of request is one more Request value.
class InstanceChannel : public QObject {
    Q_OBJECT

  public:
    enum class Request : std::uint32_t { showSettings = 1, popup = 2 };

    // Takes the display for this process; nothing when another instance holds it already or
    // the display cannot be reached.
    static std::unique_ptr<InstanceChannel> claim();
    // Hands a request to the instance that holds the display; false when none does.
    static bool send(Request request);

    ~InstanceChannel() override;
    // Runs on the main thread for every request from a later start; needs the application.
    void listen(std::function<void(Request)> handler);

  private:
    InstanceChannel(xcb_connection_t* connection, std::uint32_t requestAtom);
    void readEvents();

    xcb_connection_t* connection_;
    std::uint32_t requestAtom_;
    std::function<void(Request)> handler_;
    QSocketNotifier* notifier_ = nullptr;
};
