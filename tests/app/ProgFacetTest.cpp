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

// The broker pages t1637 by the last row's time only: the methods it refuses
// are passed over at once, and the one that works stays for the next pages.
TEST(ProgFacet, OlderPagesSettleOnTheMethodTheBrokerAccepts)
{
    ProgFixture f;
    for (TXAQuery* q : {f.ctx->B.qProg, f.ctx->B.qProgPg})
        QObject::connect(q, &TXAQuery::ReceiveMessage, [&f, q](bool sysErr, const QString& code, const QString&) {
            if (TAppContext::IsSignificant(sysErr, code))
                f.prog.OnProgRefused(q);
        });
    f.prog.ReqProg(false, false);
    f.Run(1500);
    const int first = f.prog.FProg.Rows().size();
    ASSERT_GT(first, 0);
    const QString oldest = f.prog.FProg.Rows().last().T;
    f.prog.ReqProg(true, false);
    f.Run(6000);
    const QString log = f.lines.join('\n');
    EXPECT_TRUE(log.contains("방식0: 거절됨")) << log.toStdString();
    ASSERT_TRUE(f.prog.FProg.ModeFound()) << log.toStdString();
    EXPECT_GT(f.prog.FProg.Rows().size(), first);
    EXPECT_LT(f.prog.FProg.Rows().last().T, oldest);
    const int mode = f.prog.FProg.PageMode();
    EXPECT_EQ(mode, 2) << log.toStdString();   // continuation with the last row's time
    // The next page goes with that method straight away.
    f.lines.clear();
    f.prog.ReqProg(true, false);
    f.Run(3000);
    EXPECT_FALSE(f.lines.join('\n').contains("거절됨")) << f.lines.join('\n').toStdString();
    EXPECT_EQ(f.prog.FProg.PageMode(), mode);
}
