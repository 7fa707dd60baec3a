#include "QtDialogs.h"

#include <QFileDialog>
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

std::string QtFileDialog::Open(const std::string& qtFilter, const std::string& defaultSuffix,
                               const std::string& startPath) {
    QString filter = QString::fromStdString(qtFilter);
    QString suffix = QString::fromStdString(defaultSuffix);
    QString start = QString::fromStdString(startPath);
    if (QThread::currentThread() == thread()) return Exec(filter, suffix, start);
    std::string chosen;
    QMetaObject::invokeMethod(
        this, [&] { chosen = Exec(filter, suffix, start); }, Qt::BlockingQueuedConnection);
    return chosen;
}

std::string QtFileDialog::Exec(const QString& filter, const QString& suffix, const QString& start) {
    QFileDialog dialog(nullptr, QString(), QString(), filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(suffix);
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (!start.isEmpty()) dialog.selectFile(start);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return "";
    return dialog.selectedFiles().front().toStdString();
}
