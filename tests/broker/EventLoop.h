#pragma once
// Turns the event loop until `done` or `ms` pass; the network tests wait
// for answers this way.
#include <QCoreApplication>
#include <QElapsedTimer>

template <class F>
bool Until(F done, int ms = 8000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}
