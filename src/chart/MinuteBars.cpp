#include "chart/MinuteBars.h"

#include <algorithm>

namespace {

void AppendTwo(QString& s, int v)
{
    s.append(QChar(u'0' + v / 10 % 10));
    s.append(QChar(u'0' + v % 10));
}

} // namespace

QString MinGroupKey(const QString& key, int n)
{
    if (n < 2 || key.size() != 12)
        return key;
    const QStringView v(key);
    const int hh = v.mid(8, 2).toInt();
    const int mm = v.mid(10, 2).toInt();
    const int m = hh * 60 + mm;
    const int e = n * ((m - 1) / n + 1);
    QString r;
    r.reserve(12);
    r.append(v.left(8));
    AppendTwo(r, e / 60);
    AppendTwo(r, e % 60);
    return r;
}

QVector<TBar> GroupMinBars(const QVector<TBar>& a, int n)
{
    QVector<TBar> r;
    r.reserve(n < 2 ? a.size() : a.size() / n + 1);
    for (const TBar& b : a) {
        const QString key = MinGroupKey(b.D, n);
        const double pv = (b.H + b.L + b.C) / 3.0 * double(b.V);
        if (!r.isEmpty() && r.last().D == key) {
            TBar& g = r.last();
            g.H = std::max(g.H, b.H);
            g.L = std::min(g.L, b.L);
            g.C = b.C;
            g.V += b.V;
            g.PV += pv;
        } else {
            TBar g = b;
            g.D = key;
            g.PV = pv;
            r.append(g);
        }
    }
    return r;
}

QVector<TBar> SortBars(const QVector<TBar>& a)
{
    QVector<TBar> r = a;
    std::stable_sort(r.begin(), r.end(), [](const TBar& x, const TBar& y) { return x.D < y.D; });
    return r;
}
