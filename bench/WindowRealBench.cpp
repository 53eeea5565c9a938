// Cost of one real-time record of the current stock through the window's
// real handler: the simulated exchange delivers a prepared trade (S3_) or
// book (H1_) record to the logged-in window, whose OnRealData updates the
// quote, the ladder, both charts, the tick list and marks what shows them for
// repaint. Paints are not part of it (they run at most once per frame, after
// a burst, from the event loop). Per record, median of repetitions of bursts
// of 2,000 records of a busy stock.
//
// BM_Sustained5000 is the same stream as the program lives it: 5,000 records
// a second of the current stock (half trades, half book changes, 50 every
// 10 ms) for three seconds (KESTREL_BENCH_SECONDS to change it), with the
// event loop running and every paint it asks for. Reported: the process's
// CPU time as a share of one core, and the paints a second of the busiest
// widget (a frame is at least 16 ms: at most 62.5 paints a second means at
// most one paint a frame; frames that cost more than their share of the
// thread come less often, KESTREL_BENCH_EVERY_FRAME=1 paints every 16 ms
// whatever it costs). KESTREL_BENCH_PAINTS=1 lists every widget's paints a
// second and the time they take (and the window's frames: composing,
// painting and flushing), every event the loop delivered by type and
// receiver, and how often each chart drew its background layer anew;
// KESTREL_BENCH_NOLAYER=1 paints the charts without that layer, for
// comparison. The rig waits for the past days the charts asked for (played
// on worker threads) before it measures.
#include "app/MainWindow.h"
#include "chart/CandleChart.h"
#include "broker/ReqQueue.h"
#include "core/Clock.h"
#include "core/FramePacer.h"
#include "sim/SimBackend.h"
#include "sim/StockSim.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <benchmark/benchmark.h>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int kBurst = 2000;

struct TWindowRig {
    QTemporaryDir Dir;
    TTestClock Clock{QDateTime(QDate(2026, 12, 10), QTime(9, 0, 30))};
    std::unique_ptr<TfrmMain> W;

    TWindowRig()
    {
        QFile f(Dir.path() + "/hts.ini");
        f.open(QIODevice::WriteOnly);
        f.write(("[LOGIN]\nID=demo\nPW=demo1234\nHOST=sim\n[ACCOUNT]\nACNO=55501234501\nACPW=0000\n"
                 "[LAYOUT]\nX=0\nY=0\nW=1600\nH=950\n[UI]\nLASTCODE=005930\n[SIM]\nDELAY=0\nPUMP=0\nALWAYSOPEN=1\n"
                 "STATE=\n[XING]\nRES=" + QString(KESTREL_RES_DIR) + "\n")
                    .toUtf8());
        f.close();
        TStartOptions o;
        o.ExeDir = Dir.path();
        o.Clock = &Clock;
        W = std::make_unique<TfrmMain>(o);
        W->resize(1600, 950);
        W->show();
        // Every start-up answer in: quote, ticks, bars, program trading.
        for (int t = 0; t < 8000; t += 50) {
            Clock.Advance(50);
            Exchange().DeliverDue();
            W->Ctx().FQ->Tick();
            QApplication::processEvents();
        }
        // Past days the charts asked for are played on worker threads; wait
        // for them so what follows measures the stream alone.
        QElapsedTimer waited;
        waited.start();
        while ((Exchange().Held() || Exchange().PastPlaying()) && waited.elapsed() < 60000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    TSimExchange& Exchange() { return dynamic_cast<TSimBackend&>(*W->Ctx().FBackend).Exchange(); }
};

std::unique_ptr<TWindowRig> GRig;  // made on first use, gone before the application

TWindowRig& Rig()
{
    if (!GRig)
        GRig = std::make_unique<TWindowRig>();
    return *GRig;
}

// A busy stock's records, as the market sends them: trades or books.
std::vector<TSimRealRecord> MakeRecords(TSimExchange& ex, TSimRealKind kind)
{
    const QString code = QStringLiteral("005930");
    const TSimDayInfo info = ex.Engine().DayInfo(code);
    TDayPlan plan;
    plan.Date = info.Date;
    plan.PrevClose = info.PrevClose;
    plan.TradesPerSec = 50;
    plan.Seed = 7;
    TStockSim sim(plan);
    std::vector<TSimRealRecord> recs;
    while (int(recs.size()) < kBurst && !sim.Closed()) {
        sim.Step(1000, [&](const TSimTrade* t) {
            TSimRealRecord r;
            r.Kind = kind;
            r.Code = code;
            r.PrevClose = info.PrevClose;
            r.UpLimit = info.UpLimit;
            r.DnLimit = info.DnLimit;
            r.Volume = sim.Volume();
            if (kind == TSimRealKind::Trade) {
                if (!t)
                    return;
                r.Trade = *t;
            } else {
                r.Book = sim.Book();
            }
            recs.push_back(std::move(r));
        });
    }
    recs.resize(qMin<size_t>(recs.size(), kBurst));
    return recs;
}

void Burst(benchmark::State& state, TSimRealKind kind)
{
    TWindowRig& rig = Rig();
    TSimExchange& ex = rig.Exchange();
    const std::vector<TSimRealRecord> recs = MakeRecords(ex, kind);
    qint64 records = 0;
    for (auto _ : state) {
        for (const TSimRealRecord& r : recs)
            ex.Enqueue(r);
        records += ex.Flush();
        state.PauseTiming();
        QApplication::processEvents();  // the frame after the burst: paints, outside the timing
        state.ResumeTiming();
    }
    state.SetItemsProcessed(records);
    state.counters["us/record"] = benchmark::Counter(double(records) * 1e-6,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Counts paint events per widget and, with KESTREL_BENCH_PAINTS=1, the time
// each widget spends painting and the window spends composing and flushing.
struct TPaintCounter {
    QHash<QObject*, int> Paints;
    QHash<QObject*, qint64> Nanos;
    // Every event the event loop delivers (not those sent inside another),
    // by type and receiver's class: where the time outside paints goes.
    QHash<QString, qint64> TopNanos;
    QHash<QString, int> TopCount;
    int Depth = 0;
};
TPaintCounter* GCounter = nullptr;

class TBenchApp : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* o, QEvent* e) override
    {
        if (!GCounter)
            return QApplication::notify(o, e);
        const bool paint = e->type() == QEvent::Paint || e->type() == QEvent::UpdateRequest;
        const bool top = GCounter->Depth == 0;
        if (!paint && !top)
            return QApplication::notify(o, e);
        QString key;
        if (top)
            key = QStringLiteral("%1 %2 %3").arg(int(e->type()), 3).arg(o->metaObject()->className(), o->objectName());
        QElapsedTimer t;
        t.start();
        ++GCounter->Depth;
        const bool r = QApplication::notify(o, e);
        --GCounter->Depth;
        const qint64 ns = t.nsecsElapsed();
        if (paint) {
            ++GCounter->Paints[o];
            GCounter->Nanos[o] += ns;
        }
        if (top) {
            ++GCounter->TopCount[key];
            GCounter->TopNanos[key] += ns;
        }
        return r;
    }
};

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Three seconds, or KESTREL_BENCH_SECONDS (for a profiler to attach to).
int SustainMs()
{
    const int s = qEnvironmentVariableIntValue("KESTREL_BENCH_SECONDS");
    return 1000 * (s > 0 ? qMin(s, 600) : 3);
}

void BM_Sustained5000(benchmark::State& state)
{
    TWindowRig& rig = Rig();
    TSimExchange& ex = rig.Exchange();
    const std::vector<TSimRealRecord> trades = MakeRecords(ex, TSimRealKind::Trade);
    const std::vector<TSimRealRecord> books = MakeRecords(ex, TSimRealKind::Book);
    size_t next = 0;
    double cpuShare = 0, busiest = 0;
    for (auto _ : state) {
        TPaintCounter counter;
        GCounter = &counter;
        QTimer feed;
        feed.setObjectName(QStringLiteral("feed"));
        feed.setTimerType(Qt::PreciseTimer);
        QObject::connect(&feed, &QTimer::timeout, [&] {
            for (int i = 0; i < 25; ++i, ++next) {
                ex.Enqueue(trades[next % trades.size()]);
                ex.Enqueue(books[next % books.size()]);
            }
            ex.Flush();
        });
        const QList<TCandleChart*> charts = rig.W->findChildren<TCandleChart*>();
        QVector<int> builds;
        for (TCandleChart* c : charts) {
            if (qEnvironmentVariableIsSet("KESTREL_BENCH_NOLAYER"))
                c->SetLayerCache(false);
            builds << c->LayerBuilds();
        }
        QEventLoop loop;
        QTimer::singleShot(SustainMs(), &loop, &QEventLoop::quit);
        const double cpu0 = CpuSeconds();
        QElapsedTimer wall;
        wall.start();
        feed.start(10);
        loop.exec();
        feed.stop();
        const double secs = wall.nsecsElapsed() / 1e9;
        cpuShare = (CpuSeconds() - cpu0) / secs * 100;
        GCounter = nullptr;
        busiest = 0;
        for (auto it = counter.Paints.cbegin(); it != counter.Paints.cend(); ++it)
            if (it.key()->isWidgetType() && !static_cast<QWidget*>(it.key())->isWindow())
                busiest = std::max(busiest, it.value() / secs);
        if (qEnvironmentVariableIsSet("KESTREL_BENCH_PAINTS")) {
            for (int i = 0; i < charts.size(); ++i)
                qInfo("chart %d: background layer drawn %.1f times a second", i,
                      (charts[i]->LayerBuilds() - builds[i]) / secs);
            for (auto it = counter.TopNanos.cbegin(); it != counter.TopNanos.cend(); ++it)
                qInfo("event %-40s %7.1f /s %7.1f us each %6.2f %% of a core", qPrintable(it.key()),
                      counter.TopCount.value(it.key()) / secs,
                      it.value() / 1e3 / qMax(counter.TopCount.value(it.key()), 1), it.value() / 1e7 / secs);
            // Paint time includes the widget's children painted inside it;
            // the window's line (UpdateRequest) is the whole frame.
            for (auto it = counter.Nanos.cbegin(); it != counter.Nanos.cend(); ++it) {
                const int k = counter.Paints.value(it.key());
                const QObject* up = it.key()->parent();
                qInfo("%6.1f /s %7.1f us each %6.2f %% of a core  %s %s in %s", k / secs, it.value() / 1e3 / qMax(k, 1),
                      it.value() / 1e7 / secs, it.key()->metaObject()->className(),
                      qPrintable(it.key()->objectName()), up ? up->metaObject()->className() : "-");
            }
        }
        state.SetIterationTime(secs);
    }
    state.counters["cpu_pct_of_core"] = cpuShare;
    state.counters["paints_per_s_busiest"] = busiest;
}

void BM_TradeRecord(benchmark::State& state) { Burst(state, TSimRealKind::Trade); }
void BM_BookRecord(benchmark::State& state) { Burst(state, TSimRealKind::Book); }
BENCHMARK(BM_TradeRecord)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_BookRecord)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_Sustained5000)->UseManualTime()->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TBenchApp app(argc, argv);
    if (qEnvironmentVariableIsSet("KESTREL_BENCH_EVERY_FRAME"))
        TFrameTask::SetWorkShare(0);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    GRig.reset();
    return 0;
}
