#include "QtHost.h"

#include "MainApp.h"
#include "MzSquirrel.h"
#include "QtGuiThread.h"
#include "QtIcons.h"
#include "QtX11.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace {
// The tray's tooltip field holds 127 characters.
constexpr int kTooltipLength = 127;
std::atomic<bool> g_terminateRequested{false};

// The work areas of every screen together: one window spans the virtual desktop, so characters walk
// and are dragged from monitor to monitor, while the frame cost follows only what they cover.
QRect BoundsOf(const std::vector<MzScreenRect>& rects) {
    QRect bounds;
    for (const MzScreenRect& r : rects)
        bounds = bounds.united(QRect(r.x, r.y, r.width, r.height));
    return bounds;
}

QRect DesktopWorkArea() {
    QRect area;
    for (QScreen* screen : QGuiApplication::screens())
        area = area.united(screen->availableGeometry());
    return area;
}
} // namespace

void QtHost::RequestTerminate() {
    g_terminateRequested = true;
}

QtHost::QtHost(MainApp& app) : m_app(app) {}

QtHost::~QtHost() {
    if (m_tray) m_tray->hide();
}

bool QtHost::Create() {
    if (QGuiApplication::screens().isEmpty()) return false;
    WatchScreens();

    QIcon icon = MzAppIcon();
    QGuiApplication::setWindowIcon(icon);
    m_window = std::make_unique<QtMainWindow>(m_app);
    if (!m_window->CreateNative(DesktopWorkArea())) return false;
    StartDesktopWatch();
    connect(m_window.get(), &QtMainWindow::MenuRequested, this, &QtHost::PopupMenuAt);
    connect(m_window.get(), &QtMainWindow::CloseRequested, this, [this] { m_app.quit = true; });
    // The main window never has the focus; any focus change or the program losing activation
    // means the user went elsewhere.
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this] { m_app.OnActivate(false); });
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive) m_app.OnActivate(false);
    });
    m_app.OnMove(m_window->x(), m_window->y());
    m_app.OnSize(m_window->width(), m_window->height());

    connect(&m_menu, &QMenu::triggered, this,
            [this](QAction* action) { m_app.Command(action->data().toInt()); });

    m_tray = std::make_unique<QSystemTrayIcon>(icon);
    m_tray->setToolTip(QString::fromStdString(m_app.name).left(kTooltipLength));
    connect(m_tray.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) Raise();
                if (reason == QSystemTrayIcon::Context) PopupMenuAt(QCursor::pos());
            });
    // Without a tray host Qt keeps the icon and embeds it when a host appears.
    m_tray->show();

    connect(&m_pollTimer, &QTimer::timeout, this, &QtHost::Poll);
    m_pollTimer.start(10);
    return true;
}

// Every 10 ms: the cursor and the buttons for the input system, and the stop flag. Stopping
// interrupts any script still running, so that the application thread ends its frame cycle.
void QtHost::Poll() {
    QPoint cursor = QCursor::pos();
    m_app.OnCursor(cursor.x(), cursor.y());
    m_window->ReleaseButtonsLetGo();
    if (g_terminateRequested) m_app.quit = true;
    if (!m_app.quit) return;
    MzSquirrel::InterruptAll();
    m_pollTimer.stop();
    m_menu.close();
    m_window->hide();
    if (m_tray) m_tray->hide();
    QCoreApplication::quit();
}

// On every workspace, out of the way of full-screen windows and the locked screen, translucent
// under a compositor.
void QtHost::StartDesktopWatch() {
    MzX11SetOnAllWorkspaces(*m_window);
    m_desktopWatch = std::make_unique<QtDesktopWatch>(*m_window, [this] { return m_charactersArea; });
    connect(m_desktopWatch.get(), &QtDesktopWatch::ObscuredChanged, this, &QtHost::OnObscured);
    connect(m_desktopWatch.get(), &QtDesktopWatch::CompositedChanged, m_window.get(),
            &QtMainWindow::SetComposited);
    m_desktopWatch->Start();
}

// Hidden by an empty shape rather than unmapped, so that the window keeps its place and its hints.
void QtHost::OnObscured(bool obscured) {
    m_app.Suspend(obscured);
    // Coming back shows the last shape asked for: the frames send only shapes that changed.
    m_window->SetShape(obscured ? std::vector<MzScreenRect>{} : m_requestedShape);
}

void QtHost::WatchScreens() {
    auto watch = [this](QScreen* screen) {
        connect(screen, &QScreen::availableGeometryChanged, this, &QtHost::UpdateWorkArea);
    };
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this, watch](QScreen* screen) {
        watch(screen);
        UpdateWorkArea();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &QtHost::UpdateWorkArea);
    UpdateWorkArea();
}

void QtHost::UpdateWorkArea() {
    QRect area = DesktopWorkArea();
    m_workX = area.x();
    m_workY = area.y();
    m_workWidth = area.width();
    m_workHeight = area.height();
}

MzScreenRect QtHost::WorkArea() const {
    return {m_workX, m_workY, m_workWidth, m_workHeight};
}

void QtHost::MoveTo(const MzScreenRect& r) {
    QtOnGuiThread(this, [this, r] { m_window->setGeometry(r.x, r.y, r.width, r.height); });
}

void QtHost::SetShape(std::vector<MzScreenRect> rects) {
    // The window already has the last frame's shape: an unchanged one costs the GUI thread nothing.
    if (m_lastShape && *m_lastShape == rects) return;
    m_lastShape = rects;
    QtOnGuiThread(this, [this, rects = std::move(rects)] {
        m_requestedShape = rects;
        // A frame that was under way when the characters hid must not show them again.
        if (m_desktopWatch && m_desktopWatch->Obscured()) return;
        m_window->SetShape(rects);
        if (!rects.empty()) m_charactersArea = BoundsOf(rects).translated(m_window->position());
    });
}

void QtHost::Show() {
    QtOnGuiThread(this, [this] { m_window->show(); });
}

void QtHost::SetTopmost(bool topmost) {
    QtOnGuiThread(this, [this, topmost] { m_window->SetTopmost(topmost); });
}

void QtHost::Raise() {
    QtOnGuiThread(this, [this] { m_window->raise(); });
}

void QtHost::ShowScriptLog() {
    QtOnGuiThread(this, [this] { m_scriptLog.ShowAndRaise(); });
}

void QtHost::RebuildMenu() {
    MzPopupMenu& model = m_app.PopupMenu();
    std::uint64_t version = model.Version();
    if (version == m_menuVersion) return;
    m_menuVersion = version;
    m_menu.clear();
    for (const MzMenuItem& item : model.Snapshot()) {
        if (item.separator) {
            m_menu.addSeparator();
            continue;
        }
        QAction* action = m_menu.addAction(QString::fromStdString(item.text));
        action->setData(item.id);
        action->setCheckable(item.checked);
        action->setChecked(item.checked);
    }
}

void QtHost::PopupMenuAt(const QPoint& globalPos) {
    if (m_menu.isVisible()) return;
    m_app.RefreshAutostart();
    RebuildMenu();
    m_menu.popup(globalPos);
}
