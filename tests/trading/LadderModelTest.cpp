#include "core/NumFmt.h"
#include "trading/LadderModel.h"

#include <gtest/gtest.h>

namespace {
THogaData Snap(const QString& code, int price, int prev, int up, int dn)
{
    THogaData d;
    d.Code = code;
    d.Price = price;
    d.PrevClose = prev;
    d.UpLmt = up;
    d.DnLmt = dn;
    return d;
}
}

TEST(LadderTicks, RangeAcrossTickBands)
{
    struct Case {
        int up, dn;
        QVector<int> head;  // first prices
        int last;
        int count;
    } cases[] = {
        {2010, 1990, {2010, 2005, 2000, 1999, 1998}, 1990, 13},
        {50200, 49900, {50200, 50100, 50000, 49950, 49900}, 49900, 5},
        {5010, 4990, {5010, 5000, 4995, 4990}, 4990, 4},
        {10, 1, {10, 9, 8}, 1, 10},                 // ends at 1 without repeating it
        {2003, 1997, {2003, 1998, 1997}, 1997, 3},  // an off-grid limit steps onto the grid
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.up << ".." << c.dn);
        const QVector<int> t = BuildLadderTicks(c.up, c.dn);
        ASSERT_EQ(t.size(), c.count);
        for (int i = 0; i < c.head.size(); ++i)
            EXPECT_EQ(t[i], c.head[i]);
        EXPECT_EQ(t.last(), c.last);
        for (int i = 1; i < t.size(); ++i)
            EXPECT_EQ(t[i], TickDown(t[i - 1]));
    }
}

TEST(LadderTicks, EmptyOrCapped)
{
    EXPECT_TRUE(BuildLadderTicks(0, 1000).isEmpty());
    EXPECT_TRUE(BuildLadderTicks(13000, 0).isEmpty());
    EXPECT_TRUE(BuildLadderTicks(10000, 10000).isEmpty());
    EXPECT_TRUE(BuildLadderTicks(9000, 10000).isEmpty());
    const QVector<int> big = BuildLadderTicks(30000000, 1);  // ~30,000 prices
    EXPECT_EQ(big.size(), 20000);
    EXPECT_EQ(big.first(), 30000000);
    EXPECT_EQ(big.last(), 30000000 - 19999 * 1000);
}

TEST(LadderTicks, ScrollIndexIsFirstPriceAtOrBelowCentre)
{
    const QVector<int> t = BuildLadderTicks(2010, 1990);  // 2010 2005 2000 1999 ...
    EXPECT_EQ(LadderTickIndex(t, 2010), 0);
    EXPECT_EQ(LadderTickIndex(t, 9999), 0);
    EXPECT_EQ(LadderTickIndex(t, 2005), 1);
    EXPECT_EQ(LadderTickIndex(t, 2003), 2);
    EXPECT_EQ(LadderTickIndex(t, 1999), 3);
    EXPECT_EQ(LadderTickIndex(t, 100), t.size() - 1);
    EXPECT_EQ(LadderTickIndex({}, 100), -1);
}

TEST(LadderGeom, RowsAndColumns)
{
    EXPECT_EQ(TLadderGeom::RowHeight(16), 19);
    EXPECT_EQ(TLadderGeom::RowHeight(8), 19);   // too small: 16
    EXPECT_EQ(TLadderGeom::RowHeight(20), 24);  // 23.75
    EXPECT_EQ(TLadderGeom::RowHeight(24), 29);  // 28.5 rounds up

    TLadderGeom g{1000, 900, 19};
    EXPECT_EQ(g.Rows(), (900 - 19) / 19);
    EXPECT_EQ(g.RowAt(18), -1);
    EXPECT_EQ(g.RowAt(19), 0);
    EXPECT_EQ(g.RowAt(37), 0);
    EXPECT_EQ(g.RowAt(38), 1);
    EXPECT_EQ(g.RowAt(19 * (g.Rows() + 1)), -1);  // below the last whole row
    const int cols[][2] = {{0, -1}, {159, -1}, {160, 0}, {299, 0}, {300, 1}, {449, 1}, {450, 2},
                           {619, 2}, {620, 3}, {710, 4}, {859, 4}, {860, 5}, {999, 5}};
    for (const auto& c : cols)
        EXPECT_EQ(g.ColumnAt(c[0]), c[1]) << c[0];
    EXPECT_EQ(g.ColLeft(kColPnl), 0);
    EXPECT_EQ(g.ColRight(kColMyBuy), 1000);

    TLadderGeom tiny{300, 25, 19};
    EXPECT_EQ(tiny.Rows(), 1);
}

TEST(LadderModel, VisiblePricesCentreAndSnap)
{
    TLadderModel m;
    EXPECT_EQ(m.VisiblePrices(5), QVector<int>(5, 0));  // no centre yet
    m.CenterOn(2000);
    EXPECT_EQ(m.VisiblePrices(5), (QVector<int>{2010, 2005, 2000, 1999, 1998}));
    EXPECT_EQ(m.VisiblePrices(4), (QVector<int>{2010, 2005, 2000, 1999}));
    EXPECT_EQ(m.VisiblePrices(1), QVector<int>{2000});
    m.CenterOn(50150);  // off the grid: snapped down within its band
    EXPECT_EQ(m.VisiblePrices(3)[1], 50100);
    m.CenterOn(0);      // ignored
    EXPECT_EQ(m.FCenter, 50150);
}

TEST(LadderModel, SetDataFillsRowsAndRecentresOnNewCode)
{
    TLadderModel m;
    THogaData d = Snap("005930", 10000, 9800, 12740, 6860);
    d.Ask = {10010, 10020, 10030};
    d.AskQ = {500, 600, 700};
    d.Bid = {10000, 9990, 0, 9970};
    d.BidQ = {800, 900, 1000, 1100};
    m.SetData(d);
    EXPECT_EQ(m.FCenter, 10000);
    EXPECT_EQ(m.Row(10010).AskQ, 500);
    EXPECT_EQ(m.Row(10030).AskQ, 700);
    EXPECT_EQ(m.Row(10000).BidQ, 800);
    EXPECT_EQ(m.Row(9990).BidQ, 900);
    EXPECT_EQ(m.Row(9970).BidQ, 1100);
    EXPECT_EQ(TLadderModel::LevelCount(m.FBidQ), 3);  // the empty level is skipped
    EXPECT_TRUE(m.Row(10000).Current);
    EXPECT_FALSE(m.Row(10010).Current);

    // Same code: the book is replaced, the centre stays where the user put it.
    m.CenterOn(11000);
    d.Price = 10010;
    d.Ask = {10020};
    d.AskQ = {42};
    d.Bid = {10010};
    d.BidQ = {7};
    m.SetData(d);
    EXPECT_EQ(m.FCenter, 11000);
    EXPECT_EQ(m.Row(10010).AskQ, 0);
    EXPECT_EQ(m.Row(10010).BidQ, 7);
    EXPECT_EQ(m.Row(10020).AskQ, 42);
    EXPECT_EQ(m.Row(10000).BidQ, 0);
    EXPECT_TRUE(m.Row(10010).Current);

    // A new stock: an empty snapshot first keeps the centre at 0, the first
    // real one recentres.
    m.SetData(Snap("000660", 0, 0, 0, 0));
    EXPECT_EQ(m.FCenter, 0);
    m.SetData(Snap("000660", 180000, 178000, 231400, 124600));
    EXPECT_EQ(m.FCenter, 180000);
}

TEST(LadderModel, PriceColoursPercentAndLimits)
{
    TLadderModel m;
    m.SetData(Snap("005930", 10000, 10000, 13000, 7000));
    struct Case {
        int p;
        bool valid;
        const char* text;
        const char* pct;
        QColor color;
    } cases[] = {
        {10500, true, "10,500", "+5.00", LadderColors::Rise},
        {10000, true, "10,000", "0.00", LadderColors::Flat},
        {9500, true, "9,500", "-5.00", LadderColors::Fall},
        {13000, true, "13,000", "+30.00", LadderColors::Rise},
        {13010, false, "", "", QColor()},
        {6990, false, "", "", QColor()},
        {0, false, "", "", QColor()},
    };
    m.FAskQ[0] = {13010, 5};  // never shown outside the limits
    for (const Case& c : cases) {
        SCOPED_TRACE(c.p);
        const TLadderRow r = m.Row(c.p);
        EXPECT_EQ(r.Valid, c.valid);
        EXPECT_EQ(r.PriceText, QString::fromUtf8(c.text));
        EXPECT_EQ(r.PctText, QString::fromUtf8(c.pct));
        if (c.valid)
            EXPECT_EQ(r.PriceColor, c.color);
        else
            EXPECT_EQ(r.AskQ, 0);
    }
    // Without a previous close: flat colour, no percent.
    m.SetData(Snap("005930", 10000, 0, 13000, 7000));
    EXPECT_EQ(m.Row(10500).PriceColor, LadderColors::Flat);
    EXPECT_TRUE(m.Row(10500).PctText.isEmpty());
}

TEST(LadderModel, ProfitPerRowMatchesHandComputation)
{
    TLadderModel m;
    m.SetData(Snap("005930", 50000, 50000, 65000, 35000));
    m.SetHold(100, 50000, 0.25);
    struct Case {
        int p;
        double pnl;
        const char* text;
        QColor color;
        bool avgRow;
    } cases[] = {
        // 51,000 x 100 x 0.9975 - 5,000,000 = 87,250  (1.745 %, 8.7 of 10,000 won)
        {51000, 87250, "+1.75%   +8.7", LadderColors::Rise, false},
        // 50,000 x 100 x 0.9975 - 5,000,000 = -12,500: the fee alone
        {50000, -12500, "-0.25%   -1.2", LadderColors::Fall, true},
        // 49,000 x 100 x 0.9975 - 5,000,000 = -112,250
        {49000, -112250, "-2.25%   -11.2", LadderColors::Fall, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.p);
        const TLadderRow r = m.Row(c.p);
        ASSERT_TRUE(r.HasPnl);
        EXPECT_NEAR(r.Pnl, c.pnl, 1e-6);
        EXPECT_EQ(r.PnlText, QString::fromUtf8(c.text));
        EXPECT_EQ(r.PnlColor, c.color);
        EXPECT_EQ(r.AvgRow, c.avgRow);
    }
    // Break-even with no fee is grey and zero.
    m.SetHold(10, 50000, 0);
    EXPECT_EQ(m.Row(50000).PnlText, "0.00%   0.0");
    EXPECT_EQ(m.Row(50000).PnlColor, QColor(96, 96, 96));
    // An average between grid prices marks the row below it.
    m.SetHold(10, 50050, 0.3);
    EXPECT_TRUE(m.Row(50000).AvgRow);
    EXPECT_FALSE(m.Row(50100).AvgRow);
    // No holding: nothing.
    m.SetHold(0, 0, 0.3);
    EXPECT_FALSE(m.Row(50000).HasPnl);
    EXPECT_TRUE(m.Row(50000).PnlText.isEmpty());
}

TEST(LadderModel, MarksOwnOrdersTickSums)
{
    TLadderModel m;
    m.SetData(Snap("005930", 10000, 9900, 12870, 6930));

    EXPECT_TRUE(m.SetDayMarks(9900, 10100, 9800, 9987.4));
    EXPECT_FALSE(m.SetDayMarks(9900, 10100, 9800, 9987.8));  // within 0.5: no change
    EXPECT_EQ(m.FMkVwap, 9987.4);
    EXPECT_TRUE(m.SetDayMarks(9900, 10100, 9800, 9988.0));
    EXPECT_EQ(m.Row(10100).Mark, TLadderMark::High);
    EXPECT_EQ(m.Row(9800).Mark, TLadderMark::Low);
    EXPECT_EQ(m.Row(9900).Mark, TLadderMark::Open);
    EXPECT_EQ(m.Row(10000).Mark, TLadderMark::None);
    m.SetDayMarks(10000, 10000, 10000, 0);  // high wins over low and open
    EXPECT_EQ(m.Row(10000).Mark, TLadderMark::High);
    m.SetDayMarks(10000, 10100, 10000, 0);  // low over open
    EXPECT_EQ(m.Row(10000).Mark, TLadderMark::Low);

    m.AddMy("1", 10100, 10);
    m.AddMy("1", 10100, 5);
    m.AddMy("1", 10300, 1);
    m.AddMy("2", 9900, 7);
    m.AddMy("2", 9800, 0);  // nothing left to show
    EXPECT_EQ(m.MyCount("1"), 2);
    EXPECT_EQ(m.MyCount("2"), 1);
    EXPECT_EQ(m.Row(10100).MySell, 15);
    EXPECT_EQ(m.Row(9900).MyBuy, 7);
    EXPECT_EQ(m.Row(20000).MySell, 0);
    EXPECT_EQ(m.NearestMy("1"), 10100);
    EXPECT_EQ(m.NearestMy("2"), 9900);
    m.ClearMy();
    EXPECT_EQ(m.MyCount("1") + m.MyCount("2"), 0);
    EXPECT_EQ(m.NearestMy("1"), 0);

    m.AddTk(1, 10000, 300);
    m.AddTk(2, 9990, 500);
    m.AddTk(3, 9990, 999);   // unknown side: ignored
    m.AddTk(1, 10000, -100);
    EXPECT_EQ(m.Row(10000).TkBuy, 200);
    EXPECT_EQ(m.Row(9990).TkSell, 500);
    EXPECT_EQ(m.MaxTickSum(), 500);
    m.AddTk(2, 9990, -500);  // sum reaches 0: price removed
    EXPECT_EQ(m.FTkSell.count(9990), 0u);
    EXPECT_EQ(m.MaxTickSum(), 200);
    m.ClearTk();
    EXPECT_EQ(m.MaxTickSum(), 0);
}

TEST(LadderModel, WheelMovesThreeTicks)
{
    TLadderModel m;
    EXPECT_FALSE(m.Wheel(1));  // no centre yet
    m.CenterOn(5000);
    EXPECT_TRUE(m.Wheel(-1));
    EXPECT_EQ(m.FCenter, 4985);
    EXPECT_TRUE(m.Wheel(1));
    EXPECT_EQ(m.FCenter, 5000 + 0);  // 4985 -> 4990 -> 4995 -> 5000
    EXPECT_TRUE(m.Wheel(1));
    EXPECT_EQ(m.FCenter, 5030);
    EXPECT_FALSE(m.Wheel(0));
}
