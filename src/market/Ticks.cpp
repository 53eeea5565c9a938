#include "market/Ticks.h"

#include "core/NumFmt.h"

QString TTickList::TimeText(const QString& s)
{
    return s.mid(0, 2) + QLatin1Char(':') + s.mid(2, 2) + QLatin1Char(':') + s.mid(4, 2);
}

void TTickList::ApplyPage(const QVector<TTickRec>& recs, bool first)
{
    if (first) {
        FTicks.clear();
        FIns = 0;
    }
    for (const TTickRec& r : recs) {
        const QString t = r.Chetime.trimmed();
        if (t.isEmpty() || FTicks.size() >= kMaxTicks)
            continue;
        TTickRow row;
        row.T = TimeText(t);
        row.P = r.Price;
        row.V = r.CVolume;
        row.Ms = r.Ms;
        row.Md = r.Md;
        row.HasCum = r.Ms > 0 || r.Md > 0;
        if (r.Ask > 0 && row.P >= r.Ask)
            row.Sd = 1;
        else if (r.Bid > 0 && r.Bid >= row.P)
            row.Sd = 2;
        FTicks.append(row);
    }
    // Unknown sides from the growth of the cumulative volumes against the older tick.
    for (int i = 0; i + 1 < FTicks.size(); ++i) {
        TTickRow& a = FTicks[i];
        const TTickRow& b = FTicks[i + 1];
        if (a.Sd != 0 || !a.HasCum || !b.HasCum)
            continue;
        const qint64 dMs = SatSub(a.Ms, b.Ms), dMd = SatSub(a.Md, b.Md);
        if (dMs > 0 && dMs >= dMd)
            a.Sd = 1;
        else if (dMd > 0)
            a.Sd = 2;
    }
}

const TTickRow& TTickList::AddReal(const QString& chetime, int price, qint64 vol, const QString& cgubun,
                                   const TTickSink& sums)
{
    TTickRow row;
    row.T = TimeText(chetime.trimmed());
    row.P = price;
    row.V = vol;
    const QString g = cgubun.trimmed();
    row.Sd = g == QStringLiteral("+") ? 1 : g == QStringLiteral("-") ? 2 : 0;
    FTicks.prepend(row);
    ++FIns;
    if (row.Sd != 0) {
        ++FTkCnt;
        if (FTkFrom.isEmpty())
            FTkFrom = row.T;
        if (sums)
            sums(row.Sd, row.P, row.V);
    }
    if (FTicks.size() > kMaxTicks) {
        const TTickRow old = FTicks.takeLast();
        if (old.Sd != 0 && sums)
            sums(old.Sd, old.P, -old.V);
    }
    return FTicks.first();
}

void TTickList::DropOldest(const TTickSink& sums)
{
    if (FTicks.isEmpty())
        return;
    const TTickRow old = FTicks.takeLast();
    if (old.Sd != 0 && sums)
        sums(old.Sd, old.P, -old.V);
}

void TTickList::Clear()
{
    FTicks.clear();
    FIns = 0;
    FTkCnt = 0;
    FTkFrom.clear();
}

void TTickList::RebuildSums(const TTickSink& sums)
{
    FTkCnt = 0;
    FTkFrom.clear();
    for (const TTickRow& r : FTicks) {
        if (r.Sd == 0)
            continue;
        if (sums)
            sums(r.Sd, r.P, r.V);
        ++FTkCnt;
        FTkFrom = r.T;
    }
}

QString TTickList::SumsLabel() const
{
    const QString head = FTkCnt != 0
                             ? QStringLiteral("체결 합계 시작  %1  ·  %2건").arg(FTkFrom, FmtNum(FTkCnt))
                             : QStringLiteral("체결 합계 시작  —  (아직 체결 없음)");
    return head + QStringLiteral("  (호가 더블클릭 = 새로)");
}
