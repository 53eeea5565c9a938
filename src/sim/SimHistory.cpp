#include "sim/SimHistory.h"
#include "sim/PriceGrid.h"
#include "sim/SimRandom.h"
#include <algorithm>
#include <cmath>

namespace {
constexpr quint64 kSaltRange = 0x4A11;
constexpr int kMaxCachedDays = 20000;
constexpr int kMaxCachedMinuteDays = 400;
constexpr int kEndOfDayMs = 86399999;
}

QString TSimHistory::CacheKey(const TSimStock& s, const QDate& d) const
{
    return s.Code + QLatin1Char('|') + d.toString(Qt::ISODate) + QLatin1Char('|')
        + QString::number(FEngine.Config().TradesPerSec) + QLatin1Char('|')
        + QString::number(FEngine.SessionStartMs()) + QLatin1Char('|') + QString::number(s.PrevClose)
        + QLatin1Char('|') + QString::number(s.PrevVolume);
}

TDayPlan TSimHistory::PlanOf(const TSimStock& s, const QDate& d) const
{
    return FEngine.Daily().Plan(s, d, FEngine.SessionStartMs(), FEngine.SessionEndMs(), FEngine.Config().TradesPerSec);
}

bool TSimHistory::HasIntraday(const QDate& d) const
{
    const QDate market = FEngine.MarketDate();
    if (d == market)
        return true;
    if (!IsTradingDay(d) || d > market)
        return false;
    QDate oldest = market;
    for (int i = 0; i < kMinuteDays; ++i)
        oldest = PrevTradingDay(oldest);
    return d >= oldest;
}

int TSimHistory::MinuteKey(int ms) const
{
    const int last = std::max(1, FEngine.SessionEndMs() / 60000);
    const int m = std::clamp(ms / 60000 + 1, 1, last);
    return m / 60 * 100 + m % 60;
}

bool TSimHistory::Replay(const TSimStock& s, const QDate& d, const std::function<void(const TSimTrade&)>& fn)
{
    TDayPlan plan;
    int until = kEndOfDayMs;
    if (d == FEngine.MarketDate()) {
        const TStockSim* live = FEngine.Sim(s.Code);
        if (!live)
            return false;
        plan = live->Plan();
        until = live->NowMs();
    } else if (HasIntraday(d)) {
        plan = PlanOf(s, d);
    } else {
        return false;
    }
    TStockSim sim(plan);
    sim.AdvanceTo(until, [&fn](const TSimTrade* t) {
        if (t)
            fn(*t);
    });
    return true;
}

QVector<TSimBar> TSimHistory::MinuteBars(const TSimStock& s, const QDate& d)
{
    const bool today = d == FEngine.MarketDate();
    const QString key = CacheKey(s, d);
    if (!today) {
        auto it = FMinutes.constFind(key);
        if (it != FMinutes.cend())
            return *it;
    }
    QVector<TSimBar> bars;
    qint64 prevAmount = 0;
    const bool ok = Replay(s, d, [&](const TSimTrade& t) {
        const int k = MinuteKey(t.TimeMs);
        if (bars.isEmpty() || bars.last().Hhmm != k) {
            TSimBar b;
            b.Date = d;
            b.Hhmm = k;
            b.Open = b.High = b.Low = t.Price;
            bars.append(b);
        }
        TSimBar& b = bars.last();
        b.High = std::max(b.High, t.Price);
        b.Low = std::min(b.Low, t.Price);
        b.Close = t.Price;
        b.Volume += t.Qty;
        b.Amount += t.Amount - prevAmount;
        prevAmount = t.Amount;
    });
    if (!ok)
        return {};
    if (!today) {
        if (FMinutes.size() >= kMaxCachedMinuteDays)
            FMinutes.clear();
        FMinutes.insert(key, bars);
    }
    return bars;
}

TSimBar TSimHistory::ReplayedDay(const TSimStock& s, const QDate& d)
{
    const QString key = CacheKey(s, d);
    auto it = FDays.constFind(key);
    if (it != FDays.cend())
        return *it;
    TSimBar b;
    b.Date = d;
    for (const TSimBar& m : MinuteBars(s, d)) {
        if (b.Volume == 0) {
            b.Open = m.Open;
            b.High = m.High;
            b.Low = m.Low;
        }
        b.High = std::max(b.High, m.High);
        b.Low = std::min(b.Low, m.Low);
        b.Close = m.Close;
        b.Volume += m.Volume;
        b.Amount += m.Amount;
    }
    if (FDays.size() >= kMaxCachedDays)
        FDays.clear();
    FDays.insert(key, b);
    return b;
}

TSimBar TSimHistory::EstimatedDay(const TSimStock& s, const QDate& d, int close, int prevClose) const
{
    const TDailyModel& m = FEngine.Daily();
    TSimBar b;
    b.Date = d;
    b.Open = m.OpenAfter(s, d, prevClose);
    b.Close = close;
    const double vol = m.DailyVol(s);
    TSimRng rng(SeedMix({m.Seed(), SeedOfText(s.Code), quint64(d.toJulianDay()), kSaltRange}));
    const int top = std::max(b.Open, b.Close), bottom = std::min(b.Open, b.Close);
    const int up = UpperLimit(prevClose), dn = LowerLimit(prevClose);
    b.High = std::clamp(NearestGrid(top * (1 + 0.5 * vol * std::fabs(rng.Normal()))), top, std::max(top, up));
    b.Low = std::clamp(NearestGrid(bottom * (1 - 0.5 * vol * std::fabs(rng.Normal()))), std::min(bottom, dn), bottom);
    const double usual = s.PrevVolume > 0 ? double(s.PrevVolume) : 1e9 / std::max(1, s.PrevClose);
    b.Volume = std::max<qint64>(1, qint64(std::llround(usual * m.Activity(s, d))));
    b.Amount = qint64(std::llround(b.Volume * (b.Open + b.High + b.Low + b.Close) / 4.0));
    return b;
}

QVector<TSimBar> TSimHistory::DayBars(const TSimStock& s, QDate from, QDate to)
{
    QVector<TSimBar> out;
    const QDate market = FEngine.MarketDate();
    if (!from.isValid() || from < FirstDay())
        from = FirstDay();
    if (!to.isValid() || to > market)
        to = market;
    if (to < from)
        return out;
    const QDate lastPast = std::min(to, PrevTradingDay(market));
    if (from <= lastPast) {
        const auto closes = FEngine.Daily().Closes(s, PrevTradingDay(from), lastPast);
        for (int i = 1; i < closes.size(); ++i) {
            const QDate d = closes[i].first;
            if (d < from)
                continue;
            out.append(HasIntraday(d) ? ReplayedDay(s, d) : EstimatedDay(s, d, closes[i].second, closes[i - 1].second));
        }
    }
    if (to >= market && from <= market) {
        TSimQuote q;
        if (FEngine.Quote(s.Code, &q)) {
            TSimBar b;
            b.Date = market;
            if (q.Volume > 0) {
                b.Open = q.Open;
                b.High = q.High;
                b.Low = q.Low;
                b.Close = q.Price;
                b.Volume = q.Volume;
                b.Amount = q.Amount;
            } else {
                b.Open = b.High = b.Low = b.Close = q.PrevClose;
            }
            out.append(b);
        }
    }
    return out;
}
