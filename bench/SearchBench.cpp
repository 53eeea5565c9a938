// Cost of the suggestion ranking per keystroke in the code box, over the
// simulated universe (about 2,500 stocks) and, when a real listing file is
// present, over that listing. Also the one-off cost of building the search
// index per master answer, and of ranking without a prepared index.
//
// The listing is looked for at KESTREL_LISTING_CSV, else
// /work/shared/data/krx_listing.csv; without it those runs are left out.
#include "market/StockSearch.h"
#include "sim/Universe.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

namespace {

const QString KKeys[] = {
    u"ㅅ"_qs, u"ㅅㅅ"_qs, u"ㅅㅅㅈㅈ"_qs, u"삼"_qs, u"삼성"_qs, u"00"_qs, u"005930"_qs, u"SK"_qs,
};

QHash<QString, TStockInfo> MasterOf(const TUniverse& u)
{
    QHash<QString, TStockInfo> m;
    m.reserve(u.Size());
    for (const TSimStock& s : u.Stocks())
        m.insert(s.Code, {s.Code, s.Name.trimmed(), s.Market == TSimMarket::Kosdaq ? u'2' : u'1'});
    return m;
}

void RankIndexed(benchmark::State& state, const TSearchIndex* index, QString key)
{
    int rows = 0;
    for (auto _ : state) {
        const QVector<TSugItem> r = RankSuggestions(*index, key);
        rows = r.size();
        benchmark::DoNotOptimize(r.constData());
    }
    state.counters["rows"] = rows;
    state.counters["master"] = index->Size();
}

void RankUnindexed(benchmark::State& state, const QHash<QString, TStockInfo>* master, QString key)
{
    for (auto _ : state) {
        const QVector<TSugItem> r = RankSuggestions(*master, key);
        benchmark::DoNotOptimize(r.constData());
    }
    state.counters["master"] = master->size();
}

void BuildIndex(benchmark::State& state, const QHash<QString, TStockInfo>* master)
{
    for (auto _ : state) {
        TSearchIndex idx(*master);
        benchmark::DoNotOptimize(idx.Entries().constData());
    }
    state.counters["master"] = master->size();
}

void Register(const char* set, const QHash<QString, TStockInfo>& master, const TSearchIndex& index)
{
    const std::string prefix = std::string("BM_") + set;
    benchmark::RegisterBenchmark((prefix + "/BuildIndex").c_str(), BuildIndex, &master)
        ->Unit(benchmark::kMicrosecond);
    for (const QString& key : KKeys)
        benchmark::RegisterBenchmark((prefix + "/Rank/" + key.toStdString()).c_str(), RankIndexed,
                                     &index, key)
            ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((prefix + "/RankNoIndex/" + KKeys[2].toStdString()).c_str(),
                                 RankUnindexed, &master, KKeys[2])
        ->Unit(benchmark::kMicrosecond);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    const QHash<QString, TStockInfo> simMaster = MasterOf(TUniverse::Default());
    const TSearchIndex simIndex(simMaster);
    Register("Sim", simMaster, simIndex);

    QString path = qEnvironmentVariable("KESTREL_LISTING_CSV");
    if (path.isEmpty())
        path = QStringLiteral("/work/shared/data/krx_listing.csv");
    QHash<QString, TStockInfo> listMaster;
    TSearchIndex listIndex;
    if (QFile::exists(path)) {
        TUniverse listing;
        QString err;
        if (LoadUniverseCsv(path, listing, &err)) {
            listMaster = MasterOf(listing);
            listIndex.Build(listMaster);
            Register("Listing", listMaster, listIndex);
        } else {
            std::fprintf(stderr, "listing %s not used: %s\n", qPrintable(path), qPrintable(err));
        }
    } else {
        std::fprintf(stderr, "listing %s not found: its runs are left out\n", qPrintable(path));
    }

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
