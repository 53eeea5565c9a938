#include "sim/DailyModel.h"
#include "sim/PriceGrid.h"
#include "sim/SimRandom.h"
#include <algorithm>
#include <cmath>

namespace {
constexpr int kTerms = 60;
constexpr double kDecay = 0.95;
constexpr double kMaxDraw = 0.04;
constexpr double kMinMeanQty = 10;
constexpr double kMinLiquidity = 0.05;
// Shares a trade prints per share of MeanQty, sweeps and auctions included.
constexpr double kVolumePerQty = 1.29;

enum : quint64 { kSaltDay = 0xD1, kSaltOpen = 0x09E7, kSaltActivity = 0xAC7, kSaltIntraday = 0x1D7A, kSaltVol = 0x501 };
}

bool IsTradingDay(const QDate& d)
{
    return d.isValid() && d.dayOfWeek() <= 5;
}

QDate PrevTradingDay(const QDate& d)
{
    QDate p = d.addDays(-1);
    while (p.isValid() && !IsTradingDay(p))
        p = p.addDays(-1);
    return p;
}

QDate TradingDayOnOrBefore(const QDate& d)
{
    return IsTradingDay(d) ? d : PrevTradingDay(d);
}

double TDailyModel::DailyVol(const TSimStock& s) const
{
    TSimRng rng(SeedMix({FSeed, SeedOfText(s.Code), kSaltVol}));
    const double u = rng.Uniform();
    if (s.Etf)
        return 0.007 + 0.005 * u;
    if (s.Market == TSimMarket::Kosdaq)
        return 0.016 + 0.009 * u;
    return 0.011 + 0.009 * u;
}

double TDailyModel::Deviation(const TSimStock& s, const QDate& d) const
{
    const quint64 code = SeedOfText(s.Code);
    const double vol = DailyVol(s);
    const qint64 jd = d.toJulianDay();
    double x = 0, w = 1;
    for (int k = 0; k < kTerms; ++k) {
        TSimRng rng(SeedMix({FSeed, code, quint64(jd - k), kSaltDay}));
        x += w * std::clamp(vol * rng.Normal(), -kMaxDraw, kMaxDraw);
        w *= kDecay;
    }
    return x;
}

int TDailyModel::RawClose(const TSimStock& s, const QDate& d) const
{
    return NearestGrid(double(std::max(1, s.PrevClose)) * std::exp(Deviation(s, d)));
}

int TDailyModel::Close(const TSimStock& s, const QDate& d) const
{
    const int raw = RawClose(s, d);
    const int prev = RawClose(s, PrevTradingDay(d));
    return std::clamp(raw, LowerLimit(prev), UpperLimit(prev));
}

QVector<QPair<QDate, int>> TDailyModel::Closes(const TSimStock& s, const QDate& from, const QDate& to) const
{
    QVector<QPair<QDate, int>> out;
    if (!from.isValid() || !to.isValid() || to < from)
        return out;
    // Every close needs the raw close of the trading day before it as well.
    const QDate first = PrevTradingDay(from);
    const qint64 j0 = first.toJulianDay() - (kTerms - 1);
    const qint64 j1 = to.toJulianDay();
    const quint64 code = SeedOfText(s.Code);
    const double vol = DailyVol(s);
    QVector<double> draw(int(j1 - j0 + 1));
    for (qint64 j = j0; j <= j1; ++j) {
        TSimRng rng(SeedMix({FSeed, code, quint64(j), kSaltDay}));
        draw[int(j - j0)] = std::clamp(vol * rng.Normal(), -kMaxDraw, kMaxDraw);
    }
    // The same sum, term by term, as Deviation.
    auto raw = [&](const QDate& d) {
        const qint64 jd = d.toJulianDay();
        double x = 0, w = 1;
        for (int k = 0; k < kTerms; ++k) {
            x += w * draw[int(jd - k - j0)];
            w *= kDecay;
        }
        return NearestGrid(double(std::max(1, s.PrevClose)) * std::exp(x));
    };
    int prevRaw = raw(first);
    for (QDate d = first.addDays(1); d <= to; d = d.addDays(1)) {
        if (!IsTradingDay(d))
            continue;
        const int r = raw(d);
        if (d >= from)
            out.append({d, std::clamp(r, LowerLimit(prevRaw), UpperLimit(prevRaw))});
        prevRaw = r;
    }
    return out;
}

int TDailyModel::OpenAfter(const TSimStock& s, const QDate& d, int prevClose) const
{
    const int prev = std::max(1, prevClose);
    const double vol = DailyVol(s);
    TSimRng rng(SeedMix({FSeed, SeedOfText(s.Code), quint64(d.toJulianDay()), kSaltOpen}));
    const double gap = std::clamp(0.4 * vol * rng.Normal(), -3 * vol, 3 * vol);
    return std::clamp(NearestGrid(prev * std::exp(gap)), LowerLimit(prev), UpperLimit(prev));
}

double TDailyModel::Activity(const TSimStock& s, const QDate& d) const
{
    TSimRng rng(SeedMix({FSeed, SeedOfText(s.Code), quint64(d.toJulianDay()), kSaltActivity}));
    return std::clamp(std::exp(0.35 * rng.Normal()), 0.4, 3.0);
}

TDayPlan TDailyModel::Plan(const TSimStock& s, const QDate& d, int startMs, int endMs, double tradesPerSec) const
{
    TDayPlan p;
    p.Date = d;
    p.PrevClose = PrevClose(s, d);
    p.UpLimit = UpperLimit(p.PrevClose);
    p.DnLimit = LowerLimit(p.PrevClose);
    p.Open = Open(s, d);
    p.Close = std::clamp(Close(s, d), p.DnLimit, p.UpLimit);
    p.StartMs = startMs;
    p.EndMs = endMs;
    p.TradesPerSec = tradesPerSec;
    p.DailyVol = DailyVol(s);
    const double sessionSec = std::max(1.0, (endMs - startMs) / 1000.0);
    const double usual = s.PrevVolume > 0 ? double(s.PrevVolume) : 1e9 / std::max(1, s.PrevClose);
    const double volume = usual * Activity(s, d);
    const double rate = std::max(0.01, tradesPerSec);
    // A thin stock trades less often rather than in single shares: trades
    // average at least kMinMeanQty shares while the rate allows.
    p.Liquidity = std::clamp(volume / (sessionSec * rate * kMinMeanQty), kMinLiquidity, 1.0);
    p.MeanQty = std::max(1.0, volume / (sessionSec * rate * p.Liquidity * kVolumePerQty));
    p.Seed = SeedMix({FSeed, SeedOfText(s.Code), quint64(d.toJulianDay()), kSaltIntraday});
    return p;
}
