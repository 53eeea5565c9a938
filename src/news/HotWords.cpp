#include "news/HotWords.h"

#include "core/IniFile.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace {

const char16_t* const KParticles[] = {u"에서", u"으로", u"까지", u"부터", u"이다", u"하는", u"했다", u"한다", u"은",
                                      u"는",   u"이",   u"가",   u"을",   u"를",   u"의",   u"에",   u"도",   u"로"};

const QString& StopText()
{
    static const QString s = QStringLiteral(
        "코스피,코스닥,코스피200,증시,주식,종목,종목별,특징주,특징,상승,하락,급등,급락,강세,약세,상승세,하락세,보합,"
        "강보합,약보합,상한가,하한가,신고가,신저가,반등,조정,돌파,회복,출발,마감,장중,장전,개장,개장전,장마감,오전,"
        "오후,현재,종합,시황,외국인,외인,기관,기관계,개인,매수,매도,순매수,순매도,순매수행진,순매도행진,연속,소폭,"
        "대폭,급증,급감,수급,장중수급포착,시장,투자,투자자,기업,오늘,전일,대비,발표,공시,실적,주가,목표,목표가,상향,"
        "하향,거래량,거래,거래대금,시총,시가총액,확대,추진,개최,증가,감소,전망,분석,관련,관련주,테마,수혜,수혜주,기대,"
        "우려,영향,이슈,뉴스,속보,단독,미국,중국,일본,한국,글로벌,국내,해외,정부,올해,내년,지난해,전년,동기,분기,반기,"
        "억원,조원,만원,달러,원화,환율,최대,최고,최초,리포트,브리핑,리서치,보고서,투자의견,의견,유지,제시,상회,하회,"
        "컨센서스,영업이익,매출,순이익,증권,증권사,지수,업종,업종별,상위,하위,ETF,ETN,펀드,공매도,신용,신규,기록,"
        "가능성,예상,결정,계획,만에,위해,대해,통해,따라,가운데,때문,이후,이전,이번,다시,연내,상반기,하반기,사상,규모,"
        "수준,역대,올해도,어디,무엇,누가,얼마,얼마나,어떻게,가장,모두,함께,본격,잇따라,연속으로,처음,마지막,오늘의,"
        "이번주,다음주,1위,1조,원,개,명,건,곳,배,년,월,일,등,및,또,더,새,첫,각,전,후,내,외,중");
    return s;
}

// Characters whose case could differ: anything but ASCII lowercase, digits
// and Hangul.
bool NeedsFold(const QString& s)
{
    for (QChar c : s) {
        const char16_t u = c.unicode();
        if ((u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9') || (u >= 0xAC00 && u <= 0xD7A3))
            continue;
        return true;
    }
    return false;
}

QString Folded(const QString& s) { return NeedsFold(s) ? s.toCaseFolded() : s; }

const QSet<QString>& StopSet()
{
    static const QSet<QString> set = [] {
        QSet<QString> s;
        for (const QString& w : CommaTextToList(StopText()))
            if (!w.isEmpty())
                s.insert(w.toCaseFolded());
        return s;
    }();
    return set;
}

bool IsVerbEnding(QChar c)
{
    static const QString endings = QStringLiteral("다까요죠며면게고");
    return c.unicode() >= 0xAC00 && c.unicode() <= 0xD7A3 && endings.contains(c);
}

inline bool IsWordChar(char32_t c)
{
    if (c < 0x80)
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    if (c >= 0xAC00 && c <= 0xD7A3)
        return true;
    return QChar::isLetter(c) || QChar::category(c) == QChar::Number_DecimalDigit;
}

// The closing mark of a tag that opens with `c`, or 0.
char16_t TagClose(char16_t c)
{
    switch (c) {
    case u'[':
        return u']';
    case u'【':
        return u'】';
    case u'<':
        return u'>';
    default:
        return 0;
    }
}

// Finds the closing marks of a text. Once a closing mark is known to be
// missing from some position on, every opening mark after that position
// stays open without the rest being read again (a title of opening marks
// alone would otherwise be read to its end once per mark).
class TTagCloser {
public:
    explicit TTagCloser(QStringView s) : FText(s) {}
    // The position of the closing mark `close` after `from`, or -1.
    qsizetype After(char16_t close, qsizetype from)
    {
        qsizetype& miss = FMissFrom[Slot(close)];
        if (miss >= 0 && from >= miss)
            return -1;
        const qsizetype j = FText.indexOf(QChar(close), from);
        if (j < 0)
            miss = miss < 0 ? from : std::min(miss, from);
        return j;
    }

private:
    static int Slot(char16_t close) { return close == u']' ? 0 : close == u'>' ? 1 : 2; }
    QStringView FText;
    qsizetype FMissFrom[3] = {-1, -1, -1};
};

// Calls f(token) for each run of letters and decimal digits of `s`, the
// bracketed tags taken out as if they were a space (StripHotTags).
template <class F>
void ForEachTokenView(QStringView s, F&& f)
{
    const qsizetype n = s.size();
    TTagCloser closer(s);
    qsizetype start = -1;
    qsizetype i = 0;
    while (i < n) {
        char32_t c = s[i].unicode();
        qsizetype len = 1;
        if (const char16_t close = TagClose(char16_t(c))) {
            const qsizetype j = closer.After(close, i + 1);
            if (j >= 0) {
                if (start >= 0) {
                    f(s.mid(start, i - start));
                    start = -1;
                }
                i = j + 1;
                continue;
            }
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && s[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(s[i], s[i + 1]);
            len = 2;
        }
        if (IsWordChar(c)) {
            if (start < 0)
                start = i;
        } else if (start >= 0) {
            f(s.mid(start, i - start));
            start = -1;
        }
        i += len;
    }
    if (start >= 0)
        f(s.mid(start));
}

// Token -> word id for the counting loop: open addressing over views into
// the titles, a cheap hash for words of a few characters.
class TTokenTable {
public:
    TTokenTable() { Grow(1024); }
    // The id slot of `key`; KEmpty when the key is new, and the caller
    // stores its id there before the next Find.
    int* Find(QStringView key)
    {
        if (FUsed * 2 >= FSlots.size())
            Grow(FSlots.size() * 2);
        const uint32_t h = Hash(key);
        size_t i = h & FMask;
        for (;;) {
            TSlot& sl = FSlots[i];
            if (sl.Id == KEmpty) {
                sl.Key = key;
                sl.Hash = h;
                ++FUsed;
                return &sl.Id;
            }
            if (sl.Hash == h && Same(sl.Key, key))
                return &sl.Id;
            i = (i + 1) & FMask;
        }
    }
    static constexpr int KEmpty = -2;

private:
    struct TSlot {
        QStringView Key;
        uint32_t Hash = 0;
        int Id = KEmpty;
    };
    static bool Same(QStringView a, QStringView b)
    {
        if (a.size() != b.size())
            return false;
        const char16_t* x = a.utf16();
        const char16_t* y = b.utf16();
        for (qsizetype i = 0; i < a.size(); ++i)
            if (x[i] != y[i])
                return false;
        return true;
    }
    static uint32_t Hash(QStringView k)
    {
        uint32_t h = 2166136261u;
        for (QChar c : k)
            h = (h ^ c.unicode()) * 16777619u;
        return h ^ (h >> 15);
    }
    void Grow(size_t n)
    {
        std::vector<TSlot> old;
        old.swap(FSlots);
        FSlots.assign(n, TSlot());
        FMask = n - 1;
        FUsed = 0;
        for (const TSlot& sl : old)
            if (sl.Id != KEmpty) {
                size_t i = sl.Hash & FMask;
                while (FSlots[i].Id != KEmpty)
                    i = (i + 1) & FMask;
                FSlots[i] = sl;
                ++FUsed;
            }
    }
    std::vector<TSlot> FSlots;
    size_t FMask = 0;
    size_t FUsed = 0;
};

// a < b, ordinal.
inline bool Before(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    const char16_t* x = a.utf16();
    const char16_t* y = b.utf16();
    for (qsizetype i = 0; i < n; ++i)
        if (x[i] != y[i])
            return x[i] < y[i];
    return a.size() < b.size();
}

// The word a token counts as, or empty when it does not count.
QString CountedWord(const QString& t)
{
    const QString w = StripParticle(t);
    if (IsHotStop(t) || (w.size() != t.size() && IsHotStop(w)))
        return {};
    if (w.size() < 2 || w.size() > 12 || w[0].isDigit())
        return {};
    if (IsVerbEnding(w.back()))
        return {};
    return w;
}

} // namespace

QString StripParticle(const QString& t)
{
    if (t.size() < 3)
        return t;
    for (const char16_t* p : KParticles) {
        const QStringView pv(p);
        if (t.size() - pv.size() >= 2 && t.endsWith(pv, Qt::CaseInsensitive))
            return t.left(t.size() - pv.size());
    }
    return t;
}

bool IsHotStop(const QString& w) { return StopSet().contains(Folded(w)); }

QString StripHotTags(const QString& title)
{
    // [..], 【..】 and <..> each up to the first closing mark; an opening mark
    // without one stays.
    QString out;
    const qsizetype n = title.size();
    TTagCloser closer(title);
    qsizetype from = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t close = TagClose(title[i].unicode());
        if (!close)
            continue;
        const qsizetype j = closer.After(close, i + 1);
        if (j < 0)
            continue;
        if (out.isNull())
            out.reserve(n);
        out += QStringView(title).mid(from, i - from);
        out += u' ';
        from = j + 1;
        i = j;
    }
    if (from == 0)
        return title;
    out += QStringView(title).mid(from);
    return out;
}

QStringList HotWordsOf(const QString& title)
{
    QStringList out;
    ForEachTokenView(StripHotTags(title), [&](QStringView t) {
        const QString w = CountedWord(t.toString());
        if (!w.isEmpty() && !out.contains(w))
            out << w;
    });
    return out;
}

namespace {

// Counts of one chip row.
struct TAcc {
    int N = 0;
    int Stocks = 0;
    int LastRow = -1;
    int LastStock = -1;
};

// One pass over today's headlines counting every word for two rows at once:
// all of them ("all", unless `onlyRecent`) and those from `fromTime` on
// ("recent", when `fromTime` is set).
struct THotCount {
    std::vector<QString> Words; // their text stays put: WordIds looks at it
    std::vector<TAcc> All, Recent;

    void Run(const QVector<TNewsRow>& rows, const QString& today, const QString& fromTime, bool onlyRecent,
             const TNameOf& nameOf)
    {
        TTokenTable stockOfCodes; // code field -> stock id, -1 for none
        QHash<QString, int> stockIds;
        QHash<QStringView, int> wordIds;
        TTokenTable tokenWord; // token -> word id, -1 when it does not count
        // The words counted per related stock; distinct stocks per word are
        // counted from these afterwards.
        std::vector<std::vector<int>> allOfStock, recentOfStock;

        for (int r = 0; r < rows.size(); ++r) {
            const TNewsRow& row = rows[r];
            if (row.D != today)
                continue;
            const bool recent = !fromTime.isEmpty() && !Before(row.T, fromTime);
            if (onlyRecent && !recent)
                continue;
            const bool all = !onlyRecent;
            int* slot = stockOfCodes.Find(row.Codes);
            if (*slot == TTokenTable::KEmpty) {
                const QString code = NewsFirstCode(row.Codes, nameOf);
                int id = -1;
                if (!code.isEmpty()) {
                    const auto sit = stockIds.constFind(code);
                    id = sit != stockIds.constEnd() ? sit.value() : int(stockIds.size());
                    if (sit == stockIds.constEnd()) {
                        stockIds.insert(code, id);
                        allOfStock.emplace_back();
                        recentOfStock.emplace_back();
                    }
                }
                *slot = id; // no Find since: the slot has not moved
            }
            const int stock = *slot;

            ForEachTokenView(row.Title, [&](QStringView tok) {
                int* ts = tokenWord.Find(tok);
                if (*ts == TTokenTable::KEmpty) {
                    const QString w = CountedWord(tok.toString());
                    int id = -1;
                    if (!w.isEmpty()) {
                        const auto wit = wordIds.constFind(QStringView(w));
                        if (wit == wordIds.constEnd()) {
                            id = int(Words.size());
                            Words.push_back(w);
                            All.emplace_back();
                            Recent.emplace_back();
                            wordIds.insert(QStringView(Words.back()), id);
                        } else {
                            id = wit.value();
                        }
                    }
                    *ts = id; // no Find since: the slot has not moved
                }
                const int id = *ts;
                if (id < 0 || (all ? All : Recent)[size_t(id)].LastRow == r)
                    return; // not a word, or counted for this headline already
                if (all) {
                    All[size_t(id)].LastRow = r;
                    ++All[size_t(id)].N;
                    if (stock >= 0)
                        allOfStock[size_t(stock)].push_back(id);
                }
                if (recent) {
                    Recent[size_t(id)].LastRow = r;
                    ++Recent[size_t(id)].N;
                    if (stock >= 0)
                        recentOfStock[size_t(stock)].push_back(id);
                }
            });
        }
        CountStocks(All, allOfStock);
        CountStocks(Recent, recentOfStock);
    }

    static void CountStocks(std::vector<TAcc>& acc, const std::vector<std::vector<int>>& ofStock)
    {
        for (size_t s = 0; s < ofStock.size(); ++s)
            for (int id : ofStock[s]) {
                TAcc& a = acc[size_t(id)];
                if (a.LastStock != int(s)) {
                    a.LastStock = int(s);
                    ++a.Stocks;
                }
            }
    }

    QVector<THot> Row(const std::vector<TAcc>& acc, int minStocks, int minCount) const
    {
        QVector<THot> out;
        for (size_t i = 0; i < acc.size(); ++i) {
            if (acc[i].N < minCount || acc[i].Stocks < minStocks)
                continue;
            out.append({Words[i], acc[i].N, acc[i].N * (acc[i].Stocks + 1)});
        }
        std::sort(out.begin(), out.end(), [](const THot& a, const THot& b) {
            if (a.N != b.N)
                return a.N > b.N;
            if (a.Score != b.Score)
                return a.Score > b.Score;
            return a.W < b.W;
        });
        return out;
    }
};

} // namespace

QVector<THot> CalcHot(const QVector<TNewsRow>& rows, const QString& today, const QString& fromTime,
                      int minStocks, int minCount, const TNameOf& nameOf)
{
    THotCount c;
    c.Run(rows, today, fromTime, !fromTime.isEmpty(), nameOf);
    return c.Row(fromTime.isEmpty() ? c.All : c.Recent, minStocks, minCount);
}

QString HotFromTime(const QDateTime& serverNow)
{
    const QDateTime from = serverNow.addSecs(-600);
    if (from.date() != serverNow.date())
        return QStringLiteral("000000");
    return from.toString(QStringLiteral("HHmmss"));
}

THotLists RefreshHot(const QVector<TNewsRow>& rows, const QString& today, const QDateTime& serverNow,
                     const TNameOf& nameOf)
{
    THotCount c;
    c.Run(rows, today, HotFromTime(serverNow), false, nameOf);
    THotLists l;
    l.Today = c.Row(c.All, 2, 3);
    l.Recent = c.Row(c.Recent, 1, 2);
    return l;
}

QString HotChipText(const THot& h) { return u' ' + h.W + u' ' + QString::number(h.N) + u' '; }

QString HotHeadText(bool recent, const QTime& localNow, bool none)
{
    const QString hm = localNow.toString(QStringLiteral("HH:mm"));
    if (!recent)
        return QStringLiteral("오늘 이슈 ") + hm;
    return QStringLiteral("최근 10분 ") + hm + (none ? QStringLiteral("  (아직 없음)") : QString());
}

bool HotIsTerm(const QString& word, const QStringList& terms)
{
    return terms.contains(word, Qt::CaseInsensitive);
}

QStringList HotChipClick(const QStringList& terms, const QString& word)
{
    QStringList out;
    for (const QString& t : terms)
        if (t.compare(word, Qt::CaseInsensitive) != 0)
            out << t;
    if (out.size() == terms.size())
        out.prepend(word);
    return out;
}
