#include "QtDesktopWatch.h"

#include "QtX11.h"

#include <QDBusConnection>
#include <QRect>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <cstdlib>

namespace {

// How soon the characters leave when a window goes full screen: a quarter second is not noticed,
// and four round trips to the X server a second cost nothing next to the frames.
constexpr int kPollMs = 250;

// The screen saver services of the common desktops, each announcing a lock with ActiveChanged(bool).
constexpr struct {
    const char* path;
    const char* interface;
} kScreenSavers[] = {
    {"/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver"},
    {"/ScreenSaver", "org.freedesktop.ScreenSaver"},
    {"/org/gnome/ScreenSaver", "org.gnome.ScreenSaver"},
};

// The window's rectangle in root coordinates.
QRect RootGeometry(xcb_connection_t* c, xcb_window_t window, xcb_window_t root) {
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    xcb_translate_coordinates_reply_t* origin =
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, root, 0, 0), nullptr);
    QRect rect;
    if (geometry && origin) rect = QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
    std::free(geometry);
    std::free(origin);
    return rect;
}

} // namespace

QtDesktopWatch::QtDesktopWatch(QWindow& window, std::function<QRect()> charactersArea)
    : m_window(window), m_charactersArea(std::move(charactersArea)) {
    connect(&m_timer, &QTimer::timeout, this, &QtDesktopWatch::Poll);
}

void QtDesktopWatch::Start() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        for (const auto& saver : kScreenSavers)
            bus.connect(QString(), saver.path, saver.interface, "ActiveChanged", this,
                        SLOT(OnScreenSaverActive(bool)));
    }
    xcb_connection_t* c = MzX11Connection();
    if (!c) return;
    m_activeAtom = MzX11Atom(c, "_NET_ACTIVE_WINDOW");
    m_stateAtom = MzX11Atom(c, "_NET_WM_STATE");
    m_fullScreenAtom = MzX11Atom(c, "_NET_WM_STATE_FULLSCREEN");
    m_compositorAtom = MzX11Atom(c, "_NET_WM_CM_S0");
    Poll();
    m_timer.start(kPollMs);
}

void QtDesktopWatch::OnScreenSaverActive(bool active) {
    Update(m_fullScreen, active);
}

void QtDesktopWatch::Poll() {
    Update(FullScreenActive(), m_locked);
    bool composited = CompositorRuns();
    if (composited == m_composited) return;
    m_composited = composited;
    emit CompositedChanged(composited);
}

bool QtDesktopWatch::CompositorRuns() const {
    xcb_connection_t* c = MzX11Connection();
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, m_compositorAtom), nullptr);
    bool owned = reply && reply->owner != XCB_WINDOW_NONE;
    std::free(reply);
    return owned;
}

// The active window is full screen over the characters (it covers their screen).
bool QtDesktopWatch::FullScreenActive() const {
    xcb_connection_t* c = MzX11Connection();
    xcb_window_t root = MzX11Root();
    auto active = MzX11Property32(c, root, m_activeAtom);
    if (active.empty() || active[0] == XCB_WINDOW_NONE || active[0] == m_window.winId()) return false;
    auto states = MzX11Property32(c, active[0], m_stateAtom);
    if (std::find(states.begin(), states.end(), m_fullScreenAtom) == states.end()) return false;
    QRect rect = RootGeometry(c, active[0], root);
    QRect characters = m_charactersArea();
    if (characters.isEmpty() && m_window.screen()) characters = m_window.screen()->geometry();
    return rect.intersects(characters);
}

void QtDesktopWatch::Update(bool fullScreen, bool locked) {
    bool was = Obscured();
    m_fullScreen = fullScreen;
    m_locked = locked;
    if (Obscured() != was) emit ObscuredChanged(Obscured());
}
