#include "QtX11.h"

#include <QGuiApplication>
#include <QWindow>
#include <cstdlib>
#include <cstring>

xcb_connection_t* MzX11Connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t MzX11Root() {
    xcb_connection_t* c = MzX11Connection();
    if (!c) return XCB_WINDOW_NONE;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    if (!it.rem) return XCB_WINDOW_NONE;
    return it.data->root;
}

xcb_atom_t MzX11Atom(xcb_connection_t* c, const char* name) {
    auto cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
    if (!reply) return XCB_ATOM_NONE;
    xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

std::vector<std::uint32_t> MzX11Property32(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property) {
    constexpr uint32_t kMaxItems = 1024;
    auto cookie = xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, kMaxItems);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(c, cookie, nullptr);
    if (!reply) return {};
    std::vector<std::uint32_t> items;
    if (reply->format == 32) {
        auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
        items.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return items;
}

// _NET_WM_DESKTOP 0xFFFFFFFF for window managers of the desktop standard, the sticky state for those
// that read only the state list.
void MzX11SetOnAllWorkspaces(QWindow& window) {
    xcb_connection_t* c = MzX11Connection();
    if (!c || !window.handle()) return;
    auto id = static_cast<xcb_window_t>(window.winId());
    const std::uint32_t allDesktops = 0xFFFFFFFF;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, MzX11Atom(c, "_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL, 32,
                        1, &allDesktops);
    xcb_atom_t sticky = MzX11Atom(c, "_NET_WM_STATE_STICKY");
    xcb_change_property(c, XCB_PROP_MODE_APPEND, id, MzX11Atom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 1,
                        &sticky);
    xcb_flush(c);
}
