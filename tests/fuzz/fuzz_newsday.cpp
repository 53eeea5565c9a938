// Today's news day file and the service host's news archive: any bytes.
//
// Input: up to three parts separated by a line "@@": the day file of
// 20261210, the archive text for that day, and the archive of 20261209.
//
// Checks:
//  - loading keeps only rows of the day, each with a key, no key twice; the
//    file is only ever cut (a torn last line), never otherwise changed, and
//    loads again to the same rows;
//  - a headline appended after the load reads back intact behind them;
//  - a merged archive leaves a file that loads to exactly today's rows in
//    memory, in order;
//  - rows of the earlier day come in only with that day's date and new keys;
//  - the lists and the hot words over whatever was read: the counting of the
//    hot words agrees with the words of each headline one by one.
#include "FuzzUtil.h"
#include "news/HotWords.h"
#include "news/NewsStore.h"
#include "news/NewsViews.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cstdint>

namespace {

const QString KDay = QStringLiteral("20261210");

QString NameOf(const QString& code) { return code.startsWith(QStringLiteral("00")) ? QStringLiteral("종목") : code; }

bool SameRow(const TNewsRow& a, const TNewsRow& b)
{
    return a.D == b.D && a.T == b.T && a.Key == b.Key && a.Codes == b.Codes && a.Title == b.Title && a.Src == b.Src;
}

void CheckSameRows(const QVector<TNewsRow>& a, const QVector<TNewsRow>& b, const char* what)
{
    FUZZ_CHECK(a.size() == b.size(), QStringLiteral("%1: %2 rows, then %3").arg(what).arg(a.size()).arg(b.size()));
    for (int i = 0; i < a.size(); ++i)
        FUZZ_CHECK(SameRow(a[i], b[i]), QStringLiteral("%1: row %2 %3 became %4")
                                            .arg(what)
                                            .arg(i)
                                            .arg(Shown(FormatNewsLine(a[i])), Shown(FormatNewsLine(b[i]))));
}

QVector<TNewsRow> TodayRows(const TNewsStore& s)
{
    QVector<TNewsRow> out;
    for (const TNewsRow& r : s.News())
        if (r.D == KDay)
            out.append(r);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> parts = SplitParts(InputBytes(data, size), "\n@@\n");
    const QByteArray file = parts[0];
    const QString archive = parts.size() > 1 ? QString::fromUtf8(parts[1]) : QString();
    const QString earlier = parts.size() > 2 ? QString::fromUtf8(parts[2]) : QString();

    ClearFuzzDir();
    const QString path = WriteFuzzFile(NewsFileName(KDay), file);

    TNewsStore s(FuzzDir());
    const TNewsLoadStats st = s.LoadTodayNews(KDay);
    QSet<QString> keys;
    for (const TNewsRow& r : s.News()) {
        FUZZ_CHECK(r.D == KDay && !r.Key.isEmpty(), QStringLiteral("row taken: ") + Shown(FormatNewsLine(r)));
        FUZZ_CHECK(!keys.contains(r.Key), QStringLiteral("key twice: ") + Shown(r.Key));
        keys.insert(r.Key);
    }
    const QByteArray after = ReadWholeFile(path);
    FUZZ_CHECK(file.startsWith(after), QStringLiteral("the load changed the file"));
    FUZZ_CHECK(after.size() == file.size() || st.TornTail, QStringLiteral("cut without a torn line"));
    (void)NewsLoadNote(st, NewsFileName(KDay));

    {
        TNewsStore again(FuzzDir());
        const TNewsLoadStats st2 = again.LoadTodayNews(KDay);
        CheckSameRows(s.News(), again.News(), "reload");
        FUZZ_CHECK(!st2.TornTail || after.size() - std::max(after.lastIndexOf('\n'), after.lastIndexOf('\r')) > 64 * 1024,
                   QStringLiteral("a torn line survived the first load"));
    }

    TNewsRow live{QString(), QStringLiteral("235959"), QStringLiteral("fuzz-live-key"), QStringLiteral("제목\t끝"),
                  QStringLiteral("005930"), QStringLiteral("15")};
    // (A torn line too long to be one of ours stays in the file, and the
    // append closes it into a line of its own.)
    const bool tornLeft = st.TornTail && after.size() == file.size();
    if (s.AddNewsReal(live) >= 0 && !tornLeft) {
        TNewsStore again(FuzzDir());
        again.LoadTodayNews(KDay);
        CheckSameRows(s.News(), again.News(), "after an append");
    }

    const TServerMerge m = s.MergeServerNews(archive);
    FUZZ_CHECK(m.Merged <= m.Received && !m.LogLine.isEmpty(), QStringLiteral("merge counts"));
    if (m.Rewritten) {
        TNewsStore again(FuzzDir());
        again.LoadTodayNews(KDay);
        CheckSameRows(TodayRows(s), again.News(), "after a merge");
    }

    const qsizetype before = s.News().size();
    QSet<QString> known;
    for (const TNewsRow& r : s.News())
        known.insert(r.Key);
    const int added = s.MergePastNewsDay(QStringLiteral("20261209"), earlier);
    FUZZ_CHECK(s.News().size() == before + added, QStringLiteral("earlier day count"));
    for (qsizetype i = before; i < s.News().size(); ++i) {
        const TNewsRow& r = s.News()[i];
        FUZZ_CHECK(r.D == u"20261209" && !known.contains(r.Key), QStringLiteral("earlier row: ") + Shown(FormatNewsLine(r)));
        known.insert(r.Key);
    }

    // The lists and the hot words over what was read (the first rows only:
    // the reference count below is slow).
    const QVector<TNewsRow> rows = s.News().mid(0, 200);
    const QStringList terms = IssueTerms(archive.left(200));
    for (const QString& t : terms)
        FUZZ_CHECK(!t.isEmpty() && !t.startsWith(u'&') && !t.endsWith(u'&') && !t.contains(u',') && !t.contains(u' '),
                   QStringLiteral("term ") + Shown(t));
    (void)IssueViewOf(rows, KDay, terms);
    (void)NewsViewOf(rows, KDay, QStringLiteral("005930"), QStringLiteral("20261209"));
    (void)GongsiViewOf(rows, KDay, {});
    (void)FeatViewOf(rows, KDay);

    QHash<QString, int> want;
    for (const TNewsRow& r : rows)
        if (r.D == KDay)
            for (const QString& w : HotWordsOf(r.Title))
                ++want[w];
    const QVector<THot> hot = CalcHot(rows, KDay, QString(), 0, 1, NameOf);
    FUZZ_CHECK(hot.size() == want.size(), QStringLiteral("hot words: %1, headline by headline %2").arg(hot.size()).arg(want.size()));
    for (const THot& h : hot)
        FUZZ_CHECK(want.value(h.W) == h.N && h.Score >= h.N, QStringLiteral("hot word ") + Shown(h.W));
    return 0;
}
