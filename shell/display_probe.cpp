#include "shell/display_probe.h"

#include <xcb/xcb.h>

namespace zolk::shell {

bool x11DisplayOpens(const QByteArray& display) {
    xcb_connection_t* connection = xcb_connect(display.constData(), nullptr);
    const bool opens = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return opens;
}

}  // namespace zolk::shell
