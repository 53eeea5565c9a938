// Cost of the suggestion ranking per keystroke in the code box: what
// RankSuggestions over the prepared index takes for one typed text, for each
// kind of text a user types (code digits, name syllables or Latin letters,
// initial consonants). Measured over the real listing (every stock of the
// file, KONEX included) and over the simulated universe (2,500 stocks). Also
// the one-off cost of building the search index per master answer, and of
// ranking with a throw-away index. Every figure is repeated and reported as
// mean / median / spread of the repetitions; read the median.
//
// The listing is read from KESTREL_LISTING_CSV, else
// /work/shared/data/krx_listing.csv. Without a usable listing the program
// says so and exits with status 2 instead of running a partial set.
#include "market/StockSearch.h"
#include "sim/Universe.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

namespace {

constexpr int kRepetitions = 15;

struct TKey {
    const char* Kind;
    QString Text;
};

// Each keystroke of typing a code, a name and initials.
const TKey KKeys[] = {
    {"code", u"0"_qs},      {"code", u"00"_qs},       {"code", u"0059"_qs},    {"code", u"005930"_qs},
    {"name", u"삼"_qs},     {"name", u"삼성"_qs},     {"name", u"SK"_qs},      {"name", u"현대차"_qs},
    {"initials", u"ㅅ"_qs}, {"initials", u"ㅅㅅ"_qs}, {"initials", u"ㅅㅅㅈㅈ"_qs},
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
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(kRepetitions)
        ->ReportAggregatesOnly(true);
    for (const TKey& key : KKeys)
        benchmark::RegisterBenchmark((prefix + "/Rank/" + key.Kind + "/" + key.Text.toStdString()).c_str(),
                                     RankIndexed, &index, key.Text)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(kRepetitions)
            ->ReportAggregatesOnly(true);
    const QString slow = u"ㅅㅅㅈㅈ"_qs;
    benchmark::RegisterBenchmark((prefix + "/RankNoIndex/" + slow.toStdString()).c_str(), RankUnindexed,
                                 &master, slow)
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(kRepetitions)
        ->ReportAggregatesOnly(true);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    QString path = qEnvironmentVariable("KESTREL_LISTING_CSV");
    if (path.isEmpty())
        path = QStringLiteral("/work/shared/data/krx_listing.csv");
    if (!QFile::exists(path)) {
        std::fprintf(stderr,
                     "error: listing %s not found; set KESTREL_LISTING_CSV to a listing file "
                     "(code, name, market, price columns)\n",
                     qPrintable(path));
        return 2;
    }
    TUniverse listing;
    QString err;
    TUniverseCsvReport report;
    if (!LoadUniverseCsv(path, listing, &err, &report)) {
        std::fprintf(stderr, "error: %s\n", qPrintable(err));
        return 2;
    }
    std::fprintf(stderr, "listing %s: %d stocks (%d KONEX), %d rows skipped\n", qPrintable(path),
                 listing.Size(), report.Konex, report.Skipped);
    for (const QString& p : report.Problems)
        std::fprintf(stderr, "  %s\n", qPrintable(p));

    const QHash<QString, TStockInfo> listMaster = MasterOf(listing);
    const TSearchIndex listIndex(listMaster);
    Register("Listing", listMaster, listIndex);

    const QHash<QString, TStockInfo> simMaster = MasterOf(TUniverse::Default());
    const TSearchIndex simIndex(simMaster);
    Register("Sim", simMaster, simIndex);

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
