#pragma once
// The signal service of the simulated world (루멘): every trading day it
// follows a set of stocks through their trades and publishes what it finds,
// for the service host on this machine (SimService.h).
//
// Tracked stocks. About kTracked stocks a day, a pure function of the
// market's seed and the date (TrackedCodes). First up to kSurge stocks whose
// day is at least kSurgeRatio times as busy as the previous trading day's
// (TDailyModel::Activity): those whose morning shows a same-time volume
// surge (a buy-side signal between 09:05 and 10:00, and at some minute from
// 09:30 to 10:00 the day's volume so far at least kSurgeRatio times the
// previous day's at that minute with the price at or above the day's
// average), then those planned to close above their open, the busiest
// against the day before first. The rest is a seeded draw without
// replacement among the other ordinary (non-ETF) stocks, weighted by the
// day's activity and the stock's usual traded value; busy stocks left over
// go first. ETFs are not tracked.
//
// Trades. A tracked stock's day is played from the plan the market plays
// (TDailyModel::Plan with the market's session and trade rate); a day is a
// pure function of its plan, so these are the trades of the market, with
// the same minute bars the chart queries answer. A change of the trade rate
// starts the service's day afresh at the new rate.
//
// Per minute (named by its end, as the bars are: 09:00:xx is 0901) the
// service keeps open, high, low, close, volume and the buyer- and
// seller-initiated traded amounts (trade side '+' / '-', price x quantity).
// A minute without trades keeps the last close and has no volume. A minute
// is looked at once it has ended, never before.
//
// Rules, for a minute m of the session (the signal's time is the minute's
// start, hhmm; its entry price `ep` is the minute's close, a price it
// traded at in that minute):
//  - buy capture (lm03): m has at least kMinHistory minutes of the session
//    before it; its volume is at least kCaptureRatio times the mean volume
//    of the kHistory minutes before it (fewer at the start of the session),
//    and that mean is above 0; close > open; the buyer-initiated share of
//    the minute's traded amount is at least kCaptureShare.
//  - sell capture (lm03r): the same with close < open and the
//    seller-initiated share.
//  - buy streak (lm08): the minute's close is above the close before it
//    (the day's first trade starts no streak) for N >= kStreakMin minutes in
//    a row. One signal per streak, timed at the streak's first minute with
//    that minute's close as `ep`; its `peak` is N and grows with the streak.
//    A minute whose close did not rise ends it (a minute without trades
//    keeps the close, so it ends it too).
//  - sell streak (lm08r): the same for a falling close.
//
// Which day is shown. On a trading day the current day from 08:50 (no
// signals before the session's first minute has ended); before 08:50 the
// previous trading day's final lists; on a day off the last trading day's
// final lists. With the market always open, always today.
//
// Threads. The generator plays the tracked days on a worker thread of its
// own, never the caller's: Feed only hands the worker the time to reach
// (at most every kStepMs of clock time, at once on a new day) and returns.
// What the worker finds is published as an immutable snapshot under a lock,
// which any thread may take (Snapshot). The generator knows nothing of the
// market engine: it works from a copy of the listing and the market's
// settings (TSimSignalsSetup).
#include "sim/SimStock.h"
#include "sim/StockSim.h"
#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class TMarketEngine;

enum class TSimSignalKind : quint8 { BuyCapture = 1, SellCapture = 2, BuyStreak = 3, SellStreak = 4 };

struct TSimSignal {
    TSimSignalKind Kind = TSimSignalKind::BuyCapture;
    QString Code;
    int Hhmm = 0;     // start of the signal's minute (09:31:xx is 931)
    int TimeMs = 0;   // time of the trade that made the entry price, ms of the day
    int Ep = 0;       // entry price: the close of the signal's minute
    int Peak = 0;     // streaks: minutes in a row so far; captures 0
};

// One minute of one stock.
struct TSimLumenMinute {
    int Hhmm = 0;   // end of the minute, as the minute bars are named
    int Open = 0, High = 0, Low = 0, Close = 0;
    qint64 Volume = 0;
    qint64 BuyAmt = 0, SellAmt = 0;   // won, this minute
    qint64 CumBuy = 0, CumSell = 0;   // won, the day so far through this minute
    int CloseMs = 0;                  // time of the minute's last trade (0: none)
};

// The rules above over one stock's trades.
class TSimLumenTracker {
public:
    static constexpr int kHistory = 10;
    static constexpr int kMinHistory = 3;
    static constexpr double kCaptureRatio = 4.0;
    static constexpr double kCaptureShare = 0.60;
    static constexpr int kStreakMin = 4;

    TSimLumenTracker(QString code, int sessionStartMs, int sessionEndMs);

    // Trades in time order.
    void Add(const TSimTrade& t);
    // Ends every minute over by ms (the trades up to ms have been added).
    void CloseUpTo(int ms);

    const QString& Code() const { return FCode; }
    // The ended minutes of the session, one per minute from the first.
    const QVector<TSimLumenMinute>& Minutes() const { return FMinutes; }
    // Signals in the order found; a streak's entry is updated as it grows.
    const QVector<TSimSignal>& Signals() const { return FSignals; }

private:
    void CloseMinute();
    void Judge();
    int EndOf(int minuteOfDay) const;

    QString FCode;
    int FEndMs;
    int FFirstMinute, FLastMinute;   // minutes of the day the keys run over (0901 is 541)
    int FCurMinute;                  // the minute being filled
    TSimLumenMinute FCur;
    int FLastClose = 0;
    qint64 FCumBuy = 0, FCumSell = 0;
    QVector<TSimLumenMinute> FMinutes;
    QVector<TSimSignal> FSignals;
    int FUpRun = 0, FDownRun = 0;    // minutes in a row with a rising / falling close
    int FUpSig = -1, FDownSig = -1;  // the running streaks' entries in FSignals
};

// What the generator needs of the market, by value.
struct TSimSignalsSetup {
    QVector<TSimStock> Stocks;
    quint64 Seed = 0;            // the market's master seed (TDailyModel)
    int SessionStartMs = 9 * 3600 * 1000;
    int SessionEndMs = 15 * 3600 * 1000 + 30 * 60 * 1000;
    double TradesPerSec = 1.0;
    bool AlwaysOpen = false;

    static TSimSignalsSetup Of(const TMarketEngine& engine);
};

// One tracked stock as published.
struct TSimLumenStock {
    QString Code, Isin;
    QVector<TSimLumenMinute> Minutes;
};

// The service's state at one moment; immutable once published.
struct TSimSignalsSnapshot {
    QDate Date;            // the day shown; null: nothing worked out yet
    int UpdatedMs = 0;     // time of day the lists run to
    bool Final = false;    // the day is over
    QVector<TSimSignal> Signals;
    QVector<TSimLumenStock> Stocks;   // by code
    QByteArray Latest;     // /lumen/latest body
    QByteArray LmTop;      // /lumen/pub?n=lmtop body

    bool Ready() const { return Date.isValid(); }
    // The tracked stock with this ISIN; nullptr for others.
    const TSimLumenStock* ByIsin(const QString& isin) const;
    // /lumen/series body of an ISIN (rows only for a tracked stock).
    QByteArray Series(const QString& isin) const;
};

class TSimSignals {
public:
    static constexpr int kTracked = 40;
    static constexpr int kSurge = 6;
    static constexpr double kSurgeRatio = 3.0;
    static constexpr int kStepMs = 5000;
    static constexpr int kShowTodayMs = (8 * 60 + 50) * 60000;   // 08:50

    // `threaded` false: Feed works on the calling thread (tests, benchmarks).
    explicit TSimSignals(TSimSignalsSetup setup, bool threaded = true);
    ~TSimSignals();
    TSimSignals(const TSimSignals&) = delete;
    TSimSignals& operator=(const TSimSignals&) = delete;

    // The tracked stocks of day d, by code.
    static QStringList TrackedCodes(const TSimSignalsSetup& setup, const QDate& d);

    // Brings the service to `now` (see above); returns at once when threaded.
    void Feed(const QDateTime& now);
    // The same without the pacing, on the calling thread; a threaded
    // generator's worker must be idle (tests, benchmarks).
    void Run(const QDateTime& now);
    // Waits until the worker has nothing left to do; false after ms.
    bool WaitIdle(int ms = 30000) const;
    // Times the worker has published.
    int Published() const;

    std::shared_ptr<const TSimSignalsSnapshot> Snapshot() const;

private:
    struct TTrack;
    struct TDayRun;
    void Work(const QDateTime& now);
    void Loop();
    void Publish(std::shared_ptr<const TSimSignalsSnapshot> snap);

    const TSimSignalsSetup FSetup;
    const bool FThreaded;
    std::unique_ptr<TDayRun> FRun;   // the worker's own

    mutable std::mutex FLock;
    mutable std::condition_variable FWake;
    QDateTime FTarget;               // time the worker is to reach
    bool FHasTarget = false;
    bool FBusy = false;
    bool FStop = false;
    QDateTime FLastFed;
    int FPublished = 0;
    std::shared_ptr<const TSimSignalsSnapshot> FSnap;
    std::thread FThread;
};
