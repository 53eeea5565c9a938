// Regrouping 1-minute bars into N-minute bars, and ordering bars by key.
#include "chart/MinuteBars.h"

#include <gtest/gtest.h>

namespace {

TBar Min(const QString& key, double o, double h, double l, double c, qint64 v)
{
    TBar b;
    b.D = key;
    b.O = o;
    b.H = h;
    b.L = l;
    b.C = c;
    b.V = v;
    b.PV = 12345;  // whatever came in is replaced by typical price x volume
    return b;
}

QStringList Keys(const QVector<TBar>& a)
{
    QStringList r;
    for (const TBar& b : a)
        r << b.D;
    return r;
}

} // namespace

TEST(MinuteBars, GroupKeysByPeriodEnd)
{
    const QVector<TBar> in = {
        Min("202503110901", 1, 1, 1, 1, 1), Min("202503110905", 1, 1, 1, 1, 1),
        Min("202503110906", 1, 1, 1, 1, 1), Min("202503110930", 1, 1, 1, 1, 1),
        Min("202503110931", 1, 1, 1, 1, 1), Min("202503111530", 1, 1, 1, 1, 1),
        Min("202503120901", 1, 1, 1, 1, 1),  // next day never merges with the last one
    };
    struct Case {
        int n;
        QStringList keys;
    } cases[] = {
        {1, Keys(in)},
        {0, Keys(in)},
        {2, {"202503110902", "202503110906", "202503110930", "202503110932", "202503111530",
             "202503120902"}},
        {5, {"202503110905", "202503110910", "202503110930", "202503110935", "202503111530",
             "202503120905"}},
        {30, {"202503110930", "202503111000", "202503111530", "202503120930"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Keys(GroupMinBars(in, c.n)), c.keys) << c.n;
}

TEST(MinuteBars, MergedValues)
{
    const QVector<TBar> in = {
        Min("202503120901", 100, 105, 99, 104, 10),
        Min("202503120902", 104, 110, 103, 108, 20),
        Min("202503120903", 108, 109, 97, 98, 30),
        Min("202503120906", 98, 99, 96, 97, 5),
    };
    const QVector<TBar> g = GroupMinBars(in, 5);
    ASSERT_EQ(g.size(), 2);
    EXPECT_EQ(g[0].D, "202503120905");
    EXPECT_EQ(g[0].O, 100);
    EXPECT_EQ(g[0].H, 110);
    EXPECT_EQ(g[0].L, 97);
    EXPECT_EQ(g[0].C, 98);
    EXPECT_EQ(g[0].V, 60);
    EXPECT_DOUBLE_EQ(g[0].PV, (105 + 99 + 104) / 3.0 * 10 + (110 + 103 + 108) / 3.0 * 20
                                  + (109 + 97 + 98) / 3.0 * 30);
    EXPECT_EQ(g[1].D, "202503120910");
    EXPECT_DOUBLE_EQ(g[1].PV, (99 + 96 + 97) / 3.0 * 5);

    // One-minute bars keep their keys but get the typical-price PV too.
    const QVector<TBar> one = GroupMinBars(in, 1);
    ASSERT_EQ(one.size(), 4);
    EXPECT_DOUBLE_EQ(one[3].PV, (99 + 96 + 97) / 3.0 * 5);
    EXPECT_TRUE(GroupMinBars({}, 5).isEmpty());
}

TEST(MinuteBars, SortByKey)
{
    const QVector<TBar> in = {Min("202503120903", 3, 3, 3, 3, 1), Min("202503110930", 1, 1, 1, 1, 1),
                              Min("202503120901", 2, 2, 2, 2, 1)};
    EXPECT_EQ(Keys(SortBars(in)),
              (QStringList{"202503110930", "202503120901", "202503120903"}));
}
