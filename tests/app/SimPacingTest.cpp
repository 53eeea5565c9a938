// The window's request pacing against the simulated exchange's per-TR
// budgets: a busy hour never trips them, and a request the exchange refuses
// (another program spent the budget of the same key) is logged and the next
// one goes through.
#include "SimWindow.h"
#include "app/market/QuoteFacet.h"
#include "app/market/TickFacet.h"
#include "app/trading/AccountFacet.h"
#include "app/trading/OrderFacet.h"
#include "sim/PriceGrid.h"
#include "sim/SimQuery.h"
#include "sim/SimTrading.h"
#include "trading/LadderView.h"

#include <QLineEdit>
#include <gtest/gtest.h>

namespace {

int Below(int p, int steps)
{
    for (int i = 0; i < steps; ++i)
        p = FloorToGrid(p - 1);
    return p;
}

}  // namespace

TEST(SimPacing, ABusyHourNeverTripsTheBrokerLimits)
{
    SimWindow f;
    TfrmMain& w = *f.w;
    ASSERT_TRUE(w.Ctx().FLogged);
    const char* codes[] = {"005930", "000660", "035420", "005380"};
    const int before = int(f.Exchange().Trading().Orders().size());
    for (int minute = 0; minute < 60; ++minute) {
        if (minute % 5 == 0)
            w.SelectStock(QString::fromLatin1(codes[minute / 5 % 4]));
        f.Run(3000);
        // A buy that fills, a resting buy moved once and cancelled, older ticks.
        const int ask = w.Quote->FHoga.Ask[0], bid = w.Quote->FHoga.Bid[0];
        ASSERT_GT(ask, 0) << minute;
        w.Order->edQty->setText("1");
        w.Order->vLadder->FOnOrder("2", ask);
        const int rest = Below(bid, 5);
        w.Order->vLadder->FOnOrder("2", rest);
        f.Run(4000);
        w.Order->vLadder->FOnMove("2", rest, Below(rest, 1));
        w.Ticks->ReqTicks(true);
        w.Account->ReqBal();
        f.Run(4000);
        w.Order->vLadder->FOnCancel("2", Below(rest, 1));
        w.Account->ReqMiche();
        f.Run(60000 - 11000);
    }
    EXPECT_EQ(f.Exchange().RateRefusals(), 0) << f.Log().toStdString();
    // The hour was busy: two new orders a minute, modified and cancelled.
    EXPECT_GE(int(f.Exchange().Trading().Orders().size()) - before, 200);
    EXPECT_EQ(f.LogCount(QStringLiteral("요청 실패")) + f.LogCount(QStringLiteral("전송 실패")), 0);
}

TEST(SimPacing, ARefusedRequestIsLoggedAndTheNextOneGoesThrough)
{
    SimWindow f;
    TfrmMain& w = *f.w;
    f.Run(3000);
    ASSERT_FALSE(w.Ticks->FTickBusy);

    // Another program on the same key spends this second's t1301 budget.
    TSimQuery other(&f.Exchange());
    auto spend = [&](const QString& tr, const QString& field, const QString& value, int times) {
        for (int i = 0; i < times; ++i) {
            other.SetResFileName(QStringLiteral(KESTREL_RES_DIR) + tr + QStringLiteral(".res"));
            other.SetFieldData(tr + QStringLiteral("InBlock"), field, 0, value);
            ASSERT_GT(other.Request(false), 0) << tr.toStdString();
        }
    };
    spend(QStringLiteral("t1301"), QStringLiteral("shcode"), QStringLiteral("000660"), 2);
    w.Ticks->ReqTicks(false);
    f.Run(300);
    EXPECT_EQ(f.Exchange().RateRefusals(), 1);
    EXPECT_EQ(f.LogCount(QStringLiteral("!! t1301 체결내역 요청 실패")), 1) << f.Log().toStdString();
    EXPECT_FALSE(w.Ticks->FTickBusy) << "a refused request leaves nothing waiting";

    f.Run(1000);
    w.Ticks->ReqTicks(false);
    f.Run(1000);
    EXPECT_EQ(f.Exchange().RateRefusals(), 1);
    EXPECT_GT(w.Ticks->FTicks.Count(), 0);

    // The same for the balance (one a second).
    f.Run(1000);
    const quint64 shown = w.Account->FBalShown;
    spend(QStringLiteral("CSPAQ12300"), QStringLiteral("AcntNo"), QStringLiteral("55501234501"), 1);
    w.Account->ReqBal();
    f.Run(300);
    EXPECT_EQ(f.Exchange().RateRefusals(), 2);
    EXPECT_EQ(f.LogCount(QStringLiteral("!! 잔고 요청 실패")), 1);
    EXPECT_EQ(w.Account->FBalShown, shown);
    f.Run(1000);
    w.Account->ReqBal();
    f.Run(1500);
    EXPECT_GT(w.Account->FBalShown, shown);
    EXPECT_EQ(f.Exchange().RateRefusals(), 2);
}
