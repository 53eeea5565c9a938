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
    // The exchange's wall-clock time (Korean time) as a plain date and time:
    // ServerNow once the broker has told its time; before that the PC clock
    // converted to Asia/Seoul, so a PC set to another zone still cuts the
    // trading day by the exchange's hours. With SetLocalIsExchange (the
    // simulated exchange keeps the PC's own time) the PC clock as it is.
    QDateTime ExchangeNow() const;
    // "hhmm" of ExchangeNow as a number, and its date as yyyymmdd.
    int ExchangeHhmm() const;
    QString ExchangeDay() const;
    void SetLocalIsExchange(bool on) { FLocalIsExchange = on; }
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
    bool FLocalIsExchange = false;
};
