#include "core/Clock.h"
#include <QElapsedTimer>
#include <QThread>

QDateTime TSystemClock::Now() const { return QDateTime::currentDateTime(); }

qint64 TSystemClock::TickMs() const
{
    static QElapsedTimer t = [] { QElapsedTimer e; e.start(); return e; }();
    return t.elapsed() + 1;
}

TClock& SystemClock()
{
    static TSystemClock c;
    return c;
}

void TSystemClock::Sleep(qint64 ms)
{
    if (ms > 0)
        QThread::msleep(ulong(ms));
}
