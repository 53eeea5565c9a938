#pragma once
// Market-wide answers of the simulated exchange: the two Korean indices,
// the overseas indices and the investors' net buying.
//
//  t8409  KOSPI ("001") / KOSDAQ ("301") N-minute bars of today. The broker's
//         documents do not describe t8409; its layout (res/t8409.res) is
//         the minute chart's shape for a sector code: t8409OutBlock with the
//         previous day's figures (jiclose ...) and the paging keys,
//         t8409OutBlock1 with one row per bar in time order (date, time
//         hhmmss of the bar's end, open / high / low / close, volume,
//         amount in millions of won). At most 500 bars a page; the next page
//         (older bars) asks with cts_date + cts_time, empty on the last page.
//  t3521  one overseas index (DJI@DJI, NAS@IXIC, SPI@SPX, USI@SOXX): level,
//         sign, change and rate against the previous US session's close. An
//         unknown symbol gets an empty block, as the broker answers.
//  t3518  an overseas index's rows, newest first: days (jgbn 0) for every
//         index above, minutes (jgbn 3, nmin minutes a row) for NAS@IXIC
//         only, as the broker serves minute data for the NASDAQ alone. At
//         most `cnt` rows (1..500); cts_date + cts_time lead to older rows.
//  t1601  the day's net buying by investor type so far, in 100 million won
//         (OutBlock1 KOSPI, OutBlock2 KOSDAQ; 3..6 the derivatives, zero).
//  t1602  the same by minute, newest first, at most kFlowRows rows a page;
//         market 1 / upcode 001 KOSPI, 2 / 101 KOSPI200, 3 / 301 KOSDAQ.
//         cts_time (the next older row's time) leads to the next page.
//
// Indices. A market's index is cap-weighted over its kIndexMembers largest
// stocks (listed shares x reference price), scaled to a familiar level: the
// previous close from the daily model's closes, the minutes from the
// members' own minute bars as the market played them, so the index moves
// exactly as the stocks it is made of.
//
// Investors. Foreigners lean with the index's move of the day, the
// institutions' types (financial investment, trusts, banks, insurers,
// merchant banks, pension funds, private equity, the state) each follow a
// seeded path; institutions (18) are the sum of their types, and
// individuals (08) take the other side of everybody else, so the types of
// a market always add up to zero. NXT ("N") carries a fixed share of the
// whole ("U"), KRX ("K") the rest, and each adds up to zero on its own.
#include "core/Clock.h"
#include "sim/SimReply.h"

#include <QDate>
#include <QHash>
#include <QVector>

class TMarketEngine;

struct TSimIndexBar {
    int Hhmm = 0;   // end of the minute
    double Open = 0, High = 0, Low = 0, Close = 0;
    qint64 Volume = 0, Amount = 0;   // shares, millions of won
};

struct TSimIndexDay {
    QDate Date;
    double PrevClose = 0;
    QVector<TSimIndexBar> Bars;   // ascending
};

// One minute of an overseas index.
struct TSimUsPoint {
    QDate Date;        // US date of the session
    int EtHhmm = 0;    // US (New York) time of the minute's end
    QDateTime Kst;     // the same instant in Korean time
    double Price = 0;
};

// Net buying (100 million won) of every investor type, by type code.
struct TSimFlow {
    QHash<QString, qint64> Net, Buy, Sell;
};

class TSimBoard {
public:
    static constexpr int kIndexMembers = 10;
    static constexpr int kFlowRows = 100;
    static constexpr int kMaxBars = 500;

    TSimBoard(TMarketEngine& engine, TClock& clock) : FEngine(engine), FClock(clock) {}

    static bool Serves(const QString& tr);
    // `next`: a continuation request.
    TSimReply Answer(const QString& tr, const TResLayout& layout, const QHash<QString, QString>& in, bool next);

    // "001" KOSPI, "301" KOSDAQ; an empty day for another code.
    TSimIndexDay IndexDay(const QString& upcode);
    // The investor types in the order the layouts list them.
    static const QStringList& FlowTypes();
    // Cumulative flows of market 0 KOSPI / 1 KOSDAQ / 2 KOSPI200 after each
    // bar of the index day, for exchange 'K', 'N' or 'U'.
    QVector<TSimFlow> FlowPath(int market, QChar ex, const TSimIndexDay& day) const;
    // The last session of an overseas index up to now (its minutes so far)
    // and the previous session's close; false for an unknown symbol.
    bool UsSession(const QString& symbol, QVector<TSimUsPoint>* points, double* prevClose) const;

private:
    TSimReply T8409(const TResLayout& layout, const QHash<QString, QString>& in, bool next);
    TSimReply T3521(const TResLayout& layout, const QHash<QString, QString>& in);
    TSimReply T3518(const TResLayout& layout, const QHash<QString, QString>& in, bool next);
    TSimReply T1601(const TResLayout& layout, const QHash<QString, QString>& in);
    TSimReply T1602(const TResLayout& layout, const QHash<QString, QString>& in, bool next);

    TMarketEngine& FEngine;
    TClock& FClock;
};

// The service's ETN holdings document of the evening before `today`
// (/lumen/etn): per group the units held by investors other than the
// liquidity provider, the change from the day before, twenty days of
// history, the notes whose liquidity provider is nearly sold out, the big
// movers and a few lines of commentary. A pure function of the day.
QByteArray SimEtnDocument(const QDate& today);
