// What the market board costs.
//
// BM_BoardAnswer: one answer of the simulated exchange to the board's
// requests at 12:00 of a normal session and 23:50 of an always-open market
// (each iteration lets 100 ms of market time pass first, not timed):
//   t8409  KOSPI's last three minutes (the board's job 3)
//   t1601  investor net buying of both markets (job 6)
//   t1602  the first page of KOSPI's investors by minute (the pop-up)
//   t3521  the NASDAQ's level (jobs 0..2)
// The first answer of a day also plays the index members' day so far; the
// market is brought up to its time and asked once before timing.
//
// BM_EtnRead: reading and applying the service's ETN document with a year
// of history (the most it keeps), as the board does every 30 minutes.
//
// Reported: the median of seven repetitions.
#include "board/Board.h"
#include "board/EtnDoc.h"
#include "core/Clock.h"
#include "sim/SimBackend.h"
#include "sim/SimBoard.h"
#include "sim/SimExchange.h"
#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

const QDate kDay(2026, 12, 10);

TSimInputs Inputs(const QString& tr)
{
    QList<QPair<QString, QString>> f;
    if (tr == QLatin1String("t8409"))
        f = {{"shcode", "001"}, {"ncnt", "1"}, {"qrycnt", "3"}, {"nday", "1"}, {"edate", "20261210"}, {"comp_yn", "N"}};
    else if (tr == QLatin1String("t1601"))
        f = {{"gubun1", "2"}, {"gubun2", "2"}, {"gubun3", "1"}, {"gubun4", "2"}, {"exchgubun", "U"}};
    else if (tr == QLatin1String("t1602"))
        f = {{"market", "1"}, {"upcode", "001"}, {"gubun1", "2"}, {"gubun2", "0"}, {"cnt", "900"}, {"exchgubun", "U"}};
    else
        f = {{"kind", "S"}, {"symbol", "NAS@IXIC"}};
    TSimInputs in;
    for (const auto& [field, value] : f)
        in.insert(TSimExchange::InputKey(tr + QStringLiteral("InBlock"), field, 0), value);
    return in;
}

void BM_BoardAnswer(benchmark::State& state, const char* trName, int hour, int minute, bool alwaysOpen)
{
    const QString tr = QString::fromLatin1(trName);
    TTestClock clock(QDateTime(kDay, QTime(hour, minute)));
    TSimConfig cfg;
    cfg.PumpMs = 0;
    cfg.AnswerDelayMs = 0;
    cfg.AlwaysOpen = alwaysOpen;
    const std::unique_ptr<TSimBackend> backend = CreateSimBackend(cfg, clock);
    TSimExchange& ex = backend->Exchange();
    TResLayout layout;
    if (!LoadResLayout(QStringLiteral(KESTREL_RES_DIR) + tr + QStringLiteral(".res"), layout)) {
        state.SkipWithError("no result layout");
        return;
    }
    const TSimInputs in = Inputs(tr);
    ex.Answer(tr, layout, in);
    int rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        clock.Advance(100);
        ex.Pump();
        state.ResumeTiming();
        const TSimReply r = ex.Answer(tr, layout, in);
        rows = r.Blocks.isEmpty() ? 0 : int(r.Blocks.last().Rows.size());
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = rows;
}

#define KESTREL_BOARD(tr, h, m, open)                                           \
    BENCHMARK_CAPTURE(BM_BoardAnswer, tr##_##h##m, #tr, h, m, open)             \
        ->Unit(benchmark::kMillisecond)                                         \
        ->Iterations(10)                                                        \
        ->Repetitions(7)                                                        \
        ->ReportAggregatesOnly(true)

KESTREL_BOARD(t8409, 12, 00, false);
KESTREL_BOARD(t1601, 12, 00, false);
KESTREL_BOARD(t1602, 12, 00, false);
KESTREL_BOARD(t3521, 12, 00, false);
KESTREL_BOARD(t8409, 23, 50, true);
KESTREL_BOARD(t1601, 23, 50, true);

void BM_EtnRead(benchmark::State& state)
{
    QByteArray doc = SimEtnDocument(kDay);
    // A year of history instead of the service's twenty days.
    const int at = doc.indexOf("\"hist\":[") + 8;
    const int end = doc.indexOf("],\"lp_low\"");
    const QByteArray one = doc.mid(at, doc.indexOf("}}", at) + 2 - at);
    QByteArray hist;
    for (int i = 0; i < 400; ++i)
        hist += (i ? "," : "") + one;
    doc = doc.left(at) + hist + doc.mid(end);
    const QString body = QString::fromUtf8(doc);
    for (auto _ : state) {
        TEtnHoldings h;
        const QString line = h.Apply(body);
        benchmark::DoNotOptimize(line);
        if (h.Doc.HD.size() != 400)
            state.SkipWithError("history not read");
    }
    state.counters["bytes"] = double(doc.size());
}
BENCHMARK(BM_EtnRead)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly(true);

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
