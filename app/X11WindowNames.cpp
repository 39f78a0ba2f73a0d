#include "X11WindowNames.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace tarvel {

namespace {

xcb_connection_t* x11Connection() {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, std::strlen(name), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

}  // namespace

void setX11IconName(QWidget* window, const QString& iconName) {
    xcb_connection_t* connection = x11Connection();
    if (!connection || !window) return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    const QByteArray utf8 = iconName.toUtf8();
    const QByteArray latin1 = iconName.toLatin1();
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_ICON_NAME, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(latin1.size()), latin1.constData());
    const xcb_atom_t netIconName = atom(connection, "_NET_WM_ICON_NAME");
    const xcb_atom_t utf8String = atom(connection, "UTF8_STRING");
    if (netIconName != XCB_ATOM_NONE && utf8String != XCB_ATOM_NONE)
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, netIconName, utf8String, 8,
                            static_cast<uint32_t>(utf8.size()), utf8.constData());
    xcb_flush(connection);
}

}  // namespace tarvel
