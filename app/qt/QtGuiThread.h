// Running work on the thread a Qt object lives on (the GUI thread), from any thread.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <utility>

// Runs `f` at once when called on `context`'s thread, else queues it there and returns.
template <typename F>
void QtOnGuiThread(QObject* context, F&& f) {
    if (QThread::currentThread() == context->thread()) {
        f();
        return;
    }
    QMetaObject::invokeMethod(context, std::forward<F>(f), Qt::QueuedConnection);
}

// Runs `f` on `context`'s thread and returns when it has run; the calling thread blocks meanwhile,
// so the GUI thread must never be waiting for the caller.
template <typename F>
void QtOnGuiThreadAndWait(QObject* context, F&& f) {
    if (QThread::currentThread() == context->thread()) {
        f();
        return;
    }
    QMetaObject::invokeMethod(context, std::forward<F>(f), Qt::BlockingQueuedConnection);
}
