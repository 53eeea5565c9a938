#include "market/Ticks.h"

#include <QMap>
#include <gtest/gtest.h>

namespace {
TTickRec Rec(const char* t, int p, qint64 v, int ask, int bid, qint64 ms = 0, qint64 md = 0)
{
    return TTickRec{t, p, v, ask, bid, ms, md};
}
}

TEST(Ticks, SideFromTheBookThenFromCumulativeGrowth)
{
    TTickList l;
    l.ApplyPage({Rec("100005", 10050, 10, 10050, 10000), Rec("100004", 10000, 20, 10050, 10000),
                 Rec("100003", 10020, 30, 0, 0, 1300, 900), Rec("100002", 10020, 5, 0, 0, 1000, 600),
                 Rec("100001", 10020, 5, 0, 0, 1000, 600), Rec("100000", 10020, 5, 0, 0, 1000, 600)},
                true);
    const auto& r = l.Rows();
    ASSERT_EQ(r.size(), 6);
    EXPECT_EQ(r[0].T, "10:00:05");
    EXPECT_EQ(r[0].Sd, 1);  // at the ask: buyer
    EXPECT_EQ(r[1].Sd, 2);  // at the bid: seller
    EXPECT_EQ(r[2].Sd, 1);  // both grew by 300: ties go to the buyer
    EXPECT_EQ(r[3].Sd, 0);  // no growth: unknown
    EXPECT_EQ(r[5].Sd, 0);  // the oldest has nothing to compare with
}

TEST(Ticks, SumsLabelAndRebuildReachFurtherBack)
{
    TTickList l;
    EXPECT_EQ(l.SumsLabel(), "체결 합계 시작  —  (아직 체결 없음)  (호가 더블클릭 = 새로)");
    QMap<int, qint64> sums;
    auto sink = [&](int sd, int p, qint64 v) { sums[sd * 1000000 + p] += v; };
    l.ApplyPage({Rec("100005", 10050, 10, 10050, 10000), Rec("100004", 10020, 7, 0, 0)}, true);
    l.RebuildSums(sink);
    EXPECT_EQ(l.SumsLabel(), "체결 합계 시작  10:00:05  ·  1건  (호가 더블클릭 = 새로)");
    l.ApplyPage({Rec("095959", 10000, 4, 10050, 10000)}, false);  // an older page
    sums.clear();
    l.RebuildSums(sink);
    EXPECT_EQ(l.SumFrom(), "09:59:59");
    EXPECT_EQ(l.SumCount(), 2);
    EXPECT_EQ(sums.value(1000000 + 10050), 10);
    EXPECT_EQ(sums.value(2000000 + 10000), 4);
}

TEST(Ticks, RealTradesOnTopAndTheCap)
{
    TTickList l;
    QMap<int, qint64> sums;
    auto sink = [&](int sd, int p, qint64 v) { sums[sd * 1000000 + p] += v; };
    l.AddReal("090000", 5000, 3, "+", sink);  // the oldest, counted
    for (int i = 1; i < kMaxTicks; ++i)
        l.AddReal("090001", 5010, 1, " ", sink);  // unknown side: not counted
    EXPECT_EQ(sums.value(1000000 + 5000), 3);
    l.AddReal("090002", 5020, 2, "-", sink);  // the 20,001st drops the oldest and its sum
    EXPECT_EQ(l.Count(), kMaxTicks);
    EXPECT_EQ(sums.value(1000000 + 5000), 0);
    EXPECT_EQ(sums.value(2000000 + 5020), 2);
    EXPECT_EQ(l.Rows().first().T, "09:00:02");
    EXPECT_EQ(l.SumCount(), 2);
}
