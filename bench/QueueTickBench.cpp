// Cost of one request-queue timer step with a long backlog.
#include "broker/ReqQueue.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

namespace {

constexpr int KPending = 1000;

// 1,000 pending "t8412" items right after a "t8412" went out: the global
// gap has passed, so every Tick scans the whole list and sends nothing.
void BM_TickNoneEligible(benchmark::State& state)
{
    TTestClock clock;
    TReqQueue q(clock, nullptr);
    int sent = 0;
    q.Add(u"t8412"_qs, [&sent] { ++sent; });
    q.Tick();
    for (int i = 0; i < KPending; ++i)
        q.Add(u"t8412"_qs, [&sent] { ++sent; });
    clock.Advance(200);

    for (auto _ : state)
        q.Tick();

    if (sent != 1 || q.Count() != KPending)
        state.SkipWithError("an item was sent");
    state.counters["pending"] = q.Count();
}
BENCHMARK(BM_TickNoneEligible);

// 999 held-back "t8412" items and a "t1101" at the very end: every Tick
// scans to the last item and sends it. Each iteration also re-queues that
// item and moves the wall clock between +300 ms and +600 ms of the t8412
// stamp, so the t1101 key and the global gap are free again while t8412
// stays held.
void BM_TickLastEligible(benchmark::State& state)
{
    TTestClock clock;
    TReqQueue q(clock, nullptr);
    qint64 sent = 0;
    q.Add(u"t8412"_qs, [&sent] { ++sent; });
    q.Tick();
    const QDateTime stamp = clock.Now();
    for (int i = 0; i < KPending - 1; ++i)
        q.Add(u"t8412"_qs, [&sent] { ++sent; });
    const QDateTime wall[2] = {stamp.addMSecs(300), stamp.addMSecs(600)};

    int flip = 0;
    for (auto _ : state) {
        q.Add(u"t1101"_qs, [&sent] { ++sent; });
        clock.SetWall(wall[flip]);
        flip ^= 1;
        q.Tick();
    }

    if (sent != qint64(state.iterations()) + 1 || q.Count() != KPending - 1)
        state.SkipWithError("wrong item sent");
    state.counters["pending"] = KPending;
}
BENCHMARK(BM_TickLastEligible);

// The same step with the ordinary small backlog (a few items).
void BM_TickSmallQueue(benchmark::State& state)
{
    TTestClock clock;
    TReqQueue q(clock, nullptr);
    qint64 sent = 0;
    q.Add(u"t8412"_qs, [&sent] { ++sent; });
    q.Tick();
    const QDateTime stamp = clock.Now();
    for (const char* tr : {"t8412v", "t8412p", "t8412"})
        q.Add(QString::fromLatin1(tr), [&sent] { ++sent; });
    const QDateTime wall[2] = {stamp.addMSecs(300), stamp.addMSecs(600)};

    int flip = 0;
    for (auto _ : state) {
        q.Add(u"t1101"_qs, [&sent] { ++sent; });
        clock.SetWall(wall[flip]);
        flip ^= 1;
        q.Tick();
    }
    if (sent != qint64(state.iterations()) + 1 || q.Count() != 3)
        state.SkipWithError("wrong item sent");
    state.counters["pending"] = 4;
}
BENCHMARK(BM_TickSmallQueue);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);  // the queue's QTimer wants one
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
