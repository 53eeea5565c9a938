#include "trading/AutoSell.h"
#include "core/NumFmt.h"

#include <QLocale>
#include <algorithm>
#include <climits>
#include <cmath>

namespace {
constexpr qint64 KMicro = 1000000;           // a percent in millionths
constexpr qint64 KHundredPct = 100 * KMicro;

// Up onto the grid of x's band.
qint64 OnGrid(qint64 x)
{
    if (x <= 0 || x > INT_MAX)
        return 0;
    const qint64 t = TickSize(int(x));
    return t * ((x + t - 1) / t);
}
} // namespace

TSellPct ParseSellPct(const QString& text)
{
    QString s = text;
    s.remove(QLatin1Char('%'));
    s = s.trimmed();
    TSellPct r;
    if (s.isEmpty())
        return r;
    // Digits, one point, digits: read exactly (no binary fractions).
    qint64 whole = 0, frac = 0;
    int fracDigits = 0;
    bool point = false, any = false;
    for (const QChar c : s) {
        if (c == QLatin1Char('.') && !point) {
            point = true;
            continue;
        }
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return r;
        any = true;
        const int d = c.unicode() - '0';
        if (!point) {
            if (whole > 1000000)   // beyond any sensible percentage
                return r;
            whole = whole * 10 + d;
        } else if (fracDigits < 6) {
            frac = frac * 10 + d;
            ++fracDigits;
        }
    }
    if (!any)
        return r;
    while (fracDigits < 6) {
        frac *= 10;
        ++fracDigits;
    }
    r.Micro = whole * KMicro + frac;
    r.Ok = r.Micro > 0;
    return r;
}

QString SellPctText(qint64 micro)
{
    // Half away from zero to two places, trailing zeros dropped.
    const qint64 hundredths = (micro + KMicro / 200) / (KMicro / 100);
    QString s = QString::number(hundredths / 100);
    const int f = int(hundredths % 100);
    if (f != 0) {
        s += QLatin1Char('.') + QString::number(f).rightJustified(2, QLatin1Char('0'));
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
    }
    return s;
}

int SellTarget(int base, qint64 microPct)
{
    if (base <= 0 || microPct < 0)
        return 0;
    // base × (100% + p) / 100%, rounded up, in whole numbers.
    const long double prod = static_cast<long double>(base) * static_cast<long double>(KHundredPct + microPct);
    if (prod / KHundredPct > INT_MAX)
        return 0;
    const qint64 num = qint64(base) * (KHundredPct + microPct);
    const qint64 e = (num + KHundredPct - 1) / KHundredPct;
    qint64 g = OnGrid(e);
    if (g == 0)
        return 0;
    if (TickSize(int(g)) != TickSize(int(e)))
        g = OnGrid(g);
    return g > 0 && g <= INT_MAX ? int(g) : 0;
}

TAutoSellPrice AutoSellPrice(int fill, qint64 microPct, int upLimit)
{
    TAutoSellPrice r;
    int g = SellTarget(fill, microPct);
    if (g <= 0) {
        r.Why = QStringLiteral("목표가를 계산할 수 없음");
        return r;
    }
    if (g <= fill)
        g = TickUp(fill);
    if (upLimit > 0 && g > upLimit) {
        if (upLimit <= fill) {
            r.Why = QStringLiteral("체결가가 이미 상한가");
            return r;
        }
        g = upLimit;
        r.Capped = true;
    }
    r.Price = g;
    return r;
}

QVector<TSplitPart> PlanSplit(qint64 sellable, int start, const TSplitRandom& rnd)
{
    QVector<TSplitPart> parts;
    if (sellable <= 0 || start <= 0)
        return parts;
    const int n = sellable > 3 ? 3 : int(sellable);
    double w[3] = {0, 0, 0}, total = 0;
    for (int k = 0; k < n; ++k) {
        w[k] = 0.25 + 0.2 * rnd.Uniform01();
        total += w[k];
    }
    qint64 left = sellable;
    int px = start;
    for (int k = 0; k < n; ++k) {
        TSplitPart p;
        if (k == n - 1) {
            p.Qty = left;
        } else {
            p.Qty = qint64(std::trunc(double(sellable) * w[k] / total));
            p.Qty = std::min(p.Qty, left - (n - 1 - k));
            p.Qty = std::max<qint64>(p.Qty, 1);
        }
        left -= p.Qty;
        if (k > 0) {
            const int steps = 1 + rnd.Pick(0, 1);
            for (int s = 0; s < steps; ++s)
                px = TickUp(px);
            p.DelayMs = (k == 1 ? rnd.Pick(2, 5) : rnd.Pick(3, 6)) * 1000;
        }
        p.Px = px;
        parts << p;
    }
    return parts;
}

// ---- what can be sold ----

void TSellableBook::Fill(const QString& code, bool buy, qint64 qty, const QString& ordNo, quint64 balSent)
{
    if (qty <= 0)
        return;
    FFills.append({code, buy ? qty : -qty, balSent});
    if (buy || ordNo.isEmpty())
        return;
    for (TSellRec& s : FSells)
        if (s.Code == code && s.OrdNo == ordNo) {
            s.Rem = std::max<qint64>(0, s.Rem - qty);   // counted by the fill now
            break;
        }
}

void TSellableBook::BalanceApplied(quint64 seq)
{
    FFills.removeIf([seq](const TFillRec& f) { return f.BalSent < seq; });
}

void TSellableBook::MicheApplied(quint64 seq)
{
    // An answer to a request that left after ours was answered shows what
    // is left of it, or nothing when it is gone (filled, refused, cancelled).
    FSells.removeIf([seq](const TSellRec& s) { return s.Answered && s.MicheSent < seq; });
}

int TSellableBook::SellQueued(const QString& code, qint64 qty)
{
    TSellRec s;
    s.Id = FNextId++;
    s.Code = code;
    s.Rem = qty;
    FSells.append(s);
    return s.Id;
}

void TSellableBook::SellAnswered(int id, const QString& ordNo, quint64 micheSent)
{
    for (TSellRec& s : FSells)
        if (s.Id == id) {
            if (!s.Answered)
                s.MicheSent = micheSent;
            s.Answered = true;
            if (!ordNo.isEmpty())
                s.OrdNo = ordNo;
        }
}

void TSellableBook::SellFailed(int id)
{
    FSells.removeIf([id](const TSellRec& s) { return s.Id == id; });
}

qint64 TSellableBook::FillsSinceBalance(const QString& code) const
{
    qint64 n = 0;
    for (const TFillRec& f : FFills)
        if (f.Code == code)
            n += f.Signed;
    return n;
}

qint64 TSellableBook::SellsNotShown(const QString& code) const
{
    qint64 n = 0;
    for (const TSellRec& s : FSells)
        if (s.Code == code)
            n += s.Rem;
    return n;
}

void TSellableBook::Clear()
{
    FFills.clear();
    FSells.clear();
}

qint64 SellableNow(qint64 balanceQty, qint64 fillsSince, qint64 shownSells, qint64 notShownSells,
                   qint64 pendingParts)
{
    return std::max<qint64>(0, balanceQty + fillsSince - shownSells - notShownSells - pendingParts);
}
