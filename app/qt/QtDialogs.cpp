#include "QtDialogs.h"

#include "QtGuiThread.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

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
    QtOnGuiThread(this,
                  [this, qtext] { setText(fontMetrics().elidedText(qtext, Qt::ElideRight, width() - 24)); });
}

void QtMessageWindow::Show() {
    QtOnGuiThread(this, [this] {
        if (isVisible()) return;
        QRect screen = QGuiApplication::primaryScreen()->geometry();
        move(screen.center() - rect().center());
        show();
        raise();
    });
}

void QtMessageWindow::Hide() {
    QtOnGuiThread(this, [this] { hide(); });
}

void QtErrorBox::Show(const std::string& text) {
    QString qtext = QString::fromStdString(text);
    QtOnGuiThreadAndWait(this, [this, qtext] { Exec(qtext); });
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
    std::string chosen;
    QtOnGuiThreadAndWait(this, [&] { chosen = Exec(filter, suffix, start); });
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
