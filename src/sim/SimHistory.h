#pragma once
// Price history of the simulated market: day bars and the trades of a day,
// derived from the daily model so they always agree with the live market.
//
// A past session is replayed with the same plan the market would have
// traded (TDailyModel::Plan at the market's session times and trade rate),
// once: its minute bars, program trading and day figures are kept. The
// market date's session is the market's own day (TStockDay), which records
// itself as it trades, so today's figures end with the live last trade and
// cost nothing to replay.
//
// Minute history reaches MinuteDays trading days before the market date.
// Older day bars are not replayed: open and close come from the daily model,
// high, low and volume from a seeded draw around them (high >= open, close
// >= low, inside the day's limits). The market date's day bar is the live
// state; before the open it shows the previous close with volume 0.
// History starts at FirstDay().
//
// Playing a past day costs its whole session's trades (at a high trade rate
// about a second for a stock's 22 days), so a caller that must not wait may
// ask the history to defer: a past day not yet played then reads as empty,
// is listed as missing (TakeMissing) and nothing built from it is kept; the
// caller plays the jobs elsewhere (Play is a pure function of the job), hands
// the days back with Store and asks again.
#include "sim/MarketEngine.h"
#include <QDate>
#include <QHash>
#include <QVector>
#include <atomic>
#include <deque>

// What is kept of a past session.
struct TSimPastDay {
    QVector<TSimBar> Minutes;
    QVector<TSimProgramRow> Program;
};

// A past session to play: everything it depends on, by value.
struct TSimPastJob {
    QString Key;
    QDate Date;
    TDayPlan Plan;
    TSimProgramModel Program;
};

class TSimHistory {
public:
    static constexpr int kMinuteDays = 22;
    static QDate FirstDay() { return QDate(2000, 1, 4); }

    explicit TSimHistory(TMarketEngine& engine) : FEngine(engine) {}

    // Day bars of the trading days in [from, to] (and the market date when it
    // lies in the range), ascending.
    QVector<TSimBar> DayBars(const TSimStock& s, QDate from, QDate to);
    // Whether day d has trades to replay (the market date or one of the
    // kMinuteDays trading days before it).
    bool HasIntraday(const QDate& d) const;
    // The market date's day of the stock, brought up to the clock; nullptr
    // when it is not listed. The pointer holds until the next call into the
    // engine.
    const TStockDay* Today(const TSimStock& s);
    // 1-minute bars of day d, ascending; empty when d has no intraday history.
    QVector<TSimBar> MinuteBars(const TSimStock& s, const QDate& d);
    // Program trading of day d by minute, ascending; empty when d has no
    // intraday history.
    QVector<TSimProgramRow> ProgramRows(const TSimStock& s, const QDate& d);

    // While deferring, a past day not yet played is not played here (see above).
    void SetDeferring(bool on) { FDeferring = on; }
    // The past days found missing while deferring since the last call.
    QVector<TSimPastJob> TakeMissing();
    // Plays a past session to its end; an empty day when stop was set first.
    static TSimPastDay Play(const TSimPastJob& job, const std::atomic_bool* stop = nullptr);
    // Keeps a played day (the oldest kept are let go beyond a bound).
    void Store(const QString& key, const TSimPastDay& day);
    bool Has(const QString& key) const { return FPast.contains(key); }

private:
    // Day d before the market date replayed (once); nullptr when it has no
    // intraday history, or when it is missing while deferring.
    const TSimPastDay* PastDay(const TSimStock& s, const QDate& d);
    TSimBar ReplayedDay(const TSimStock& s, const QDate& d);
    TSimBar EstimatedDay(const TSimStock& s, const QDate& d, int close, int prevClose) const;
    TDayPlan PlanOf(const TSimStock& s, const QDate& d) const;
    QString CacheKey(const TSimStock& s, const QDate& d) const;

    TMarketEngine& FEngine;
    QHash<QString, TSimBar> FDays;                 // replayed past days
    QHash<QString, TSimPastDay> FPast;             // minute bars and program trading of past days
    std::deque<QString> FPastOrder;                // keys of FPast, oldest first
    bool FDeferring = false;
    QVector<TSimPastJob> FMissing;
};
