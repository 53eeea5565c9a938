// What the simulated signal service (SimSignals.h) costs its worker thread,
// and what its busiest answer weighs, on the built-in universe (2,500
// stocks) at the exchange's default trade rate, on a Thursday.
//
//   BM_TrackedCodes  choosing the day's 40 tracked stocks (the busy stocks'
//                    mornings are played to find the surging ones): once
//                    per trading day.
//   BM_WholeDay      bringing the tracked stocks from 09:00 to 15:30 in one
//                    step, the snapshot and its bodies included: what the
//                    worker does when the program starts after the close.
//                    The day's set-up (09:00) is not timed.
//   BM_Step          one 5-second step during the session (from 11:00 on,
//                    each iteration 5 s later than the one before): the
//                    worker's steady cost.
//   BM_Latest        the /lumen/latest answer of a whole day through
//                    TSimService::Get (the body is made by the worker);
//                    bytes: the body's size.
// Each reports the median of seven repetitions.
#include "sim/MarketEngine.h"
#include "sim/SimConfig.h"
#include "sim/SimService.h"
#include "sim/SimSignals.h"
#include <benchmark/benchmark.h>
#include <memory>

namespace {

const QDate kDay(2026, 12, 10);   // a Thursday

const TSimSignalsSetup& Setup()
{
    static const TSimSignalsSetup s = [] {
        TSimSignalsSetup st;
        st.Stocks = TUniverse::Default().Stocks();
        st.Seed = TMarketConfig{}.Seed;
        st.TradesPerSec = TSimConfig{}.TradesPerSec;
        return st;
    }();
    return s;
}

void BM_TrackedCodes(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(TSimSignals::TrackedCodes(Setup(), kDay));
}

void BM_WholeDay(benchmark::State& state)
{
    qint64 found = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto sig = std::make_unique<TSimSignals>(Setup(), false);
        sig->Run(QDateTime(kDay, QTime(9, 0, 0)));
        state.ResumeTiming();
        sig->Run(QDateTime(kDay, QTime(15, 30, 0)));
        found = sig->Snapshot()->Signals.size();
        state.PauseTiming();
        sig.reset();
        state.ResumeTiming();
    }
    state.counters["signals"] = double(found);
}

void BM_Step(benchmark::State& state)
{
    TSimSignals sig(Setup(), false);
    QDateTime t(kDay, QTime(11, 0, 0));
    sig.Run(t);
    for (auto _ : state) {
        t = t.addSecs(5);
        if (t.time() > QTime(15, 29, 0)) {
            state.PauseTiming();
            t = QDateTime(kDay, QTime(11, 0, 0));
            sig.Run(t.addDays(-1));   // start the day afresh
            sig.Run(t);
            state.ResumeTiming();
        }
        sig.Run(t);
    }
}

void BM_Latest(benchmark::State& state)
{
    auto sig = std::make_shared<TSimSignals>(Setup(), false);
    sig->Run(QDateTime(kDay, QTime(15, 30, 0)));
    const TSimService svc(nullptr, nullptr, sig);
    qint64 bytes = 0;
    for (auto _ : state) {
        const TSimServiceReply r = svc.Get(QStringLiteral("/lumen/latest"));
        bytes = r.Body.size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = double(bytes);
    state.counters["signals"] = double(sig->Snapshot()->Signals.size());
}

BENCHMARK(BM_TrackedCodes)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_WholeDay)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_Step)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_Latest)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
