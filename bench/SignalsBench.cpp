// Cost of the signal tab's work at a busy moment:
//  - ParseSigJson: reading one "/lumen/latest" answer of 500 signals (four
//    arrays, 300 stocks, times across the session, a master lookup per
//    code), sorting included — what every 5-second poll pays;
//  - SortSigRows: sorting those 500 rows again from a shuffled order;
//  - EvalDtAll: the DT rule over 100 candidate stocks, each with a full day
//    of 1-minute bars the day before and today (09:01-15:30, 390 bars), at
//    14:00 so that the bars decide, followed by InsertDtRows into the list —
//    what every rebuild of the signal view pays.
// Inputs are generated from a fixed seed. Each figure is the median of 7
// repetitions.
#include "signals/MinVol.h"
#include "signals/SigFeed.h"

#include <benchmark/benchmark.h>

#include <QHash>
#include <QRandomGenerator>
#include <QSet>

#include <algorithm>

namespace {

const QString KPrev = QStringLiteral("20261209");
const QString KToday = QStringLiteral("20261210");

QString CodeOf(int i)
{
    return QStringLiteral("%1").arg(100000 + i * 37, 6, 10, QLatin1Char('0'));
}

QString Hhmm(int hhmm)
{
    return QStringLiteral("%1").arg(hhmm, 4, 10, QLatin1Char('0'));
}

struct TSigFix {
    QByteArray Body;
    QSet<QString> Master;
    QVector<TSigRow> Shuffled;

    TSigFix()
    {
        QRandomGenerator rng(20261210);
        for (int i = 0; i < 300; ++i)
            Master.insert(CodeOf(i));
        const char* arrays[] = {"lm03", "lm03r", "lm08", "lm08r"};
        const int counts[] = {200, 100, 150, 50};
        QByteArray b = R"({"date": "20261210", "updated": "140105")";
        for (int k = 0; k < 4; ++k) {
            b += QByteArray(", \"") + arrays[k] + "\": [";
            for (int i = 0; i < counts[k]; ++i) {
                const int min = 9 * 60 + 1 + int(rng.bounded(390));
                const int hhmm = (min / 60) * 100 + min % 60;
                const QString t = QStringLiteral("%1:%2:%3")
                                      .arg(hhmm / 100, 2, 10, QLatin1Char('0'))
                                      .arg(hhmm % 100, 2, 10, QLatin1Char('0'))
                                      .arg(int(rng.bounded(60)), 2, 10, QLatin1Char('0'));
                const QString code = CodeOf(int(rng.bounded(300)));
                const QString sc = i % 5 == 0 ? QString() : code;
                const QString alt = i % 5 == 0 ? QStringLiteral("KR7") + code + QStringLiteral("003") : code;
                b += (i ? "," : "") + QStringLiteral(R"({"sc": "%1", "code": "%2", "time": "%3", "ep": %4, "peak": "%5"})")
                                          .arg(sc, alt, t)
                                          .arg(1000 + rng.bounded(200000))
                                          .arg(rng.bounded(30))
                                          .toUtf8();
            }
            b += "]";
        }
        b += "}";
        Body = b;
        Shuffled = ParseSigJson(Body, nullptr).Rows;
        std::shuffle(Shuffled.begin(), Shuffled.end(), rng);
    }
};

const TSigFix& SigFix()
{
    static const TSigFix f;
    return f;
}

struct TDtFix {
    QVector<TSigRow> Sigs;
    QHash<QString, TMinVol> Prev, Today;
    QHash<QString, TSigQuoteLite> Quotes;

    TDtFix()
    {
        QRandomGenerator rng(1207);
        for (int i = 0; i < 100; ++i) {
            const QString code = CodeOf(i);
            for (const QString& day : {KPrev, KToday}) {
                QVector<TVolRow> rows;
                const double base = 5000 + 100 * i;
                const int mult = day == KToday ? 1 + int(rng.bounded(6)) : 1;
                for (int hm = 901; hm <= 1530 && hm > 0; hm = AddMinutes(hm, 1)) {
                    const double c = base + rng.bounded(50);
                    const qint64 v = (100 + rng.bounded(900)) * mult;
                    rows.append(*VolRowOf(day, Hhmm(hm), c, c + 20, c - 20, c, v, c * double(v)));
                }
                (day == KToday ? Today : Prev).insert(code, BuildMinVol(rows, day));
            }
            Quotes.insert(code, TSigQuoteLite{5000.0 + 100 * i, 100000, 5e8, true});
            // Two signals in the window and three later ones per stock.
            for (int s = 0; s < 5; ++s) {
                TSigRow r;
                r.Code = code;
                r.Kind = quint8(s < 2 ? 1 + 2 * s : 1 + int(rng.bounded(4)));
                const int min = s < 2 ? 9 * 60 + 5 + int(rng.bounded(56)) : 10 * 60 + 30 + int(rng.bounded(300));
                r.T = Hhmm(MinToHhmm(min));
                r.Val = QStringLiteral("10000");
                r.Key = QStringLiteral("%1:%2:%3").arg(r.Kind).arg(code, r.T);
                Sigs.append(r);
            }
        }
        SortSigRows(Sigs);
    }
};

const TDtFix& DtFix()
{
    static const TDtFix f;
    return f;
}

void BM_ParseSigJson(benchmark::State& state)
{
    const TSigFix& f = SigFix();
    const auto known = [&f](const QString& c) { return f.Master.contains(c); };
    qsizetype rows = 0;
    for (auto _ : state) {
        const TSigAnswer a = ParseSigJson(f.Body, known);
        rows = a.Rows.size();
        benchmark::DoNotOptimize(a.Rows.data());
    }
    state.counters["rows"] = double(rows);
    state.counters["KB"] = double(f.Body.size()) / 1024;
}

void BM_SortSigRows(benchmark::State& state)
{
    const TSigFix& f = SigFix();
    for (auto _ : state) {
        QVector<TSigRow> rows = f.Shuffled;
        SortSigRows(rows);
        benchmark::DoNotOptimize(rows.data());
    }
    state.counters["rows"] = double(f.Shuffled.size());
}

void BM_EvalDtAll(benchmark::State& state)
{
    const TDtFix& f = DtFix();
    const auto prev = [&f](const QString& c) -> const TMinVol* {
        const auto it = f.Prev.constFind(c);
        return it == f.Prev.cend() ? nullptr : &it.value();
    };
    const auto today = [&f](const QString& c) -> const TMinVol* {
        const auto it = f.Today.constFind(c);
        return it == f.Today.cend() ? nullptr : &it.value();
    };
    const auto quote = [&f](const QString& c) { return f.Quotes.value(c); };
    qsizetype dts = 0;
    for (auto _ : state) {
        QVector<TSigRow> dt;
        const QVector<TDtEval> evs = EvalDtAll(f.Sigs, prev, today, quote, 1400, &dt);
        QVector<TSigRow> sigs = f.Sigs;
        InsertDtRows(sigs, dt);
        dts = dt.size();
        benchmark::DoNotOptimize(evs.data());
        benchmark::DoNotOptimize(sigs.data());
    }
    state.counters["codes"] = 100;
    state.counters["dt"] = double(dts);
}

} // namespace

BENCHMARK(BM_ParseSigJson)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_SortSigRows)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_EvalDtAll)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK_MAIN();
