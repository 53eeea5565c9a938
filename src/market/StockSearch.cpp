#include "market/StockSearch.h"

#include <algorithm>

namespace {

constexpr char16_t KInitialJamo[] = u"ㄱㄲㄴㄷㄸㄹㅁㅂㅃㅅㅆㅇㅈㅉㅊㅋㅌㅍㅎ";
constexpr char16_t KSyllableFirst = 0xAC00;
constexpr char16_t KSyllableLast = 0xD7A3;
constexpr int KSyllablesPerInitial = 588;  // 21 vowels x 28 finals

bool StartsWithDigit(const QString& s)
{
    return !s.isEmpty() && s.at(0) >= u'0' && s.at(0) <= u'9';
}

struct TScored {
    int Score;
    int Entry;
};

}  // namespace

QString Initials(const QString& name)
{
    QString out;
    out.reserve(name.size());
    for (QChar c : name) {
        const char16_t u = c.unicode();
        if (u >= KSyllableFirst && u <= KSyllableLast)
            out.append(QChar(KInitialJamo[(u - KSyllableFirst) / KSyllablesPerInitial]));
        else if (u >= u'a' && u <= u'z')
            out.append(QChar(char16_t(u - u'a' + u'A')));
        else
            out.append(c);
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
    FEntries.clear();
    FEntries.reserve(master.size());
    for (auto it = master.cbegin(); it != master.cend(); ++it)
        FEntries.append({it.value(), it.value().Name.toUpper(), Initials(it.value().Name)});
    std::sort(FEntries.begin(), FEntries.end(),
              [](const TEntry& a, const TEntry& b) { return a.Info.Code < b.Info.Code; });
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
    std::vector<TScored> found;
    for (int i = 0; i < entries.size(); ++i) {
        const TSearchIndex::TEntry& e = entries[i];
        int score;
        if (e.Info.Code == uq || e.UName == uq)
            score = 0;
        else if (digit && e.Info.Code.startsWith(uq))
            score = 1;
        else if (e.UName.startsWith(uq))
            score = 2;
        else if (e.UName.contains(uq))
            score = 4;
        else if (jamo && e.Initials.startsWith(q))
            score = 3;
        else if (jamo && e.Initials.contains(q))
            score = 5;
        else
            continue;
        found.push_back({score, i});
    }

    auto before = [&entries](const TScored& a, const TScored& b) {
        if (a.Score != b.Score)
            return a.Score < b.Score;
        const TStockInfo& x = entries[a.Entry].Info;
        const TStockInfo& y = entries[b.Entry].Info;
        if (x.Name.size() != y.Name.size())
            return x.Name.size() < y.Name.size();
        if (x.Name != y.Name)
            return x.Name < y.Name;
        return x.Code < y.Code;
    };
    const auto shown = std::min<std::size_t>(found.size(), std::size_t(limit));
    std::partial_sort(found.begin(), found.begin() + shown, found.end(), before);

    out.reserve(int(shown));
    for (std::size_t i = 0; i < shown; ++i)
        out.append({found[i].Score, entries[found[i].Entry].Info});
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
