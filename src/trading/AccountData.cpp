#include "trading/AccountData.h"

#include "broker/XingApi.h"
#include "core/NumFmt.h"

#include <cmath>

namespace {
QString Last6(const QString& s)
{
    const QString t = s.trimmed();
    return t.size() > 6 ? t.right(6) : t;
}

bool IsBuy(const QString& medosu, const QString& ordgb)
{
    const QString m = medosu.trimmed();
    return m.contains(QStringLiteral("매수")) || ordgb.contains(QStringLiteral("매수")) || m == QStringLiteral("2");
}
}

QVector<TMicheRow> ParseMiche(const TXAQuery& q, const std::function<QString(const QString&)>& nameOf)
{
    const QString b = QStringLiteral("t0425OutBlock1");
    QVector<TMicheRow> out;
    const int n = q.GetBlockCount(b);
    for (int i = 0; i < n; ++i) {
        auto get = [&](const char* f) { return q.GetFieldData(b, QString::fromLatin1(f), i); };
        const QString ordgb = get("ordgb").trimmed();
        if (ordgb.contains(QStringLiteral("취소")))
            continue;
        TMicheRow r;
        r.Rem = ParseInt(get("ordrem"));
        if (r.Rem <= 0)
            continue;
        r.Code = Last6(get("expcode"));
        r.Name = nameOf(r.Code);
        r.OrdNo = get("ordno").trimmed();
        r.Price = ParseInt32(get("price"));
        r.Side = IsBuy(get("medosu"), ordgb) ? QStringLiteral("2") : QStringLiteral("1");
        out.append(r);
    }
    return out;
}

QString MicheTabCaption(int count)
{
    return count == 0 ? QStringLiteral("  미체결  ") : QStringLiteral("  미체결 (%1)  ").arg(count);
}

QPair<QString, QString> CancelButtonCaptions(const QVector<TMicheRow>& miche, const QString& code)
{
    int sells = 0, buys = 0;
    for (const TMicheRow& r : miche)
        if (r.Code == code)
            (r.Side == QStringLiteral("1") ? sells : buys) += 1;
    return {sells ? QStringLiteral("매도 전체취소 (%1)").arg(sells) : QStringLiteral("매도 전체취소"),
            buys ? QStringLiteral("매수 전체취소 (%1)").arg(buys) : QStringLiteral("매수 전체취소")};
}

QVector<TMicheRow> MicheRowsOf(const QVector<TMicheRow>& miche, const QString& code, const QString& side)
{
    QVector<TMicheRow> out;
    for (const TMicheRow& r : miche)
        if (r.Code == code && r.Side == side)
            out.append(r);
    return out;
}

QVector<TMicheRow> MicheRowsAt(const QVector<TMicheRow>& miche, const QString& code, const QString& side, int price)
{
    QVector<TMicheRow> out;
    for (const TMicheRow& r : MicheRowsOf(miche, code, side))
        if (price > 0 && r.Price == price)
            out.append(r);
    return out;
}

QStringList CancelConfirmLines(const QVector<TMicheRow>& rows)
{
    if (rows.isEmpty())
        return {};
    qint64 total = 0;
    bool many = false;
    for (const TMicheRow& r : rows) {
        total = SatAdd(total, r.Rem);
        many = many || r.Price != rows.first().Price;
    }
    const QString side = rows.first().Side != QStringLiteral("2") ? QStringLiteral("매도") : QStringLiteral("매수");
    const QString px = many ? QStringLiteral("여러 가격") : FmtNum(rows.first().Price) + QStringLiteral("원");
    return {QStringLiteral("%1  %2  %3").arg(rows.first().Name, side, px),
            QStringLiteral("미체결 %1건 %2주 취소할까요?").arg(rows.size()).arg(FmtNum(total))};
}

QVector<TBalRow> ParseBalance(const TXAQuery& q, QHash<QString, THold>& holds)
{
    const QString b = QStringLiteral("CSPAQ12300OutBlock3");
    holds.clear();
    QVector<TBalRow> out;
    const int n = q.GetBlockCount(b);
    for (int i = 0; i < n; ++i) {
        auto get = [&](const char* f) { return q.GetFieldData(b, QString::fromLatin1(f), i); };
        TBalRow r;
        r.Code = get("IsuNo").trimmed().mid(1, 6);
        r.Name = get("IsuNm").trimmed();
        const qint64 qty = ParseInt(get("BnsBaseBalQty"));
        r.Qty = FmtNum(qty);
        QString avg = get("AvrUprc").trimmed();
        if (ParseNum(avg) == 0)
            avg = get("BuyPrc").trimmed();
        r.Avg = FmtNum(ParseNum(avg));
        holds.insert(r.Code, THold{qty, ParseNum(avg)});
        r.Now = FmtNum(ParseNum(get("NowPrc")));
        r.Pnl = FmtNum(ParseNum(get("EvalPnl")));
        r.Rate = get("PnlRat").trimmed();
        out.append(r);
    }
    return out;
}

QVector<TFillAt> ParseFills(const TXAQuery& q, const QString& code, const QString& today)
{
    const QString b = QStringLiteral("t0425OutBlock1");
    QVector<TFillAt> out;
    const int n = q.GetBlockCount(b);
    for (int i = 0; i < n; ++i) {
        auto get = [&](const char* f) { return q.GetFieldData(b, QString::fromLatin1(f), i); };
        if (ParseInt(get("cheqty")) <= 0 || Last6(get("expcode")) != code)
            continue;
        double px = ParseNum(get("cheprice"));
        if (px <= 0)
            px = ParseNum(get("price"));
        const QString t = get("ordtime").trimmed();
        if (px <= 0 || t.size() < 4)
            continue;
        TFillAt f;
        f.D = today + QStringLiteral("%1").arg(NextMinute(t.left(4)), 4, 10, QLatin1Char('0'));
        f.Price = px;
        f.Buy = IsBuy(get("medosu"), get("ordgb"));
        out.append(f);
    }
    return out;
}

double ReadFee(const QString& text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0.3;
}
