// Cost of the market lists' reading on the window's thread:
//  - ParseShortBanList: one "/lumen/shortban" answer of 2000 items (the most
//    the reader takes), every member present, a stock-master lookup per
//    code, followed by the live rescoring of every row and a sort by score;
//  - ParseBuybackList: one "/lumen/pub?n=buyback" answer of 2000 filings,
//    some numbers sent as text, followed by the candidate filter and a sort
//    by the 20-day ratio;
//  - SimListsMake: the simulated service making both documents for a day
//    from the built-in universe of 2500 stocks (what the first request of a
//    day costs the service host's thread).
// Inputs come from a fixed seed. Each figure is the median of 7 repetitions.
#include "lists/Buyback.h"
#include "lists/ShortBan.h"
#include "sim/SimLists.h"
#include "sim/Universe.h"

#include <benchmark/benchmark.h>

#include <QHash>
#include <QLocale>
#include <QRandomGenerator>

namespace {

QString CodeOf(int i) { return QStringLiteral("%1").arg(100000 + i * 37, 6, 10, QLatin1Char('0')); }

QHash<QString, QString> MasterOf(int n)
{
    QHash<QString, QString> m;
    for (int i = 0; i < n; ++i)
        m.insert(CodeOf(i), QStringLiteral("종목%1").arg(i));
    return m;
}

QByteArray ShortBody(int n)
{
    QRandomGenerator rng(7);
    QByteArray b = R"({"made":"2026-12-09 20:40","stats":"bench","items":[)";
    for (int i = 0; i < n; ++i) {
        if (i)
            b += ',';
        b += QStringLiteral(R"({"code":"%1","name":"n","status":"%2","first":"20261201","last_ban":"20261210",)"
                            R"("first_known":true,"ext":1,"score":3,"level":"중","why":"a · b · c","price":%3,"chg":-3.2,)"
                            R"("short_avg":%4,"short_pnl":1.5,"lend_qty":%5,"cover_days":3.1,"lend_chg5":-2.5,"lend_d5":-1200,)"
                            R"("avg_vol":%6,"last_vol":%7,"parts":{"ban":"과열 지정","pnl":"","cover":"대차 3일치","lend":"상환"}})")
                 .arg(CodeOf(i), i % 3 ? QStringLiteral("금지중") : QStringLiteral("신규"))
                 .arg(1000 + rng.bounded(100000))
                 .arg(1000 + rng.bounded(100000))
                 .arg(rng.bounded(10000000))
                 .arg(1000 + rng.bounded(1000000))
                 .arg(rng.bounded(3000000))
                 .toUtf8();
    }
    return b + "]}";
}

QByteArray BuyBody(int n)
{
    QRandomGenerator rng(11);
    QByteArray b = R"({"date":"20261210","rule":"r","summary":"s","made":"m","items":[)";
    for (int i = 0; i < n; ++i) {
        if (i)
            b += ',';
        b += QStringLiteral(R"({"code":"%1","name":"n","side":"%2","how":"직접","market":"코스피","qty":"%3","avg20":%4,)"
                            R"("amount":%5,"ratio":%6,"streak":2,"prev_req":1000,"prev_exec":800,"prev_rate":80,"cum":1,)"
                            R"("total":100,"remain":99,"progress":1,"remain_days":2.5,"avg5":%4,"ratio5":null,)"
                            R"("end":"20270115","days_left":20,"need_day":5,"need_ratio":1.5,"avg_value":12.5,)"
                            R"("pick":%7,"note1":"첫 줄","note2":"둘째 줄"})")
                 .arg(CodeOf(i), i % 5 ? QStringLiteral("매수") : QStringLiteral("매도"))
                 .arg(QLocale(QLocale::English).toString(rng.bounded(1, 500000)))
                 .arg(1 + rng.bounded(1000000))
                 .arg(rng.bounded(1000000000))
                 .arg(rng.bounded(5000) / 100.0)
                 .arg(i % 2 ? QStringLiteral("true") : QStringLiteral("false"))
                 .toUtf8();
    }
    return b + "]}";
}

void ParseShortBanList(benchmark::State& state)
{
    const QByteArray body = ShortBody(KMaxListItems);
    const QHash<QString, QString> master = MasterOf(KMaxListItems);
    const TMasterName name = [&master](const QString& c) { return master.value(c); };
    for (auto _ : state) {
        TShortList l = ParseShortBan(body, name);
        for (TShortRow& r : l.Rows) {
            r.Live = true;
            RescoreShort(r);
        }
        SortShort(l.Rows, 7, true);
        benchmark::DoNotOptimize(l.Rows.size());
    }
}

void ParseBuybackList(benchmark::State& state)
{
    const QByteArray body = BuyBody(KMaxListItems);
    const QHash<QString, QString> master = MasterOf(KMaxListItems);
    const TMasterName name = [&master](const QString& c) { return master.value(c); };
    for (auto _ : state) {
        const TBuyList l = ParseBuyback(body, name);
        QVector<TBuyRow> shown = FilterBuy(l.Rows, true);
        SortBuy(shown, 5, true);
        benchmark::DoNotOptimize(shown.size());
    }
}

void SimListsMake(benchmark::State& state)
{
    TSimListsSetup setup;
    setup.Stocks = TUniverse::Default().Stocks();
    setup.Seed = 1;
    for (auto _ : state) {
        const QByteArray a = TSimLists::MakeShortBan(setup, QDate(2026, 12, 10));
        const QByteArray b = TSimLists::MakeBuyback(setup, QDate(2026, 12, 10));
        benchmark::DoNotOptimize(a.size() + b.size());
    }
}

}  // namespace

BENCHMARK(ParseShortBanList)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(ParseBuybackList)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(SimListsMake)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK_MAIN();
