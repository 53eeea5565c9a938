// Cost of the day's headlines at their busiest: a day file of 30,000
// headlines (a long day of the full feed) as written by the store, and
//  - LoadDayFile: LoadTodayNews reading it at start-up (goal: 30 ms);
//  - NewsView / IssueView / GongsiView: rebuilding the lists over it (the
//    selected stock's news, two issue terms, the disclosures), as after
//    every load and merge;
//  - HotWords: RefreshHot, both chip rows, as every minute (goal: 20 ms);
//  - AppendLine: one live headline appended to the file.
// The headlines are generated from a fixed seed: Korean titles of 5-12
// words with tags, particles, stock names and numbers; codes of 2,500
// stocks in both code layouts. The lists and the hot words run over the
// rows as the store read them back from the file (as the program holds
// them). Each figure is the median of 7 repetitions.
#include "news/HotWords.h"
#include "news/NewsStore.h"
#include "news/NewsViews.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <memory>

namespace {

const QString KToday = QStringLiteral("20261210");
constexpr int KHeadlines = 30000;
constexpr int KStocks = 2500;

struct TFixture {
    QTemporaryDir Tmp;
    QString Dir;
    QVector<TNewsRow> Rows;
    QHash<QString, QString> Names;

    TFixture()
    {
        Dir = Tmp.filePath(QStringLiteral("news"));
        QRandomGenerator rng(20261210);
        QStringList codes;
        for (int i = 0; i < KStocks; ++i) {
            const QString c = QStringLiteral("%1").arg(i * 37 + 100, 6, 10, QLatin1Char('0'));
            codes << c;
            Names.insert(c, QStringLiteral("종목%1").arg(i));
        }
        const QStringList words = {
            QStringLiteral("반도체"), QStringLiteral("HBM"),    QStringLiteral("양자컴퓨터가"), QStringLiteral("비만약"),
            QStringLiteral("2차전지"), QStringLiteral("로봇"),  QStringLiteral("전력"),        QStringLiteral("원전"),
            QStringLiteral("수주"),   QStringLiteral("공급계약"), QStringLiteral("유상증자"),   QStringLiteral("급등"),
            QStringLiteral("서울에서"), QStringLiteral("정부는"), QStringLiteral("AI"),         QStringLiteral("데이터센터"),
            QStringLiteral("바이오"), QStringLiteral("임상"),   QStringLiteral("승인"),        QStringLiteral("조선"),
            QStringLiteral("방산"),   QStringLiteral("수출"),   QStringLiteral("증가"),        QStringLiteral("간다"),
            QStringLiteral("1조원"),  QStringLiteral("최대"),   QStringLiteral("자율주행"),    QStringLiteral("플랫폼으로"),
        };
        const QStringList tags = {QString(), QString(), QStringLiteral("[특징주] "), QStringLiteral("[속보] "),
                                  QStringLiteral("【공시】 "), QStringLiteral("<표> ")};
        for (int i = 0; i < KHeadlines; ++i) {
            TNewsRow r;
            r.D = KToday;
            const int sec = 7 * 3600 + i * (12 * 3600) / KHeadlines;
            r.T = QStringLiteral("%1%2%3")
                      .arg(sec / 3600, 2, 10, QLatin1Char('0'))
                      .arg(sec / 60 % 60, 2, 10, QLatin1Char('0'))
                      .arg(sec % 60, 2, 10, QLatin1Char('0'));
            const bool gongsi = rng.bounded(10) == 0;
            r.Src = gongsi ? QStringLiteral("15") : QStringLiteral("%1").arg(rng.bounded(1, 14), 2, 10, QLatin1Char('0'));
            r.Key = KToday + r.T + r.Src + QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0'));
            const QString code = codes[int(rng.bounded(KStocks))];
            r.Codes = rng.bounded(2) ? QStringLiteral("KR7") + code + QStringLiteral("003") + code
                                     : QStringLiteral("A") + code;
            QString title = tags[int(rng.bounded(tags.size()))] + Names[code] + QStringLiteral(", ");
            const int n = 5 + int(rng.bounded(8));
            for (int w = 0; w < n; ++w)
                title += words[int(rng.bounded(words.size()))] + u' ';
            r.Title = title.trimmed();
            Rows.append(r);
        }
        QDir().mkpath(Dir);
        QFile f(QDir(Dir).filePath(NewsFileName(KToday)));
        if (f.open(QIODevice::WriteOnly)) {
            QByteArray out("\xEF\xBB\xBF");
            for (const TNewsRow& r : Rows)
                out += FormatNewsLine(r).toUtf8() + "\r\n";
            f.write(out);
        }
    }
    // The headlines as the program holds them: read back from the day file.
    const QVector<TNewsRow>& Loaded()
    {
        if (!Store) {
            Store = std::make_unique<TNewsStore>(Dir);
            Store->LoadTodayNews(KToday);
        }
        return Store->News();
    }
    std::unique_ptr<TNewsStore> Store;

    TNameOf NameOf() const
    {
        return [this](const QString& c) { return Names.value(c, c); };
    }
};

TFixture& Fix()
{
    static TFixture f;
    return f;
}

void BM_LoadDayFile(benchmark::State& state)
{
    TFixture& f = Fix();
    qsizetype rows = 0;
    for (auto _ : state) {
        TNewsStore s(f.Dir);
        s.LoadTodayNews(KToday);
        rows = s.News().size();
        benchmark::DoNotOptimize(s.News().constData());
    }
    state.counters["rows"] = double(rows);
    state.counters["MB"] = double(QFileInfo(QDir(f.Dir).filePath(NewsFileName(KToday))).size()) / 1e6;
}

void BM_NewsView(benchmark::State& state)
{
    TFixture& f = Fix();
    const QVector<TNewsRow>& rows = f.Loaded();
    const QString code = rows[100].Codes.right(6);
    qsizetype n = 0;
    for (auto _ : state) {
        const QVector<int> v = NewsViewOf(rows, KToday, code, QString());
        n = v.size();
        benchmark::DoNotOptimize(v.constData());
    }
    state.counters["listed"] = double(n);
}

void BM_IssueView(benchmark::State& state)
{
    TFixture& f = Fix();
    const QVector<TNewsRow>& rows = f.Loaded();
    const QStringList terms = IssueTerms(QStringLiteral("비만약, 양자&컴퓨터, hbm"));
    qsizetype n = 0;
    for (auto _ : state) {
        const QVector<int> v = IssueViewOf(rows, KToday, terms);
        n = v.size();
        benchmark::DoNotOptimize(v.constData());
    }
    state.counters["listed"] = double(n);
}

void BM_GongsiView(benchmark::State& state)
{
    TFixture& f = Fix();
    const QVector<TNewsRow>& rows = f.Loaded();
    const QStringList ids = {QStringLiteral("15")};
    qsizetype n = 0;
    for (auto _ : state) {
        const TGongsiView g = GongsiViewOf(rows, KToday, ids);
        n = g.View.size();
        benchmark::DoNotOptimize(g.View.constData());
    }
    state.counters["listed"] = double(n);
}

void BM_HotWords(benchmark::State& state)
{
    TFixture& f = Fix();
    const QVector<TNewsRow>& rows = f.Loaded();
    const TNameOf nameOf = f.NameOf();
    const QDateTime now(QDate(2026, 12, 10), QTime(15, 30));
    qsizetype n = 0;
    for (auto _ : state) {
        const THotLists l = RefreshHot(rows, KToday, now, nameOf);
        n = l.Today.size();
        benchmark::DoNotOptimize(l.Today.constData());
    }
    state.counters["words"] = double(n);
}

void BM_AppendLine(benchmark::State& state)
{
    QTemporaryDir tmp;
    TNewsStore s(tmp.filePath(QStringLiteral("news")));
    s.LoadTodayNews(KToday);
    const TNewsRow row = Fix().Rows[0];
    for (auto _ : state)
        benchmark::DoNotOptimize(s.AppendNewsLine(row));
}

} // namespace

BENCHMARK(BM_LoadDayFile)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_NewsView)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_IssueView)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_GongsiView)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_HotWords)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_AppendLine)->Unit(benchmark::kMicrosecond)->Iterations(2000)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK_MAIN();
