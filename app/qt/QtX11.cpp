#include "QtX11.h"

#include <QGuiApplication>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <xcb/shape.h>

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

namespace {

std::vector<xcb_rectangle_t> XRects(const std::vector<MzScreenRect>& rects) {
    std::vector<xcb_rectangle_t> xrects;
    xrects.reserve(rects.size());
    for (const MzScreenRect& r : rects) {
        if (r.width <= 0 || r.height <= 0) continue;
        xrects.push_back({static_cast<int16_t>(r.x), static_cast<int16_t>(r.y),
                          static_cast<uint16_t>(r.width), static_cast<uint16_t>(r.height)});
    }
    return xrects;
}

std::vector<xcb_rectangle_t> BoundingBox(const std::vector<xcb_rectangle_t>& rects) {
    if (rects.empty()) return {};
    int left = rects[0].x, top = rects[0].y, right = left, bottom = top;
    for (const xcb_rectangle_t& r : rects) {
        left = std::min<int>(left, r.x);
        top = std::min<int>(top, r.y);
        right = std::max(right, r.x + r.width);
        bottom = std::max(bottom, r.y + r.height);
    }
    return {{static_cast<int16_t>(left), static_cast<int16_t>(top), static_cast<uint16_t>(right - left),
             static_cast<uint16_t>(bottom - top)}};
}

void SetShapeKind(xcb_connection_t* c, xcb_window_t window, xcb_shape_kind_t kind,
                  const std::vector<xcb_rectangle_t>& rects) {
    xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, kind, XCB_CLIP_ORDERING_UNSORTED, window, 0, 0,
                         static_cast<uint32_t>(rects.size()), rects.data());
}

} // namespace

void MzX11SetShape(QWindow& window, const std::vector<MzScreenRect>& rects, bool boundingBoxOnly) {
    xcb_connection_t* c = MzX11Connection();
    if (!c || !window.handle()) return;
    std::vector<xcb_rectangle_t> xrects = XRects(rects);
    auto id = static_cast<xcb_window_t>(window.winId());
    SetShapeKind(c, id, XCB_SHAPE_SK_BOUNDING, boundingBoxOnly ? BoundingBox(xrects) : xrects);
    SetShapeKind(c, id, XCB_SHAPE_SK_INPUT, xrects);
    xcb_flush(c);
}
