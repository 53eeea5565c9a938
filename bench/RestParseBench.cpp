// The broker's network API on the wire: one REST answer read into the
// blocks the program reads (ParseRestAnswer against the transaction's
// result layout) — a page of 500 minute bars of t8412 (the largest answer
// the charts ask for uncompressed) and a t1101 quote with its ten levels —
// and one real-time WebSocket frame read into its record (a trade, S3_, and
// a book, H1_, as the broker sends them: every value a text). Reported per
// answer or frame and per record, medians of repetitions; the request body
// of a t8412 page for comparison.
#include "broker/ResLayout.h"
#include "broker/RestTr.h"
#include "broker/WsFrame.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>

namespace {

TResLayout LayoutOf(const char* tr)
{
    TResLayout l;
    QString err;
    if (!LoadResLayout(QString(KESTREL_RES_DIR) + tr + ".res", l, &err)) {
        std::fprintf(stderr, "RestParseBench: %s\n", qPrintable(err));
        std::exit(1);
    }
    return l;
}

QByteArray MinuteBars(int n)
{
    QJsonArray rows;
    for (int i = 0; i < n; ++i) {
        const int px = 71000 + (i * 37) % 900;
        rows.append(QJsonObject{{"date", "20261210"},
                                {"time", QStringLiteral("%1%2").arg(9 + i / 60, 2, 10, QChar('0')).arg(i % 60, 2, 10, QChar('0')) + "00"},
                                {"open", px}, {"high", px + 100}, {"low", px - 100}, {"close", px + 50},
                                {"jdiff_vol", 12345 + i}, {"value", 880 + i}, {"jongchk", 0}, {"rate", 0.0},
                                {"sign", "2"}});
    }
    return QJsonDocument(QJsonObject{{"rsp_cd", "00000"}, {"rsp_msg", "조회완료"},
                                     {"t8412OutBlock", QJsonObject{{"shcode", "005930"}, {"cts_date", "20261209"},
                                                                   {"cts_time", "153000"}, {"rec_count", n}}},
                                     {"t8412OutBlock1", rows}})
        .toJson(QJsonDocument::Compact);
}

QByteArray Quote()
{
    QJsonObject o{{"hname", "삼성전자"}, {"price", 71500}, {"sign", "2"}, {"change", 1700}, {"diff", 2.44},
                  {"volume", 4382140}, {"jnilclose", 69800}};
    for (int i = 1; i <= 10; ++i) {
        o.insert(QStringLiteral("offerho%1").arg(i), 71500 + 100 * i);
        o.insert(QStringLiteral("bidho%1").arg(i), 71500 - 100 * i);
        o.insert(QStringLiteral("offerrem%1").arg(i), 1000 * i);
        o.insert(QStringLiteral("bidrem%1").arg(i), 900 * i);
    }
    return QJsonDocument(QJsonObject{{"rsp_cd", "00000"}, {"t1101OutBlock", o}}).toJson(QJsonDocument::Compact);
}

void Parse(benchmark::State& state, const char* tr, const QByteArray& body, int records)
{
    const TResLayout l = LayoutOf(tr);
    TRestAnswer a;
    QString err;
    for (auto _ : state) {
        if (!ParseRestAnswer(body, l, a, &err))
            state.SkipWithError(qPrintable(err));
        benchmark::DoNotOptimize(a.Blocks.data());
    }
    state.counters["bytes"] = body.size();
    state.counters["us/record"] = benchmark::Counter(double(state.iterations()) * records * 1e-6,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_MinuteBarsPage(benchmark::State& state) { Parse(state, "t8412", MinuteBars(500), 500); }
void BM_Quote(benchmark::State& state) { Parse(state, "t1101", Quote(), 1); }

void BM_RequestBody(benchmark::State& state)
{
    const TResLayout l = LayoutOf("t8412");
    TRestInputs in;
    in.Set("t8412InBlock", "shcode", 0, "005930");
    in.Set("t8412InBlock", "ncnt", 0, "1");
    in.Set("t8412InBlock", "qrycnt", 0, "500");
    in.Set("t8412InBlock", "sdate", 0, "20261201");
    in.Set("t8412InBlock", "edate", 0, "20261210");
    QString err;
    for (auto _ : state)
        benchmark::DoNotOptimize(RestRequestBody(l, in, &err));
}

QByteArray TradeFrame()
{
    QJsonObject b;
    const char* fields[] = {"chetime", "sign", "change", "drate", "price", "opentime", "open", "hightime", "high",
                            "lowtime", "low", "cgubun", "cvolume", "volume", "value", "mdvolume", "mdchecnt",
                            "msvolume", "mschecnt", "cpower", "w_avrg", "offerho", "bidho", "status", "jnilvolume",
                            "shcode"};
    int k = 0;
    for (const char* f : fields)
        b.insert(QString::fromLatin1(f), QString::number(71500 + 37 * k++));
    return QJsonDocument(QJsonObject{{"header", QJsonObject{{"tr_cd", "S3_"}, {"tr_key", "005930"}}}, {"body", b}})
        .toJson(QJsonDocument::Compact);
}

QByteArray BookFrame()
{
    QJsonObject b{{"hotime", "090001"}, {"totofferrem", "123456"}, {"totbidrem", "234567"}, {"shcode", "005930"}};
    for (int i = 1; i <= 10; ++i) {
        b.insert(QStringLiteral("offerho%1").arg(i), QString::number(71500 + 100 * i));
        b.insert(QStringLiteral("bidho%1").arg(i), QString::number(71500 - 100 * i));
        b.insert(QStringLiteral("offerrem%1").arg(i), QString::number(1000 * i));
        b.insert(QStringLiteral("bidrem%1").arg(i), QString::number(900 * i));
    }
    return QJsonDocument(QJsonObject{{"header", QJsonObject{{"tr_cd", "H1_"}, {"tr_key", "005930"}}}, {"body", b}})
        .toJson(QJsonDocument::Compact);
}

void Frame(benchmark::State& state, const QByteArray& frame)
{
    TWsFrame f;
    QString err;
    for (auto _ : state) {
        if (!ParseWsFrame(frame, f, &err))
            state.SkipWithError(qPrintable(err));
        benchmark::DoNotOptimize(f.Fields.size());
    }
    state.counters["bytes"] = frame.size();
}
void BM_TradeFrame(benchmark::State& state) { Frame(state, TradeFrame()); }
void BM_BookFrame(benchmark::State& state) { Frame(state, BookFrame()); }

BENCHMARK(BM_TradeFrame)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_BookFrame)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_MinuteBarsPage)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_Quote)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_RequestBody)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
