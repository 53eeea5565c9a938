#pragma once
// The trading calendar and the day-by-day path of every stock.
//
// Calendar: Monday to Friday are trading days (holidays are not modelled).
//
// Daily closes are a pure function of (master seed, stock code, date), so
// any day's close, and with it any day's previous close and limits, can be
// had without simulating the days in between. For a stock with reference
// price R (TSimStock::PrevClose):
//   e(j)     = clamp(vol * N(0,1), -4 %, +4 %), one draw per calendar day j
//              from the seed (master, code, j);
//   x(d)     = sum over k = 0..59 of 0.95^k * e(d - k);
//   Close(d) = R * exp(x(d)), moved to the nearest grid price.
// x wanders around 0 (a few times vol), so closes stay in R's neighbourhood.
// The bounded draws keep two consecutive trading days' closes within about
// 25 % of each other, inside the daily limits; as a safeguard Close(d) is
// still clamped to the limits set by the previous trading day's close.
//
// The plan of a day (its previous close, limits, opening print, closing
// print, volatility and trade size) is what TStockSim replays intraday: the
// day opens at Open(d) and its last print is Close(d), so the live state at
// the close and the history derived from this model always agree.
#include "sim/SimStock.h"
#include "sim/StockSim.h"
#include <QDate>
#include <QPair>
#include <QVector>

bool IsTradingDay(const QDate& d);
// The last trading day strictly before d.
QDate PrevTradingDay(const QDate& d);
// d itself when it is a trading day, else the last one before it.
QDate TradingDayOnOrBefore(const QDate& d);

class TDailyModel {
public:
    explicit TDailyModel(quint64 masterSeed = 0) : FSeed(masterSeed) {}
    quint64 Seed() const { return FSeed; }

    // Relative standard deviation of the stock's daily moves.
    double DailyVol(const TSimStock& s) const;
    // Close of date d (any calendar date; trading days are what matters).
    int Close(const TSimStock& s, const QDate& d) const;
    // Close of the trading day before d.
    int PrevClose(const TSimStock& s, const QDate& d) const { return Close(s, PrevTradingDay(d)); }
    // Closes of the trading days in [from, to], ascending, each equal to
    // Close(s, day); one pass instead of a full sum per day.
    QVector<QPair<QDate, int>> Closes(const TSimStock& s, const QDate& from, const QDate& to) const;
    // Opening print of date d: a gap from the previous close, within limits.
    int Open(const TSimStock& s, const QDate& d) const { return OpenAfter(s, d, PrevClose(s, d)); }
    // The same, with the previous trading day's close already known.
    int OpenAfter(const TSimStock& s, const QDate& d, int prevClose) const;
    // How busy the day is against the stock's usual volume (about 0.4 .. 3).
    double Activity(const TSimStock& s, const QDate& d) const;

    // The plan TStockSim replays for date d, session [startMs, endMs) in
    // milliseconds of the day, at the given trade rate.
    TDayPlan Plan(const TSimStock& s, const QDate& d, int startMs, int endMs, double tradesPerSec) const;

private:
    double Deviation(const TSimStock& s, const QDate& d) const;
    int RawClose(const TSimStock& s, const QDate& d) const;
    quint64 FSeed;
};
