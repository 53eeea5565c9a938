// The tick grid's model: the selection stays on its trade while live trades
// are inserted on top, and every insertion is announced before it happens.
#include "app/TickModel.h"
#include "app/UiKit.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <gtest/gtest.h>

namespace {

bool Selected(const TTickModel& m, int row)
{
    return m.data(m.index(row, 0), Qt::BackgroundRole).value<QColor>() == Colors::SelectedRow;
}

int SelectedRow(const TTickModel& m)
{
    int found = -1;
    for (int r = 0; r < m.rowCount(); ++r)
        if (Selected(m, r)) {
            EXPECT_EQ(found, -1) << "two rows selected";
            found = r;
        }
    return found;
}

} // namespace

TEST(TickModel, SelectionFollowsItsTradeIncludingLiveOnes)
{
    TTickList ticks;
    TTickModel m(ticks, nullptr);
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::Fatal);
    int px = 1000;
    auto live = [&] { m.InsertOnTop([&] { ticks.AddReal("090000", px++, 1, "+", nullptr); }); };
    for (int i = 0; i < 5; ++i)
        live();
    ASSERT_EQ(m.rowCount(), 5);
    EXPECT_EQ(SelectedRow(m), -1);

    // Select the newest row, a trade that arrived live: the case where the
    // row minus the inserted count is negative.
    m.SelTick = 0 - ticks.Inserted();
    m.HasSel = true;
    EXPECT_EQ(SelectedRow(m), 0);
    const int selPrice = ticks.Rows()[0].P;
    live();
    live();
    ASSERT_EQ(SelectedRow(m), 2);
    EXPECT_EQ(ticks.Rows()[2].P, selPrice);

    m.ClearSel();
    EXPECT_EQ(SelectedRow(m), -1);
}

// A full list takes a new trade as one row off the bottom and one on top:
// no reset (a grid that resets on every trade of a busy stock lays out all
// its rows again), the sums lose what leaves them.
TEST(TickModel, AFullListMakesRoomRowByRow)
{
    TTickList ticks;
    TTickModel m(ticks, nullptr);
    QVector<TTickRec> page(kMaxTicks);
    for (int i = 0; i < kMaxTicks; ++i)
        page[i] = TTickRec{QStringLiteral("090000"), 1000, 1, 0, 0, 0, 0};
    ticks.ApplyPage(page, true);
    m.Reset();
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::Fatal);
    int resets = 0, inserted = 0, removed = 0;
    QObject::connect(&m, &QAbstractItemModel::modelReset, [&] { ++resets; });
    QObject::connect(&m, &QAbstractItemModel::rowsInserted, [&] { ++inserted; });
    QObject::connect(&m, &QAbstractItemModel::rowsRemoved, [&] { ++removed; });
    qint64 sum = 0;
    const TTickSink sink = [&](int, int, qint64 v) { sum += v; };
    for (int i = 0; i < 3; ++i) {
        m.RemoveLast([&] { ticks.DropOldest(sink); });
        m.InsertOnTop([&] { ticks.AddReal("100000", 2000 + i, 5, "+", sink); });
    }
    EXPECT_EQ(m.rowCount(), kMaxTicks);
    EXPECT_EQ(resets, 0);
    EXPECT_EQ(inserted, 3);
    EXPECT_EQ(removed, 3);
    EXPECT_EQ(ticks.Rows()[0].P, 2002);
    EXPECT_EQ(sum, 3 * 5);  // the dropped rows were unclassified: nothing to take out
}

// Live trades reach the views a frame at a time: until Sync the rows show what
// they showed (the selection on its trade), then one insertion announces them
// all, and one removal what a full list dropped.
TEST(TickModel, LiveRowsAreAnnouncedOncePerSync)
{
    TTickList ticks;
    TTickModel m(ticks, nullptr);
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QVector<TTickRec> page;
    for (int i = 0; i < 10; ++i)
        page.append(TTickRec{QStringLiteral("090000"), 1000 + i, 1, 0, 0, 0, 0});
    ticks.ApplyPage(page, true);
    m.Reset();
    m.SelTick = 3 - ticks.Inserted();
    m.HasSel = true;
    const int selPrice = m.data(m.index(3, 1), Qt::DisplayRole).toString().remove(',').toInt();
    int notices = 0;
    for (auto sig : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        QObject::connect(&m, sig, [&] { ++notices; });
    QObject::connect(&m, &QAbstractItemModel::modelReset, [&] { ++notices; });

    for (int i = 0; i < 4; ++i) {
        ticks.AddReal("100000", 2000 + i, 5, "+", nullptr);
        m.AddLive(false);
    }
    EXPECT_EQ(notices, 0);
    EXPECT_EQ(m.rowCount(), 10);
    EXPECT_EQ(m.data(m.index(3, 1), Qt::DisplayRole).toString().remove(',').toInt(), selPrice);
    EXPECT_EQ(SelectedRow(m), 3);

    EXPECT_EQ(m.Sync(), 4);
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(m.rowCount(), 14);
    EXPECT_EQ(m.data(m.index(0, 1), Qt::DisplayRole).toString(), "2,003");
    EXPECT_EQ(SelectedRow(m), 7);
    EXPECT_EQ(m.Sync(), 0);
    EXPECT_EQ(notices, 1);

    // Two more, each with the oldest row dropped.
    for (int i = 0; i < 2; ++i) {
        ticks.DropOldest(nullptr);
        ticks.AddReal("100001", 3000 + i, 5, "-", nullptr);
        m.AddLive(true);
    }
    EXPECT_EQ(m.data(m.index(13, 1), Qt::DisplayRole), QVariant());  // gone from the list, not yet from the view
    EXPECT_EQ(m.Sync(), 2);
    EXPECT_EQ(notices, 3);
    EXPECT_EQ(m.rowCount(), 14);
    EXPECT_EQ(m.data(m.index(0, 1), Qt::DisplayRole).toString(), "3,001");
    EXPECT_EQ(m.data(m.index(13, 1), Qt::DisplayRole).toString(), "1,007");
}
