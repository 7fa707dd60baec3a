#include "QtMainWindow.h"

#include "MainApp.h"
#include "QtX11.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QSurfaceFormat>
#include <algorithm>
#include <array>
#include <xcb/xcb.h>

namespace {

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
    setFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool | Qt::NoDropShadowWindowHint |
             Qt::WindowDoesNotAcceptFocus);
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    // The graphics draw into framebuffers of their own and only blit to the window: it needs no depth
    // buffer, and presenting is immediate (a swap never waits for a vertical blank).
    format.setSwapInterval(0);
    // An ARGB visual: shown opaque without a compositor, translucent with one.
    format.setAlphaBufferSize(8);
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
    xcb_connection_t* c = MzX11Connection();
    if (!c) return;
    std::array<xcb_atom_t, 2> states{MzX11Atom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                                     MzX11Atom(c, "_NET_WM_STATE_SKIP_PAGER")};
    xcb_change_property(c, XCB_PROP_MODE_APPEND, static_cast<xcb_window_t>(winId()),
                        MzX11Atom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32, states.size(), states.data());
    xcb_flush(c);
}

void QtMainWindow::SetShape(const std::vector<MzScreenRect>& rects) {
    m_shape = rects;
    if (handle()) MzX11SetShape(*this, rects, m_composited);
}

void QtMainWindow::SetComposited(bool composited) {
    m_composited = composited;
    SetShape(m_shape);
}

void QtMainWindow::SetTopmost(bool topmost) {
    setFlag(Qt::WindowStaysOnTopHint, topmost);
    if (topmost) raise();
}

void QtMainWindow::ReleaseButtonsLetGo() {
    static constexpr std::array<std::pair<MzMouseState::Button, uint16_t>, 3> kMasks{{
        {MzMouseState::kLeft, XCB_BUTTON_MASK_1},
        {MzMouseState::kMiddle, XCB_BUTTON_MASK_2},
        {MzMouseState::kRight, XCB_BUTTON_MASK_3},
    }};
    MzMouseState& mouse = m_app.mouse;
    auto anyHeld = [&] {
        return std::any_of(kMasks.begin(), kMasks.end(), [&](const auto& m) { return mouse.Held(m.first); });
    };
    xcb_connection_t* c = MzX11Connection();
    if (!c || !handle() || !anyHeld()) return;
    xcb_query_pointer_reply_t* reply =
        xcb_query_pointer_reply(c, xcb_query_pointer(c, static_cast<xcb_window_t>(winId())), nullptr);
    if (!reply) return;
    const uint16_t pointerButtons = reply->mask;
    free(reply);
    for (const auto& [button, mask] : kMasks) {
        if (mouse.Held(button) && !(pointerButtons & mask)) m_app.OnButton(button, false);
    }
    if (!anyHeld()) setMouseGrabEnabled(false);
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

// Closed from outside (window manager, session end): the whole system stops the way "終了" does;
// the window itself stays until the application thread has stopped drawing into it.
void QtMainWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit CloseRequested();
}
