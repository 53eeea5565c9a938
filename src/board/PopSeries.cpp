#include "board/PopSeries.h"

#include <QSet>
#include <algorithm>
#include <cmath>

QVector<TPopPoint> PopLatestDay(const QVector<QStringList>& rows)
{
    QString latest;
    for (const QStringList& r : rows)
        if (r.size() >= 3 && r[0].trimmed() > latest)
            latest = r[0].trimmed();
    QVector<TPopPoint> out;
    if (latest.isEmpty())
        return out;
    for (const QStringList& r : rows) {
        if (r.size() < 3 || r[0].trimmed() != latest)
            continue;
        QString t = r[1].trimmed();
        t.remove(QLatin1Char(':'));
        if (t.size() < 4)
            continue;
        out.append({latest + t.left(4), r[2].toDouble()});
    }
    return out;
}

void PopSet(QVector<TPopPoint> list, QStringList* labels, QVector<double>* values)
{
    std::stable_sort(list.begin(), list.end(), [](const TPopPoint& a, const TPopPoint& b) { return a.first < b.first; });
    labels->clear();
    values->clear();
    for (const TPopPoint& p : list) {
        labels->append(p.first.mid(8, 2) + QLatin1Char(':') + p.first.mid(10, 2));
        values->append(p.second);
    }
}

double PopScale(double boardPx, double lastValue)
{
    if (!(boardPx > 0) || !(lastValue > 0))
        return 1;
    const double k = std::round(std::log10(boardPx / lastValue));
    const double f = std::pow(10.0, k);
    return std::abs(f - 1) > 0.5 && std::isfinite(f) ? f : 1;
}

double PopX(int i, int n, double left, double width)
{
    if (n <= 1)
        return left + width / 2;
    return left + double(i) * width / (n - 1);
}

int PopIndexAt(double x, int n, double left, double width)
{
    if (n <= 0)
        return -1;
    if (n == 1 || width <= 0)
        return 0;
    const int i = int(std::lround((x - left) / width * (n - 1)));
    return std::clamp(i, 0, n - 1);
}

QPair<double, double> PopRange(const QVector<double>& values, double prev, double pad)
{
    double lo = 0, hi = 0;
    bool any = false;
    auto take = [&](double v) {
        if (!std::isfinite(v))
            return;
        lo = any ? std::min(lo, v) : v;
        hi = any ? std::max(hi, v) : v;
        any = true;
    };
    for (double v : values)
        take(v);
    if (prev > 0)
        take(prev);
    if (hi - lo <= 0) {
        hi += 1;
        lo -= 1;
    }
    const double p = (hi - lo) * pad;
    return {lo - p, hi + p};
}

void TInvFlow::Start(int market)
{
    Market = market;
    FAcc.clear();
    Page = 0;
    More = false;
    CtsT.clear();
    CtsI.clear();
}

TInvFlow::TNext TInvFlow::AddPage(const QVector<TRow>& rows, const QString& ctsTime, const QString& ctsIdx, bool open)
{
    QString smallest;
    int taken = 0;
    for (const TRow& r : rows) {
        const QString t = r.Time.trimmed();
        if (t.isEmpty())
            continue;
        FAcc.append({t, {r.V[0], r.V[1], r.V[2]}});
        if (smallest.isEmpty() || t < smallest)
            smallest = t;
        ++taken;
    }
    ++Page;
    CtsT = ctsTime.trimmed();
    CtsI = ctsIdx.trimmed();
    // Times come as hhmmss plus two digits: compare the first six.
    if (taken > 0 && !CtsT.isEmpty() && smallest.left(6) > QLatin1String("090100") && Page < kMaxPages && open) {
        More = true;
        return NextPage;
    }
    // The first of each time, ascending.
    QVector<TRow> rowsSorted;
    QSet<QString> seen;
    for (const TRow& r : std::as_const(FAcc))
        if (!seen.contains(r.Time)) {
            seen.insert(r.Time);
            rowsSorted.append(r);
        }
    std::stable_sort(rowsSorted.begin(), rowsSorted.end(), [](const TRow& a, const TRow& b) { return a.Time < b.Time; });
    const int m = Market == 1 ? 1 : 0;
    T[m].clear();
    for (int s = 0; s < 3; ++s)
        V[m * 3 + s].clear();
    for (const TRow& r : std::as_const(rowsSorted)) {
        T[m].append(r.Time.left(2) + QLatin1Char(':') + r.Time.mid(2, 2));
        for (int s = 0; s < 3; ++s)
            V[m * 3 + s].append(r.V[s]);
    }
    FAcc.clear();
    More = false;
    return m == 0 && open ? NextMarket : Finished;
}
