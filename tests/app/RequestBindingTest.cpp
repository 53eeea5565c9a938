// Every answer belongs to the request that asked for it: answers that arrive
// after the stock, the chart period or the run changed leave no trace, and
// answers that arrive in time are applied as before.
#include "SimWindow.h"
#include "app/chart/ChartFacet.h"
#include "app/market/DailyFacet.h"
#include "app/market/ProgFacet.h"
#include "app/market/QuoteFacet.h"
#include "app/market/TickFacet.h"
#include "chart/CandleChart.h"
#include "chart/ChartModel.h"
#include "market/Ticks.h"

#include <QComboBox>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

// Every price a view holds lies above `floor` (the two test stocks trade
// around 68,000 and 185,000 won, so the floor tells them apart).
// Moves time on until every queued request has gone out.
void RunUntilSent(SimWindow& f)
{
    for (int i = 0; i < 200 && f.w->Ctx().FQ->Count() > 0; ++i)
        f.Run(50);
}

bool AllAbove(const QVector<TBar>& bars, double floor)
{
    for (const TBar& b : bars)
        if (b.L <= floor)
            return false;
    return true;
}

}  // namespace

TEST(RequestBinding, AnswersOfTheStockShownBeforeChangeNothing)
{
    SimWindow f;
    TfrmMain& w = *f.w;
    f.Exchange().SetAnswerDelayMs(2000);
    RunUntilSent(f);
    f.Run(2500);  // the start-up loads are in
    w.SelectStock("005930");
    RunUntilSent(f);  // every request of 005930 is out, no answer yet
    ASSERT_EQ(w.Charts->DayChart().Count(), 0);
    w.SelectStock("000660");
    f.Run(2100);  // 005930's answers arrive now; 000660's (sent 1.1 s or more later) are still on their way
    EXPECT_EQ(w.Charts->DayChart().Count(), 0);
    EXPECT_EQ(w.Charts->MinChart().Count(), 0);
    EXPECT_EQ(w.Daily->FDaily.Count(), 0);
    EXPECT_EQ(w.Quote->FPrevVol, 0);
    EXPECT_TRUE(w.Prog->FProg.Rows().isEmpty());
    for (const TTickRow& t : w.Ticks->FTicks.Rows())
        ASSERT_GT(t.P, 100000) << "a tick of the stock shown before";
    // The opposite order: the new stock's own answers, arriving in time, are all applied.
    f.Run(8000);
    ASSERT_GT(w.Charts->DayChart().Count(), 100);
    ASSERT_GT(w.Charts->MinChart().Count(), 100);
    EXPECT_TRUE(AllAbove(w.Charts->DayChart().Bars().mid(w.Charts->DayChart().Count() - 5), 100000));
    EXPECT_TRUE(AllAbove(w.Charts->MinChart().Bars(), 100000));
    EXPECT_GT(w.Daily->FDaily.Count(), 100);
    EXPECT_FALSE(w.Prog->FProg.Rows().isEmpty());
    EXPECT_GT(w.Quote->FPrevVol, 0);
}

TEST(RequestBinding, AMinutePageInFlightIsNotTheNewPeriodsFirstPage)
{
    SimWindow f;
    TfrmMain& w = *f.w;
    TChartFacet& c = *w.Charts;
    f.Exchange().SetAnswerDelayMs(2000);
    RunUntilSent(f);
    c.cbMinPer->setCurrentIndex(3);  // 5 minutes
    c.OnMinPerChange();
    RunUntilSent(f);  // its first page is out
    f.Run(200);
    c.cbMinPer->setCurrentIndex(0);  // back to 1 minute before it arrives
    c.OnMinPerChange();
    f.Run(1900);  // the 5-minute run's page arrives; the new run's is 1.1 s behind it
    EXPECT_TRUE(c.FMinAcc.isEmpty());
    EXPECT_EQ(c.FMinPage, 0);
    EXPECT_EQ(c.MinChart().Count(), 0);
    f.Run(8000);
    // Every minute once: keys strictly ascending, today's no more than the minutes so far.
    const QVector<TBar>& bars = c.MinChart().Bars();
    ASSERT_GT(bars.size(), 100);
    int today = 0;
    for (int i = 0; i < bars.size(); ++i) {
        if (i > 0)
            ASSERT_LT(bars[i - 1].D, bars[i].D);
        today += bars[i].D.startsWith("20261210") ? 1 : 0;
    }
    const QTime now = f.clock.Now().time();
    EXPECT_LE(today, now.hour() * 60 + now.minute() + 1);
    EXPECT_TRUE(f.Log().contains(QStringLiteral("오늘 %1개").arg(today))) << f.Log().toStdString();
}

TEST(RequestBinding, DayChartPeriodAnswersBelongToTheirPeriod)
{
    SimWindow f;
    TfrmMain& w = *f.w;
    TChartFacet& c = *w.Charts;
    f.Exchange().SetAnswerDelayMs(2000);
    RunUntilSent(f);
    c.cbDayPer->setCurrentIndex(1);  // weeks
    c.OnDayPerChange();
    RunUntilSent(f);
    f.Run(200);
    c.cbDayPer->setCurrentIndex(2);  // months before the weeks arrive
    c.OnDayPerChange();
    f.Run(1900);
    EXPECT_EQ(c.DayChart().Count(), 0) << "week bars on the month chart";
    f.Run(4000);
    ASSERT_GT(c.DayChart().Count(), 2);
    const QVector<TBar>& bars = c.DayChart().Bars();
    // Month bars: one per month, so consecutive keys differ in their month.
    for (int i = 1; i < bars.size(); ++i)
        ASSERT_NE(bars[i - 1].D.left(6), bars[i].D.left(6)) << bars[i].D.toStdString();
}

TEST(RequestBinding, AnErrorOnMoreHistoryEndsThatRequestOnly)
{
    SimWindow f;
    TfrmMain& w = *f.w;
    TChartFacet& c = *w.Charts;
    f.Run(3000);
    c.MinMore();
    f.Run(3000);
    ASSERT_EQ(c.FMinMoreCnt, 1) << f.Log().toStdString();
    const int days = c.FMinDays;
    const int held = c.FMinAcc.size();
    const int shown = c.MinChart().Count();
    f.Run(2500);
    f.Exchange().MessageOnNextRequest("t8412", "-21", QStringLiteral("조회 시간이 초과되었습니다"));
    c.MinMore();
    EXPECT_EQ(c.btnMinMore->text(), QStringLiteral("받는 중…"));
    f.Run(1500);
    EXPECT_FALSE(c.FMinMoreBusy);
    EXPECT_EQ(c.FMinDays, days);
    EXPECT_EQ(c.FMinAcc.size(), held);
    EXPECT_EQ(c.MinChart().Count(), shown);
    EXPECT_EQ(c.btnMinMore->text(), QStringLiteral("◀ 더보기 (1)"));
    f.Run(8000);
    EXPECT_FALSE(f.Log().contains(QStringLiteral("분봉 다시 받기"))) << f.Log().toStdString();
    EXPECT_TRUE(c.btnMinMore->isEnabled());
    EXPECT_EQ(c.FMinDays, days);
    // The next click goes out again.
    c.MinMore();
    f.Run(3000);
    EXPECT_EQ(c.FMinMoreCnt, 2) << f.Log().toStdString();
}
