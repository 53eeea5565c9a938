// The signal service's per-minute series and top list: any bytes, read as
// both answers. Series rows are newest-first-as-sent minutes up to 20:00
// with sums >= 0; top items are unique six-character codes; the ranking of
// any items shows at most 30 rows with one mark each.
#include "signals/Lumen.h"

#include <QSet>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));

    const TLmSeries s = ParseLmSeries(body);
    if ((!s.Ok && !s.Rows.isEmpty()) || s.Rows.size() > 2000 || s.Date.size() > 32)
        std::abort();
    for (const TLmRow& r : s.Rows)
        if (r.T.size() != 4 || r.T > QLatin1String("2000") || r.B < 0 || r.S < 0)
            std::abort();
    for (const bool changes : {false, true})
        for (const int i : LmVisible(s.Rows, changes))
            if (i < 0 || i >= s.Rows.size())
                std::abort();
    if (LmSummary(s).isEmpty())
        std::abort();

    const TLmTop t = ParseLmTop(body, [](const QString& isin) { return isin.mid(3, 6); });
    if ((!t.Ok && !t.Items.isEmpty()) || t.Items.size() > 2000)
        std::abort();
    QSet<QString> codes;
    for (const TLmRow& r : t.Items) {
        if (r.T.size() != 6 || codes.contains(r.T) || r.B < 0 || r.S < 0 || IsinFromCode(r.T).size() != 12)
            std::abort();
        codes.insert(r.T);
    }
    (void)LmTopSummary(t);

    TLmTopRank rank;
    for (int round = 0; round < 3; ++round) {
        rank.Rebuild(t.Items, int(size + round) % 5, round != 1);
        const qsizetype n = rank.Shown().size();
        if (n > 30 || n > t.Items.size() || rank.New().size() != n || rank.Move().size() != n)
            std::abort();
    }
    return 0;
}
