// The main window: frameless, always on top, no taskbar or pager entry, never taking the keyboard
// focus (the user's Alt+F4 stays with their own window), covering the work area, shaped to the
// characters' silhouette. It never paints itself; the application thread draws into
// it through its own OpenGL context.
#pragma once

#include "MzHost.h"

#include <QWindow>
#include <atomic>

class MainApp;

class QtMainWindow : public QWindow {
    Q_OBJECT
  public:
    explicit QtMainWindow(MainApp& app);

    // Creates the native window hidden, with the hints that must precede the first map.
    bool CreateNative(const QRect& workArea);
    void SetShape(const std::vector<MzScreenRect>& rects);
    // Under a compositor the colour pass's alpha makes the window translucent: only the input shape
    // follows the silhouette, the visible shape is its bounding box.
    void SetComposited(bool composited);
    void SetTopmost(bool topmost);
    // While a button is recorded as down: lets go of those the pointer no longer holds, for a
    // release that went elsewhere (the grab ended by an unmap, a workspace switch, another grab).
    void ReleaseButtonsLetGo();

    // Set once the window has been exposed: presenting into it before is undefined.
    bool WasExposed() const { return m_exposed; }

  signals:
    void MenuRequested(const QPoint& globalPos);
    void CloseRequested();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void exposeEvent(QExposeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void SetSkipTaskbarHints();

    MainApp& m_app;
    std::atomic<bool> m_exposed{false};
    bool m_composited = false;
    std::vector<MzScreenRect> m_shape;
};
