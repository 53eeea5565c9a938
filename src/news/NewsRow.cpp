#include "news/NewsRow.h"
#include "core/NumFmt.h"
#include <algorithm>

namespace {

bool AllDigits(const QString& s)
{
    for (QChar c : s)
        if (c < u'0' || c > u'9')
            return false;
    return !s.isEmpty();
}

// Seconds since midnight of an hhmm[ss] text; -1 when it is not one.
int SecondsOf(const QString& t)
{
    if (t.size() < 4 || !AllDigits(t.left(4)))
        return -1;
    int sec = t.left(2).toInt() * 3600 + t.mid(2, 2).toInt() * 60;
    if (t.size() >= 6 && AllDigits(t.mid(4, 2)))
        sec += t.mid(4, 2).toInt();
    return sec;
}

} // namespace

int FindBarNews(const QVector<TNewsRow>& rows, const QVector<int>& view,
                const QString& barKey, int minPer)
{
    if (barKey.size() != 12 || !AllDigits(barKey))
        return -1;
    const QString day = barKey.left(8);
    const int end = SecondsOf(barKey.mid(8, 4));
    const int from = end - (std::max(minPer, 1) + 3) * 60;
    int best = -1, bestSec = -1;
    for (int i : view) {
        if (i < 0 || i >= rows.size())
            continue;
        const TNewsRow& r = rows[i];
        if (r.D != day)
            continue;
        const int s = SecondsOf(r.T);
        if (s < from || s >= end)
            continue;
        if (s > bestSec || (s == bestSec && i > best)) {
            best = i;
            bestSec = s;
        }
    }
    return best;
}

bool NewsMarkOf(const TNewsRow& row, QString& key, QString& label)
{
    if (row.D.isEmpty() || row.T.size() < 4 || !AllDigits(row.T.left(4)))
        return false;
    key = row.D + QStringLiteral("%1").arg(NextMinute(row.T.left(4)), 4, 10, QLatin1Char('0'));
    label = QStringLiteral("뉴스 ") + row.T.left(2) + u':' + row.T.mid(2, 2);
    return true;
}
