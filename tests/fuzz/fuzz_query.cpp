// Query answers read by the program: the price answer (t1101), unfilled
// orders and fills (t0425), the balance (CSPAQ12300), program trading
// (t1637), ticks (t1301) and the server time (t0167); and the headline rows
// of the news feed; the day's profit pages (t0425 fills, the t0150 journal,
// the t0424 balance) and the auto-sell percentage, target and split plan.
//
// Input: answers separated by lines "--"; the first line of each names it
// (?price ?miche ?balance ?fills ?prog ?prognext ?progrefresh ?ticks
// ?ticksnext ?time ?news ?pnlfills ?pnlcosts ?pnlholds ?autosell), the rest are its fields as FakeBroker.h
// describes. State (snapshot, program-trading rows, tick list, headlines)
// carries over from answer to answer.
#include "FakeBroker.h"
#include "FuzzUtil.h"
#include "core/Clock.h"
#include "core/NumFmt.h"
#include "core/ServerClock.h"
#include "market/ProgTrading.h"
#include "market/Quote.h"
#include "market/Ticks.h"
#include "news/NewsRow.h"
#include "trading/AccountData.h"
#include "trading/AutoSell.h"
#include "trading/DayPnl.h"

#include <QRegularExpression>

#include <cmath>
#include <cstdint>
#include <iterator>

namespace {

const QString kToday = QStringLiteral("20261210");

struct TState {
    THogaData Hoga;
    TDayOHL Day;
    TProgState Prog;
    TTickList Ticks;
    QVector<TNewsRow> News;
    TTestClock Clock;
    TServerClock Server{Clock};
    TDayPnl Pnl;
};

// One page of a day-profit chain (0 fills, 1 journal, 2 balance), then the
// whole view as the tab shows it.
void PnlPage(TState& s, const TFuzzQuery& q, int chain)
{
    TDayPnl& d = s.Pnl;
    d.HoldOf = [&q](const QString& code, qint64* qty, double* avg) {
        if (code != q.GetFieldData({}, QStringLiteral("@held"), 0))
            return false;
        *qty = ParseInt(q.GetFieldData({}, QStringLiteral("@heldqty"), 0));
        *avg = ParseNum(q.GetFieldData({}, QStringLiteral("@heldavg"), 0));
        return true;
    };
    d.IsTaxFree = [](const QString& code) { return code.endsWith(QLatin1Char('9')); };
    d.Rates = RatesFromFeeBox(ParseNum(q.GetFieldData({}, QStringLiteral("@feebox"), 0)),
                              PercentToRate(q.GetFieldData({}, QStringLiteral("@selltax"), 0)).value_or(KDefaultSellTax));
    bool more = false;
    int page = 0;
    if (chain == 0) {
        QString key;
        more = d.AddFillsPage(q, &key);
        page = d.FPnlPage;
        if (!more)
            d.BeginFills();   // the next ?pnlfills starts a new round
    } else if (chain == 1) {
        QStringList keys;
        more = d.AddCostsPage(q, &keys);
        page = d.FDayFeePage;
        FUZZ_CHECK(keys.size() == 4, QStringLiteral("%1 journal keys").arg(keys.size()));
        if (!more)
            d.BeginCosts();
    } else {
        QString key;
        more = d.AddHoldsPage(q, &key);
        page = d.FBalAllPage;
        if (!more)
            d.BeginHolds();
    }
    FUZZ_CHECK(!more || page < TDayPnl::KMaxPages, QStringLiteral("page %1 asks for more").arg(page));
    d.Rebuild();
    FUZZ_CHECK(!d.LabelText().isEmpty() && d.TabCaption().contains(QStringLiteral("당일손익")), d.LabelText());
    for (int i = 0; i < d.FPnl.size(); ++i) {
        const TPnlRow& r = d.FPnl[i];
        FUZZ_CHECK(r.Code.size() <= 6 && r.Bq >= 0 && r.Sq >= 0 && r.Ba >= 0 && r.Sa >= 0,
                   QStringLiteral("row %1 %2 %3").arg(Shown(r.Code)).arg(r.Bq).arg(r.Sq));
        const TPnlFigure f = d.PnlOf(r);
        FUZZ_CHECK(!f.Known || (r.Sq > 0 && std::isfinite(f.Percent)), QStringLiteral("figure of %1").arg(Shown(r.Code)));
        const TPnlCells c = d.CellsOf(i, r.Code);
        FUZZ_CHECK(!c.Text[1].isEmpty(), QStringLiteral("no state for %1").arg(Shown(r.Code)));
    }
}

// The auto-sell percentage as typed, its target from a fill and the split
// plan of a holding.
void AutoSell(const TFuzzQuery& q)
{
    const TSellPct p = ParseSellPct(q.GetFieldData({}, QStringLiteral("@pct"), 0));
    FUZZ_CHECK(!p.Ok || p.Micro > 0, QStringLiteral("percentage %1").arg(p.Micro));
    if (!p.Ok)
        return;
    const int fill = ParseInt32(q.GetFieldData({}, QStringLiteral("@fill"), 0));
    const int limit = ParseInt32(q.GetFieldData({}, QStringLiteral("@limit"), 0));
    const TAutoSellPrice a = AutoSellPrice(fill, p.Micro, limit);
    if (a.Price > 0)
        FUZZ_CHECK(a.Price > fill && a.Price % TickSize(a.Price) == 0 && (limit <= 0 || a.Price <= limit),
                   QStringLiteral("sell %1 after %2 (limit %3)").arg(a.Price).arg(fill).arg(limit));
    const qint64 sellable = ParseInt(q.GetFieldData({}, QStringLiteral("@sellable"), 0)) % 1000000000;
    const int start = SellTarget(fill, p.Micro);
    unsigned seed = unsigned(fill) ^ unsigned(sellable);
    TSplitRandom rnd;
    rnd.Uniform01 = [&seed] { seed = seed * 1103515245u + 12345u; return double(seed >> 8 & 0xffff) / 65536.0; };
    rnd.Pick = [&seed](int lo, int hi) { seed = seed * 1103515245u + 12345u; return lo + int((seed >> 8) % unsigned(hi - lo + 1)); };
    const QVector<TSplitPart> parts = PlanSplit(sellable, start, rnd);
    qint64 sum = 0;
    int last = 0;
    for (const TSplitPart& part : parts) {
        FUZZ_CHECK(part.Qty >= 1 && part.Px >= last, QStringLiteral("part %1 @ %2").arg(part.Qty).arg(part.Px));
        sum += part.Qty;
        last = part.Px;
    }
    FUZZ_CHECK(parts.isEmpty() || sum == sellable, QStringLiteral("parts %1 of %2").arg(sum).arg(sellable));
}

void Price(TState& s, const TFuzzQuery& q)
{
    ApplyPriceAnswer(q, s.Hoga, s.Day);
    const TQuoteHeader h = MakeQuoteHeader(s.Hoga, s.Day, ParseInt(q.GetFieldData({}, QStringLiteral("@prevvol"), 0)));
    if (s.Hoga.Price > 0)
        FUZZ_CHECK(h.Px == FmtNum(s.Hoga.Price), QStringLiteral("header price ") + h.Px);
}

void Miche(const TFuzzQuery& q)
{
    const QVector<TMicheRow> rows = ParseMiche(q, [](const QString& code) { return QStringLiteral("이름") + code; });
    FUZZ_CHECK(rows.size() <= qMax(0, q.GetBlockCount({})), QStringLiteral("%1 unfilled rows").arg(rows.size()));
    for (const TMicheRow& r : rows) {
        FUZZ_CHECK(r.Rem > 0 && (r.Side == QLatin1String("1") || r.Side == QLatin1String("2")) && r.Code.size() <= 6
                       && r.Name == QStringLiteral("이름") + r.Code,
                   QStringLiteral("unfilled row %1 %2 rem %3").arg(Shown(r.Code), Shown(r.Side)).arg(r.Rem));
    }
    for (const QString& side : {QStringLiteral("1"), QStringLiteral("2")}) {
        for (const TMicheRow& r : rows) {
            const QVector<TMicheRow> at = MicheRowsAt(rows, r.Code, side, r.Price);
            const QVector<TMicheRow> of = MicheRowsOf(rows, r.Code, side);
            FUZZ_CHECK(at.size() <= of.size(), QStringLiteral("more rows at one price than on the side"));
            const QStringList lines = CancelConfirmLines(of);
            FUZZ_CHECK(of.isEmpty() ? lines.isEmpty() : lines.size() == 2, QStringLiteral("cancel confirmation lines"));
        }
    }
    if (!rows.isEmpty())
        CancelButtonCaptions(rows, rows.first().Code);
    MicheTabCaption(rows.size());
}

void Balance(const TFuzzQuery& q)
{
    QHash<QString, THold> holds;
    holds.insert(QStringLiteral("stale!"), THold{1, 1});
    const QVector<TBalRow> rows = ParseBalance(q, holds);
    FUZZ_CHECK(rows.size() == qMax(0, q.GetBlockCount({})), QStringLiteral("%1 balance rows").arg(rows.size()));
    FUZZ_CHECK(!holds.contains(QStringLiteral("stale!")), QStringLiteral("holdings of an earlier answer kept"));
    for (auto it = holds.cbegin(); it != holds.cend(); ++it) {
        bool listed = false;
        for (const TBalRow& r : rows)
            listed = listed || r.Code == it.key();
        FUZZ_CHECK(listed && it.key().size() <= 6, QStringLiteral("holding %1 not in the grid").arg(Shown(it.key())));
    }
}

void Fills(const TFuzzQuery& q)
{
    const QString code = q.GetFieldData({}, QStringLiteral("@code"), 0);
    for (const TFillAt& f : ParseFills(q, code, kToday))
        FUZZ_CHECK(f.D.startsWith(kToday) && f.D.size() > kToday.size() && f.Price > 0,
                   QStringLiteral("fill %1 at %2").arg(Shown(f.D)).arg(f.Price));
}

void Prog(TState& s, const TFuzzQuery& q, bool next, bool refresh)
{
    TResFields in = {{QStringLiteral("단축코드"), QStringLiteral("shcode")}, {QStringLiteral("일자"), QStringLiteral("date")},
                     {QStringLiteral("시간"), QStringLiteral("time")}, {QStringLiteral("연속키"), QStringLiteral("cts_idx")}};
    s.Prog.SetLayout(in, {});
    const TProgRequest req = s.Prog.Build(s.Hoga.Code, kToday, next, refresh);
    s.Prog.Queued(next, refresh, 1000);
    s.Prog.Sent(req);
    const TProgOutcome o = s.Prog.OnAnswer(q, !refresh, 20);
    const QVector<TProgRow>& rows = s.Prog.Rows();
    for (int i = 0; i < rows.size(); ++i) {
        const TProgRow& r = rows[i];
        FUZZ_CHECK(r.P > 0 && !r.T.isEmpty() && r.Chg >= 0, QStringLiteral("program row %1: %2 %3 %4").arg(i).arg(Shown(r.T)).arg(r.P).arg(r.Chg));
        FUZZ_CHECK(r.HasDelta == (i + 1 < rows.size()), QStringLiteral("program row %1: delta flag").arg(i));
    }
    FUZZ_CHECK(o.Inserted >= 0 && o.Inserted <= rows.size(), QStringLiteral("%1 rows inserted").arg(o.Inserted));
    FUZZ_CHECK(s.Prog.GridRowCount() == qMax(2, int(rows.size()) + 1), QStringLiteral("grid rows"));
    const int shown = qMin(s.Prog.GridRowCount(), 40);
    for (int row = 0; row < shown; ++row)
        for (int col = 0; col < kProgCols; ++col)
            s.Prog.Cell(row, col);
    s.Prog.CtsText();
}

void Ticks(TState& s, const TFuzzQuery& q, bool next)
{
    QVector<TTickRec> recs;
    const int n = q.GetBlockCount({});
    for (int i = 0; i < n; ++i) {
        TTickRec r;
        r.Chetime = q.GetFieldData({}, QStringLiteral("chetime"), i);
        r.Price = int(ParseInt(q.GetFieldData({}, QStringLiteral("price"), i)));
        r.CVolume = ParseInt(q.GetFieldData({}, QStringLiteral("cvolume"), i));
        r.Ask = int(ParseInt(q.GetFieldData({}, QStringLiteral("offerho"), i)));
        r.Bid = int(ParseInt(q.GetFieldData({}, QStringLiteral("bidho"), i)));
        r.Ms = ParseInt(q.GetFieldData({}, QStringLiteral("msvolume"), i));
        r.Md = ParseInt(q.GetFieldData({}, QStringLiteral("mdvolume"), i));
        recs.append(r);
    }
    const int before = s.Ticks.Count();
    s.Ticks.ApplyPage(recs, !next);
    FUZZ_CHECK(s.Ticks.Count() <= (next ? before : 0) + recs.size() && s.Ticks.Count() <= kMaxTicks,
               QStringLiteral("%1 ticks after a page of %2").arg(s.Ticks.Count()).arg(recs.size()));
    for (const TTickRow& r : s.Ticks.Rows())
        FUZZ_CHECK(r.Sd <= 2, QStringLiteral("tick side %1").arg(r.Sd));
    int classified = 0;
    s.Ticks.RebuildSums([&classified](int sd, int, qint64) {
        FUZZ_CHECK(sd == 1 || sd == 2, QStringLiteral("sum side %1").arg(sd));
        ++classified;
    });
    FUZZ_CHECK(s.Ticks.SumCount() == classified, QStringLiteral("sum count"));
    s.Ticks.SumsLabel();
}

void Time(TState& s, const TFuzzQuery& q)
{
    if (q.GetFieldData({}, QStringLiteral("@sent"), 0) != QLatin1String("0"))
        s.Server.MarkSent();
    s.Clock.Advance(ParseInt(q.GetFieldData({}, QStringLiteral("@wait"), 0)) % 100000);
    const bool wasOk = s.Server.Ok();
    const double wasOfs = s.Server.OffsetSec();
    const QString log = s.Server.OnTimeData(q.GetFieldData({}, QStringLiteral("dt"), 0), q.GetFieldData({}, QStringLiteral("time"), 0));
    FUZZ_CHECK(!log.isEmpty(), QStringLiteral("no log line"));
    FUZZ_CHECK(std::isfinite(s.Server.OffsetSec()), QStringLiteral("offset not finite"));
    if (!s.Server.Ok())
        FUZZ_CHECK(!wasOk && s.Server.OffsetSec() == wasOfs, QStringLiteral("a bad answer changed the offset"));
    s.Server.ServerNow();
    s.Server.ClockText();
    s.Server.NoteText();
}

void News(TState& s, const TFuzzQuery& q)
{
    const int n = qMax(0, q.GetBlockCount({}));
    for (int i = 0; i < n && s.News.size() < 200; ++i) {
        TNewsRow r;
        r.D = q.GetFieldData({}, QStringLiteral("d"), i);
        r.T = q.GetFieldData({}, QStringLiteral("t"), i);
        r.Key = q.GetFieldData({}, QStringLiteral("key"), i);
        r.Title = q.GetFieldData({}, QStringLiteral("title"), i);
        r.Codes = q.GetFieldData({}, QStringLiteral("codes"), i);
        s.News.append(r);
        QString key, label;
        if (NewsMarkOf(r, key, label))
            FUZZ_CHECK(key.startsWith(r.D) && key.size() > r.D.size() && label.startsWith(QStringLiteral("뉴스 ")),
                       QStringLiteral("news mark %1 %2 for %3 %4").arg(Shown(key), Shown(label), Shown(r.D), Shown(r.T)));
    }
    QVector<int> view;
    for (int i = s.News.size() - 1; i >= -1; --i)
        view.append(i);
    view.append(int(s.News.size()));
    const QString bar = q.GetFieldData({}, QStringLiteral("@bar"), 0);
    // Minutes per bar: one of the minute chart's periods.
    static constexpr int kPeriods[] = {1, 2, 3, 5, 10, 30};
    const int minPer = kPeriods[quint64(ParseInt(q.GetFieldData({}, QStringLiteral("@minper"), 0))) % std::size(kPeriods)];
    const int at = FindBarNews(s.News, view, bar, minPer);
    FUZZ_CHECK(at == -1 || (at >= 0 && at < s.News.size() && s.News[at].D == bar.left(8)),
               QStringLiteral("bar %1 found headline %2").arg(Shown(bar)).arg(at));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = InputBytes(data, size);
    TState s;
    s.Hoga.Code = QStringLiteral("005930");
    s.Prog.SelectStock();
    int n = 0;
    for (const QByteArray& part : SplitParts(input, "\n--\n")) {
        if (++n > 32)
            break;
        const qsizetype eol = part.indexOf('\n');
        const QByteArray kind = (eol < 0 ? part : part.left(eol)).trimmed();
        const TFuzzQuery q(eol < 0 ? QByteArray() : part.mid(eol + 1));
        if (kind == "?price")
            Price(s, q);
        else if (kind == "?miche")
            Miche(q);
        else if (kind == "?balance")
            Balance(q);
        else if (kind == "?fills")
            Fills(q);
        else if (kind == "?prog")
            Prog(s, q, false, false);
        else if (kind == "?prognext")
            Prog(s, q, true, false);
        else if (kind == "?progrefresh")
            Prog(s, q, false, true);
        else if (kind == "?ticks")
            Ticks(s, q, false);
        else if (kind == "?ticksnext")
            Ticks(s, q, true);
        else if (kind == "?time")
            Time(s, q);
        else if (kind == "?news")
            News(s, q);
        else if (kind == "?pnlfills")
            PnlPage(s, q, 0);
        else if (kind == "?pnlcosts")
            PnlPage(s, q, 1);
        else if (kind == "?pnlholds")
            PnlPage(s, q, 2);
        else if (kind == "?autosell")
            AutoSell(q);
    }
    return 0;
}
