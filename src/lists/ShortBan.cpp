#include "lists/ShortBan.h"

#include "core/NumFmt.h"

#include <QJsonArray>
#include <QSet>
#include <algorithm>

TShortList ParseShortBan(const QByteArray& body, const TMasterName& master)
{
    TShortList out;
    QJsonObject o;
    QJsonArray items;
    if (!ListItems(body, o, items))
        return out;
    out.Ok = true;
    out.Made = Text(o, "made");
    out.Stats = Text(o, "stats", KLongText);
    QSet<QString> seen;
    out.Dropped += ForEachListItem(items, [&](const QJsonObject& e) {
        TShortRow r;
        r.Code = Text(e, "code").toUpper();
        r.Status = Text(e, "status");
        if (r.Code.isEmpty() || r.Status == QStringLiteral("종료") || r.Status == QStringLiteral("해제"))
            return;
        r.Name = Text(e, "name");
        if (!TakeListCode(r.Code, r.Code, master, seen, r.Name)) {
            ++out.Dropped;
            return;
        }
        r.First = Text(e, "first");
        r.LastBan = Text(e, "last_ban");
        r.FirstKnown = Flag(e, "first_known", true);
        r.Ext = int(std::clamp<qint64>(Int(e, "ext"), 0, 9999));
        r.Score = int(std::clamp<qint64>(Int(e, "score"), 0, 5));
        r.Level = Text(e, "level");
        r.Why = Text(e, "why", KLongText);
        r.Price = Num(e, "price");
        r.Chg = Num(e, "chg");
        r.ShortAvg = Num(e, "short_avg");
        r.ShortPnl = Num(e, "short_pnl", 0, &r.HasPnl);
        r.LendQty = Int(e, "lend_qty");
        r.CoverDays = Num(e, "cover_days", 0, &r.HasCover);
        r.Lend5 = Num(e, "lend_chg5", 0, &r.HasLend5);
        r.LendD5 = Int(e, "lend_d5");
        r.AvgVol = Int(e, "avg_vol");
        r.LastVol = Int(e, "last_vol");
        const QJsonObject parts = e.value(QLatin1String("parts")).toObject();
        r.PBan = Text(parts, "ban", KLongText);
        r.PPnl = Text(parts, "pnl", KLongText);
        r.PVol = Text(parts, "vol", KLongText);
        r.PCover = Text(parts, "cover", KLongText);
        r.PLend = Text(parts, "lend", KLongText);
        if (r.Status == QStringLiteral("신규"))
            ++out.New;
        else if (r.Status == QStringLiteral("연장"))
            ++out.Ext;
        out.Rows.append(r);
    });
    return out;
}

void RescoreShort(TShortRow& r)
{
    if (r.ShortAvg > 0) {
        r.HasPnl = true;
        r.ShortPnl = (r.Price - r.ShortAvg) / r.ShortAvg * 100.0;
        r.PPnl = r.ShortPnl > 0 ? QStringLiteral("주가가 최근 20일 공매도 평단(%1) 위 → 공매도 %2% 손실")
                                      .arg(FmtNum(r.ShortAvg), FormatFloat(QStringLiteral("0.0"), r.ShortPnl))
                                : QString();
    }
    // (LastVol / 2 rather than 2 * AvgVol: the service may send any 64-bit figure.)
    if (r.AvgVol > 0 && r.LastVol / 2 >= r.AvgVol && r.Chg > 0)
        r.PVol = QStringLiteral("거래량 평소 %1배 + 상승").arg(FormatFloat(QStringLiteral("0.0"), double(r.LastVol) / double(r.AvgVol)));
    else
        r.PVol.clear();
    QStringList reasons;
    for (const QString* p : {&r.PBan, &r.PPnl, &r.PVol, &r.PCover, &r.PLend})
        if (!p->isEmpty())
            reasons << *p;
    r.Score = int(reasons.size());
    r.Level = r.Score >= 4 ? QStringLiteral("강") : r.Score < 2 ? QStringLiteral("약") : QStringLiteral("중");
    r.Why = reasons.isEmpty() ? QStringLiteral("특이점 없음") : reasons.join(QStringLiteral(" · "));
    if (r.Live)
        r.Why.prepend(QStringLiteral("[장중 실시간] "));
}

namespace {

int StatusRank(const QString& s)
{
    if (s == QStringLiteral("신규"))
        return 0;
    if (s == QStringLiteral("연장"))
        return 1;
    if (s == QStringLiteral("금지중"))
        return 2;
    return 3;
}

}  // namespace

bool ShortFirstDesc(int col) { return col != 1 && col != 2; }

void SortShort(QVector<TShortRow>& rows, int col, bool desc)
{
    if (col < 0)
        return;
    // Each column: whether a row has a value (rows without one go last), and
    // the value comparison.
    const auto has = [col](const TShortRow& r) {
        switch (col) {
        case 1: return !r.Name.isEmpty();
        case 2: return !r.LastBan.isEmpty();
        case 3: return r.Price > 0;
        case 4: return r.HasPnl;
        case 5: return r.HasCover;
        case 6: return r.HasLend5;
        default: return true;
        }
    };
    const auto value = [col](const TShortRow& a, const TShortRow& b) {
        switch (col) {
        case 0: return Cmp(StatusRank(a.Status), StatusRank(b.Status));
        case 1: return TextCmp(a.Name, b.Name);
        case 2: return TextCmp(a.LastBan, b.LastBan);
        case 3: return Cmp(a.Chg, b.Chg);
        case 4: return Cmp(a.ShortPnl, b.ShortPnl);
        case 5: return Cmp(a.CoverDays, b.CoverDays);
        case 6: return Cmp(a.LendD5, b.LendD5);
        default: return Cmp(a.Score, b.Score);
        }
    };
    SortListRows(rows, desc, has, value);
}

QString ShortDay(const QString& ymd)
{
    if (ymd.size() < 8)
        return QStringLiteral("—");
    return ymd.mid(4, 2) + QLatin1Char('/') + ymd.mid(6, 2);
}

QString ShortDatesText(const TShortRow& r)
{
    if (r.FirstKnown)
        return ShortDay(r.LastBan) + QStringLiteral("  (최초 ") + ShortDay(r.First) + QLatin1Char(')');
    return ShortDay(r.LastBan) + QStringLiteral("  (") + ShortDay(r.First) + QStringLiteral(" 전부터)");
}

QString ShortCaption(int fresh, int ext)
{
    return QStringLiteral("  공매도 금지 %1 (신규 %2 · 연장 %3)  ").arg(fresh + ext).arg(fresh).arg(ext);
}

bool ShortPxTime(int dayOfWeek, int hhmm) { return dayOfWeek >= 1 && dayOfWeek <= 5 && hhmm >= 800 && hhmm <= 2005; }

QString ShortPxCodes(const QVector<TShortRow>& rows, int* count)
{
    QString codes;
    int n = 0;
    for (const TShortRow& r : rows) {
        if (n >= 50)
            break;
        if (r.Code.size() != 6)
            continue;
        codes += r.Code;
        ++n;
    }
    if (count)
        *count = n;
    return codes;
}
