// The desktop host on Qt: main window, tray icon, pop-up menu, script-log and message windows.
// Lives on the GUI thread; the MzHost calls of the application thread are queued to it in order.
#pragma once

#include "MzHost.h"
#include "QtDesktopWatch.h"
#include "QtDialogs.h"
#include "QtMainWindow.h"
#include "QtScriptLogWindow.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <atomic>
#include <memory>
#include <optional>

class MainApp;

class QtHost : public QObject, public MzHost {
    Q_OBJECT
  public:
    explicit QtHost(MainApp& app);
    ~QtHost() override;

    // Main window (hidden, shaped empty), tray icon, menu and the two small windows; false when
    // the window cannot be created.
    bool Create();
    QtMainWindow& Window() { return *m_window; }
    QtScriptLogWindow& ScriptLog() { return m_scriptLog; }
    QtMessageWindow& MessageWindow() { return m_messageWindow; }

    // Async-signal-safe: asks the running host to stop as if "終了" had been chosen.
    static void RequestTerminate();

    // Opens the pop-up menu at a screen point (GUI thread).
    void PopupMenuAt(const QPoint& globalPos);

    MzScreenRect WorkArea() const override;
    void MoveTo(const MzScreenRect& rect) override;
    void SetShape(std::vector<MzScreenRect> rects) override;
    void Show() override;
    void SetTopmost(bool topmost) override;
    void Raise() override;
    void ShowScriptLog() override;

  private:
    void WatchScreens();
    void UpdateWorkArea();
    void StartDesktopWatch();
    void OnObscured(bool obscured);
    void RebuildMenu();
    void Poll();

    MainApp& m_app;
    std::unique_ptr<QtMainWindow> m_window;
    QtScriptLogWindow m_scriptLog;
    QtMessageWindow m_messageWindow;
    QMenu m_menu;
    std::uint64_t m_menuVersion = ~std::uint64_t{0};
    // The shape last handed to the window (application thread).
    std::optional<std::vector<MzScreenRect>> m_lastShape;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    std::unique_ptr<QtDesktopWatch> m_desktopWatch;
    // The shape the frames asked for last (GUI thread), shown again when the characters come back.
    std::vector<MzScreenRect> m_requestedShape;
    // Where the characters were last drawn (screen coordinates), for the full-screen check.
    QRect m_charactersArea;
    QTimer m_pollTimer;
    std::atomic<int> m_workX{0}, m_workY{0}, m_workWidth{0}, m_workHeight{0};
};
