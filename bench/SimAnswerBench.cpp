// What one history answer of the simulated exchange costs on the window's
// thread, for a busy stock traded at 50 trades per second (TSimConfig's
// TradesPerSec), at four times of the day: 09:05, 12:00 and 15:20 of a
// normal session, and 23:50 of an always-open market.
//
// Each benchmark first brings the market up to its time (the stock is
// subscribed, as the window does, and every answer is asked once, which
// also fills the caches of the past days). Each iteration then lets 100 ms
// of market time pass and pumps the market, as the pump timer does between
// two requests (not timed), and times one TSimExchange::Answer with the
// inputs the window sends:
//   t1637  program trading, first page (refreshed every 6 s by the window)
//   t1301  ticks, first page
//   t8412  1-minute bars of today only (nday 1, 2000 compressed)
//   t8410  day bars, 500 up to today (today's bar is the live state)
// Reported: mean, median, deviation of five repetitions; read the median.
//
// BM_FirstAnswer is the first day-chart (t8410, 500 day bars) or two-day
// minute-chart (t8412, nday 2) request of a stock at 12:00, sent through a
// query object as the window sends it: the 22 past days with minutes are not
// played yet, so the exchange plays them on its workers and answers when
// they are back. Reported: the wall time until the answer arrives (the
// benchmark's time), and on the window's thread the longest single turn of
// the event loop (ui_max_ms: what a user could feel as a freeze) and the sum
// of the turns that did work (ui_sum_ms). A fresh exchange each iteration.
//
// BM_PlayDay is what keeping those answers ready costs the market: playing a
// busy stock's session from the open to 15:20 at 50 trades per second - what
// the market does when such a stock is first asked for at that time - once
// with the bare simulator, once recorded as the market plays it.
#include "core/Clock.h"
#include "sim/SimBackend.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

const QString kCode = QStringLiteral("005930");
const QDate kDay(2026, 12, 10);   // a Thursday
constexpr double kRate = 50;

QString Res(const QString& tr) { return QStringLiteral(KESTREL_RES_DIR) + tr + QStringLiteral(".res"); }

// The input fields the window sends.
QList<QPair<QString, QString>> Fields(const QString& tr)
{
    const QString today = kDay.toString(QStringLiteral("yyyyMMdd"));
    QList<QPair<QString, QString>> f;
    if (tr == QLatin1String("t1637"))
        f = {{"gubun1", "0"}, {"gubun2", "0"}, {"shcode", kCode}, {"date", today}, {"time", ""}, {"cts_idx", ""},
             {"exchgubun", "U"}};
    else if (tr == QLatin1String("t1301"))
        f = {{"shcode", kCode}, {"cvolume", ""}, {"starttime", ""}, {"endtime", ""}, {"cts_time", ""}};
    else if (tr == QLatin1String("t8412"))
        f = {{"shcode", kCode}, {"ncnt", "1"}, {"qrycnt", "2000"}, {"nday", "1"}, {"edate", today},
             {"cts_date", ""}, {"cts_time", ""}, {"comp_yn", "Y"}};
    else
        f = {{"shcode", kCode}, {"gubun", "2"}, {"qrycnt", "500"}, {"edate", today}, {"cts_date", ""},
             {"comp_yn", "N"}, {"sujung", "Y"}};
    return f;
}

TSimInputs Inputs(const QString& tr)
{
    TSimInputs in;
    for (const auto& [field, value] : Fields(tr))
        in.insert(TSimExchange::InputKey(tr + QStringLiteral("InBlock"), field, 0), value);
    return in;
}

void BM_Answer(benchmark::State& state, const char* trName, int hour, int minute, bool alwaysOpen)
{
    const QString tr = QString::fromLatin1(trName);
    TTestClock clock(QDateTime(kDay, QTime(hour, minute)));
    TSimConfig cfg;
    cfg.PumpMs = 0;
    cfg.AnswerDelayMs = 0;
    cfg.TradesPerSec = kRate;
    cfg.AlwaysOpen = alwaysOpen;
    const std::unique_ptr<TSimBackend> backend = CreateSimBackend(cfg, clock);
    TSimExchange& ex = backend->Exchange();
    TResLayout layout;
    if (!LoadResLayout(Res(tr), layout)) {
        state.SkipWithError("no result layout");
        return;
    }
    const TSimInputs in = Inputs(tr);

    // The market up to the time, and every answer asked once.
    ex.Engine().Subscribe(kCode);
    ex.Pump();
    for (const char* other : {"t1637", "t1301", "t8412", "t8410"}) {
        TResLayout l;
        if (LoadResLayout(Res(QString::fromLatin1(other)), l))
            ex.Answer(QString::fromLatin1(other), l, Inputs(QString::fromLatin1(other)));
    }
    int rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        clock.Advance(100);
        ex.Pump();
        state.ResumeTiming();
        const TSimReply r = ex.Answer(tr, layout, in);
        rows = r.Blocks.size() > 1 ? int(r.Blocks[1].Rows.size()) : 0;
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = rows;
}

#define KESTREL_ANSWER(tr, h, m, open)                                                                    \
    BENCHMARK_CAPTURE(BM_Answer, tr##_##h##m, #tr, h, m, open)                                            \
        ->Unit(benchmark::kMillisecond)                                                                   \
        ->Iterations(10)                                                                                  \
        ->Repetitions(5)                                                                                  \
        ->ReportAggregatesOnly(true)

#define KESTREL_ANSWERS(h, m, open)   \
    KESTREL_ANSWER(t1637, h, m, open); \
    KESTREL_ANSWER(t1301, h, m, open); \
    KESTREL_ANSWER(t8412, h, m, open); \
    KESTREL_ANSWER(t8410, h, m, open)

KESTREL_ANSWERS(9, 05, false);
KESTREL_ANSWERS(12, 00, false);
KESTREL_ANSWERS(15, 20, false);
KESTREL_ANSWERS(23, 50, true);

void BM_FirstAnswer(benchmark::State& state, const char* trName)
{
    const QString tr = QString::fromLatin1(trName);
    double uiMax = 0, uiSum = 0;
    int rows = 0;
    for (auto _ : state) {
        TTestClock clock(QDateTime(kDay, QTime(12, 0)));
        TSimConfig cfg;
        cfg.PumpMs = 0;
        cfg.AnswerDelayMs = 0;
        cfg.TradesPerSec = kRate;
        const std::unique_ptr<TSimBackend> backend = CreateSimBackend(cfg, clock);
        QObject owner;
        TXASession* session = backend->CreateSession(&owner);
        bool logged = false;
        QObject::connect(session, &TXASession::LoginResult, [&](const QString& c, const QString&) { logged = c == "0000"; });
        session->ConnectServer(QStringLiteral("sim"), 0);
        session->Login(cfg.UserId, cfg.Password, QString(), 0);
        for (int i = 0; i < 1000 && !logged; ++i) {
            QCoreApplication::processEvents();
            QThread::msleep(1);
        }
        backend->Exchange().Engine().Subscribe(kCode);
        backend->Exchange().Pump();
        TXAQuery* q = backend->CreateQuery(&owner);
        q->SetResFileName(Res(tr));
        for (const auto& [field, value] : Fields(tr))
            q->SetFieldData(tr + QStringLiteral("InBlock"), field, 0, value);
        if (tr == QLatin1String("t8412"))
            q->SetFieldData(QStringLiteral("t8412InBlock"), QStringLiteral("nday"), 0, QStringLiteral("2"));
        bool answered = false;
        QObject::connect(q, &TXAQuery::ReceiveData, [&](const QString&) { answered = true; });
        QElapsedTimer wall;
        wall.start();
        if (!logged || q->Request(false) < 0) {
            state.SkipWithError("not sent");
            return;
        }
        while (!answered) {
            QElapsedTimer turn;
            turn.start();
            QCoreApplication::processEvents();
            const double ms = turn.nsecsElapsed() / 1e6;
            uiMax = std::max(uiMax, ms);
            if (ms > 0.05)
                uiSum += ms;
            if (!answered)
                QThread::msleep(1);
        }
        state.SetIterationTime(wall.nsecsElapsed() / 1e9);
        rows = tr == QLatin1String("t8412") ? q->Decompress(QStringLiteral("t8412OutBlock1"))
                                            : q->GetBlockCount(tr + QStringLiteral("OutBlock1"));
    }
    state.counters["ui_max_ms"] = uiMax;
    state.counters["ui_sum_ms"] = uiSum / double(state.iterations());
    state.counters["rows"] = rows;
}
BENCHMARK_CAPTURE(BM_FirstAnswer, t8410, "t8410")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_FirstAnswer, t8412, "t8412")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);

void BM_PlayDay(benchmark::State& state, bool recorded)
{
    TTestClock clock(QDateTime(kDay, QTime(15, 20)));
    TSimConfig cfg;
    cfg.PumpMs = 0;
    const std::unique_ptr<TSimBackend> backend = CreateSimBackend(cfg, clock);
    TMarketEngine& engine = backend->Exchange().Engine();
    const TSimStock stock = *engine.Universe().Find(kCode);
    const TDayPlan plan = engine.Daily().Plan(stock, kDay, engine.SessionStartMs(), engine.SessionEndMs(), kRate);
    const TSimProgramModel program(engine.Daily().Seed(), stock, kDay);
    const int until = QTime(15, 20).msecsSinceStartOfDay();
    qint64 trades = 0;
    for (auto _ : state) {
        if (recorded) {
            TStockDay day(plan, program, true);
            trades = day.AdvanceTo(until);
        } else {
            TStockSim sim(plan);
            trades = sim.AdvanceTo(until);
        }
        benchmark::DoNotOptimize(trades);
    }
    state.counters["trades"] = double(trades);
}
BENCHMARK_CAPTURE(BM_PlayDay, bare, false)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_PlayDay, recorded, true)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->ReportAggregatesOnly(true);

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
