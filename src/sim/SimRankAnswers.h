#pragma once
// The market rankings of the simulated exchange:
//  t1441  top gainers (gubun2 0), losers (1) or unchanged (2) by change rate;
//         `updaycnt` the run of rising closes up to today;
//  t1463  largest traded amounts today (jnilgubun 0) or the previous day (1);
//  t1466  volume surge against the previous day's volume at the same time,
//         among stocks whose previous-day volume reaches the type1 floor
//         (0 any, 1 10,000, 2 50,000, 3 100,000, 4 200,000, 5 500,000,
//         6 1,000,000 shares) and, with type2 1..6, whose surge rate is at
//         most 2000, 1500, 1000, 500, 100 or 50 %.
// Every one filters by market (gubun / gubun1: 0 all, 1 KOSPI, 2 KOSDAQ),
// price (sprice .. eprice, 0 = open) and volume (volume: at least).
//
// The figures are the daily model's plan at the time asked (TDailyModel):
// the price runs from the opening to the closing print as the session goes
// and the volume grows with it, so a ranking costs a pass over the plans
// instead of simulating every stock's trades. A stock whose day the market
// plays (subscribed or watched) is ranked with its quote, so the current
// stock agrees with its own screen. Amounts are in millions of won.
//
// Paging: kPageRows records a page, at most kMaxRows in all. The first page
// is asked with idx empty or 0; OutBlock's idx is the place of the next
// page's first record, asked as idx on the next request; after the last
// page it is 0. An idx that is not a number is refused with kBadInput.
#include "core/Clock.h"
#include "sim/SimReply.h"

#include <QDate>
#include <QHash>

class TMarketEngine;

// The member firms of a stock's day for t1102: the five that sold and the
// five that bought the most, with the foreign houses' totals. Each firm's
// share of the day's volume is fixed per (seed, code, day), so the firms'
// volumes add up to at most the day's volume and grow with it; a firm's
// change is what the last trade (`lastQty` shares) added. Writes offerno1..5,
// bidno1..5, dvol, svol, dcha, scha, their firm codes and fwdvl, fwsvl,
// ftradmdcha, ftradmscha into the current row of `f`.
void SimBrokerTopFive(TSimBlockFill& f, quint64 seed, const QString& code, const QDate& day, qint64 volume,
                      qint64 lastQty);

class TSimRankAnswers {
public:
    static constexpr int kPageRows = 20;
    static constexpr int kMaxRows = 100;

    TSimRankAnswers(TMarketEngine& engine, TClock& clock) : FEngine(engine), FClock(clock) {}

    static bool Serves(const QString& tr);
    TSimReply Answer(const QString& tr, const TResLayout& layout, const QHash<QString, QString>& in);

private:
    TMarketEngine& FEngine;
    TClock& FClock;
};
