// Runs the event loop until `cond` holds or `ms` pass; false on the timeout.
#pragma once
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

inline bool WaitFor(const std::function<bool()>& cond, int ms = 3000)
{
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}
