#include "lists/Rank.h"

#include "core/NumFmt.h"

#include <QSet>
#include <algorithm>
#include <cmath>

QString RankTr(int kind)
{
    switch (kind) {
    case 0: return QStringLiteral("t1466");
    case 3: return QStringLiteral("t1463");
    default: return QStringLiteral("t1441");
    }
}

TRankReq RankRequest(int kind, int market)
{
    TRankReq r;
    r.Tr = RankTr(kind);
    r.Block = r.Tr + QStringLiteral("InBlock");
    const QString mkt = QString::number(std::clamp(market, 0, KRankMarkets - 1));
    const QString zero = QStringLiteral("0");
    auto& f = r.Fields;
    if (kind == 0) {
        // type1 1: previous-day volume of 10,000 shares or more.
        f = {{QStringLiteral("gubun"), mkt}, {QStringLiteral("type1"), QStringLiteral("1")}, {QStringLiteral("type2"), zero}};
    } else if (kind == 1 || kind == 2) {
        f = {{QStringLiteral("gubun1"), mkt}, {QStringLiteral("gubun2"), QString::number(kind - 1)},
             {QStringLiteral("gubun3"), zero}};
    } else {
        f = {{QStringLiteral("gubun"), mkt}, {QStringLiteral("jnilgubun"), zero}};
    }
    f += {{QStringLiteral("jc_num"), zero}, {QStringLiteral("sprice"), zero}, {QStringLiteral("eprice"), zero},
          {QStringLiteral("volume"), zero}, {QStringLiteral("idx"), zero}, {QStringLiteral("jc_num2"), zero},
          {QStringLiteral("exchgubun"), QStringLiteral("K")}};
    return r;
}

QVector<TRankRow> ReadRankRows(const QString& tr, int count,
                               const std::function<QString(const QString& field, int i)>& field,
                               const std::function<QString(const QString& code)>& nameOf)
{
    QVector<TRankRow> out;
    QSet<QString> seen;
    const bool surge = tr == QLatin1String("t1466"), amount = tr == QLatin1String("t1463");
    const QString x1 = surge ? QStringLiteral("stdvolume") : QStringLiteral("value");
    const QString x2 = surge ? QStringLiteral("voldiff") : amount ? QStringLiteral("jnilvalue") : QStringLiteral("updaycnt");
    count = std::clamp(count, 0, 1000);
    for (int i = 0; i < count; ++i) {
        TRankRow r;
        r.Code = field(QStringLiteral("shcode"), i).trimmed();
        if (r.Code.size() > 6)
            r.Code = r.Code.right(6);
        if (r.Code.isEmpty() || seen.contains(r.Code))
            continue;
        r.Name = field(QStringLiteral("hname"), i).trimmed();
        if (r.Name.isEmpty() && nameOf)
            r.Name = nameOf(r.Code);
        r.Price = ParseNum(field(QStringLiteral("price"), i));
        r.Chg = std::fabs(ParseNum(field(QStringLiteral("diff"), i)));
        const QString sign = field(QStringLiteral("sign"), i).trimmed();
        if (sign == QLatin1String("4") || sign == QLatin1String("5"))
            r.Chg = -r.Chg;
        r.Vol = ParseNum(field(QStringLiteral("volume"), i));
        r.X1 = ParseNum(field(x1, i));
        r.X2 = ParseNum(field(x2, i));
        if (surge && r.X1 < KSurgeFloor)
            continue;
        seen.insert(r.Code);
        out.append(r);
    }
    return out;
}

int TRankMarks::Apply(QVector<TRankRow>& rows, const QString& key, QStringList* names)
{
    int fresh = 0;
    if (key == FPrevKey && !FPrev.isEmpty()) {
        for (int i = 0; i < rows.size(); ++i) {
            TRankRow& r = rows[i];
            const auto it = FPrev.constFind(r.Code);
            if (it != FPrev.constEnd()) {
                r.Move = it.value() - (i + 1);
            } else {
                r.IsNew = true;
                if (names && fresh < 4)
                    names->append(r.Name);
                ++fresh;
            }
        }
    }
    FPrev.clear();
    for (int i = 0; i < rows.size(); ++i)
        FPrev.insert(rows[i].Code, i + 1);
    FPrevKey = key;
    return fresh;
}

void TRankMarks::Reset()
{
    FPrev.clear();
    FPrevKey.clear();
}

QString RankTimeText(const QString& at, int count, int fresh, const QStringList& names)
{
    QString t = QStringLiteral("%1 기준 · %2종목").arg(at).arg(count);
    if (fresh > 0) {
        t += QStringLiteral("  ·  새로 들어옴 %1: %2").arg(fresh).arg(names.join(QStringLiteral(", ")));
        if (fresh > 4)
            t += QStringLiteral(" …");
    }
    return t + QStringLiteral("  ·  1분마다");
}

QString RankMan(double x)
{
    if (x >= 10000)
        return FormatFloat(QStringLiteral("#,##0.0"), x / 10000.0) + QStringLiteral("만");
    return FormatFloat(QStringLiteral("#,##0"), x);
}

QString RankEok(double x) { return FormatFloat(QStringLiteral("#,##0"), x / 100.0) + QStringLiteral("억"); }

QStringList RankCaptions(int kind)
{
    const QStringList head = {QStringLiteral("순위"), QStringLiteral("종목"), QStringLiteral("현재가"), QStringLiteral("등락률")};
    if (kind == 0)
        return head + QStringList{QStringLiteral("거래량"), QStringLiteral("전일동시"), QStringLiteral("급증률")};
    if (kind == 3)
        return head + QStringList{QStringLiteral("거래대금"), QStringLiteral("전일 대금"), QStringLiteral("거래량")};
    return head + QStringList{QStringLiteral("거래량"), QStringLiteral("거래대금"), QStringLiteral("연속")};
}
