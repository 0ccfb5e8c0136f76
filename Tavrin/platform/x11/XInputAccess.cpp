#include "platform/x11/XInputAccess.h"

#include "platform/x11/XcbReply.h"

#include <QGuiApplication>
#include <xcb/xinput.h>
#include <xcb/xtest.h>

namespace tavrin {

xcb_connection_t* qtXcbConnection() {
    if (!qGuiApp)
        return nullptr;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return nullptr;
    xcb_connection_t* connection = x11->connection();
    if (!connection || xcb_connection_has_error(connection))
        return nullptr;
    return connection;
}

bool hasXInput2(xcb_connection_t* connection) {
    const xcb_query_extension_reply_t* extension =
        xcb_get_extension_data(connection, &xcb_input_id);
    if (!extension || !extension->present)
        return false;
    // Qt announced its XInput version on this connection already; asking again for the newest
    // one this library knows is accepted and answers with the version in force.
    const auto cookie =
        xcb_input_xi_query_version(connection, XCB_INPUT_MAJOR_VERSION, XCB_INPUT_MINOR_VERSION);
    xcb_generic_error_t* error = nullptr;
    const XcbReply<xcb_input_xi_query_version_reply_t> reply(
        xcb_input_xi_query_version_reply(connection, cookie, &error));
    const XcbReply<xcb_generic_error_t> freedError(error);
    return reply && reply->major_version >= 2;
}

bool x11InputAccess() {
    xcb_connection_t* connection = qtXcbConnection();
    if (!connection)
        return false;
    const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(connection, &xcb_test_id);
    return xtest && xtest->present && hasXInput2(connection);
}

} // namespace tavrin
