#include "news/NewsRow.h"
#include <gtest/gtest.h>

namespace {

TNewsRow Row(const char* d, const char* t, const char* key)
{
    return TNewsRow{QString::fromUtf8(d), QString::fromUtf8(t), QString::fromUtf8(key),
                    QStringLiteral("제목"), QStringLiteral("005930"), QString()};
}

} // namespace

// A click on a minute bar picks the latest headline of that day from three
// minutes before the bar's start up to (not including) its end.
TEST(NewsRow, FindBarNewsWindow)
{
    const QVector<TNewsRow> rows = {
        Row("20261210", "092659", "a"), // just before the window of the 09:31 1-minute bar
        Row("20261210", "092700", "b"), // first second inside it
        Row("20261210", "093059", "c"), // last second of the bar
        Row("20261210", "093100", "d"), // the next bar
        Row("20261209", "093030", "e"), // same minute, another day
        Row("20261210", "0929", "f"),   // four-digit time
        Row("20261210", "093059", "g"), // same time as c, arrived later
    };
    QVector<int> all;
    for (int i = 0; i < rows.size(); ++i)
        all.append(i);

    struct Case { const char* key; int minPer; QVector<int> view; int want; };
    const Case cases[] = {
        {"202612100931", 1, all, 6},              // c and g tie: the later arrival
        {"202612100931", 1, {0, 1, 5}, 5},        // 09:29 beats 09:27
        {"202612100931", 1, {0, 1}, 1},           // 09:27:00 is inside, 09:26:59 is not
        {"202612100931", 1, {0, 3, 4}, -1},       // before, after, other day
        {"202612100935", 5, {0, 1}, 1},           // 5-minute bar 09:30–09:35: window from 09:27
        {"202612100932", 1, {0, 1, 2, 3, 5}, 3},  // the 09:32 bar holds 09:31:00
        {"202612100931", 1, {}, -1},              // nothing listed
        {"202612100931", 1, {-1, 99}, -1},        // stale indexes are ignored
        {"20261210", 1, all, -1},                 // a day key is not a minute key
        {"2026121009x1", 1, all, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindBarNews(rows, c.view, QString::fromUtf8(c.key), c.minPer), c.want)
            << c.key << " per " << c.minPer;
}

TEST(NewsRow, MarkOfHeadline)
{
    QString key, lab;
    ASSERT_TRUE(NewsMarkOf(Row("20261210", "093015", "k"), key, lab));
    EXPECT_EQ(key, QStringLiteral("202612100931"));
    EXPECT_EQ(lab, QStringLiteral("뉴스 09:30"));
    ASSERT_TRUE(NewsMarkOf(Row("20261210", "0959", "k"), key, lab));
    EXPECT_EQ(key, QStringLiteral("202612101000"));
    EXPECT_FALSE(NewsMarkOf(Row("", "093015", "k"), key, lab));
    EXPECT_FALSE(NewsMarkOf(Row("20261210", "093", "k"), key, lab));
}
