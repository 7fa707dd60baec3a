// Watches the desktop for what the characters get out of the way of: a full-screen window active
// on the screen the characters are on, and the locked screen (the screen saver services'
// ActiveChanged signal on the session bus). Also whether a compositing manager runs (it owns the
// _NET_WM_CM_S0 selection), which lets the window be translucent instead of cut.
#pragma once

#include <QObject>
#include <QRect>
#include <QTimer>
#include <functional>
#include <xcb/xcb.h>

class QWindow;

class QtDesktopWatch : public QObject {
    Q_OBJECT
  public:
    // `charactersArea` tells where the characters were last drawn (screen coordinates, empty before
    // the first frame: then the main window's screen counts).
    QtDesktopWatch(QWindow& window, std::function<QRect()> charactersArea);

    void Start();
    bool Obscured() const { return m_fullScreen || m_locked; }
    bool Composited() const { return m_composited; }

  signals:
    void ObscuredChanged(bool obscured);
    void CompositedChanged(bool composited);

  private slots:
    void OnScreenSaverActive(bool active);

  private:
    void Poll();
    bool FullScreenActive() const;
    bool CompositorRuns() const;
    void Update(bool fullScreen, bool locked);

    QWindow& m_window;
    std::function<QRect()> m_charactersArea;
    QTimer m_timer;
    xcb_atom_t m_activeAtom = XCB_ATOM_NONE;
    xcb_atom_t m_stateAtom = XCB_ATOM_NONE;
    xcb_atom_t m_fullScreenAtom = XCB_ATOM_NONE;
    xcb_atom_t m_compositorAtom = XCB_ATOM_NONE;
    bool m_fullScreen = false;
    bool m_locked = false;
    bool m_composited = false;
};
