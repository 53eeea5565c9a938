// The minute chart's bars when live trades and the history arrive in either
// order, driven on the chart facet alone with a canned minute answer.
#include "SimContext.h"
#include "app/chart/ChartFacet.h"
#include "chart/CandleChart.h"
#include "chart/ChartModel.h"
#include "market/Quote.h"
#include "trading/FakeQuery.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

// A canned answer that belongs to the request sent last.
class TAnsweringQuery : public TFakeQuery {
public:
    int Request(bool) override { return ++FId; }
    int AnswerId() const override { return FId; }

private:
    int FId = 0;
};

struct TMinute {
    const char* Hhmm;  // end of the minute
    double O, H, L, C;
    qint64 V;
};

// One chart facet whose minute requests go to `q`.
struct ChartRig {
    SimContext& C;
    TAnsweringQuery Q;
    std::unique_ptr<TChartFacet> Charts = std::make_unique<TChartFacet>(*C.ctx);

    ChartRig(SimContext& c, int minutes) : C(c)
    {
        Charts->BuildCharts();
        Charts->FMinPer = minutes;
        Charts->MinChart().SetPeriod(minutes);
    }
    // Starts the load and lets the queue send its first page.
    void Start()
    {
        C.ctx->B.qMin = &Q;
        Charts->StartMinBars();
        for (int i = 0; i < 5 && C.ctx->FQ->Count() > 0; ++i) {
            C.clock.Advance(1100);
            C.ctx->FQ->Tick();
        }
    }
    void Answer(const QVector<TMinute>& rows)
    {
        Q.Blocks[QStringLiteral("t8412OutBlock")] = {{{QStringLiteral("shcode"), QStringLiteral("005930")}}};
        QVector<TFakeQuery::TRow> recs;
        for (const TMinute& m : rows)
            recs.append({{QStringLiteral("date"), QStringLiteral("20261210")},
                         {QStringLiteral("time"), QString::fromLatin1(m.Hhmm) + QStringLiteral("00")},
                         {QStringLiteral("open"), QString::number(m.O)},
                         {QStringLiteral("high"), QString::number(m.H)},
                         {QStringLiteral("low"), QString::number(m.L)},
                         {QStringLiteral("close"), QString::number(m.C)},
                         {QStringLiteral("jdiff_vol"), QString::number(m.V)}});
        Q.Blocks[QStringLiteral("t8412OutBlock1")] = recs;
        C.ctx->B.qMin = &Q;
        Charts->OnMinData();
    }
    void Trade(const char* hhmmss, int price, qint64 vol)
    {
        Charts->OnTrade(TTradeRec{QString::fromLatin1(hhmmss), price, 100, 110, 90, 0, vol, '+'});
    }
};

const QVector<TMinute> kHistory = {
    {"0901", 100, 101, 99, 100, 10}, {"0902", 100, 102, 100, 101, 20}, {"0903", 101, 101, 98, 99, 30},
    {"0904", 99, 100, 99, 100, 40},  {"0905", 100, 100, 100, 100, 50}, {"0906", 100, 103, 100, 102, 60},
    {"0907", 102, 104, 101, 103, 70},
};

}  // namespace

// Trades before the history came (the stock or the period was just chosen):
// the bar in progress holds the history's minutes and every trade since, each
// minute once, and today's VWAP is the 1-minute chart's.
TEST(ChartFacet, LiveTradesBeforeTheHistoryJoinItMinuteByMinute)
{
    SimContext c;
    ChartRig five(c, 5), one(c, 1);
    for (ChartRig* r : {&five, &one}) {
        r->Start();
        r->Trade("090510", 101, 5);  // in the history's 09:06 already
        r->Trade("090630", 103, 7);  // in its 09:07
        EXPECT_EQ(r->Charts->MinChart().Count(), 0) << "nothing shows before the history";
        r->Trade("090805", 104, 3);  // after it
        r->Answer(kHistory);
        r->Trade("090840", 105, 2);
    }
    const TChartModel& m5 = five.Charts->MinChart();
    const TChartModel& m1 = one.Charts->MinChart();
    ASSERT_EQ(m5.Bars().last().D, "202612100910");
    EXPECT_EQ(m5.Bars().last().V, 60 + 70 + 3 + 2);
    EXPECT_EQ(m5.Bars().last().H, 105);
    ASSERT_EQ(m1.Bars().last().D, "202612100909");
    EXPECT_EQ(m1.Bars().last().V, 5);
    EXPECT_EQ(m1.Count(), 8);
    EXPECT_NEAR(m5.TodayVwap("20261210"), m1.TodayVwap("20261210"), 1e-9);
    // A later page (or a rebuild) counts nothing twice either.
    five.Charts->ShowMinBars(false);
    one.Charts->ShowMinBars(false);
    EXPECT_EQ(m5.Bars().last().V, 60 + 70 + 3 + 2);
    EXPECT_EQ(m1.Bars().last().V, 5);
    EXPECT_NEAR(m5.TodayVwap("20261210"), m1.TodayVwap("20261210"), 1e-9);
}

// The minute the history ends in goes on trading: what trades after the
// history was taken is added to it, not counted again for what came before.
TEST(ChartFacet, TheHistorysLastMinuteKeepsTrading)
{
    SimContext c;
    ChartRig r(c, 5);
    r.Start();
    r.Trade("090630", 103, 7);  // before the answer: inside its 09:07 already
    r.Answer(kHistory);
    r.Trade("090640", 104, 4);  // after the answer, same minute
    const TChartModel& m = r.Charts->MinChart();
    EXPECT_EQ(m.Bars().last().V, 60 + 70 + 4);
    r.Charts->ShowMinBars(false);
    EXPECT_EQ(m.Bars().last().V, 60 + 70 + 4);
    EXPECT_EQ(m.Bars().last().C, 104);
}
