#include "trading/DayPnl.h"

#include "broker/XingApi.h"
#include "core/NumFmt.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Beyond these a row is garbage, and its product would not fit 64 bits.
constexpr qint64 KMaxQty = 1000000000;
constexpr double KMaxPrice = 2e9;

const QColor KText(48, 48, 48);
const QColor KLabelFlat(64, 64, 64);

// round(a * m / d) for a >= 0, m >= 0, d > 0.
qint64 MulDivRound(qint64 a, qint64 m, qint64 d)
{
    const __int128 p = __int128(a) * m;
    const __int128 r = (p + d / 2) / d;
    return r > std::numeric_limits<qint64>::max() ? std::numeric_limits<qint64>::max() : qint64(r);
}

// A number the answer really carried: an empty or garbled field is absent.
std::optional<qint64> FieldNumber(const QString& raw)
{
    QString t = raw.trimmed();
    if (t.startsWith(QLatin1Char('+')))
        t.remove(0, 1);
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v) || std::fabs(v) > 9e18)
        return std::nullopt;
    return qRound64(v);
}

QColor SignColor(qint64 v) { return v > 0 ? QColor(229, 57, 53) : v < 0 ? QColor(30, 136, 229) : KText; }

}  // namespace

QString FmtSignedWon(qint64 v) { return FormatInt64(QStringLiteral("+#,##0;-#,##0;0"), v); }

QString PnlCode(const QString& raw)
{
    const QString t = raw.trimmed();
    return t.size() > 6 ? t.right(6) : t;
}

std::optional<qint64> PercentToRate(const QString& text)
{
    QString t = text.trimmed();
    if (t.endsWith(QLatin1Char('%')))
        t.chop(1);
    bool ok = false;
    const double v = t.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < 0 || v > 100)
        return std::nullopt;
    return qRound64(v * (TPnlRates::KRateUnit / 100));
}

QString RateText(qint64 rate)
{
    QString s = QString::number(double(rate) / (TPnlRates::KRateUnit / 100), 'f', 5);
    while (s.endsWith(QLatin1Char('0')) && s.indexOf(QLatin1Char('.')) < s.size() - 3)
        s.chop(1);
    return s;
}

qint64 CostOf(qint64 amount, qint64 rate)
{
    if (amount <= 0 || rate <= 0)
        return 0;
    const qint64 d = TPnlRates::KRateUnit;
    // Split so that neither product leaves 64 bits for any amount.
    const __int128 r = __int128(amount / d) * rate + __int128(amount % d) * rate / d;
    return r > std::numeric_limits<qint64>::max() ? std::numeric_limits<qint64>::max() : qint64(r);
}

TPnlRates RatesFromFeeBox(double roundTripPct, qint64 sellTaxRate)
{
    TPnlRates r;
    r.SellTax = std::max<qint64>(0, sellTaxRate);
    const qint64 box = std::isfinite(roundTripPct) && roundTripPct > 0 && roundTripPct <= 100
                           ? qRound64(roundTripPct * (TPnlRates::KRateUnit / 100))
                           : 0;
    r.FeePerSide = std::max<qint64>(0, (box - r.SellTax) / 2);
    return r;
}

// ---- page chains ----

// Whether to ask for another page; a chain stopped by the cap while the
// broker still had more is marked as cut.
bool TDayPnl::AddCut(bool more, int page, bool* cut) const
{
    if (more && page < KMaxPages)
        return true;
    *cut = more;
    return false;
}

void TDayPnl::BeginFills()
{
    FPnlAcc.clear();
    FPnlPage = 0;
}

bool TDayPnl::AddFillsPage(const TXAQuery& q, QString* next)
{
    const QString b1 = QStringLiteral("t0425OutBlock1");
    const int n = q.GetBlockCount(b1);
    for (int i = 0; i < n; ++i) {
        const qint64 qty = ParseInt(q.GetFieldData(b1, QStringLiteral("cheqty"), i));
        const QString ordgb = q.GetFieldData(b1, QStringLiteral("ordgb"), i).trimmed();
        const double price = ParseNum(q.GetFieldData(b1, QStringLiteral("cheprice"), i));
        if (qty <= 0 || qty > KMaxQty || ordgb.contains(QStringLiteral("취소")) || !(price > 0) || price > KMaxPrice)
            continue;
        const QString code = PnlCode(q.GetFieldData(b1, QStringLiteral("expcode"), i));
        if (code.isEmpty())
            continue;
        const QString medosu = q.GetFieldData(b1, QStringLiteral("medosu"), i).trimmed();
        const bool buy = medosu.contains(QStringLiteral("매수")) || ordgb.contains(QStringLiteral("매수"))
                         || medosu == QStringLiteral("2");
        const qint64 whole = qint64(price);
        const qint64 amount = double(whole) == price ? whole * qty : qRound64(price * double(qty));
        TPnlRow& r = FPnlAcc[code];
        r.Code = code;
        if (buy) {
            r.Bq = SatAdd(r.Bq, qty);
            r.Ba = SatAdd(r.Ba, amount);
        } else {
            r.Sq = SatAdd(r.Sq, qty);
            r.Sa = SatAdd(r.Sa, amount);
        }
    }
    ++FPnlPage;
    *next = q.GetFieldData(QStringLiteral("t0425OutBlock"), QStringLiteral("cts_ordno"), 0).trimmed();
    if (AddCut(n > 0 && !next->isEmpty(), FPnlPage, &FPnlCut))
        return true;
    FPnl = FPnlAcc.values().toVector();
    return false;
}

void TDayPnl::BeginCosts()
{
    FPnlCostAcc.clear();
    FDayFeePage = 0;
}

bool TDayPnl::AddCostsPage(const TXAQuery& q, QStringList* next)
{
    const QString b1 = QStringLiteral("t0150OutBlock1");
    const int n = q.GetBlockCount(b1);
    for (int i = 0; i < n; ++i) {
        const QString code = PnlCode(q.GetFieldData(b1, QStringLiteral("expcode"), i));
        if (code.size() != 6)
            continue;
        const qint64 fee = std::max<qint64>(0, ParseInt(q.GetFieldData(b1, QStringLiteral("fee"), i)));
        const qint64 taxes = SatAdd(std::max<qint64>(0, ParseInt(q.GetFieldData(b1, QStringLiteral("tax"), i))),
                                    std::max<qint64>(0, ParseInt(q.GetFieldData(b1, QStringLiteral("argtax"), i))));
        TPnlCost& c = FPnlCostAcc[code];
        if (q.GetFieldData(b1, QStringLiteral("medosu"), i).trimmed().contains(QStringLiteral("매도"))) {
            c.SellFee = SatAdd(c.SellFee, fee);
            c.SellTax = SatAdd(c.SellTax, taxes);
        } else {
            c.BuyFee = SatAdd(c.BuyFee, fee);
        }
    }
    ++FDayFeePage;
    const QString b = QStringLiteral("t0150OutBlock");
    next->clear();
    for (const char* k : {"cts_medosu", "cts_expcode", "cts_price", "cts_middiv"})
        next->append(q.GetFieldData(b, QString::fromLatin1(k), 0).trimmed());
    const bool more = n > 0 && !(next->at(0).isEmpty() && next->at(1).isEmpty());
    if (AddCut(more, FDayFeePage, &FPnlCostCut))
        return true;
    FPnlCost = FPnlCostAcc;
    FCostDone = true;
    return false;
}

void TDayPnl::BeginHolds()
{
    FPnlHoldAcc.clear();
    FBalAllPage = 0;
}

bool TDayPnl::AddHoldsPage(const TXAQuery& q, QString* next)
{
    const QString b = QStringLiteral("t0424OutBlock");
    if (FBalAllPage == 0 && q.GetBlockCount(b) > 0) {
        // An answer without the figure leaves the one received before.
        if (const auto tot = FieldNumber(q.GetFieldData(b, QStringLiteral("dtsunik"), 0))) {
            FLsRealTot = *tot;
            FLsRealOk = true;
        }
    }
    const QString b1 = QStringLiteral("t0424OutBlock1");
    const int n = q.GetBlockCount(b1);
    for (int i = 0; i < n; ++i) {
        const QString code = PnlCode(q.GetFieldData(b1, QStringLiteral("expcode"), i));
        if (code.size() == 6)
            FPnlHoldAcc[code] = TPnlHold{ParseNum(q.GetFieldData(b1, QStringLiteral("pamt"), i)), 0, false};
    }
    ++FBalAllPage;
    *next = q.GetFieldData(b, QStringLiteral("cts_expcode"), 0).trimmed();
    if (AddCut(n > 0 && !next->isEmpty(), FBalAllPage, &FPnlHoldCut))
        return true;
    FPnlHold = FPnlHoldAcc;
    return false;
}

// ---- figures ----

qint64 TDayPnl::HeldQty(const QString& code, bool* known) const
{
    qint64 qty = 0;
    double avg = 0;
    *known = HoldOf && HoldOf(code, &qty, &avg);
    return qty;
}

int TDayPnl::PnlGroup(const TPnlRow& r) const
{
    if (r.Sq <= 0)
        return 2;
    bool held = false;
    qint64 rest = HeldQty(r.Code, &held);
    if (!held)
        rest = r.Bq - r.Sq;
    return rest > 0 ? 1 : 0;
}

TPnlFigure TDayPnl::PnlOf(const TPnlRow& r) const
{
    TPnlFigure f;
    if (r.Sq <= 0)
        return f;
    const qint64 m = r.Bq > 0 ? std::min(r.Bq, r.Sq) : 0;
    const qint64 todayCost = m > 0 ? MulDivRound(r.Ba, m, r.Bq) : 0;
    qint64 cost = todayCost;
    if (r.Sq > m) {
        double price = FPnlHold.value(r.Code).Avg;
        if (!(price > 0) || !std::isfinite(price)) {
            qint64 qty = 0;
            price = 0;
            if (HoldOf)
                HoldOf(r.Code, &qty, &price);
        }
        const double older = price * double(r.Sq - m);
        if (!(price > 0) || !std::isfinite(older) || older > 9e18)
            return f;
        cost = SatAdd(cost, qRound64(older));
    }
    const auto jt = FPnlCost.constFind(r.Code);
    qint64 profit = 0;
    if (jt != FPnlCost.constEnd() && jt->BuyFee + jt->SellFee + jt->SellTax > 0) {
        profit = SatSub(SatSub(SatSub(r.Sa, cost), jt->SellFee), jt->SellTax);
        if (m > 0)
            profit = SatSub(profit, MulDivRound(jt->BuyFee, m, r.Bq));
    } else {
        const bool taxFree = IsTaxFree && IsTaxFree(r.Code);
        profit = SatSub(r.Sa, cost);
        profit = SatSub(profit, taxFree ? 0 : CostOf(r.Sa, Rates.SellTax));
        profit = SatSub(profit, CostOf(r.Sa, Rates.FeePerSide));
        profit = SatSub(profit, CostOf(todayCost, Rates.FeePerSide));
    }
    f.Known = true;
    f.Profit = profit;
    f.Cost = cost;
    f.Percent = cost > 0 ? double(profit) / double(cost) * 100.0 : 0;
    return f;
}

void TDayPnl::Rebuild()
{
    std::sort(FPnl.begin(), FPnl.end(), [this](const TPnlRow& a, const TPnlRow& b) {
        const int ga = PnlGroup(a), gb = PnlGroup(b);
        return ga != gb ? ga < gb : a.Code < b.Code;
    });
    FSum = 0;
    FUnknown = 0;
    FClosed = 0;
    QString lastUnknown;
    for (const TPnlRow& r : std::as_const(FPnl)) {
        const TPnlFigure f = PnlOf(r);
        if (f.Known)
            FSum = SatAdd(FSum, f.Profit);
        else if (r.Sq > 0) {
            ++FUnknown;
            lastUnknown = r.Code;
        }
        if (PnlGroup(r) == 0)
            ++FClosed;
    }
    FPnlRemain = 0;
    FPnlRemainCode.clear();
    if (FLsRealOk && FUnknown > 0) {
        FPnlRemain = SatSub(FLsRealTot, FSum);
        if (FUnknown == 1)
            FPnlRemainCode = lastUnknown;
    }
    FHeadline = FLsRealOk ? FLsRealTot : FSum;
}

QString TDayPnl::LabelText() const
{
    QString s;
    if (FLsRealOk && FUnknown < 2) {
        s = QStringLiteral("오늘 실현손익  %1원  (LS 계산 · 제비용 포함)     종목별 합 %2원 · 청산 %3종목")
                .arg(FmtSignedWon(FLsRealTot), FmtSignedWon(FUnknown == 1 ? FLsRealTot : FSum))
                .arg(FClosed);
    } else if (FLsRealOk) {
        s = QStringLiteral("오늘 실현손익  %1원  (LS 계산 · 제비용 포함)     평단 모르는 %2종목 합 %3원(역산) · 청산 %4종목")
                .arg(FmtSignedWon(FLsRealTot))
                .arg(FUnknown)
                .arg(FmtSignedWon(FPnlRemain))
                .arg(FClosed);
    } else {
        // Estimated when any sold row lacks its journal entry.
        int estimated = 0;
        for (const TPnlRow& r : FPnl) {
            const auto jt = FPnlCost.constFind(r.Code);
            if (r.Sq > 0 && (jt == FPnlCost.constEnd() || jt->BuyFee + jt->SellFee + jt->SellTax <= 0))
                ++estimated;
        }
        QString costs;
        if (FPnlCost.isEmpty() || estimated > 0) {
            const QString tax = RateText(Rates.SellTax);
            costs = Rates.FeePerSide > 0
                        ? QStringLiteral("수수료·세금 왕복 %1% 가정(거래세 %2% 포함)")
                              .arg(RateText(2 * Rates.FeePerSide + Rates.SellTax), tax)
                        : QStringLiteral("거래세 %1% 가정 · 수수료 없음").arg(tax);
            if (!FPnlCost.isEmpty())
                costs = QStringLiteral("%1종목 ").arg(estimated) + costs;
        } else {
            costs = QStringLiteral("실제 수수료·세금");
        }
        s = QStringLiteral("오늘 실현손익 합계  %1원   (청산 %2종목 · 전일 보유분 포함 · %3)")
                .arg(FmtSignedWon(FSum))
                .arg(FClosed)
                .arg(costs);
    }
    if (FPnlCut || FPnlCostCut || FPnlHoldCut)
        s += QStringLiteral(" · 일부만(20쪽 제한)");
    return s;
}

QColor TDayPnl::LabelColor() const
{
    return FHeadline > 0 ? QColor(229, 57, 53) : FHeadline < 0 ? QColor(30, 136, 229) : KLabelFlat;
}

QString TDayPnl::TabCaption() const
{
    if (FPnl.isEmpty())
        return QStringLiteral("  당일손익  ");
    return QStringLiteral("  당일손익 %1  ").arg(FmtSignedWon(FHeadline));
}

TPnlCells TDayPnl::CellsOf(int row, const QString& name) const
{
    TPnlCells c;
    for (QColor& k : c.Color)
        k = KText;
    if (row < 0 || row >= FPnl.size())
        return c;
    const TPnlRow& r = FPnl[row];
    c.Text[0] = name;
    c.Bold[0] = true;
    switch (PnlGroup(r)) {
    case 0:
        c.Text[1] = QStringLiteral("청산");
        c.Color[1] = QColor(0, 128, 0);
        break;
    case 1:
        c.Text[1] = QStringLiteral("일부청산");
        c.Color[1] = QColor(255, 128, 0);
        break;
    default:
        c.Text[1] = QStringLiteral("매수만");
        c.Color[1] = QColor(128, 128, 128);
    }
    if (r.Sq > 0 && r.Bq < r.Sq)
        c.Text[1] += QStringLiteral(" (전일분 포함)");
    if (r.Bq > 0) {
        c.Text[2] = FmtNum(r.Bq);
        c.Text[3] = FmtNum(MulDivRound(r.Ba, 1, r.Bq));
    }
    if (r.Sq > 0) {
        c.Text[4] = FmtNum(r.Sq);
        c.Text[5] = FmtNum(MulDivRound(r.Sa, 1, r.Sq));
    }
    const TPnlFigure f = PnlOf(r);
    if (f.Known) {
        c.Text[6] = FmtSignedWon(f.Profit);
        c.Bold[6] = true;
        c.Color[6] = SignColor(f.Profit);
        c.Text[7] = FormatFloat(QStringLiteral("+0.00;-0.00;0.00"), f.Percent) + QLatin1Char('%');
        c.Color[7] = f.Percent > 0 ? SignColor(1) : f.Percent < 0 ? SignColor(-1) : KText;
    } else if (!FPnlRemainCode.isEmpty() && r.Code == FPnlRemainCode) {
        c.Text[6] = FmtSignedWon(FPnlRemain) + QStringLiteral(" *");
        c.Bold[6] = c.Italic[6] = true;
        c.Color[6] = SignColor(FPnlRemain);
    } else if (r.Sq > 0) {
        c.Text[6] = QStringLiteral("평단 모름");
    }
    return c;
}
