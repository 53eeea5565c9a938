#include "news/NewsViews.h"

#include <QRegularExpression>
#include <QStringMatcher>

#include <algorithm>

namespace {

const QRegularExpression& DisclosureRx()
{
    static const QRegularExpression rx(QStringLiteral(
        "공시|단일판매|공급계약|유상증자|무상증자|제3자\\s*배정|전환사채|신주인수권부사채|교환사채|최대주주|"
        "자기주식|자사주|감자|합병|분할|영업양수|영업양도|타법인주식|대량보유|매매거래정지|거래정지|상장폐지|"
        "관리종목|불성실공시|횡령|배임|조회공시|풍문|투자주의|투자경고|투자위험|잠정실적|영업\\(잠정\\)|"
        "주주총회|현금배당|소송|특허권|품목허가"));
    return rx;
}

const QRegularExpression& ImportantRx()
{
    static const QRegularExpression rx(QStringLiteral(
        "단일판매|공급계약|제3자\\s*배정|유상증자|무상증자|전환사채|신주인수권부사채|교환사채|최대주주\\s*변경|"
        "자기주식\\s*(취득|소각)|자사주\\s*(취득|소각|매입)|무상감자|유상감자|감자\\s*결정|합병|영업양수|"
        "매매거래정지|거래정지|상장폐지|횡령|배임"));
    return rx;
}

// Time descending, then index descending.
void SortByTime(const QVector<TNewsRow>& rows, QVector<int>& view)
{
    std::sort(view.begin(), view.end(), [&](int a, int b) {
        const int c = rows[a].T.compare(rows[b].T);
        return c != 0 ? c > 0 : a > b;
    });
}

// Day, then time descending, then index descending.
void SortByDayTime(const QVector<TNewsRow>& rows, QVector<int>& view)
{
    std::sort(view.begin(), view.end(), [&](int a, int b) {
        int c = rows[a].D.compare(rows[b].D);
        if (c == 0)
            c = rows[a].T.compare(rows[b].T);
        return c != 0 ? c > 0 : a > b;
    });
}

// Some character of `s` could match another character when case is
// ignored. Hangul, CJK ideographs, digits and ASCII signs match only
// themselves: a term made of them is searched the faster exact way.
bool HasCase(const QString& s)
{
    for (QChar c : s) {
        const char16_t u = c.unicode();
        if (u < 0x80 ? ((u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z'))
                     : !((u >= 0xAC00 && u <= 0xD7A3) || (u >= 0x1100 && u <= 0x11FF) || (u >= 0x3130 && u <= 0x318F)
                         || (u >= 0x4E00 && u <= 0x9FFF)))
            return true;
    }
    return false;
}

// A term cut at '&': every part must occur (an empty part always does).
using TTermParts = QVector<QVector<QStringMatcher>>;

TTermParts SplitTerms(const QStringList& terms)
{
    TTermParts out;
    out.reserve(terms.size());
    for (const QString& t : terms) {
        QVector<QStringMatcher> parts;
        for (const QString& p : t.split(QLatin1Char('&'), Qt::SkipEmptyParts))
            parts.append(QStringMatcher(p, HasCase(p) ? Qt::CaseInsensitive : Qt::CaseSensitive));
        out.append(parts);
    }
    return out;
}

int MatchParts(const QString& title, const TTermParts& parts)
{
    for (int i = 0; i < parts.size(); ++i) {
        bool all = true;
        for (const QStringMatcher& p : parts[i])
            if (p.indexIn(title) < 0) {
                all = false;
                break;
            }
        if (all)
            return i;
    }
    return -1;
}

} // namespace

QString TimeText(const QString& t)
{
    if (t.size() >= 6)
        return t.left(2) + u':' + t.mid(2, 2) + u':' + t.mid(4, 2);
    if (t.size() >= 4)
        return t.left(2) + u':' + t.mid(2, 2);
    return t;
}

QStringList IssueTerms(const QString& text)
{
    static const QRegularExpression amp(QStringLiteral("\\s*&+\\s*"));
    QString s = text;
    s.replace(amp, QStringLiteral("&"));
    static const QRegularExpression seps(QStringLiteral("[,;| ]"));
    QStringList out;
    for (const QString& raw : s.split(seps)) {
        QString p = raw.trimmed();
        qsizetype a = 0, b = p.size();
        while (a < b && p[a] == u'&')
            ++a;
        while (b > a && p[b - 1] == u'&')
            --b;
        p = p.mid(a, b - a);
        if (!p.isEmpty())
            out << p;
    }
    return out;
}

QString IssueMatch(const QString& title, const QStringList& terms)
{
    const int i = MatchParts(title, SplitTerms(terms));
    return i < 0 ? QString() : terms[i];
}

bool IsDisclosure(const TNewsRow& row, const QStringList& gongsiIds)
{
    if (gongsiIds.isEmpty())
        return DisclosureRx().match(row.Title).hasMatch();
    if (row.Key.size() > 15 && gongsiIds.contains(row.Key.mid(14, 2)))
        return true;
    return !row.Src.isEmpty() && gongsiIds.contains(row.Src);
}

bool IsImportantDisclosure(const TNewsRow& row, const QStringList& gongsiIds)
{
    return IsDisclosure(row, gongsiIds) && ImportantRx().match(row.Title).hasMatch();
}

QStringList GongsiIdsOrDefault(QStringList ids)
{
    ids.removeAll(QString());
    if (ids.isEmpty())
        ids << QStringLiteral("15");
    return ids;
}

QVector<int> NewsViewOf(const QVector<TNewsRow>& rows, const QString& today, const QString& code,
                        const QString& minNewsFrom)
{
    QVector<int> v;
    if (code.isEmpty())
        return v;
    for (int i = 0; i < rows.size(); ++i) {
        const TNewsRow& r = rows[i];
        const bool day = r.D == today || (!minNewsFrom.isEmpty() && r.D >= minNewsFrom && r.D < today);
        if (day && r.Codes.contains(code))
            v.append(i);
    }
    SortByDayTime(rows, v);
    return v;
}

QVector<int> IssueViewOf(const QVector<TNewsRow>& rows, const QString& today, const QStringList& terms)
{
    QVector<int> v;
    if (terms.isEmpty())
        return v;
    const TTermParts parts = SplitTerms(terms);
    for (int i = 0; i < rows.size(); ++i)
        if (rows[i].D == today && MatchParts(rows[i].Title, parts) >= 0)
            v.append(i);
    SortByTime(rows, v);
    return v;
}

TGongsiView GongsiViewOf(const QVector<TNewsRow>& rows, const QString& today, const QStringList& gongsiIds)
{
    TGongsiView g;
    for (int i = 0; i < rows.size(); ++i) {
        const TNewsRow& r = rows[i];
        if (r.D != today || !IsDisclosure(r, gongsiIds))
            continue;
        g.View.append(i);
        if (ImportantRx().match(r.Title).hasMatch())
            ++g.Important;
    }
    SortByTime(rows, g.View);
    return g;
}

QVector<int> FeatViewOf(const QVector<TNewsRow>& rows, const QString& today)
{
    QVector<int> v;
    const QString feat = QStringLiteral("특징주");
    for (int i = 0; i < rows.size(); ++i)
        if (rows[i].D == today && rows[i].Title.contains(feat))
            v.append(i);
    SortByTime(rows, v);
    return v;
}

QString NewsTabCaption(int n)
{
    return n == 0 ? QStringLiteral("  오늘 뉴스  ") : QStringLiteral("  오늘 뉴스 (%1)  ").arg(n);
}

QString IssueHeadText(int n) { return QStringLiteral("이슈 뉴스 %1건").arg(n); }

QString GongsiTabCaption(int n, int important)
{
    return QStringLiteral("  공시 %1 (중요 %2)  ").arg(n).arg(important);
}

QString FeatTabCaption(int n) { return QStringLiteral("  특징주 %1  ").arg(n); }
