#include "sim/StockSim.h"
#include "core/NumFmt.h"
#include "sim/PriceGrid.h"
#include <algorithm>
#include <cmath>

namespace {
// Book changes per trade on average.
constexpr double kBookPerTrade = 1.0;
// One burst every 25 minutes on average.
constexpr double kBurstEverySec = 1500.0;

// Inverse of the standard normal distribution function (P. J. Acklam's
// rational approximation, relative error below 1.2e-9).
double NormalQuantile(double p)
{
    static const double a[] = {-3.969683028665376e+01, 2.209460984245205e+02, -2.759285104469687e+02,
                               1.383577518672690e+02, -3.066479806614716e+01, 2.506628277459239e+00};
    static const double b[] = {-5.447609879822406e+01, 1.615858368580409e+02, -1.556989798598866e+02,
                               6.680131188771972e+01, -1.328068155288572e+01};
    static const double c[] = {-7.784894002430293e-03, -3.223964580411365e-01, -2.400758277161838e+00,
                               -2.549732539343734e+00, 4.374664141464968e+00, 2.938163982698783e+00};
    static const double d[] = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                               3.754408661907416e+00};
    const double lo = 0.02425;
    if (p < lo) {
        const double q = std::sqrt(-2 * std::log(p));
        return (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5])
            / ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
    }
    if (p > 1 - lo) {
        const double q = std::sqrt(-2 * std::log(1 - p));
        return -(((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5])
            / ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
    }
    const double q = p - 0.5;
    const double r = q * q;
    return (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q
        / (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1);
}

// Trade sizes relative to the mean: 4,096 equally likely quantiles of a
// log-normal with sigma 0.9 and mean 1. A table keeps the event loop free of
// transcendental functions.
constexpr int kQtyBits = 12;
const std::array<double, 1 << kQtyBits>& QtyMultipliers()
{
    static const std::array<double, 1 << kQtyBits> table = [] {
        std::array<double, 1 << kQtyBits> t{};
        for (int i = 0; i < int(t.size()); ++i)
            t[i] = std::exp(0.9 * NormalQuantile((i + 0.5) / t.size()) - 0.405);
        return t;
    }();
    return table;
}

// Exponential waiting times with mean 1: the inverse distribution function
// -ln(1 - u) tabulated at 4,096 points and interpolated linearly; the last
// interval (the far tail) is computed.
double ExpQuantile(quint64 bits)
{
    static const std::array<double, (1 << kQtyBits) + 1> table = [] {
        std::array<double, (1 << kQtyBits) + 1> t{};
        for (int i = 0; i < (1 << kQtyBits); ++i)
            t[i] = -std::log(1.0 - double(i) / (1 << kQtyBits));
        return t;
    }();
    const int i = int(bits >> (64 - kQtyBits));
    const double f = double((bits << kQtyBits) >> 11) * (1.0 / 9007199254740992.0);
    if (i == (1 << kQtyBits) - 1)
        return -std::log((1.0 - f) / (1 << kQtyBits));
    return table[i] + f * (table[i + 1] - table[i]);
}
}

int HhmmssOf(int msOfDay)
{
    const int s = std::max(0, msOfDay) / 1000;
    return (s / 3600) * 10000 + (s / 60 % 60) * 100 + s % 60;
}

TStockSim::TStockSim(const TDayPlan& plan) : FPlan(plan), FRng(plan.Seed)
{
    TDayPlan& p = FPlan;
    p.PrevClose = std::max(1, p.PrevClose);
    p.UpLimit = p.UpLimit > 0 ? FloorToGrid(p.UpLimit) : UpperLimit(p.PrevClose);
    p.DnLimit = p.DnLimit > 0 ? CeilToGrid(p.DnLimit) : LowerLimit(p.PrevClose);
    p.DnLimit = std::min(p.DnLimit, p.UpLimit);
    auto fit = [&](int x) { return std::clamp(NearestGrid(x), p.DnLimit, p.UpLimit); };
    p.Open = fit(p.Open > 0 ? p.Open : p.PrevClose);
    p.Close = fit(p.Close > 0 ? p.Close : p.Open);
    p.StartMs = std::clamp(p.StartMs, 0, 86399000);
    p.EndMs = std::clamp(p.EndMs, p.StartMs + 1000, 86400000);
    p.TradesPerSec = std::clamp(p.TradesPerSec, 0.01, 1000.0);
    p.DailyVol = std::clamp(p.DailyVol, 0.001, 0.2);
    p.Liquidity = std::clamp(p.Liquidity, 0.01, 1.0);
    p.MeanQty = std::max(1.0, p.MeanQty);

    Calibrate();
    FNowMs = 0;
    FNextMs = p.StartMs;
    // The opening orders: the opening print takes the level at the open.
    BuildBook(p.Open, AnchorIsAsk(p.Open, p.PrevClose));
    FPrev = FBook;
    EndEvent();   // totals; no change yet
}

void TStockSim::Calibrate()
{
    // Sweeps move one tick; sigma_ticks^2 sweeps over the session give the
    // wanted intraday spread.
    const double sigmaTicks = 0.6 * FPlan.DailyVol * FPlan.PrevClose / TickSize(FPlan.PrevClose);
    const double trades = Rate() * (FPlan.EndMs - FPlan.StartMs) / 1000.0;
    FSweepP = std::clamp(sigmaTicks * sigmaTicks / std::max(1.0, trades), 0.00002, 0.5);
}

void TStockSim::SetTradesPerSec(double perSec)
{
    FPlan.TradesPerSec = std::clamp(perSec, 0.01, 1000.0);
    Calibrate();
}

int TStockSim::NextAsk(int p) const
{
    if (p <= 0)
        return 0;
    const int n = TickUp(p);
    return n <= FPlan.UpLimit ? n : 0;
}

int TStockSim::NextBid(int p) const
{
    if (p <= 1)
        return 0;
    const int n = TickDown(p);
    return n >= FPlan.DnLimit && n < p ? n : 0;
}

qint64 TStockSim::DrawQty()
{
    // Log-normal with mean MeanQty, and now and then a big order.
    double q = FPlan.MeanQty * QtyMultipliers()[FRng.Next() >> (64 - kQtyBits)];
    if (FRng.Chance(0.03))
        q *= FRng.Uniform(3, 10);
    return std::max<qint64>(1, qint64(std::llround(q)));
}

qint64 TStockSim::LevelQty(int level)
{
    const double q = FPlan.MeanQty * FRng.Uniform(1.5, 8.0) * (1.0 + 0.12 * level);
    return std::max<qint64>(1, qint64(std::llround(q)));
}

bool TStockSim::AnchorIsAsk(int price, int from) const
{
    // A rise is bought at the ask, a fall sold at the bid; at a limit the
    // orders queue on the side that cannot be filled (bids at the upper
    // limit, asks at the lower one).
    if (FPlan.UpLimit > FPlan.DnLimit) {
        if (price == FPlan.UpLimit)
            return false;
        if (price == FPlan.DnLimit)
            return true;
    }
    return price >= from;
}

void TStockSim::BuildBook(int anchor, bool anchorIsAsk)
{
    int a = anchorIsAsk ? anchor : NextAsk(anchor);
    int b = anchorIsAsk ? NextBid(anchor) : anchor;
    for (int i = 0; i < kBookLevels; ++i) {
        FBook.Ask[i] = a;
        FBook.AskQ[i] = a ? LevelQty(i) : 0;
        FBook.Bid[i] = b;
        FBook.BidQ[i] = b ? LevelQty(i) : 0;
        a = NextAsk(a);
        b = NextBid(b);
    }
}

void TStockSim::BeginEvent(int t)
{
    // Totals and change fields are worked out only when the book is read.
    FPrev = FBook;
    FBook.TimeMs = t;
}

void TStockSim::EndEvent()
{
    FDerivedDirty = true;
}

const TSimBook& TStockSim::Book() const
{
    if (FDerivedDirty)
        UpdateDerived();
    return FBook;
}

void TStockSim::UpdateDerived() const
{
    FDerivedDirty = false;
    auto qtyBefore = [](const std::array<int, kBookLevels>& px, const std::array<qint64, kBookLevels>& q, int price) {
        for (int i = 0; i < kBookLevels; ++i)
            if (px[i] == price)
                return q[i];
        return qint64(0);
    };
    FBook.TotAsk = FBook.TotBid = 0;
    for (int i = 0; i < kBookLevels; ++i) {
        FBook.TotAsk += FBook.AskQ[i];
        FBook.TotBid += FBook.BidQ[i];
        FBook.AskCha[i] = FBook.Ask[i] ? FBook.AskQ[i] - qtyBefore(FPrev.Ask, FPrev.AskQ, FBook.Ask[i]) : 0;
        FBook.BidCha[i] = FBook.Bid[i] ? FBook.BidQ[i] - qtyBefore(FPrev.Bid, FPrev.BidQ, FBook.Bid[i]) : 0;
    }
    qint64 prevAsk = 0, prevBid = 0;
    for (int i = 0; i < kBookLevels; ++i) {
        prevAsk += FPrev.AskQ[i];
        prevBid += FPrev.BidQ[i];
    }
    FBook.TotAskCha = FBook.TotAsk - prevAsk;
    FBook.TotBidCha = FBook.TotBid - prevBid;
}

void TStockSim::Print(int t, int price, qint64 qty, char side)
{
    TSimTrade& d = FLast;
    d.TimeMs = t;
    d.Price = price;
    d.Qty = qty;
    d.Side = side;
    d.Auction = false;
    if (d.Open == 0) {
        d.Open = d.High = d.Low = price;
        d.OpenTimeMs = d.HighTimeMs = d.LowTimeMs = t;
    }
    if (price > d.High) {
        d.High = price;
        d.HighTimeMs = t;
    }
    if (price < d.Low) {
        d.Low = price;
        d.LowTimeMs = t;
    }
    d.Volume += qty;
    d.Amount += qty * price;
    if (side == '+') {
        d.BuyVolume += qty;
        ++d.BuyCount;
    } else {
        d.SellVolume += qty;
        ++d.SellCount;
    }
    FOpened = true;
}

void TStockSim::ScheduleNext(int fromMs)
{
    const bool burst = fromMs < FBurstUntil;
    const double perSec = Rate() * (1.0 + kBookPerTrade) * (burst ? FBurstRate : 1.0);
    const int gap = std::max(1, int(ExpQuantile(FRng.Next()) * 1000.0 / perSec + 0.5));
    const qint64 next = qint64(fromMs) + gap;
    FNextMs = next >= FPlan.EndMs ? FPlan.EndMs : int(next);
}

int TStockSim::AdvanceTo(int ms, const TEventFn& fn)
{
    int trades = 0;
    while (!FClosed && FNextMs <= ms) {
        const int t = FNextMs;
        FNowMs = t;
        if (!FOpened && t == FPlan.StartMs) {
            DoOpening(t);
            ++trades;
            if (fn)
                fn(&FLast);
            ScheduleNext(t);
        } else if (t >= FPlan.EndMs) {
            DoClosing(t);
            ++trades;
            if (fn)
                fn(&FLast);
        } else {
            DoContinuous(t, fn, &trades);
            ScheduleNext(t);
        }
    }
    FNowMs = std::max(FNowMs, ms);
    return trades;
}

void TStockSim::DoOpening(int t)
{
    BeginEvent(t);
    const bool buy = FBook.Ask[0] == FPlan.Open;
    const qint64 qty = std::max<qint64>(1, qint64(std::llround(FPlan.MeanQty * FRng.Uniform(5, 25))));
    Print(t, FPlan.Open, qty, buy ? '+' : '-');
    FLast.Auction = true;
    // What the auction left at the opening level.
    (buy ? FBook.AskQ[0] : FBook.BidQ[0]) = LevelQty(0);
    FLast.Ask = FBook.Ask[0];
    FLast.Bid = FBook.Bid[0];
    EndEvent();
}

void TStockSim::DoClosing(int t)
{
    BeginEvent(t);
    const bool buy = AnchorIsAsk(FPlan.Close, Price());
    BuildBook(FPlan.Close, buy);
    const qint64 qty = std::max<qint64>(1, qint64(std::llround(FPlan.MeanQty * FRng.Uniform(5, 25))));
    Print(t, FPlan.Close, qty, buy ? '+' : '-');
    FLast.Auction = true;
    FLast.Ask = FBook.Ask[0];
    FLast.Bid = FBook.Bid[0];
    EndEvent();
    FClosed = true;
}

double TStockSim::Lean(int t, double* sweepBoost) const
{
    // Brownian bridge towards the line from the open to the planned close:
    // the lean is the net share of the remaining sweeps that must go one way.
    // When that would exceed one half, sweeps come more often (up to ten
    // times) so the price can still get there.
    const double span = FPlan.EndMs - FPlan.StartMs;
    const double frac = std::clamp((t - FPlan.StartMs) / span, 0.0, 1.0);
    const double target = FPlan.Open + frac * (FPlan.Close - FPlan.Open);
    const int px = Price();
    const double gapTicks = (target - px) / TickSize(px);
    const double sweepsLeft = std::max(1.0, FSweepP * Rate() * (FPlan.EndMs - t) / 1000.0);
    const double boost = std::clamp(std::abs(gapTicks / sweepsLeft) / 0.5, 1.0, 10.0);
    double lean = gapTicks / (sweepsLeft * boost);
    if (t < FBurstUntil)
        lean += FBurstLean;
    *sweepBoost = boost;
    return std::clamp(lean, -0.85, 0.85);
}

void TStockSim::DoContinuous(int t, const TEventFn& fn, int* trades)
{
    // Bursts come and go.
    if (t >= FBurstUntil) {
        const double eventsPerSec = Rate() * (1.0 + kBookPerTrade);
        if (FRng.Chance(1.0 / (eventsPerSec * kBurstEverySec))) {
            FBurstUntil = t + int(FRng.Uniform(60, 180) * 1000);
            FBurstRate = FRng.Uniform(2, 5);
            FBurstLean = (FRng.Chance(0.5) ? 1 : -1) * FRng.Uniform(0.1, 0.4);
        }
    }
    const bool burst = t < FBurstUntil;
    if (FRng.Chance(1.0 / (1.0 + kBookPerTrade))) {
        double boost = 1;
        const double lean = Lean(t, &boost);
        const bool sweep = FRng.Chance(std::min(0.9, FSweepP * boost * (burst ? 2.0 : 1.0)));
        const double pBuy = 0.5 + (sweep ? 0.5 : 0.25) * lean;
        char side = FRng.Chance(pBuy) ? '+' : '-';
        if (side == '+' && FBook.Ask[0] == 0)
            side = '-';
        if (side == '-' && FBook.Bid[0] == 0)
            side = '+';
        if ((side == '+' ? FBook.Ask[0] : FBook.Bid[0]) == 0)
            return;   // no level on either side: nothing can trade
        DoTrade(t, side, sweep);
        ++*trades;
        if (fn)
            fn(&FLast);
    } else {
        DoBookChange(t);
        if (fn)
            fn(nullptr);
    }
}

void TStockSim::DoTrade(int t, char side, bool sweep)
{
    BeginEvent(t);
    const bool buy = side == '+';
    auto& px = buy ? FBook.Ask : FBook.Bid;
    auto& q = buy ? FBook.AskQ : FBook.BidQ;
    auto& opx = buy ? FBook.Bid : FBook.Ask;
    auto& oq = buy ? FBook.BidQ : FBook.AskQ;
    const int price = px[0];
    qint64 qty = DrawQty();
    if (!sweep && qty >= q[0]) {
        if (q[0] > 1)
            qty = q[0] - 1;
        else
            sweep = true;
    }
    if (sweep) {
        qty = q[0];
        // The level is gone: the side moves up one level and gets a new far one.
        for (int i = 0; i + 1 < kBookLevels; ++i) {
            px[i] = px[i + 1];
            q[i] = q[i + 1];
        }
        const int far = buy ? NextAsk(px[kBookLevels - 2]) : NextBid(px[kBookLevels - 2]);
        px[kBookLevels - 1] = far;
        q[kBookLevels - 1] = far ? LevelQty(kBookLevels - 1) : 0;
        // The rest of the order rests at the traded price on the other side.
        for (int i = kBookLevels - 1; i > 0; --i) {
            opx[i] = opx[i - 1];
            oq[i] = oq[i - 1];
        }
        opx[0] = price;
        oq[0] = DrawQty();
    } else {
        // New orders keep joining the best level, so ordinary trades do not
        // wear it down to nothing; only sweeps move the price.
        q[0] -= qty;
        if (q[0] < FPlan.MeanQty)
            q[0] += LevelQty(0);
    }
    Print(t, price, qty, side);
    FLast.Ask = FBook.Ask[0];
    FLast.Bid = FBook.Bid[0];
    EndEvent();
}

void TStockSim::DoBookChange(int t)
{
    BeginEvent(t);
    bool ask = FRng.Chance(0.5);
    if ((ask ? FBook.Ask[0] : FBook.Bid[0]) == 0)
        ask = !ask;
    auto& px = ask ? FBook.Ask : FBook.Bid;
    auto& q = ask ? FBook.AskQ : FBook.BidQ;
    int shown = 0;
    while (shown < kBookLevels && px[shown] != 0)
        ++shown;
    const double u = FRng.Uniform();
    const int level = std::min(shown - 1, int(u * u * kBookLevels));
    const bool add = FRng.Chance(0.55);
    const qint64 amount = DrawQty();
    if (level >= 0) {
        if (add || q[level] <= 1)
            q[level] += amount;
        else
            q[level] -= std::min(amount, q[level] - 1);
    }
    EndEvent();
}
