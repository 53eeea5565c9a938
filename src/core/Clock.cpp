#include "core/Clock.h"
#include <QElapsedTimer>

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
