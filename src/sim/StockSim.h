#pragma once
// One stock's trading day: a seeded, reproducible stream of trades and book
// changes on the exchange's price grid, within the day's limits.
//
// Book. Ten ask levels (index 0 the lowest ask) and ten bid levels (index 0
// the highest bid) on consecutive grid prices; while both sides have a level
// the best ask is one tick above the best bid. A level whose price would lie
// beyond the daily limit shows price 0 and quantity 0 (at the upper limit
// the ask side is empty, at the lower limit the bid side). Every shown level
// has a positive quantity. AskCha/BidCha give each level's change against
// the book before the last event at the same price (a new price counts from
// 0), as the exchange's "change from the previous quote" fields do.
//
// Trades. A buy takes the best ask, a sell the best bid ('+' buyer-initiated,
// '-' seller-initiated). An ordinary trade takes part of the level; new
// orders join the level again once it runs low (below the mean trade size),
// so ordinary trades never empty it. A sweep takes the whole level: the level
// disappears, the side shifts one tick and a new level appears at its far
// end, and the rest of the aggressive order rests at the traded price on the
// other side - so after a buy sweep at P the best bid is P and the best ask
// the next tick up. Only sweeps move the price. The last price is always the
// last trade's price; high >= last >= low; volume and amount (sum of price x
// quantity) only grow.
//
// The day (TDayPlan): the session runs [StartMs, EndMs) in milliseconds of
// the day. Before StartMs the book shows the opening orders around the
// planned open and nothing trades. At StartMs the opening print trades at
// the planned open (bought at the ask on a day opening at or above the
// previous close, sold at the bid below it; at a limit price the orders
// queue on the side that cannot be filled: bids at the upper limit, asks at
// the lower one). Then events arrive as a Poisson stream: TradesPerSec x
// Liquidity trades and about as many book changes per second, two to five
// times as many during a burst. Sweeps come with a probability set so the
// intraday spread of prices matches the stock's volatility whatever the
// rate; their direction leans towards the straight line from the open to the
// planned close, harder as the close nears (a Brownian bridge; when the gap
// is too large for the sweeps left, sweeps come more often). Bursts of one
// to three minutes, about one every 25 minutes, lean one way as well. At
// EndMs the closing print rebuilds the book around the planned close (same
// side rule as the open) and trades there; after it nothing happens.
//
// Seeds. Every draw comes from one generator seeded with Plan.Seed, and each
// event draws its numbers in a fixed order, so the same plan gives the same
// events at the same milliseconds however the time is stepped (one call to
// the close or a thousand small steps). Changing the trade rate during the
// day changes the rest of that day's stream.
//
// The book's totals and change fields are worked out when the book is read,
// which keeps a silent catch-up over a whole day at a few milliseconds.
#include <QDate>
#include <QtGlobal>
#include <array>
#include <functional>
#include "sim/SimRandom.h"

constexpr int kBookLevels = 10;

struct TDayPlan {
    QDate Date;
    int PrevClose = 0;
    int UpLimit = 0;       // 0: derived from PrevClose
    int DnLimit = 0;       // 0: derived from PrevClose
    int Open = 0;          // opening print; 0: PrevClose
    int Close = 0;         // closing print; 0: Open
    int StartMs = 9 * 3600 * 1000;
    int EndMs = 15 * 3600 * 1000 + 30 * 60 * 1000;
    double TradesPerSec = 1.0;   // the market's rate for a busy stock
    double Liquidity = 1.0;      // share of that rate this stock trades at (0.01 .. 1)
    double DailyVol = 0.02;   // relative standard deviation of a day's moves
    double MeanQty = 100;     // mean quantity of an ordinary trade
    quint64 Seed = 0;
};

struct TSimBook {
    int TimeMs = 0;   // time of the last change, ms of the day
    std::array<int, kBookLevels> Ask{};
    std::array<int, kBookLevels> Bid{};
    std::array<qint64, kBookLevels> AskQ{};
    std::array<qint64, kBookLevels> BidQ{};
    std::array<qint64, kBookLevels> AskCha{};
    std::array<qint64, kBookLevels> BidCha{};
    qint64 TotAsk = 0;
    qint64 TotBid = 0;
    qint64 TotAskCha = 0;
    qint64 TotBidCha = 0;
};

struct TSimTrade {
    int TimeMs = 0;   // ms of the day
    int Price = 0;
    qint64 Qty = 0;
    char Side = '+';  // '+' took the ask, '-' took the bid
    bool Auction = false;  // the opening or closing print
    // The day after this trade.
    int Open = 0, High = 0, Low = 0;
    int OpenTimeMs = 0, HighTimeMs = 0, LowTimeMs = 0;
    qint64 Volume = 0;       // cumulative shares
    qint64 Amount = 0;       // cumulative won
    qint64 BuyVolume = 0, SellVolume = 0;
    int BuyCount = 0, SellCount = 0;
    int Ask = 0, Bid = 0;    // best prices after the trade (0: side empty)
};

// hhmmss as a number, e.g. 9:30:05.250 gives 93005.
int HhmmssOf(int msOfDay);

class TStockSim {
public:
    // Called once per event: with the trade for a trade (the book changed as
    // well), with nullptr for a change of the book alone. The simulator's
    // state is already the state after the event.
    using TEventFn = std::function<void(const TSimTrade* trade)>;

    explicit TStockSim(const TDayPlan& plan);

    const TDayPlan& Plan() const { return FPlan; }
    int UpLimit() const { return FPlan.UpLimit; }
    int DnLimit() const { return FPlan.DnLimit; }

    // Plays every event up to and including time ms; returns the number of
    // trades. Time never goes back: an earlier ms does nothing.
    int AdvanceTo(int ms, const TEventFn& fn = {});
    int Step(int ms, const TEventFn& fn = {}) { return AdvanceTo(FNowMs + ms, fn); }
    int NowMs() const { return FNowMs; }

    // Takes effect from the next event.
    void SetTradesPerSec(double perSec);

    bool Opened() const { return FOpened; }
    bool Closed() const { return FClosed; }

    // Last price; the previous close before the first trade.
    int Price() const { return FOpened ? FLast.Price : FPlan.PrevClose; }
    // Day figures; 0 before the first trade.
    int Open() const { return FLast.Open; }
    int High() const { return FLast.High; }
    int Low() const { return FLast.Low; }
    qint64 Volume() const { return FLast.Volume; }
    qint64 Amount() const { return FLast.Amount; }
    int TradeCount() const { return FLast.BuyCount + FLast.SellCount; }
    // The last trade with the day's figures after it; all 0 before the open.
    const TSimTrade& LastTrade() const { return FLast; }
    const TSimBook& Book() const;

private:
    void ScheduleNext(int fromMs);
    void DoOpening(int t);
    void DoClosing(int t);
    void DoContinuous(int t, const TEventFn& fn, int* trades);
    void DoTrade(int t, char side, bool sweep);
    void DoBookChange(int t);
    void Print(int t, int price, qint64 qty, char side);
    bool AnchorIsAsk(int price, int from) const;
    void BuildBook(int anchor, bool anchorIsAsk);
    void BeginEvent(int t);
    void EndEvent();
    void UpdateDerived() const;
    int NextAsk(int p) const;
    int NextBid(int p) const;
    qint64 DrawQty();
    qint64 LevelQty(int level);
    double Lean(int t, double* sweepBoost) const;
    void Calibrate();
    double Rate() const { return FPlan.TradesPerSec * FPlan.Liquidity; }

    TDayPlan FPlan;
    TSimRng FRng;
    int FNowMs = 0;
    int FNextMs = 0;
    bool FOpened = false;
    bool FClosed = false;
    double FSweepP = 0.01;
    int FBurstUntil = -1;
    double FBurstRate = 1, FBurstLean = 0;
    TSimTrade FLast;
    mutable TSimBook FBook;   // totals and change fields filled on reading
    mutable bool FDerivedDirty = false;
    TSimBook FPrev;
};
