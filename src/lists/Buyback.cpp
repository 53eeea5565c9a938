#include "lists/Buyback.h"

#include "core/NumFmt.h"

#include <QJsonArray>
#include <QSet>
#include <algorithm>

TBuyList ParseBuyback(const QByteArray& body, const TMasterName& master)
{
    TBuyList out;
    QJsonObject o;
    QJsonArray items;
    if (!ListItems(body, o, items))
        return out;
    out.Ok = true;
    out.Date = Text(o, "date");
    out.Rule = Text(o, "rule", KLongText);
    out.Summary = Text(o, "summary", KLongText);
    out.Made = Text(o, "made");
    QSet<QString> seen;
    out.Dropped += ForEachListItem(items, [&](const QJsonObject& e) {
        TBuyRow r;
        r.Code = Text(e, "code").toUpper();
        if (r.Code.isEmpty())
            return;
        r.Side = Text(e, "side");
        const QString key = r.Code + QLatin1Char('/') + r.Side;
        r.Name = Text(e, "name");
        if (!TakeListCode(r.Code, key, master, seen, r.Name)) {
            ++out.Dropped;
            return;
        }
        r.How = Text(e, "how");
        r.Market = Text(e, "market");
        r.Both = Flag(e, "both", false);
        r.Qty = Int(e, "qty");
        r.Avg20 = Int(e, "avg20");
        r.Amount = Int(e, "amount");
        r.Ratio = Num(e, "ratio", 0, &r.HasRatio);
        r.Streak = int(std::clamp<qint64>(Int(e, "streak", 1), 0, 9999));
        r.HasPrev = Has(e, "prev_req");
        r.PrevReq = Int(e, "prev_req");
        r.PrevExec = Int(e, "prev_exec");
        r.PrevAvg = Int(e, "prev_avg");
        r.PrevRate = Has(e, "prev_rate") ? int(std::clamp<qint64>(Int(e, "prev_rate", -1), -1, 100000)) : -1;
        r.HasProg = Has(e, "total");
        r.Cum = Int(e, "cum");
        r.Total = Int(e, "total");
        r.Remain = Int(e, "remain");
        r.Progress = int(std::clamp<qint64>(Int(e, "progress"), -100000, 100000));
        r.RemainDays = Num(e, "remain_days");
        r.Avg5 = Int(e, "avg5");
        r.Ratio5 = Num(e, "ratio5", 0, &r.HasRatio5);
        r.EndD = Text(e, "end");
        r.HasEnd = Has(e, "end") && !r.EndD.isEmpty();
        r.DaysLeft = int(std::clamp<qint64>(Int(e, "days_left"), -100000, 100000));
        r.NeedDay = Int(e, "need_day");
        r.NeedRatio = Num(e, "need_ratio");
        r.AvgValue = Num(e, "avg_value");
        r.Pick = Flag(e, "pick", false);
        r.Note1 = Text(e, "note1", KLongText);
        r.Note2 = Text(e, "note2", KLongText);
        if (r.Side == QStringLiteral("매도"))
            ++out.Sells;
        else
            ++out.Buys;
        out.Rows.append(r);
    });
    return out;
}

QVector<TBuyRow> FilterBuy(const QVector<TBuyRow>& all, bool picksOnly, int* buys, int* sells)
{
    QVector<TBuyRow> out;
    int b = 0, s = 0;
    for (const TBuyRow& r : all) {
        if (picksOnly && !r.Pick)
            continue;
        out.append(r);
        (r.Side == QStringLiteral("매도") ? s : b) += 1;
    }
    if (buys)
        *buys = b;
    if (sells)
        *sells = s;
    return out;
}

bool BuyFirstDesc(int col) { return col >= 3; }

void SortBuy(QVector<TBuyRow>& rows, int col, bool desc)
{
    if (col < 0)
        return;
    const auto has = [col](const TBuyRow& r) {
        switch (col) {
        case 0: return !r.Side.isEmpty();
        case 1: return !r.Name.isEmpty();
        case 2: return !r.How.isEmpty();
        case 4: return r.Avg20 > 0;
        case 5: return r.HasRatio;
        case 6: return r.HasRatio5;
        case 7: return r.Amount > 0;
        case 9: return r.HasPrev;
        case 10: return r.HasProg;
        case 11: return r.HasEnd && r.NeedDay > 0;
        default: return true;
        }
    };
    const auto value = [col](const TBuyRow& a, const TBuyRow& b) {
        switch (col) {
        case 0: return TextCmp(a.Side, b.Side);
        case 1: return TextCmp(a.Name, b.Name);
        case 2: return TextCmp(a.How, b.How);
        case 3: return Cmp(a.Qty, b.Qty);
        case 4: return Cmp(a.Avg20, b.Avg20);
        case 5: return Cmp(a.Ratio, b.Ratio);
        case 6: return Cmp(a.Ratio5, b.Ratio5);
        case 7: return Cmp(a.Amount, b.Amount);
        case 8: return Cmp(a.Streak, b.Streak);
        case 9: return Cmp(a.PrevRate, b.PrevRate);
        case 10: return Cmp(a.Progress, b.Progress);
        default: return Cmp(a.NeedRatio, b.NeedRatio);
        }
    };
    SortListRows(rows, desc, has, value);
}

QString QtyText(qint64 n)
{
    if (n > -10000 && n < 10000)
        return FmtNum(n) + QStringLiteral("주");
    return FormatFloat(QStringLiteral("#,##0.0"), double(n) / 10000.0) + QStringLiteral("만주");
}

QString AmountText(qint64 won)
{
    if (won <= 0)
        return QStringLiteral("—");
    if (won < 100000000)
        return FormatFloat(QStringLiteral("#,##0"), double(won) / 10000.0) + QStringLiteral("만");
    return FormatFloat(QStringLiteral("#,##0.0"), double(won) / 1e8) + QStringLiteral("억");
}

QString BuyCaption(const QString& date, bool picksOnly, int shown, int all, int buys, int sells)
{
    if (date.size() != 8)
        return QStringLiteral("  자사주  ");
    const QString d = date.mid(4, 2) + QLatin1Char('/') + date.mid(6, 2);
    if (picksOnly)
        return QStringLiteral("  자사주 %1 (매매 후보 %2 / 전체 %3)  ").arg(d).arg(shown).arg(all);
    return QStringLiteral("  자사주 %1 (매수 %2 · 매도 %3)  ").arg(d).arg(buys).arg(sells);
}

const TBuyRow* BuyMarkerRow(const TBuyList& list, const QString& code, const QString& today)
{
    if (code.isEmpty() || today.isEmpty() || list.Date != today)
        return nullptr;
    for (const TBuyRow& r : list.Rows)
        if (r.Code == code && r.Pick)
            return &r;
    return nullptr;
}

QString BuyMarkerText(const TBuyRow& r)
{
    QString t = QStringLiteral("자사주 %1 신청 %2 (%3)").arg(r.Side, QtyText(r.Qty), r.How);
    if (r.HasRatio)
        t += QStringLiteral(" · 평소 거래량의 ") + FormatFloat(QStringLiteral("0"), r.Ratio) + QLatin1Char('%');
    if (r.HasRatio5)
        t += QStringLiteral(" (5일 ") + FormatFloat(QStringLiteral("0"), r.Ratio5) + QStringLiteral("%)");
    if (r.Streak > 1)
        t += QStringLiteral(" · ") + QString::number(r.Streak) + QStringLiteral("일째");
    if (r.HasProg)
        t += QStringLiteral(" · 계획의 ") + QString::number(r.Progress) + QStringLiteral("% 진행");
    if (r.HasEnd && r.EndD.size() >= 8)
        t += QStringLiteral(" · 기한 ") + QString::number(r.EndD.mid(4, 2).toInt()) + QLatin1Char('/')
             + QString::number(r.EndD.mid(6, 2).toInt());
    if (t.size() > KMarkerChars)
        t = t.left(KMarkerChars - 1) + QChar(0x2026);
    return t;
}
