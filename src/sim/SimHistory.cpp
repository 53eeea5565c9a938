#include "sim/SimHistory.h"
#include "sim/PriceGrid.h"
#include "sim/SimRandom.h"
#include <algorithm>
#include <cmath>
#include <utility>

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

const TStockDay* TSimHistory::Today(const TSimStock& s)
{
    return FEngine.StockDay(s.Code);
}

const TSimPastDay* TSimHistory::PastDay(const TSimStock& s, const QDate& d)
{
    if (d == FEngine.MarketDate() || !HasIntraday(d))
        return nullptr;
    const QString key = CacheKey(s, d);
    auto it = FPast.constFind(key);
    if (it != FPast.cend())
        return &*it;
    TSimPastJob job{key, d, PlanOf(s, d), TSimProgramModel(FEngine.Daily().Seed(), s, d)};
    if (FDeferring) {
        const bool listed = std::any_of(FMissing.cbegin(), FMissing.cend(),
                                        [&key](const TSimPastJob& j) { return j.Key == key; });
        if (!listed)
            FMissing.append(std::move(job));
        return nullptr;
    }
    Store(key, Play(job));
    return &*FPast.constFind(key);
}

TSimPastDay TSimHistory::Play(const TSimPastJob& job, const std::atomic_bool* stop)
{
    TStockDay day(job.Plan, job.Program, false);
    // In slices, so that a player being shut down need not wait for a whole day.
    constexpr int kSliceMs = 10 * 60 * 1000;
    for (int ms = job.Plan.StartMs; ms < kEndOfDayMs; ms = std::min(kEndOfDayMs, ms + kSliceMs)) {
        if (stop && stop->load(std::memory_order_relaxed))
            return {};
        day.AdvanceTo(ms);
    }
    day.AdvanceTo(kEndOfDayMs);
    return {day.MinuteBars(), day.ProgramRows()};
}

void TSimHistory::Store(const QString& key, const TSimPastDay& day)
{
    if (FPast.contains(key))
        return;
    while (FPast.size() >= kMaxCachedMinuteDays && !FPastOrder.empty()) {
        FPast.remove(FPastOrder.front());
        FPastOrder.pop_front();
    }
    FPast.insert(key, day);
    FPastOrder.push_back(key);
}

QVector<TSimPastJob> TSimHistory::TakeMissing()
{
    return std::exchange(FMissing, {});
}

QVector<TSimBar> TSimHistory::MinuteBars(const TSimStock& s, const QDate& d)
{
    if (d == FEngine.MarketDate()) {
        const TStockDay* day = Today(s);
        return day ? day->MinuteBars() : QVector<TSimBar>();
    }
    const TSimPastDay* past = PastDay(s, d);
    return past ? past->Minutes : QVector<TSimBar>();
}

QVector<TSimProgramRow> TSimHistory::ProgramRows(const TSimStock& s, const QDate& d)
{
    if (d == FEngine.MarketDate()) {
        const TStockDay* day = Today(s);
        return day ? day->ProgramRows() : QVector<TSimProgramRow>();
    }
    const TSimPastDay* past = PastDay(s, d);
    return past ? past->Program : QVector<TSimProgramRow>();
}

TSimBar TSimHistory::ReplayedDay(const TSimStock& s, const QDate& d)
{
    const QString key = CacheKey(s, d);
    auto it = FDays.constFind(key);
    if (it != FDays.cend())
        return *it;
    TSimBar b;
    b.Date = d;
    // A past day with intraday history: none only while it is not played yet
    // (deferring), and then nothing is kept.
    const TSimPastDay* past = PastDay(s, d);
    if (!past)
        return b;
    for (const TSimBar& m : past->Minutes) {
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
