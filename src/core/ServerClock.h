#pragma once
// The exchange's time as the program knows it: the broker answers its time
// (t0167); the answer is taken as stamped halfway between sending and
// receiving, and the difference to the PC clock corrects every "now" that
// cuts time windows.
#include <QColor>
#include <QDateTime>
#include <QString>

class TClock;

class TServerClock {
public:
    explicit TServerClock(const TClock& clock) : FClock(clock) {}

    // A time request is going out now.
    void MarkSent();
    // The answer's dt (yyyymmdd) and time (HHMMSS[mmm]) texts. Returns the log
    // line to write; the offset changes only when the answer is valid.
    QString OnTimeData(const QString& dt, const QString& time);

    QDateTime ServerNow() const;
    bool Ok() const { return FOk; }
    double OffsetSec() const { return FOfsMs / 1000.0; }

    // "yyyy-mm-dd (ddd) hh:nn:ss" of ServerNow.
    QString ClockText() const;
    QString NoteText() const;
    QColor NoteColor() const;

private:
    const TClock& FClock;
    QDateTime FTimeSent;
    double FOfsMs = 0;
    bool FOk = false;
};
