// Real-time records (trades S3_/K3_, book H1_/HA_) read into the quote
// snapshot, the quote header and the tick list.
//
// Input: records separated by lines "--"; each record's fields as
// FakeBroker.h describes. The current stock is 005930 unless a record
// holds "@select=<code>" (then the stock changes before the record).
//
// Checks:
//  - a record of another stock, or a trade without a price, changes nothing;
//  - a trade sets price and volume from itself (price > 0) and never touches
//    the book; a book record touches nothing but the levels and totals;
//  - the quote header shows the price grouped by thousands;
//  - the tick sums handed out as ticks come and go equal a replay of the
//    ticks kept (RebuildSums), and the list never exceeds its cap.
#include "FakeBroker.h"
#include "FuzzUtil.h"
#include "core/NumFmt.h"
#include "market/Quote.h"
#include "market/Ticks.h"

#include <cstdint>
#include <map>
#include <tuple>

namespace {

bool SameBook(const THogaData& a, const THogaData& b)
{
    return a.Ask == b.Ask && a.Bid == b.Bid && a.AskQ == b.AskQ && a.BidQ == b.BidQ && a.TotAsk == b.TotAsk
           && a.TotBid == b.TotBid;
}

bool SameHead(const THogaData& a, const THogaData& b)
{
    return a.Code == b.Code && a.Name == b.Name && a.Price == b.Price && a.PrevClose == b.PrevClose
           && a.UpLmt == b.UpLmt && a.DnLmt == b.DnLmt && a.Volume == b.Volume;
}

bool SameDay(const TDayOHL& a, const TDayOHL& b)
{
    return a.Open == b.Open && a.High == b.High && a.Low == b.Low;
}

// Tick sums per (side, price); volumes wrap like the unsigned sums they are
// compared as, so huge volumes cannot make the check itself overflow.
using TSums = std::map<std::pair<int, int>, quint64>;

void Add(TSums& s, int sd, int p, qint64 v)
{
    quint64& x = s[{sd, p}];
    x += static_cast<quint64>(v);
    if (x == 0)
        s.erase({sd, p});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = InputBytes(data, size);
    THogaData h;
    h.Code = QStringLiteral("005930");
    h.Name = QStringLiteral("삼성전자");
    h.PrevClose = 70000;
    TDayOHL d;
    TTickList ticks;
    TSums live;
    const auto sink = [&live](int sd, int p, qint64 v) {
        FUZZ_CHECK(sd == 1 || sd == 2, QStringLiteral("tick sum side %1").arg(sd));
        Add(live, sd, p, v);
    };

    int n = 0;
    for (const QByteArray& rec : SplitParts(input, "\n--\n")) {
        if (++n > 64)
            break;
        const TFuzzReal r(rec);
        const QString select = r.GetFieldData(QString(), QStringLiteral("@select"));
        if (!select.isEmpty()) {
            h = THogaData();
            h.Code = select.trimmed();
            d = TDayOHL();
        }

        const THogaData h0 = h;
        const TDayOHL d0 = d;
        TTradeRec t;
        t.Price = -7;
        if (ApplyTradeReal(r, h, d, &t)) {
            FUZZ_CHECK(h.Price > 0 && h.Price == t.Price && h.Volume == t.Volume,
                       QStringLiteral("trade: price %1 volume %2, record %3 %4").arg(h.Price).arg(h.Volume).arg(t.Price).arg(t.Volume));
            FUZZ_CHECK(t.Side == '+' || t.Side == '-' || t.Side == 0, QStringLiteral("trade side %1").arg(int(t.Side)));
            FUZZ_CHECK(SameBook(h, h0) && h.Code == h0.Code && h.Name == h0.Name && h.PrevClose == h0.PrevClose,
                       QStringLiteral("a trade changed the book or the stock"));
            FUZZ_CHECK((d.Open == d0.Open || d.Open > 0) && (d.High == d0.High || d.High > 0) && (d.Low == d0.Low || d.Low > 0),
                       QStringLiteral("a trade set a day price to zero or less"));
            const int before = ticks.Count();
            const TTickRow& row = ticks.AddReal(t.Time, t.Price, t.CVolume, QString(QLatin1Char(t.Side ? t.Side : ' ')), sink);
            FUZZ_CHECK(row.P == t.Price && row.V == t.CVolume, QStringLiteral("tick row differs from the trade"));
            FUZZ_CHECK(ticks.Count() == qMin(before + 1, kMaxTicks), QStringLiteral("tick count %1").arg(ticks.Count()));
        } else {
            FUZZ_CHECK(SameHead(h, h0) && SameBook(h, h0) && SameDay(d, d0), QStringLiteral("a dropped trade changed the snapshot"));
            FUZZ_CHECK(t.Price == -7, QStringLiteral("a dropped trade was handed out"));
        }

        const THogaData h1 = h;
        if (ApplyBookReal(r, h))
            FUZZ_CHECK(SameHead(h, h1), QStringLiteral("a book record changed the price, volume or stock"));
        else
            FUZZ_CHECK(SameHead(h, h1) && SameBook(h, h1), QStringLiteral("a dropped book record changed the snapshot"));

        const TQuoteHeader qh = MakeQuoteHeader(h, d, ParseInt(r.GetFieldData(QString(), QStringLiteral("@prevvol"))));
        if (h.Price > 0)
            FUZZ_CHECK(qh.Px == FmtNum(h.Price), QStringLiteral("header price %1 for %2").arg(qh.Px).arg(h.Price));
        ticks.SumsLabel();
    }

    TSums replay;
    ticks.RebuildSums([&replay](int sd, int p, qint64 v) { Add(replay, sd, p, v); });
    FUZZ_CHECK(replay == live, QStringLiteral("tick sums handed out (%1 entries) differ from a replay (%2 entries)")
                                   .arg(live.size()).arg(replay.size()));
    return 0;
}
