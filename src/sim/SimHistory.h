#pragma once
// Price history of the simulated market: day bars and the trades of a day,
// derived from the daily model so they always agree with the live market.
//
// A past session is replayed with the same plan the market would have
// traded (TDailyModel::Plan at the market's session times and trade rate),
// so its minute bars, ticks and day figures are exact. The market date's
// session is replayed from its own plan up to the live market's time, so
// today's last replayed trade is the live last trade.
//
// Minute history reaches MinuteDays trading days before the market date.
// Older day bars are not replayed: open and close come from the daily model,
// high, low and volume from a seeded draw around them (high >= open, close
// >= low, inside the day's limits). The market date's day bar is the live
// state; before the open it shows the previous close with volume 0.
// History starts at FirstDay().
#include "sim/MarketEngine.h"
#include <QDate>
#include <QHash>
#include <QVector>
#include <functional>

struct TSimBar {
    QDate Date;       // day bars of a longer period: the last trading day in it
    int Hhmm = 0;     // minute bars: end of the bar (09:00:xx is 0901); day bars 0
    int Open = 0, High = 0, Low = 0, Close = 0;
    qint64 Volume = 0, Amount = 0;   // shares, won
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
    // Replays the session of day d (up to the live time on the market date),
    // calling fn for every trade; false when d has no intraday history.
    bool Replay(const TSimStock& s, const QDate& d, const std::function<void(const TSimTrade&)>& fn);
    // 1-minute bars of day d, ascending; empty when d has no intraday history.
    QVector<TSimBar> MinuteBars(const TSimStock& s, const QDate& d);

    // The minute a trade at ms (of the day) counts for, as hhmm of its end;
    // the closing print counts for the session's last minute.
    int MinuteKey(int ms) const;

private:
    TSimBar ReplayedDay(const TSimStock& s, const QDate& d);
    TSimBar EstimatedDay(const TSimStock& s, const QDate& d, int close, int prevClose) const;
    TDayPlan PlanOf(const TSimStock& s, const QDate& d) const;
    QString CacheKey(const TSimStock& s, const QDate& d) const;

    TMarketEngine& FEngine;
    QHash<QString, TSimBar> FDays;                 // replayed past days
    QHash<QString, QVector<TSimBar>> FMinutes;     // minute bars of past days
};
