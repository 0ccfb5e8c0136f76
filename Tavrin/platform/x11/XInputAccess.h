#pragma once

#include <xcb/xcb.h>

namespace tavrin {

// Qt's own connection to the X server, or nothing outside an X11 session of Qt.
xcb_connection_t* qtXcbConnection();

// The server takes XInput 2 grabs and XTest input from this client.
bool hasXInput2(xcb_connection_t* connection);
bool x11InputAccess();

} // namespace tavrin
