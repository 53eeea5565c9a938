// Cost of the chart's data side:
//
//   BM_ChartTickMinute  one live trade on a 1-minute chart holding 20 days of
//                       bars (7,800): bar update or new bar, moving averages
//                       and VWAP recomputed
//   BM_ChartTickDay     one live trade on a day chart holding 1,000 day bars
//   BM_GroupMinBars     20 days of 1-minute bars (7,800) regrouped into
//                       5-minute bars
#include "chart/ChartModel.h"
#include "chart/MinuteBars.h"

#include <QDate>
#include <QStringList>
#include <benchmark/benchmark.h>

namespace {

constexpr int KDays = 20;
constexpr int KPerDay = 390;  // 09:01 .. 15:30

QString Hhmm(int m)
{
    return QStringLiteral("%1%2").arg(m / 60, 2, 10, QLatin1Char('0')).arg(m % 60, 2, 10, QLatin1Char('0'));
}

// 20 business days of 1-minute bars ending the day before 2025-03-12.
QVector<TBar> MinuteHistory()
{
    QVector<TBar> r;
    r.reserve(KDays * KPerDay);
    QDate d(2025, 2, 10);
    int days = 0;
    double px = 70000;
    while (days < KDays) {
        if (d.dayOfWeek() <= 5) {
            const QString day = d.toString("yyyyMMdd");
            for (int i = 0; i < KPerDay; ++i) {
                TBar b;
                b.D = day + Hhmm(9 * 60 + 1 + i);
                b.O = px;
                px += (i * 7919 % 11) * 100 - 500;
                b.C = px;
                b.H = std::max(b.O, b.C) + 100;
                b.L = std::min(b.O, b.C) - 100;
                b.V = 1000 + i * 13 % 700;
                r.append(b);
            }
            ++days;
        }
        d = d.addDays(1);
    }
    return r;
}

// Trade times from 09:00:00, ten trades a second.
QStringList TradeTimes()
{
    QStringList r;
    for (int s = 0; s < 6 * 3600; ++s) {
        const int t = 9 * 3600 + s;
        const QString hhmmss = QStringLiteral("%1%2%3")
                                   .arg(t / 3600, 2, 10, QLatin1Char('0'))
                                   .arg(t / 60 % 60, 2, 10, QLatin1Char('0'))
                                   .arg(t % 60, 2, 10, QLatin1Char('0'));
        for (int k = 0; k < 10; ++k)
            r.append(hhmmss);
    }
    return r;
}

void BM_ChartTickMinute(benchmark::State& state)
{
    const QVector<TBar> hist = MinuteHistory();
    const QStringList times = TradeTimes();
    const QString today = "20250312";
    TChartModel m;
    m.SetIsMinute(true);
    m.SetBars(hist);
    int i = 0;
    for (auto _ : state) {
        if (i == times.size()) {
            state.PauseTiming();
            m.SetBars(hist);
            i = 0;
            state.ResumeTiming();
        }
        const double px = 70000 + (i % 17) * 100;
        benchmark::DoNotOptimize(m.Tick(today, times[i], px, 0, 0, 0, 0, 10 + i % 7));
        ++i;
    }
    state.counters["bars"] = m.Count();
}
BENCHMARK(BM_ChartTickMinute);

void BM_ChartTickDay(benchmark::State& state)
{
    QVector<TBar> hist;
    QDate d(2021, 1, 4);
    for (int i = 0; i < 1000; ++i, d = d.addDays(1)) {
        TBar b;
        b.D = d.toString("yyyyMMdd");
        b.O = b.H = b.L = b.C = 50000 + i;
        b.V = 100000;
        hist.append(b);
    }
    const QString today = d.toString("yyyyMMdd");
    TChartModel m;
    m.SetBars(hist);
    qint64 cum = 0;
    int i = 0;
    for (auto _ : state) {
        cum += 10;
        benchmark::DoNotOptimize(m.Tick(today, "100000", 51000 + (i++ % 9) * 50, 51000, 51400, 50900, cum, 10));
    }
}
BENCHMARK(BM_ChartTickDay);

void BM_GroupMinBars(benchmark::State& state)
{
    const QVector<TBar> hist = MinuteHistory();
    for (auto _ : state) {
        QVector<TBar> g = GroupMinBars(hist, 5);
        benchmark::DoNotOptimize(g.data());
    }
    state.counters["in"] = hist.size();
    state.counters["out"] = GroupMinBars(hist, 5).size();
}
BENCHMARK(BM_GroupMinBars);

} // namespace

BENCHMARK_MAIN();
