#include "chart/DailyTable.h"

#include <gtest/gtest.h>

namespace {
QVector<TBar> Days(int n, qint64 vol, const QString& lastDay = "20261209")
{
    QVector<TBar> a;
    for (int i = 0; i < n; ++i) {
        TBar b;
        b.D = QString("202611%1").arg(i + 1, 2, 10, QLatin1Char('0'));
        b.C = 10000 + i * 10;
        b.V = vol;
        b.PV = 5e9;
        a.append(b);
    }
    if (n > 0)
        a.last().D = lastDay;
    return a;
}
}

TEST(DailyTable, RowsRatiosAndColours)
{
    QVector<TBar> a = Days(25, 1000);
    a.last().V = 2000;  // twice the 20 days before it
    TDailyTable t;
    t.Rebuild(a, "20261210");
    ASSERT_EQ(t.Count(), 25);
    EXPECT_EQ(t.Row(0).D, "20261209");  // newest first
    EXPECT_EQ(t.Cell(0, 4).Text, "2.0배");
    EXPECT_TRUE(t.Cell(0, 4).Bold);
    EXPECT_EQ(t.Cell(0, 4).Color, QColor(0xe5, 0x39, 0x35));
    EXPECT_EQ(t.Cell(24, 4).Text, "—");  // the oldest has no average
    EXPECT_EQ(t.Cell(0, 0).Text, "26/12/09");
    EXPECT_EQ(t.Cell(0, 2).Text, "+0.10%");
    EXPECT_EQ(t.Cell(0, 5).Text, "50.0억");
    EXPECT_EQ(t.Summary(), "평소 거래량  5일 0.1 · 20일 0.1 · 60일 0.1만주  ·  거래대금 20일 50억");
}

TEST(DailyTable, TodayIsLeftOutOfTheUsualVolume)
{
    QVector<TBar> a = Days(6, 10000, "20261210");
    a.last().V = 990000;  // today's big volume must not move the averages
    TDailyTable t;
    t.Rebuild(a, "20261210");
    EXPECT_TRUE(t.IsToday(0));
    EXPECT_TRUE(t.Summary().startsWith("평소 거래량  5일 1.0 · 20일 1.0 · 60일 1.0만주"));
    t.Clear();
    EXPECT_EQ(t.Count(), 0);
    EXPECT_TRUE(t.Summary().isEmpty());
}
