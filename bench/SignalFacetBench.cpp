// The capture tab's own handlers, as the window runs them:
//
// BM_PollAnswer500: one answer of the signal service with 500 signals of
// 250 stocks handed to TSignalFacet::OnSigJson: parsed, merged with what the
// list has seen (new keys flash), sorted, and the view rebuilt with the DT
// evaluation over 100 stocks whose bars are held. Two answers alternate, the
// second with 20 signals the first lacks, so every answer brings new rows.
// Per answer.
//
// BM_SameTimeUpdate100: the end of a bar fetch for 100 stocks, one after
// the other as they arrive (3.5 s apart in the program): the rows of both
// days (the previous day's 390 minutes and today's up to 10:00) turned into
// the two cumulative series, then the view rebuilt with its DT evaluation.
// Per 100 stocks.
#include "app/AppContext.h"
#include "app/UiKit.h"
#include "app/signals/SignalFacet.h"
#include "core/Clock.h"
#include "core/ServerClock.h"
#include "signals/MinVol.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

struct TRig {
    QTemporaryDir Dir;
    TTestClock Clock{QDateTime(QDate(2026, 12, 10), QTime(9, 58, 0))};
    std::unique_ptr<TAppContext> Ctx;
    TTabSet Tabs;
    std::unique_ptr<TSignalFacet> F;

    TRig()
    {
        QFile f(Dir.path() + "/hts.ini");
        f.open(QIODevice::WriteOnly);
        f.write("[LOGIN]\nID=demo\nPW=demo1234\nHOST=sim\n");
        f.close();
        Ctx = std::make_unique<TAppContext>(Clock, Dir.path());
        Ctx->ServerClock().SetLocalIsExchange(true);
        F = std::make_unique<TSignalFacet>(*Ctx);
        F->BuildSignalPage(&Tabs);
        F->Tone = [](int, int) {};
        F->Wave = [](const QString&) {};
        F->CheckSigDay();
    }
};

QString Code(int i) { return QStringLiteral("%1").arg(100000 + i * 10, 6, 10, QLatin1Char('0')); }

// 500 signals of 250 stocks between 09:05 and 09:58; `shift` moves 20 of
// them to other stocks.
QByteArray Answer(int shift, const QString& updated)
{
    static const char* const arrays[] = {"lm03", "lm03r", "lm08", "lm08r"};
    QByteArray out = "{\"date\":\"20261210\",\"updated\":\"" + updated.toLatin1() + "\"";
    for (int k = 0; k < 4; ++k) {
        out += ",\"" + QByteArray(arrays[k]) + "\":[";
        for (int i = 0; i < 125; ++i) {
            const int n = k * 125 + i;
            const int stock = (n % 250) + (n < 20 ? shift : 0);
            const int minute = 545 + (n * 7) % 53;
            if (i)
                out += ',';
            out += "{\"sc\":\"" + Code(stock).toLatin1() + "\",\"time\":\"" +
                   QByteArray::number(minute / 60 * 100 + minute % 60).rightJustified(4, '0') +
                   "\",\"ep\":" + QByteArray::number(10000 + n) + ",\"peak\":" + QByteArray::number(4 + n % 5) + "}";
        }
        out += ']';
    }
    return out + '}';
}

QVector<TVolRow> TwoDays(int seed)
{
    QVector<TVolRow> rows;
    for (const auto& [day, last] : {std::pair{QStringLiteral("20261209"), 1530}, {QStringLiteral("20261210"), 1000}}) {
        for (int m = HhmmToMin(901); m <= HhmmToMin(last); ++m) {
            const double px = 10000 + (m * 37 + seed) % 200;
            const qint64 vol = 1000 + (m * 13 + seed) % 5000;
            const int hm = MinToHhmm(m);
            if (auto r = VolRowOf(day, QStringLiteral("%1").arg(hm, 4, 10, QLatin1Char('0')) + QStringLiteral("00"), px,
                                  px + 50, px - 50, px, vol, px * vol / 1e6))
                rows.append(*r);
        }
    }
    return rows;
}

void HoldBars(TSignalFacet& f, int stocks)
{
    for (int i = 0; i < stocks; ++i) {
        f.FVolAcc = TwoDays(i);
        f.FVolReq = Code(i);
        f.FVolAsOf = 958;
        f.FinishVol();
    }
}

void BM_PollAnswer500(benchmark::State& state)
{
    TRig rig;
    HoldBars(*rig.F, 100);
    const QByteArray a = Answer(0, QStringLiteral("095800")), b = Answer(250, QStringLiteral("095805"));
    rig.F->OnSigJson(a);
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        // the service's clock moves on with each answer
        rig.F->FSigUpdated.clear();
        rig.F->OnSigJson(flip ? b : a);
    }
    state.counters["rows"] = double(rig.F->FSigs.size());
}

void BM_SameTimeUpdate100(benchmark::State& state)
{
    TRig rig;
    rig.F->OnSigJson(Answer(0, QStringLiteral("095800")));
    QVector<QVector<TVolRow>> fetched;
    for (int i = 0; i < 100; ++i)
        fetched.append(TwoDays(i));
    for (auto _ : state) {
        for (int i = 0; i < 100; ++i) {
            rig.F->FVolAcc = fetched[i];
            rig.F->FVolReq = Code(i);
            rig.F->FVolAsOf = 958;
            rig.F->FinishVol();
        }
    }
    state.counters["dt_rows"] = double(rig.F->FDtMk.size());
}

BENCHMARK(BM_PollAnswer500)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_SameTimeUpdate100)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
