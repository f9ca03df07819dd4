#include "gui/desktop/X11IdleTime.h"

#include <QGuiApplication>

#include <cstdlib>
#include <xcb/screensaver.h>
#include <xcb/xcb.h>

namespace velmora {

std::unique_ptr<X11IdleTime> X11IdleTime::open() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return nullptr;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen) return nullptr;
    return std::unique_ptr<X11IdleTime>(new X11IdleTime(connection, screen->root));
}

std::optional<qint64> X11IdleTime::idleMs() {
    auto* connection = static_cast<xcb_connection_t*>(connection_);
    if (!present_) {
        const xcb_query_extension_reply_t* extension =
            xcb_get_extension_data(connection, &xcb_screensaver_id);
        present_ = extension && extension->present;
    }
    if (!*present_) return std::nullopt;
    xcb_screensaver_query_info_reply_t* reply = xcb_screensaver_query_info_reply(
        connection, xcb_screensaver_query_info(connection, root_), nullptr);
    if (!reply) return std::nullopt;
    const qint64 idle = reply->ms_since_user_input;
    std::free(reply);
    return idle;
}

} // namespace velmora
