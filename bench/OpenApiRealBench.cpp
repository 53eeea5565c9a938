// Cost of one real-time record over the broker's open API, from the
// WebSocket frame's bytes to the window's handler: the frame is read
// (ParseWsFrame), handed to the session's feed objects (fills counted once,
// listeners by feed and code) and delivered as ReceiveRealData to the
// logged-in window, whose handler updates the quote, the ladder, both charts
// and the tick list and marks them for repaint. Paints are not part of it.
//
// The frames are the ones the fake broker on this machine sent the window
// for the current stock (trades S3_, book H1_: every value a text, as the
// broker sends them), recorded over a few seconds of a busy simulated market
// and played back in bursts. Reported per record, medians of repetitions.
#include "SimWindow.h"
#include "broker/WsFrame.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

namespace {

struct TRig {
    std::unique_ptr<SimWindow> F;
    std::vector<QByteArray> Trades, Books;

    TRig()
    {
        F = std::make_unique<SimWindow>(TWindowBackend::Api, QString(), 50);
        if (!F->w->Ctx().FLogged || !F->Link())
            qFatal("OpenApiRealBench: the window did not log in over the fake broker");
        F->w->SelectStock(QStringLiteral("005930"));
        // The frames as they came off the socket, written back to bytes.
        const QMetaObject::Connection rec = QObject::connect(&F->Link()->Feed(), &TWsFeed::Record, [this](const TWsFrame& f) {
            if (!f.Data || f.TrKey.trimmed() != QLatin1String("005930"))
                return;
            QJsonObject body;
            for (auto it = f.Fields.cbegin(); it != f.Fields.cend(); ++it)
                body.insert(it.key(), it.value());
            const QByteArray bytes =
                QJsonDocument(QJsonObject{{"header", QJsonObject{{"tr_cd", f.TrCd}, {"tr_key", f.TrKey}}}, {"body", body}})
                    .toJson(QJsonDocument::Compact);
            (f.TrCd == QLatin1String("S3_") ? Trades : Books).push_back(bytes);
        });
        for (int i = 0; i < 400 && (Trades.size() < 200 || Books.size() < 200); ++i)
            F->Run(250);
        QObject::disconnect(rec);
        Trades.resize(std::min<size_t>(Trades.size(), 200));
        Books.resize(std::min<size_t>(Books.size(), 200));
        if (Trades.empty() || Books.empty())
            qFatal("OpenApiRealBench: no frames of the current stock came");
    }
};

std::unique_ptr<TRig> GRig;

TRig& Rig()
{
    if (!GRig)
        GRig = std::make_unique<TRig>();
    return *GRig;
}

void Play(benchmark::State& state, bool trades)
{
    TRig& rig = Rig();
    TRestLink& link = *rig.F->Link();
    const std::vector<QByteArray>& frames = trades ? rig.Trades : rig.Books;
    TWsFrame f;
    QString err;
    qint64 records = 0;
    for (auto _ : state) {
        for (const QByteArray& bytes : frames) {
            if (!ParseWsFrame(bytes, f, &err)) {
                state.SkipWithError(qPrintable(err));
                return;
            }
            link.OnRecord(f);
        }
        records += qint64(frames.size());
        state.PauseTiming();
        QApplication::processEvents();   // the frame after the burst: paints, outside the timing
        state.ResumeTiming();
    }
    state.SetItemsProcessed(records);
    state.counters["frames"] = double(frames.size());
    state.counters["us/record"] =
        benchmark::Counter(double(records) * 1e-6, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_TradeFrameToHandler(benchmark::State& state) { Play(state, true); }
void BM_BookFrameToHandler(benchmark::State& state) { Play(state, false); }

BENCHMARK(BM_TradeFrameToHandler)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_BookFrameToHandler)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    GRig.reset();
    benchmark::Shutdown();
    return 0;
}
