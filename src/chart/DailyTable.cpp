#include "chart/DailyTable.h"

#include "core/NumFmt.h"

#include <cmath>

namespace {
const QColor kUp(0xe5, 0x39, 0x35), kDown(0x1e, 0x88, 0xe5), kText(0x30, 0x30, 0x30), kDate(0x60, 0x60, 0x60),
    kFaint(0xa0, 0xa0, 0xa0);

double MeanVol(const QVector<TBar>& a, int from, int to)  // inclusive
{
    if (to < from)
        return 0;
    double s = 0;
    for (int i = from; i <= to; ++i)
        s += double(a[i].V);
    return s / (to - from + 1);
}
}

void TDailyTable::Rebuild(const QVector<TBar>& asc, const QString& today)
{
    FToday = today;
    const int n = asc.size();
    FRows.resize(n);
    FAvg20.resize(n);
    for (int k = 0; k < n; ++k) {
        const int d = n - 1 - k;
        FRows[k] = asc[d];
        FAvg20[k] = d < 1 ? 0 : MeanVol(asc, qMax(d - 20, 0), d - 1);
    }
    FSummary.clear();
    if (n == 0)
        return;
    int b = n - 1;
    if (asc[b].D.left(8) == today && n >= 2)
        --b;
    const auto avg = [&](int span) { return MeanVol(asc, qMax(b - span + 1, 0), b) / 10000.0; };
    FSummary = QStringLiteral("평소 거래량  5일 %1 · 20일 %2 · 60일 %3만주")
                   .arg(FormatFloat("#,##0.0", avg(5)), FormatFloat("#,##0.0", avg(20)), FormatFloat("#,##0.0", avg(60)));
    double value = 0;
    const int from = qMax(b - 19, 0);
    for (int i = from; i <= b; ++i)
        value += asc[i].PV;
    if (value > 0)
        FSummary += QStringLiteral("  ·  거래대금 20일 %1억").arg(FormatFloat("#,##0", value / (b - from + 1) / 1e8));
}

TDailyCell TDailyTable::Cell(int k, int col) const
{
    const TBar& r = FRows[k];
    const double prev = k + 1 < FRows.size() ? FRows[k + 1].C : 0;
    const double chg = prev > 0 ? (r.C / prev - 1) * 100 : 0;
    const QColor signColor = chg > 0 ? kUp : chg < 0 ? kDown : kText;
    switch (col) {
    case 0:
        return {r.D.mid(2, 2) + '/' + r.D.mid(4, 2) + '/' + r.D.mid(6, 2), kDate};
    case 1:
        return {FmtNum(std::round(r.C)), signColor};
    case 2:
        return {FormatFloat("+0.00;-0.00;0.00", chg) + '%', signColor};
    case 3:
        return {FmtNum(r.V), kText};
    case 4: {
        if (FAvg20[k] <= 0)
            return {QStringLiteral("—"), kText};
        const double ratio = double(r.V) / FAvg20[k];
        const QString t = FormatFloat("0.0", ratio) + QStringLiteral("배");
        if (ratio >= 2)
            return {t, kUp, true};
        return {t, ratio < 0.5 ? kFaint : kText};
    }
    case 5:
        if (r.PV <= 0)
            return {QStringLiteral("—"), kText};
        return {FormatFloat("#,##0.0", r.PV / 1e8) + QStringLiteral("억"), kText};
    default:
        return {};
    }
}

QStringList TDailyTable::WidthSamples() const
{
    double maxC = 0, maxV = 0, maxPV = 1e10;
    for (const TBar& b : FRows) {
        maxC = qMax(maxC, b.C);
        maxV = qMax(maxV, double(b.V));
        maxPV = qMax(maxPV, b.PV);
    }
    return {QStringLiteral("00/00/00"), FmtNum(maxC), QStringLiteral("+00.00%"), FmtNum(maxV),
            QStringLiteral("00.0배"), FormatFloat("#,##0.0", maxPV / 1e8) + QStringLiteral("억")};
}

QVector<TBar> TDailyTable::Ascending() const
{
    QVector<TBar> a(FRows.rbegin(), FRows.rend());
    return a;
}
