#include "sim/StockDay.h"
#include "sim/SimRandom.h"
#include <algorithm>

namespace {
constexpr quint64 kSaltProgram = 0x960A;
constexpr int kMinuteMs = 60000;
}

int SimMinuteKey(int ms, int sessionEndMs)
{
    const int last = std::max(1, sessionEndMs / kMinuteMs);
    const int m = std::clamp(ms / kMinuteMs + 1, 1, last);
    return m / 60 * 100 + m % 60;
}

// ---- program trading ----------------------------------------------------------

TSimProgramModel::TSimProgramModel(quint64 masterSeed, const TSimStock& s, const QDate& d)
{
    const quint64 seed = SeedMix({masterSeed, SeedOfText(s.Code), quint64(d.toJulianDay()), kSaltProgram});
    FSeed = SeedMix({seed});
    TSimRng day(seed);
    const double share = (s.Etf ? 0.35 : 0.10) + 0.15 * day.Uniform();
    const double lean = day.Uniform(-0.35, 0.35);
    FBuyShare = share * (1 + lean);
    FSellShare = share * (1 - lean);
}

bool TSimProgramModel::IsProgram(quint64 n, const TSimTrade& t) const
{
    // The n-th trade's own draw, seeded by (day seed, n).
    TSimRng rng(SeedMixOn(FSeed, n));
    return rng.Chance(t.Side == '+' ? FBuyShare : FSellShare);
}

// ---- the day ------------------------------------------------------------------------

TStockDay::TStockDay(const TDayPlan& plan, const TSimProgramModel& program, bool keepTape)
    : FSim(plan), FProgramModel(program), FKeepTape(keepTape)
{
    FFirstMinute = FSim.Plan().StartMs / kMinuteMs;
    FSessionEndMs = FSim.Plan().EndMs;
}

int TStockDay::AdvanceTo(int ms, const TStockSim::TEventFn& fn)
{
    const TStockSim::TEventFn record = [this, &fn](const TSimTrade* t) {
        if (t)
            Record(*t);
        if (fn)
            fn(t);
    };
    int trades = 0;
    // A copy of the simulator as each minute of the session begins: the
    // state after every event before it.
    while (FKeepTape && !FSim.Closed()) {
        const qint64 begins = qint64(FFirstMinute + TapeMinutes()) * kMinuteMs;
        if (begins > ms || begins > FSessionEndMs)
            break;
        trades += FSim.AdvanceTo(int(begins) - 1, record);
        FTape.push_back({FSim, 0});
    }
    return trades + FSim.AdvanceTo(ms, record);
}

void TStockDay::Record(const TSimTrade& t)
{
    // The minute bar.
    const int key = SimMinuteKey(t.TimeMs, FSessionEndMs);
    if (FBars.isEmpty() || FBars.last().Hhmm != key) {
        TSimBar b;
        b.Date = FSim.Plan().Date;
        b.Hhmm = key;
        b.Open = b.High = b.Low = t.Price;
        FBars.append(b);
    }
    TSimBar& b = FBars.last();
    b.High = std::max(b.High, t.Price);
    b.Low = std::min(b.Low, t.Price);
    b.Close = t.Price;
    b.Volume += t.Qty;
    b.Amount += t.Amount - FLastAmount;
    FLastAmount = t.Amount;

    // Program trading.
    TSimProgramRow& cum = FProgramNow;
    if (FProgramModel.IsProgram(FTrades++, t)) {
        const bool buy = t.Side == '+';
        (buy ? cum.BuyQty : cum.SellQty) += t.Qty;
        (buy ? cum.BuyAmt : cum.SellAmt) += t.Qty * t.Price;
    }
    cum.Minute = t.TimeMs / kMinuteMs;
    cum.Price = t.Price;
    cum.Volume = t.Volume;
    if (FProgram.isEmpty() || FProgram.last().Minute != cum.Minute)
        FProgram.append(cum);
    else
        FProgram.last() = cum;

    // The tape.
    if (FKeepTape) {
        const int i = t.TimeMs / kMinuteMs - FFirstMinute;
        if (i >= 0 && i < TapeMinutes())
            FTape[i].Largest = std::max(FTape[i].Largest, t.Qty);
    }
}

qint64 TStockDay::LargestTrade(int minute) const
{
    const int i = minute - FFirstMinute;
    return i >= 0 && i < TapeMinutes() ? FTape[i].Largest : 0;
}

void TStockDay::ReplayMinute(int minute, const std::function<void(const TSimTrade&)>& fn) const
{
    const int i = minute - FFirstMinute;
    if (i < 0 || i >= TapeMinutes())
        return;
    TStockSim sim = FTape[i].Start;
    const int until = std::min(FSim.NowMs(), (minute + 1) * kMinuteMs - 1);
    sim.AdvanceTo(until, [&fn](const TSimTrade* t) {
        if (t)
            fn(*t);
    });
}
