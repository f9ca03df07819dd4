#include "shell/X11IdleTime.h"

#include <QGuiApplication>

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

namespace velmora {

std::unique_ptr<TX11IdleTime> TX11IdleTime::Open() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    int eventBase = 0;
    int errorBase = 0;
    if (!display || !XScreenSaverQueryExtension(display, &eventBase, &errorBase)) return nullptr;
    XScreenSaverInfo* info = XScreenSaverAllocInfo();
    if (!info) return nullptr;
    return std::unique_ptr<TX11IdleTime>(new TX11IdleTime(display, info));
}

TX11IdleTime::~TX11IdleTime() {
    XFree(info_);
}

std::optional<qint64> TX11IdleTime::IdleMs() {
    auto* display = static_cast<Display*>(display_);
    auto* info = static_cast<XScreenSaverInfo*>(info_);
    if (!XScreenSaverQueryInfo(display, DefaultRootWindow(display), info)) return std::nullopt;
    return qint64(info->idle);
}

} // namespace velmora
