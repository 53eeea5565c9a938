#include "signals/Lumen.h"

#include "core/NumFmt.h"
#include "signals/SigFeed.h"
#include "signals/SigText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>

namespace {

constexpr int KTextCap = 32;
constexpr int KTopShown = 30;
const QString KSigned = QStringLiteral("+#,##0;-#,##0;0");

bool ObjectOf(const QByteArray& body, QJsonObject& o) { return JsonObjectOf(body, KMaxSigBody, o); }

qint64 SumOf(const QJsonValue& v)
{
    return std::max<qint64>(ParseInt(JsonText(v, KTextCap)), 0);
}

bool CodeText(const QString& c) { return IsCodeShape(c); }

}  // namespace

QString IsinFromCode(const QString& code)
{
    const QString c = code.toUpper();
    if (!CodeText(c))
        return QString();
    const QString body = QStringLiteral("KR7") + c + QStringLiteral("00");
    QString digits;
    for (const QChar ch : body) {
        const char16_t u = ch.unicode();
        if (u >= '0' && u <= '9')
            digits.append(ch);
        else
            digits.append(QString::number(int(u - 'A') + 10));
    }
    // Luhn over the expanded digits, the rightmost one doubled.
    int sum = 0;
    bool dbl = true;
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        int d = digits.at(i).unicode() - '0';
        if (dbl) {
            d *= 2;
            if (d > 9)
                d -= 9;
        }
        sum += d;
        dbl = !dbl;
    }
    return body + QChar(u'0' + (10 - sum % 10) % 10);
}

TLmSeries ParseLmSeries(const QByteArray& body)
{
    TLmSeries s;
    QJsonObject o;
    if (!ObjectOf(body, o))
        return s;
    s.Ok = true;
    s.Date = JsonText(o.value(QLatin1String("date")), KTextCap);
    const QJsonArray rows = o.value(QLatin1String("rows")).toArray();
    const qsizetype from = std::max<qsizetype>(0, rows.size() - KMaxSigItems);
    for (qsizetype i = rows.size() - 1; i >= from; --i) {
        const QJsonValue v = rows.at(i);
        if (!v.isArray())
            continue;
        const QJsonArray a = v.toArray();
        if (a.size() < 3)
            continue;
        const QString t = SigTimeHhmm(JsonText(a.at(0), KTextCap));
        if (t.isEmpty() || t > QLatin1String("2000"))
            continue;
        s.Rows.append(TLmRow{t, SumOf(a.at(1)), SumOf(a.at(2))});
    }
    return s;
}

QVector<int> LmVisible(const QVector<TLmRow>& rows, bool changesOnly)
{
    QVector<int> out;
    for (int j = 0; j < rows.size(); ++j)
        if (!changesOnly || j == rows.size() - 1 || rows.at(j).B != rows.at(j + 1).B || rows.at(j).S != rows.at(j + 1).S)
            out.append(j);
    return out;
}

QString LmSummary(const TLmSeries& s)
{
    if (s.Rows.isEmpty())
        return QStringLiteral("오늘 이 종목은 루멘 분별 기록이 없음 (신호가 난 종목만 기록)");
    const TLmRow& r = s.Rows.first();
    return QStringLiteral("%1 %2 까지  ·  매수 %3  매도 %4  ·  순합계 %5")
        .arg(MonthDayOf(s.Date), HhColonMm(r.T), FmtNum(r.B), FmtNum(r.S), FormatFloat(KSigned, SatSub(r.B, r.S)));
}

TLmTop ParseLmTop(const QByteArray& body, const std::function<QString(const QString& isin)>& codeOfIsin)
{
    TLmTop t;
    QJsonObject o;
    if (!ObjectOf(body, o))
        return t;
    t.Ok = true;
    t.Date = JsonText(o.value(QLatin1String("date")), KTextCap);
    t.Upto = JsonText(o.value(QLatin1String("upto")), KTextCap);
    t.Made = JsonText(o.value(QLatin1String("made")), KTextCap);
    const QJsonArray items = o.value(QLatin1String("items")).toArray();
    const qsizetype n = std::min<qsizetype>(items.size(), KMaxSigItems);
    QSet<QString> seen;
    for (qsizetype i = 0; i < n; ++i) {
        const QJsonValue v = items.at(i);
        if (!v.isObject())
            continue;
        const QJsonObject e = v.toObject();
        QString code = JsonText(e.value(QLatin1String("code")), KTextCap).toUpper();
        const QString isin = JsonText(e.value(QLatin1String("isin")), KTextCap);
        if (codeOfIsin && !isin.isEmpty()) {
            const QString known = codeOfIsin(isin);
            if (!known.isEmpty())
                code = known.trimmed().toUpper();
        }
        if (!CodeText(code) || seen.contains(code))
            continue;
        seen.insert(code);
        t.Items.append(TLmRow{code, SumOf(e.value(QLatin1String("b"))), SumOf(e.value(QLatin1String("s")))});
    }
    return t;
}

void TLmTopRank::Rebuild(const QVector<TLmRow>& all, int kind, bool newData)
{
    if (kind < 0 || kind > 3)
        kind = 0;
    auto key = [kind](const TLmRow& r) -> qint64 {
        switch (kind) {
        case 1: return r.S;
        case 2: return SatSub(r.B, r.S);
        case 3: return SatSub(r.S, r.B);
        default: return r.B;
        }
    };
    QVector<TLmRow> sorted = all;
    std::stable_sort(sorted.begin(), sorted.end(), [&key](const TLmRow& a, const TLmRow& b) {
        const qint64 ka = key(a), kb = key(b);
        if (ka != kb)
            return ka > kb;
        return a.T < b.T;
    });
    FShown = sorted.mid(0, KTopShown);
    FNew = QVector<bool>(FShown.size(), false);
    FMove = QVector<int>(FShown.size(), 0);
    if (newData && kind == FPrevKind && !FPrev.isEmpty()) {
        for (int i = 0; i < FShown.size(); ++i) {
            const auto it = FPrev.constFind(FShown.at(i).T);
            if (it != FPrev.cend())
                FMove[i] = it.value() - (i + 1);
            else
                FNew[i] = true;
        }
    }
    if (newData || kind != FPrevKind) {
        FPrev.clear();
        for (int i = 0; i < FShown.size(); ++i)
            FPrev.insert(FShown.at(i).T, i + 1);
        FPrevKind = kind;
    }
}

QString LmTopSummary(const TLmTop& t)
{
    return QStringLiteral("%1 %2 기준 · 전체 %3종목 중 상위 30 · 1분마다 · 더블클릭 = 그 종목")
        .arg(MonthDayOf(t.Date), HhColonMm(t.Upto))
        .arg(t.Items.size());
}
