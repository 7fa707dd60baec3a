#include "QtDialogs.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QThread>

namespace {

template <typename F>
void OnGuiThread(QObject* context, F&& f) {
    if (QThread::currentThread() == context->thread()) {
        f();
        return;
    }
    QMetaObject::invokeMethod(context, std::forward<F>(f), Qt::QueuedConnection);
}

} // namespace

QtMessageWindow::QtMessageWindow() : QLabel(QStringLiteral("Message")) {
    setWindowFlags(Qt::FramelessWindowHint | Qt::Tool | Qt::WindowStaysOnTopHint);
    setAlignment(Qt::AlignCenter);
    setTextFormat(Qt::PlainText);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setMargin(8);
    setFixedSize(320, 64);
}

void QtMessageWindow::SetText(const std::string& text) {
    QString qtext = QString::fromStdString(text).trimmed();
    OnGuiThread(this,
                [this, qtext] { setText(fontMetrics().elidedText(qtext, Qt::ElideRight, width() - 24)); });
}

void QtMessageWindow::Show() {
    OnGuiThread(this, [this] {
        if (isVisible()) return;
        QRect screen = QGuiApplication::primaryScreen()->geometry();
        move(screen.center() - rect().center());
        show();
        raise();
    });
}

void QtMessageWindow::Hide() {
    OnGuiThread(this, [this] { hide(); });
}

void QtErrorBox::Show(const std::string& text) {
    QString qtext = QString::fromStdString(text);
    if (QThread::currentThread() == thread()) {
        Exec(qtext);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, qtext] { Exec(qtext); }, Qt::BlockingQueuedConnection);
}

void QtErrorBox::Exec(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Error"), text, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.exec();
}
