// Cost of one real-time record of the simulated exchange, from the queued
// market event to a connected ReceiveRealData handler that reads six fields,
// in bursts of 10,000 records (a busy stock's trade and book feeds).
//
//   BM_RealBurstDelivery  records already made: queue + Flush + handler
//   BM_RealBurstFromMarket the market makes them as well (Pump after 10 s)
#include "core/Clock.h"
#include "sim/SimBackend.h"
#include "sim/SimReal.h"
#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <vector>

namespace {

constexpr int kBurst = 10000;
const QString kCode = QStringLiteral("005930");

QString Res(const char* code) { return QStringLiteral(KESTREL_RES_DIR) + code + QStringLiteral(".res"); }

struct TRig {
    TTestClock Clock;
    std::unique_ptr<TSimBackend> Backend;
    QObject Owner;
    qint64 Sum = 0;   // keeps the field reads alive
    qint64 Delivered = 0;

    explicit TRig(double tradesPerSec)
    {
        TSimConfig cfg;
        cfg.PumpMs = 0;
        cfg.AnswerDelayMs = 0;
        cfg.TradesPerSec = tradesPerSec;
        cfg.AlwaysOpen = true;   // the market bench runs past the close otherwise
        Backend = CreateSimBackend(cfg, Clock);
        for (const char* tr : {"S3_", "H1_"}) {
            TXAReal* r = Backend->CreateReal(&Owner);
            r->SetResFileName(Res(tr));
            r->SetFieldData("InBlock", "shcode", kCode);
            const bool trade = tr[0] == 'S';
            QObject::connect(r, &TXAReal::ReceiveRealData, [this, r, trade](const QString&) {
                ++Delivered;
                if (trade) {
                    Sum += r->GetFieldData("OutBlock", "price").toInt() + r->GetFieldData("OutBlock", "cvolume").size()
                           + r->GetFieldData("OutBlock", "volume").size() + r->GetFieldData("OutBlock", "chetime").size()
                           + r->GetFieldData("OutBlock", "cgubun").size() + r->GetFieldData("OutBlock", "shcode").size();
                } else {
                    Sum += r->GetFieldData("OutBlock", "offerho1").toInt() + r->GetFieldData("OutBlock", "bidho1").size()
                           + r->GetFieldData("OutBlock", "offerrem1").size() + r->GetFieldData("OutBlock", "bidrem1").size()
                           + r->GetFieldData("OutBlock", "totofferrem").size() + r->GetFieldData("OutBlock", "shcode").size();
                }
            });
            r->AdviseRealData();
        }
    }
};

// A busy day's records of one stock, as the market sends them.
std::vector<TSimRealRecord> MakeRecords(TRig& rig)
{
    const TSimDayInfo info = rig.Backend->Exchange().Engine().DayInfo(kCode);
    TDayPlan plan;
    plan.Date = info.Date;
    plan.PrevClose = info.PrevClose;
    plan.TradesPerSec = 50;
    plan.Seed = 7;
    TStockSim sim(plan);
    std::vector<TSimRealRecord> recs;
    auto base = [&](TSimRealKind kind) {
        TSimRealRecord r;
        r.Kind = kind;
        r.Code = kCode;
        r.PrevClose = info.PrevClose;
        r.UpLimit = info.UpLimit;
        r.DnLimit = info.DnLimit;
        r.Volume = sim.Volume();
        return r;
    };
    while (int(recs.size()) < kBurst && !sim.Closed()) {
        sim.Step(1000, [&](const TSimTrade* t) {
            if (t) {
                TSimRealRecord r = base(TSimRealKind::Trade);
                r.Trade = *t;
                recs.push_back(std::move(r));
            }
            TSimRealRecord b = base(TSimRealKind::Book);
            b.Book = sim.Book();
            recs.push_back(std::move(b));
        });
    }
    recs.resize(qMin<size_t>(recs.size(), kBurst));
    return recs;
}

void BM_RealBurstDelivery(benchmark::State& state)
{
    TRig rig(2);
    const std::vector<TSimRealRecord> recs = MakeRecords(rig);
    TSimExchange& ex = rig.Backend->Exchange();
    qint64 records = 0;
    for (auto _ : state) {
        for (const TSimRealRecord& r : recs)
            ex.Enqueue(r);
        records += ex.Flush();
    }
    benchmark::DoNotOptimize(rig.Sum);
    state.SetItemsProcessed(records);
    state.counters["records/burst"] = double(recs.size());
}
BENCHMARK(BM_RealBurstDelivery)->Unit(benchmark::kMillisecond);

void BM_RealBurstFromMarket(benchmark::State& state)
{
    // A very busy stock: about 10,000 records in the 10 s the market replays
    // after a pause.
    TRig rig(4000);
    TSimExchange& ex = rig.Backend->Exchange();
    ex.Pump();
    qint64 records = 0;
    for (auto _ : state) {
        rig.Clock.Advance(10000);
        const qint64 before = rig.Delivered;
        ex.Pump();
        records += rig.Delivered - before;
    }
    benchmark::DoNotOptimize(rig.Sum);
    state.SetItemsProcessed(records);
    state.counters["records/burst"] = state.iterations() ? double(records) / state.iterations() : 0;
}
BENCHMARK(BM_RealBurstFromMarket)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
