#pragma once
// The market board's figures and the rotation of its requests, without any
// window: which job to start on each second, which answer may finish the
// job in flight, and which failures are worth a log line.
//
// Jobs: 0..2 one US index each (t3521), 3 KOSPI and 4 KOSDAQ (t8409),
// 5 the two semiconductor stocks (t8407), 6 investor net buying (t1601).
// Every 30 s the chain 3 -> 4 -> 5 -> 6 runs, each link on the second after
// the previous one ended; every 10 s one US index is refreshed in turn. At
// most one job is in flight; one that has no answer after 6 s is dropped.
//
// Every job started gets a new serial. An answer carries the serial of the
// request that asked for it, and only the answer of the job in flight
// finishes it: a late answer of an earlier job (KOSPI's level arriving while
// KOSDAQ is asked) is dropped, never shown under another name.
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QtGlobal>
#include <functional>

struct TBoardItem {
    QString Nm;         // display name
    double Px = 0;      // last price or index level
    double Rt = 0;      // change from the previous close, % (signed)
    bool Ok = false;    // Px / Rt hold data
    bool IsIdx = false; // an index (two decimals) rather than a stock
};

inline constexpr int kBoardItems = 7;
inline constexpr int kBoardPages = 7;
inline constexpr int kBoardJobs = 7;
inline constexpr qint64 kBoardJobTimeoutMs = 6000;

// The seven items with their names, none holding data yet.
QVector<TBoardItem> InitBoard();
// Symbol (items 0..2), sector code (3, 4) or stock code (5, 6) of an item.
QString BoardSymbol(int item);
// Exchange code of the investor figures a page shows: "K" KRX (page 4),
// "N" NXT (page 5), "U" both (any other page).
QString BoardExCode(int page);
// The request queue's tag of a job.
QString BoardJobTag(int job);
// The job's name in log lines.
QString BoardJobName(int job, const QVector<TBoardItem>& items);

class TBoardRotation {
public:
    struct TStep {
        int TimedOut = -1;   // job dropped for want of an answer (log it, then BoardFail)
        int Start = -1;      // job to start now
    };

    // Login: the first chain starts on the next second.
    void Login();
    // One second passed. The only place the seconds counter moves.
    TStep Second(bool logged, qint64 nowMs);
    // A job goes out: it is in flight with a new serial, which is returned.
    quint64 Begin(int job, qint64 nowMs);
    // Whether an answer asked with `serial` belongs to the job in flight.
    bool Accept(quint64 serial) const { return FJob >= 0 && serial == FSerial; }
    // The job in flight has ended (answered, failed or refused): the chain
    // goes on after jobs 3, 4 and 5.
    void Finish(int job);
    // A request that could not even be prepared: nothing is in flight.
    void Drop() { FJob = -1; }

    int Job() const { return FJob; }
    int Next() const { return FNext; }
    int Tick() const { return FTick; }
    bool USDue() const { return FUSDue; }
    int USNext() const { return FUSNext; }
    quint64 Serial() const { return FSerial; }

private:
    int FJob = -1;
    int FNext = 0;
    qint64 FSent = 0;
    int FTick = 0;
    int FUSNext = 0;
    bool FUSDue = false;
    quint64 FSerial = 0;
};

// Failures of a job are logged once until the job succeeds again (after
// hours every request of the chain fails every 30 s).
class TFailOnce {
public:
    // Whether a failure of `key` should be logged now (and notes it).
    bool Take(int key)
    {
        if (FLogged.contains(key))
            return false;
        FLogged.insert(key);
        return true;
    }
    void Success(int key) { FLogged.remove(key); }

private:
    QSet<int> FLogged;
};

// ---- reading answers --------------------------------------------------------------

// Signed change in % from an unsigned rate and the broker's sign code:
// negative for "4" (lower limit) and "5" (down).
double SignedRate(double rate, const QString& sign);
// The US item (0..2) whose symbol equals `symbol` ignoring case; -1 none.
int UsItemOf(const QString& symbol);
// The row with the greatest date + time (trimmed, compared as text; the
// first of equals); -1 when there are none.
int LatestRow(const QStringList& dateTimes);

// ---- labels ------------------------------------------------------------------------

struct TBoardLabel {
    QString Text;
    quint32 Rgb = 0x404040;
    int Tag = -1;   // item 0..6, 7 investors, 9 ETN
    int GapBefore = 0;   // extra space before it (design units)
};

// Investor figures: [0..2] KOSPI foreigners, institutions, individuals,
// [3..5] the same for KOSDAQ, in 100 million won.
struct TBoardInv {
    double V[6] = {0, 0, 0, 0, 0, 0};
    bool Ok = false;
    QString Ex;   // exchange code of the figures held
};

// What the board's ETN page reads of the holdings (EtnDoc.h).
struct TBoardEtn {
    bool Ok = false;
    QString Msg, Date, PrevDate;
    qint64 Inv[10] = {}, Chg[10] = {};
};

// The labels of a page, left to right, with the gap after each.
QVector<TBoardLabel> BoardLabels(int page, const QVector<TBoardItem>& items, const TBoardInv& inv, const TBoardEtn& etn);
// Gap after each label of a page (design units).
int BoardGap(int page);

// The board's six investor figures from a t1601 answer: net buying
// ("svolume_" + 17 foreigners, 18 institutions, 08 individuals) of
// t1601OutBlock1 (KOSPI) then t1601OutBlock2 (KOSDAQ). False when the
// answer holds none of them (an empty answer keeps the figures held).
bool ReadInvFigures(const std::function<QString(const QString& block, const QString& field)>& get, double v[6]);
