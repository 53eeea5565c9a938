// The broker's answers the board and the market lists read: any bytes, as
// records (lines) of fields (tabs), handed to the readers field by field.
// The rankings keep unique codes of at most six characters in no more rows
// than records; the broker top five reads any text; the investor figures
// and every board page's labels come out of any numbers; the pop-up series
// stay sorted, their ranges ordered and the point under the mouse in range.
#include "board/Board.h"
#include "core/NumFmt.h"
#include "board/PopSeries.h"
#include "lists/BrokerTop.h"
#include "lists/Rank.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

QVector<QStringList> Records(const QByteArray& data)
{
    QVector<QStringList> out;
    for (const QByteArray& line : data.split('\n')) {
        if (out.size() >= 300)
            break;
        out.append(QString::fromUtf8(line).split(QLatin1Char('\t')));
    }
    return out;
}

// A field's text: the record's n-th field, n found from the field's name so
// that every name of a layout gets some field.
QString FieldOf(const QVector<QStringList>& recs, int i, const QString& name)
{
    if (i < 0 || i >= recs.size() || recs[i].isEmpty())
        return QString();
    const QStringList& r = recs[i];
    return r[int(qHash(name) % uint(r.size()))];
}

// A number as the readers get one, held finite (the board keeps its own
// figures finite; this only feeds the label and series code).
double Num(const QString& s)
{
    const double d = ParseNum(s);
    return std::isfinite(d) ? std::clamp(d, -1e15, 1e15) : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QVector<QStringList> recs = Records(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const auto field = [&recs](const QString& name, int i) { return FieldOf(recs, i, name); };

    TRankMarks marks;
    for (int kind = 0; kind < KRankKinds; ++kind) {
        QVector<TRankRow> rows = ReadRankRows(RankTr(kind), int(recs.size()), field, [](const QString& c) { return c; });
        if (rows.size() > recs.size())
            std::abort();
        QSet<QString> codes;
        for (const TRankRow& r : rows) {
            if (r.Code.isEmpty() || r.Code.size() > 6 || codes.contains(r.Code))
                std::abort();
            codes.insert(r.Code);
        }
        QStringList names;
        const int fresh = marks.Apply(rows, QStringLiteral("%1/0").arg(kind), &names);
        if (fresh < 0 || fresh > rows.size() || names.size() > 4)
            std::abort();
        (void)RankTimeText(QStringLiteral("09:00:00"), int(rows.size()), fresh, names);
        for (const TRankRow& r : rows)
            (void)(RankMan(r.Vol) + RankEok(r.X1));
    }

    TBrokerTop top;
    if (ReadBrokerTop([&](const QString& f) { return field(f, 0); }, BrokerAnswerCode(field(QStringLiteral("shcode"), 0)), &top))
        for (int k = 0; k < 10; ++k)
            (void)(BrokerChangeText(top.Cha[size_t(k)]) + QString::number(IsForeignBroker(top.Name[size_t(k)])));

    TBoardInv inv;
    inv.Ok = ReadInvFigures([&](const QString& b, const QString& f) { return field(b + f, 1); }, inv.V);
    inv.Ex = BoardExCode(3);
    QVector<TBoardItem> items = InitBoard();
    for (int i = 0; i < items.size(); ++i) {
        items[i].Px = Num(field(QStringLiteral("close"), 2 + i));
        items[i].Rt = SignedRate(Num(field(QStringLiteral("diff"), 2 + i)), field(QStringLiteral("sign"), 2 + i));
        items[i].Ok = items[i].Px > 0;
    }
    TBoardEtn etn;
    etn.Ok = true;
    etn.PrevDate = field(QStringLiteral("prev"), 0);
    for (int g = 0; g < 10; ++g) {
        etn.Inv[g] = qint64(Num(field(QStringLiteral("inv%1").arg(g), 1)));
        etn.Chg[g] = qint64(Num(field(QStringLiteral("chg%1").arg(g), 1)));
    }
    for (int page = 0; page < 7; ++page)
        (void)BoardLabels(page, items, inv, etn);
    (void)UsItemOf(field(QStringLiteral("symbol"), 0));

    QStringList keys;
    QVector<QStringList> rows;
    for (int i = 0; i < recs.size(); ++i) {
        keys << field(QStringLiteral("date"), i) + field(QStringLiteral("time"), i);
        rows.append({field(QStringLiteral("date"), i), field(QStringLiteral("time"), i), field(QStringLiteral("close"), i)});
    }
    const int latest = LatestRow(keys);
    if (latest < -1 || latest >= keys.size())
        std::abort();
    QStringList labels;
    QVector<double> values;
    PopSet(PopLatestDay(rows), &labels, &values);
    if (labels.size() != values.size())
        std::abort();
    const QPair<double, double> range = PopRange(values, Num(field(QStringLiteral("prev"), 0)), 0.12);
    if (!(range.first <= range.second) && std::isfinite(range.first) && std::isfinite(range.second))
        std::abort();
    const int n = int(values.size());
    const int at = PopIndexAt(Num(field(QStringLiteral("x"), 0)), n, 10, 500);
    if (n == 0 ? at != -1 : (at < 0 || at >= n))
        std::abort();
    (void)PopScale(Num(field(QStringLiteral("board"), 0)), n ? values.last() : 0);
    return 0;
}
