// Program trading driven alone, through the context, against the simulated
// exchange: no window.
#include "SimContext.h"
#include "app/market/ProgFacet.h"

#include <QTableWidget>
#include <gtest/gtest.h>

namespace {

struct ProgFixture : SimContext {
    TProgFacet prog{*ctx};
    std::unique_ptr<QWidget> panel{prog.Build()};

    ProgFixture()
    {
        panel->resize(600, 300);
        for (TXAQuery* q : {ctx->B.qProg, ctx->B.qProgPg})
            QObject::connect(q, &TXAQuery::ReceiveData, [this, q](const QString&) { prog.OnProgData(q); });
    }
};

}  // namespace

TEST(ProgFacet, FirstPageFillsTheGridAndRefreshKeepsIt)
{
    ProgFixture f;
    ASSERT_TRUE(f.ctx->FLogged);
    f.prog.ReqProg(false, false);
    f.Run(1500);
    ASSERT_FALSE(f.prog.FProg.Rows().isEmpty()) << f.lines.join('\n').toStdString();
    EXPECT_FALSE(f.prog.gProg->item(0, 0)->text().isEmpty());
    EXPECT_FALSE(f.prog.gProg->item(0, 1)->text().isEmpty());
    const int rows = f.prog.FProg.Rows().size();
    // Six seconds later the timer refreshes: the rows stay, newer ones on top.
    f.clock.Advance(6000);
    f.prog.FProgTimer.timeout({});
    f.Run(1500);
    EXPECT_GE(f.prog.FProg.Rows().size(), rows);
}

TEST(ProgFacet, ANewStockStartsEmpty)
{
    ProgFixture f;
    f.prog.ReqProg(false, false);
    f.Run(1500);
    ASSERT_FALSE(f.prog.FProg.Rows().isEmpty());
    f.ctx->FCode = "000660";
    f.prog.ResetStock();
    EXPECT_TRUE(f.prog.FProg.Rows().isEmpty());
    EXPECT_EQ(f.prog.gProg->rowCount(), 1);
    EXPECT_TRUE(f.prog.gProg->item(0, 0) == nullptr || f.prog.gProg->item(0, 0)->text().isEmpty());
}
