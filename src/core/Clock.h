#pragma once
// The one source of "now" for the whole program. Everything that waits,
// paces or stamps time receives a TClock; only TSystemClock reads the
// machine's clock, so tests drive time exactly with TTestClock.
#include <QDateTime>
#include <QtGlobal>

class TClock {
public:
    virtual ~TClock() = default;
    // Local wall-clock date and time (the PC's clock).
    virtual QDateTime Now() const = 0;
    // Monotonic millisecond tick count (never jumps backwards).
    virtual qint64 TickMs() const = 0;
    // Pauses the calling thread (the waits that keep the event loop turning).
    virtual void Sleep(qint64 ms) = 0;
};

class TSystemClock final : public TClock {
public:
    QDateTime Now() const override;
    qint64 TickMs() const override;
    void Sleep(qint64 ms) override;
};

// The process-wide real clock.
TClock& SystemClock();

// A clock that moves only when told to.
class TTestClock final : public TClock {
public:
    explicit TTestClock(const QDateTime& start = QDateTime(QDate(2026, 12, 10), QTime(9, 30, 0)))
        : FNow(start) {}
    QDateTime Now() const override { return FNow; }
    qint64 TickMs() const override { return FTick; }
    // A test clock does not wait: it moves on by the time asked for.
    void Sleep(qint64 ms) override { Advance(ms); }
    void Advance(qint64 ms) { FNow = FNow.addMSecs(ms); FTick += ms; }
    // Moves the wall clock only (a user or NTP changing the PC time).
    void SetWall(const QDateTime& t) { FNow = t; }
private:
    QDateTime FNow;
    qint64 FTick = 1000000;
};
