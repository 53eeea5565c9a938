#include "market/StockSearch.h"

#include <algorithm>
#include <string_view>

namespace {

constexpr char16_t KInitialJamo[] = u"ㄱㄲㄴㄷㄸㄹㅁㅂㅃㅅㅆㅇㅈㅉㅊㅋㅌㅍㅎ";
constexpr char16_t KSyllableFirst = 0xAC00;
constexpr char16_t KSyllableLast = 0xD7A3;
constexpr int KSyllablesPerInitial = 588;  // 21 vowels x 28 finals

bool StartsWithDigit(const QString& s)
{
    return !s.isEmpty() && s.at(0) >= u'0' && s.at(0) <= u'9';
}

// One bit per character, by its low six bits: text holding all characters of
// a query has all of the query's bits. Hangul syllables, the consonant jamo
// and Latin letters each spread over many bits.
quint64 CharMask(const char16_t* s, int n)
{
    quint64 m = 0;
    for (int i = 0; i < n; ++i)
        m |= quint64(1) << (s[i] & 63);
    return m;
}

const char16_t* Utf16(const QString& s)
{
    return reinterpret_cast<const char16_t*>(s.constData());
}

// Compares as QString does (UTF-16 code units, then length), inline.
std::u16string_view View(const QString& s)
{
    return {Utf16(s), std::size_t(s.size())};
}

bool SameChars(const char16_t* a, const char16_t* b, int n)
{
    for (int i = 0; i < n; ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

// Where q (m >= 1 characters) lies in s (n characters).
enum TPlace { kNowhere, kFurtherIn, kAtStart, kWhole };

TPlace PlaceOf(const char16_t* s, int n, const char16_t* q, int m)
{
    if (n < m)
        return kNowhere;
    if (SameChars(s, q, m))
        return n == m ? kWhole : kAtStart;
    const char16_t first = q[0];
    for (int i = 1; i + m <= n; ++i)
        if (s[i] == first && SameChars(s + i + 1, q + 1, m - 1))
            return kFurtherIn;
    return kNowhere;
}

constexpr int kScores = 6;

// The first four UTF-16 units of s, zero-padded, as one number: two texts
// whose numbers differ compare as their numbers do; equal numbers need a
// look at the whole texts.
quint64 Lead(std::u16string_view s)
{
    quint64 k = 0;
    for (std::size_t i = 0; i < 4; ++i)
        k = k << 16 | (i < s.size() ? s[i] : 0);
    return k;
}

}  // namespace

QString Initials(const QString& name)
{
    QString out(name.size(), Qt::Uninitialized);
    char16_t* to = reinterpret_cast<char16_t*>(out.data());
    for (QChar c : name) {
        const char16_t u = c.unicode();
        if (u >= KSyllableFirst && u <= KSyllableLast)
            *to++ = KInitialJamo[(u - KSyllableFirst) / KSyllablesPerInitial];
        else if (u >= u'a' && u <= u'z')
            *to++ = char16_t(u - u'a' + u'A');
        else
            *to++ = u;
    }
    return out;
}

bool IsAllJamo(const QString& text)
{
    if (text.isEmpty())
        return false;
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return c.unicode() >= 0x3131 && c.unicode() <= 0x314E;
    });
}

void TSearchIndex::Build(const QHash<QString, TStockInfo>& master)
{
    Clear();
    // Sorting small keys that start with the leading characters keeps most
    // comparisons from chasing pointers to the texts.
    struct TByCode {
        quint64 Lead;
        std::u16string_view Code;
        const TStockInfo* Info;
    };
    std::vector<TByCode> byCode;
    byCode.reserve(master.size());
    for (auto it = master.cbegin(); it != master.cend(); ++it)
        byCode.push_back({Lead(View(it.value().Code)), View(it.value().Code), &it.value()});
    std::sort(byCode.begin(), byCode.end(), [](const TByCode& a, const TByCode& b) {
        return a.Lead != b.Lead ? a.Lead < b.Lead : a.Code < b.Code;
    });
    FEntries.reserve(master.size());
    for (const TByCode& c : byCode)
        FEntries.append({*c.Info, c.Info->Name.toUpper(), Initials(c.Info->Name)});
    const QVector<TEntry>& entries = FEntries;

    struct TByTie {
        std::size_t Length;
        quint64 Lead;
        std::u16string_view Name;
        int Entry;  // entries are in code order: the last tie-break
    };
    std::vector<TByTie> order;
    order.reserve(entries.size());
    for (int i = 0; i < entries.size(); ++i) {
        const std::u16string_view name = View(entries[i].Info.Name);
        order.push_back({name.size(), Lead(name), name, i});
    }
    std::sort(order.begin(), order.end(), [](const TByTie& a, const TByTie& b) {
        if (a.Length != b.Length)
            return a.Length < b.Length;
        if (a.Lead != b.Lead)
            return a.Lead < b.Lead;
        const int byName = a.Name.compare(b.Name);
        return byName != 0 ? byName < 0 : a.Entry < b.Entry;
    });

    qsizetype chars = 0;
    for (const TEntry& e : entries)
        chars += e.UName.size() + e.Initials.size();
    FText.reserve(chars);
    FRows.reserve(order.size());
    for (const TByTie& t : order) {
        const TEntry& e = entries[t.Entry];
        TRow r;
        r.Entry = t.Entry;
        r.NameAt = int(FText.size());
        r.NameLen = int(e.UName.size());
        FText.insert(FText.end(), Utf16(e.UName), Utf16(e.UName) + r.NameLen);
        r.InitAt = int(FText.size());
        r.InitLen = int(e.Initials.size());
        FText.insert(FText.end(), Utf16(e.Initials), Utf16(e.Initials) + r.InitLen);
        r.NameMask = CharMask(Utf16(e.UName), r.NameLen);
        r.InitMask = CharMask(Utf16(e.Initials), r.InitLen);
        FRows.push_back(r);
    }
}

void TSearchIndex::Clear()
{
    FEntries.clear();
    FRows.clear();
    FText.clear();
}

QVector<TSugItem> RankSuggestions(const TSearchIndex& index, const QString& typed, int limit)
{
    QVector<TSugItem> out;
    const QString q = typed.trimmed();
    if (q.isEmpty() || index.IsEmpty() || limit <= 0)
        return out;
    const QString uq = q.toUpper();
    const bool digit = StartsWithDigit(q);
    const bool jamo = IsAllJamo(q);
    const QVector<TSearchIndex::TEntry>& entries = index.Entries();

    // Codes equal to Q, then codes starting with Q: one run each in code order.
    const std::u16string_view key = View(uq);
    const auto from = std::partition_point(entries.cbegin(), entries.cend(),
                                           [key](const TSearchIndex::TEntry& e) { return View(e.Info.Code) < key; });
    const auto exactEnd = std::partition_point(
        from, entries.cend(), [key](const TSearchIndex::TEntry& e) { return View(e.Info.Code) == key; });
    const auto prefixEnd = digit ? std::partition_point(exactEnd, entries.cend(),
                                                        [key](const TSearchIndex::TEntry& e) {
                                                            return View(e.Info.Code).starts_with(key);
                                                        })
                                 : exactEnd;
    const int exact0 = int(from - entries.cbegin());
    const unsigned exactN = unsigned(exactEnd - from);
    const unsigned prefixN = unsigned(prefixEnd - from);

    const char16_t* text = index.FText.data();
    const char16_t* uqs = Utf16(uq);
    const int uqn = int(uq.size());
    const quint64 uqMask = CharMask(uqs, uqn);
    const char16_t* qs = Utf16(q);
    const int qn = int(q.size());
    const quint64 qMask = CharMask(qs, qn);

    // Rows are visited in tie order, so the first `limit` of each score are
    // the ones that can be shown; the rest of that score is passed over.
    const std::size_t rows = index.FRows.size();
    const std::size_t keep = std::min<std::size_t>(rows, std::size_t(limit));
    std::vector<int> shown[kScores];
    for (int r = 0; r < int(rows); ++r) {
        const TSearchIndex::TRow& row = index.FRows[r];
        const unsigned atCode = unsigned(row.Entry - exact0);
        int score = -1;
        if (atCode < exactN) {
            score = 0;
        } else {
            const TPlace name = (row.NameMask & uqMask) == uqMask
                                    ? PlaceOf(text + row.NameAt, row.NameLen, uqs, uqn)
                                    : kNowhere;
            if (name == kWhole)
                score = 0;
            else if (atCode < prefixN)
                score = 1;
            else if (name == kAtStart)
                score = 2;
            else if (name == kFurtherIn)
                score = 4;
            else if (jamo && (row.InitMask & qMask) == qMask) {
                const TPlace ini = PlaceOf(text + row.InitAt, row.InitLen, qs, qn);
                if (ini == kAtStart || ini == kWhole)
                    score = 3;
                else if (ini == kFurtherIn)
                    score = 5;
            }
        }
        if (score >= 0 && shown[score].size() < keep)
            shown[score].push_back(row.Entry);
    }

    out.reserve(int(keep));
    for (int score = 0; score < kScores; ++score)
        for (int i = 0; i < int(shown[score].size()) && out.size() < int(keep); ++i)
            out.append({score, entries[shown[score][i]].Info});
    return out;
}

QVector<TSugItem> RankSuggestions(const QHash<QString, TStockInfo>& master, const QString& typed,
                                  int limit)
{
    if (typed.trimmed().isEmpty() || master.isEmpty())
        return {};
    return RankSuggestions(TSearchIndex(master), typed, limit);
}

TOpenTypedResult OpenTypedMatch(const TSearchIndex& index, const QString& text)
{
    TOpenTypedResult r;
    const QString t = text.trimmed();
    if (t.isEmpty())
        return r;
    if (t.size() == 6 && StartsWithDigit(t)) {
        r.Code = t.toUpper();
        return r;
    }
    if (index.IsEmpty()) {
        r.NoMaster = true;
        r.Log = QStringLiteral("종목 목록을 아직 못 받았다 — 코드 6자리로 입력하거나 잠시 뒤 다시");
        return r;
    }

    const QString ut = t.toUpper();
    QVector<const TStockInfo*> exact, starting, containing;
    for (const TSearchIndex::TEntry& e : index.Entries()) {
        if (e.UName == ut)
            exact.append(&e.Info);
        else if (e.UName.startsWith(ut))
            starting.append(&e.Info);
        else if (e.UName.indexOf(ut) > 0)
            containing.append(&e.Info);
    }
    const QVector<const TStockInfo*>& chosen =
        !exact.isEmpty() ? exact : !starting.isEmpty() ? starting : containing;
    if (chosen.isEmpty()) {
        r.NoMatch = true;
        r.Log = u'"' + t + u'"' + QStringLiteral(" — 일치하는 종목이 없습니다");
        return r;
    }
    if (chosen.size() > 1) {
        for (int i = 0; i < chosen.size() && i < kOpenTypedMaxCandidates; ++i)
            r.Candidates.append(QStringLiteral("  ") + chosen[i]->Name + u'(' + chosen[i]->Code + u')');
        r.Log = QStringLiteral("후보:") + r.Candidates.join(QString());
    }
    r.Code = chosen.first()->Code;
    return r;
}

TOpenTypedResult OpenTypedMatch(const QHash<QString, TStockInfo>& master, const QString& text)
{
    return OpenTypedMatch(TSearchIndex(master), text);
}

void AddRecent(QStringList& recent, const QString& code)
{
    if (code.isEmpty())
        return;
    recent.removeAll(code);
    recent.prepend(code);
    while (recent.size() > kRecentMax)
        recent.removeLast();
}
