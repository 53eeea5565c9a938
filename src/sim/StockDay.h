#pragma once
// One stock's trading day as the market has played it so far: the simulator
// (TStockSim) and what the history answers need about the day, kept up
// trade by trade as the day moves, so that an answer about today is read
// from what is known instead of playing the session again.
//
// Kept per day:
//  - 1-minute bars, each named by the end of its minute (SimMinuteKey: the
//    closing print counts for the session's last minute);
//  - program trading by minute of the day: the day's cumulative program
//    buy / sell quantities and amounts after the minute's last trade
//    (TSimProgramModel says which trades programs made);
//  - with a tape (the market's own days): a copy of the simulator as each
//    minute of the session begins and the largest trade of the minute. A
//    minute's trades are played again from its copy, exactly as they
//    happened (the simulator is a pure function of its state), so any page
//    of ticks costs at most the minutes it shows.
//
// Every event of the day must be played through AdvanceTo, which takes the
// copies as the minutes begin. A change of the trade rate (through Sim())
// is recorded as the simulator plays it.
#include "sim/SimStock.h"
#include "sim/StockSim.h"
#include <QDate>
#include <QVector>
#include <functional>
#include <vector>

// A price bar: a minute (Hhmm the end of the minute) or a day (Hhmm 0).
struct TSimBar {
    QDate Date;       // day bars of a longer period: the last trading day in it
    int Hhmm = 0;     // minute bars: end of the bar (09:00:xx is 0901); day bars 0
    int Open = 0, High = 0, Low = 0, Close = 0;
    qint64 Volume = 0, Amount = 0;   // shares, won
};

// The minute a trade at ms (of the day) counts for, as hhmm of its end, in a
// session that ends at sessionEndMs; the closing print counts for the
// session's last minute.
int SimMinuteKey(int ms, int sessionEndMs);

// Which trades of a day programs made: a seeded share of them (more for an
// ETF), leaning to one side for the whole day.
class TSimProgramModel {
public:
    TSimProgramModel() = default;
    TSimProgramModel(quint64 masterSeed, const TSimStock& s, const QDate& d);
    // Whether the day's n-th trade (counted from 0) was a program's.
    bool IsProgram(quint64 n, const TSimTrade& t) const;

private:
    quint64 FSeed = 0;                       // SeedMix of the day's seed, for the trades' draws
    double FBuyShare = 0, FSellShare = 0;    // chance of a buy / a sell being a program's
};

// Program trading up to the last trade of one minute of the day.
struct TSimProgramRow {
    int Minute = 0;    // minute of the day (09:00:xx is 540)
    int Price = 0;     // last price
    qint64 Volume = 0; // the day's volume
    qint64 BuyQty = 0, SellQty = 0, BuyAmt = 0, SellAmt = 0;   // programs, cumulative
};

class TStockDay {
public:
    TStockDay(const TDayPlan& plan, const TSimProgramModel& program, bool keepTape);

    const TStockSim& Sim() const { return FSim; }
    TStockSim& Sim() { return FSim; }
    // Plays the day up to ms as TStockSim::AdvanceTo does, recording it.
    int AdvanceTo(int ms, const TStockSim::TEventFn& fn = {});

    // 1-minute bars of the trades so far, ascending.
    const QVector<TSimBar>& MinuteBars() const { return FBars; }
    // One row per minute with trades, ascending.
    const QVector<TSimProgramRow>& ProgramRows() const { return FProgram; }

    // The tape: minutes [FirstMinute(), FirstMinute() + TapeMinutes()) of the
    // day (minutes of the day, 09:00:xx is 540) have begun.
    bool HasTape() const { return FKeepTape; }
    int FirstMinute() const { return FFirstMinute; }
    int TapeMinutes() const { return int(FTape.size()); }
    // The largest trade of a minute so far (0: none).
    qint64 LargestTrade(int minute) const;
    // Plays the trades of a minute again, up to the simulator's time, in
    // time order; nothing for a minute not on the tape.
    void ReplayMinute(int minute, const std::function<void(const TSimTrade&)>& fn) const;

private:
    struct TMinute {
        TStockSim Start;    // the simulator as the minute begins
        qint64 Largest = 0;
    };
    void Record(const TSimTrade& t);

    TStockSim FSim;
    TSimProgramModel FProgramModel;
    bool FKeepTape;
    int FFirstMinute;
    int FSessionEndMs;
    QVector<TSimBar> FBars;
    QVector<TSimProgramRow> FProgram;
    TSimProgramRow FProgramNow;   // after the last trade
    quint64 FTrades = 0;
    qint64 FLastAmount = 0;       // the day's amount after the last trade
    std::vector<TMinute> FTape;
};
