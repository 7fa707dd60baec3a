#include "QtMainWindow.h"

#include "MainApp.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QSurfaceFormat>
#include <array>
#include <xcb/shape.h>
#include <xcb/xcb.h>

namespace {

xcb_connection_t* X11Connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t InternAtom(xcb_connection_t* c, const char* name) {
    auto cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
    if (!reply) return XCB_ATOM_NONE;
    xcb_atom_t atom = reply->atom;
    free(reply);
    return atom;
}

std::optional<MzMouseState::Button> ButtonOf(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return MzMouseState::kLeft;
    case Qt::RightButton:
        return MzMouseState::kRight;
    case Qt::MiddleButton:
        return MzMouseState::kMiddle;
    default:
        return std::nullopt;
    }
}

} // namespace

QtMainWindow::QtMainWindow(MainApp& app) : m_app(app) {
    setSurfaceType(QSurface::OpenGLSurface);
    setFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool | Qt::NoDropShadowWindowHint);
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    // The graphics draw into framebuffers of their own and only blit to the window: it needs no depth
    // buffer, and presenting is immediate (a swap never waits for a vertical blank).
    format.setSwapInterval(0);
    setFormat(format);
    setTitle(QString::fromStdString(app.name));
}

bool QtMainWindow::CreateNative(const QRect& workArea) {
    setGeometry(workArea);
    create();
    if (!handle()) return false;
    SetSkipTaskbarHints();
    // Nothing of the window shows or catches clicks until the first frame gives it a shape.
    SetShape({});
    return true;
}

// Qt sets no skip-taskbar state for tool windows; it must be on the window before it is mapped.
void QtMainWindow::SetSkipTaskbarHints() {
    xcb_connection_t* c = X11Connection();
    if (!c) return;
    std::array<xcb_atom_t, 2> states{InternAtom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                                     InternAtom(c, "_NET_WM_STATE_SKIP_PAGER")};
    xcb_change_property(c, XCB_PROP_MODE_APPEND, static_cast<xcb_window_t>(winId()),
                        InternAtom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32, states.size(), states.data());
    xcb_flush(c);
}

// Through xcb-shape rather than setMask: an empty QRegion would switch shaping off and show the
// whole window, while an empty rectangle list gives the empty shape we want.
void QtMainWindow::SetShape(const std::vector<MzScreenRect>& rects) {
    xcb_connection_t* c = X11Connection();
    if (!c || !handle()) return;
    std::vector<xcb_rectangle_t> xrects;
    xrects.reserve(rects.size());
    for (const MzScreenRect& r : rects) {
        if (r.width <= 0 || r.height <= 0) continue;
        xrects.push_back({static_cast<int16_t>(r.x), static_cast<int16_t>(r.y),
                          static_cast<uint16_t>(r.width), static_cast<uint16_t>(r.height)});
    }
    auto window = static_cast<xcb_window_t>(winId());
    for (xcb_shape_kind_t kind : {XCB_SHAPE_SK_BOUNDING, XCB_SHAPE_SK_INPUT}) {
        xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, kind, XCB_CLIP_ORDERING_UNSORTED, window, 0, 0,
                             static_cast<uint32_t>(xrects.size()), xrects.data());
    }
    xcb_flush(c);
}

void QtMainWindow::SetTopmost(bool topmost) {
    setFlag(Qt::WindowStaysOnTopHint, topmost);
    if (topmost) raise();
}

void QtMainWindow::mousePressEvent(QMouseEvent* event) {
    auto button = ButtonOf(event->button());
    if (!button) return;
    m_app.OnCursor(event->globalPosition().toPoint().x(), event->globalPosition().toPoint().y());
    m_app.OnButton(*button, true);
    // Keep the release coming when the cursor leaves the silhouette during a drag.
    setMouseGrabEnabled(true);
}

void QtMainWindow::mouseReleaseEvent(QMouseEvent* event) {
    auto button = ButtonOf(event->button());
    if (!button) return;
    QPoint global = event->globalPosition().toPoint();
    m_app.OnCursor(global.x(), global.y());
    m_app.OnButton(*button, false);
    if (event->buttons() == Qt::NoButton) setMouseGrabEnabled(false);
    if (*button == MzMouseState::kRight) emit MenuRequested(global);
}

void QtMainWindow::mouseMoveEvent(QMouseEvent* event) {
    QPoint global = event->globalPosition().toPoint();
    m_app.OnCursor(global.x(), global.y());
}

void QtMainWindow::moveEvent(QMoveEvent*) {
    m_app.OnMove(x(), y());
}

void QtMainWindow::resizeEvent(QResizeEvent*) {
    m_app.OnSize(width(), height());
}

void QtMainWindow::exposeEvent(QExposeEvent*) {
    if (isExposed()) m_exposed = true;
}

// Closed from outside (window manager, session end): the whole system stops.
void QtMainWindow::closeEvent(QCloseEvent*) {
    emit CloseRequested();
}
