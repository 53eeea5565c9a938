#pragma once
// The history answers of the simulated exchange (t8410, t8412, t1301, t1637)
// computed the plain way: every answer about today plays the stock's session
// again from its start - a fresh TStockSim of the live plan, up to the live
// time - and a past day is played again unless it is cached. It costs the
// whole day so far on every request, but it is plainly right: the tests hold
// the exchange's answers, which read what the market recorded as it traded,
// to be exactly these, row for row and key for key.
#include "sim/MarketEngine.h"
#include "sim/SimReply.h"
#include <QDate>
#include <QHash>
#include <QVector>
#include <functional>

namespace SimReplay {

class THistory {
public:
    static constexpr int kMinuteDays = 22;
    static QDate FirstDay() { return QDate(2000, 1, 4); }

    explicit THistory(TMarketEngine& engine) : FEngine(engine) {}

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

class TAnswers {
public:
    static constexpr int kTickRows = 30;   // t1301 rows per page
    static constexpr int kProgRows = 20;   // t1637 rows per page

    explicit TAnswers(TMarketEngine& engine) : FEngine(engine), FHistory(engine) {}

    // t8410, t8412, t1301 and t1637.
    TSimReply Answer(const QString& tr, const TResLayout& layout, const QHash<QString, QString>& in);

private:
    TSimReply T8410(const TResLayout& layout, const QHash<QString, QString>& in);
    TSimReply T8412(const TResLayout& layout, const QHash<QString, QString>& in);
    TSimReply T1301(const TResLayout& layout, const QHash<QString, QString>& in);
    TSimReply T1637(const TResLayout& layout, const QHash<QString, QString>& in);

    TMarketEngine& FEngine;
    THistory FHistory;
};

} // namespace SimReplay
