#include "gui/desktop/X11IdleTime.h"

#include <QGuiApplication>

#include <cstdlib>
#include <utility>
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

void X11IdleTime::ask() {
    auto* connection = static_cast<xcb_connection_t*>(connection_);
    if (pending_) xcb_discard_reply(connection, *std::exchange(pending_, std::nullopt));
    if (!present_) {
        const xcb_query_extension_reply_t* extension =
            xcb_get_extension_data(connection, &xcb_screensaver_id);
        present_ = extension && extension->present;
    }
    // Not flushed: it leaves with the next request that waits for its answer.
    if (*present_) pending_ = xcb_screensaver_query_info(connection, root_).sequence;
}

std::optional<qint64> X11IdleTime::idleMs() {
    auto* connection = static_cast<xcb_connection_t*>(connection_);
    if (!pending_) ask();
    if (!pending_) return std::nullopt;
    xcb_screensaver_query_info_reply_t* reply = xcb_screensaver_query_info_reply(
        connection, xcb_screensaver_query_info_cookie_t{*std::exchange(pending_, std::nullopt)},
        nullptr);
    if (!reply) return std::nullopt;
    const qint64 idle = reply->ms_since_user_input;
    std::free(reply);
    return idle;
}

} // namespace velmora
