#include "trading/OrderEntry.h"

#include <limits>

#include "core/NumFmt.h"

namespace {
qint64 ReadCount(const QString& s)
{
    QString t = s;
    t.remove(QLatin1Char(','));
    bool ok = false;
    const qint64 v = t.trimmed().toLongLong(&ok);
    return ok ? v : 0;
}

QString N(qint64 v) { return FmtNum(v); }
}

qint64 PendingSells(const QVector<TMicheRow>& miche, const QString& code)
{
    qint64 sum = 0;
    for (const TMicheRow& r : miche)
        if (r.Code == code && r.Side == QStringLiteral("1"))
            sum += r.Rem;
    return sum;
}

TOrderDecision DecideOrder(const TOrderInput& in, const QHash<QString, THold>& holds, const QVector<TMicheRow>& miche)
{
    TOrderDecision d;
    qint64 qty = 0;
    if (in.Side != QStringLiteral("2")) {
        const qint64 pending = PendingSells(miche, in.Code);
        const bool held_ = holds.contains(in.Code);
        const qint64 held = held_ ? holds.value(in.Code).Qty : 0;
        const qint64 sellable = held - pending;
        if (in.SellMode == TSellMode::Qty) {
            qty = ReadCount(in.SellQtyText);
            if (held_ && sellable < qty)
                d.Log << QStringLiteral("주의: 매도 %1주 > 팔 수 있는 %2주 (잔고 %3 · 미체결 매도 %4)")
                             .arg(N(qty), N(qMax<qint64>(sellable, 0)), N(held), N(pending));
        } else {
            const QString frac = in.SellMode == TSellMode::All    ? QStringLiteral("전체")
                                 : in.SellMode == TSellMode::Half ? QStringLiteral("1/2")
                                                                  : QStringLiteral("1/3");
            if (!held_ || held < 1) {
                d.Log << QStringLiteral("잔고가 없어 ") + frac + QStringLiteral(" 매도를 할 수 없습니다");
                return d;
            }
            if (sellable < 1) {
                d.Log << QStringLiteral("팔 수 있는 수량이 없습니다 — 잔고 %1주가 이미 전부 미체결 매도로 걸려 있음")
                             .arg(N(held));
                return d;
            }
            if (in.SellMode == TSellMode::All) {
                qty = sellable;
                d.Prefix = QStringLiteral("잔고 %1주 - 미체결 매도 %2주 = 전체 → ").arg(N(held), N(pending));
            } else {
                qty = qMax<qint64>(1, held / (in.SellMode == TSellMode::Half ? 2 : 3));
                if (qty > sellable) {
                    d.Log << QStringLiteral("%1 매도 %2주 → 팔 수 있는 %3주로 줄임 (미체결 매도 %4주)")
                                 .arg(frac, N(qty), N(sellable), N(pending));
                    qty = sellable;
                }
                d.Prefix = QStringLiteral("잔고 %1주의 %2 → ").arg(N(held), frac);
            }
        }
    } else if (in.AmountMode) {
        const qint64 amount = ReadCount(in.AmtText);
        if (amount <= 0) {
            d.Log << QStringLiteral("주문 금액을 넣어 주세요");
            return d;
        }
        if (in.Price < 1) {
            d.Log << QStringLiteral("금액 주문은 가격이 있어야 합니다");
            return d;
        }
        qty = amount / in.Price;
        if (qty < 1) {
            d.Log << QStringLiteral("금액 %1 원으로는 %2 원 1주도 안 됩니다").arg(N(amount), N(in.Price));
            return d;
        }
        d.Prefix = QStringLiteral("금액 %1 → ").arg(N(amount));
    } else {
        qty = ReadCount(in.QtyText);
    }
    if (qty <= 0) {
        d.Log << QStringLiteral("수량을 넣어 주세요");
        return d;
    }
    // The order's quantity field is a 32-bit count: anything larger is a typo.
    if (qty > std::numeric_limits<qint32>::max()) {
        d.Log << QStringLiteral("주문 수량이 너무 큽니다 (%1주)").arg(N(qty));
        return d;
    }
    if (in.Price <= 0) {
        d.Log << QStringLiteral("가격을 넣어 주세요");
        return d;
    }
    d.Send = true;
    d.Qty = qty;
    return d;
}

QString FormatAmountText(const QString& typed)
{
    QString digits;
    for (QChar c : typed)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digits += c;
    if (digits.isEmpty())
        return QString();
    return FmtNum(digits.left(15).toDouble());
}
