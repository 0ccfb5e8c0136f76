#pragma once

#include "platform/Platform.h"

#include <QByteArray>
#include <QString>
#include <memory>

namespace tavrin {

class InstanceChannel;

// The back-end for this session: chosen before the application exists, because Qt must know
// its platform plugin first, and opened once it does.
class Backend {
  public:
    virtual ~Backend() = default;
    // For QT_QPA_PLATFORM: the Qt platform plugins to try, in order.
    virtual QByteArray qtPlatform() const = 0;
    // The channel is this session's instance on the bus, when there is one.
    virtual std::unique_ptr<Platform> open(const QString& storePath, const QString& programPath,
                                           InstanceChannel* channel) = 0;
    // For the log.
    virtual const char* name() const = 0;
};

// The one place that picks the back-end, from what the session offers (the README's "Which
// desktops" says the same). Nothing when neither an X display nor a Wayland compositor answers.
std::unique_ptr<Backend> chooseBackend();

} // namespace tavrin
