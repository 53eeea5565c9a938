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
