// The window over the open API when the network misbehaves: the real-time
// connection dropped mid-burst, the token dying mid-session, an order whose
// answer never comes, a rate refusal, an answer that is not JSON. The fake
// broker on this machine injects each fault; its simulated exchange is the
// truth the window must end up agreeing with.
#include "SimWindow.h"
#include "app/broker/LoginFacet.h"
#include "app/market/QuoteFacet.h"
#include "app/trading/AccountFacet.h"
#include "broker/WsFeed.h"
#include "core/NumFmt.h"
#include "sim/SimAccount.h"
#include "trading/LadderView.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <gtest/gtest.h>

namespace {

// Turns the window's time until `done`, a few seconds of real time at most
// (reconnects wait real pauses).
template <class F>
bool RunUntil(SimWindow& f, F done, int realMs = 8000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < realMs)
        f.Run(50);
    return done();
}

bool FeedBack(SimWindow& f)
{
    return RunUntil(f, [&] { return f.Link()->Feed().Connected() && f.Link()->Feed().Queued() == 0; });
}

// Drops the real-time connection and waits until the window knows it.
void Drop(SimWindow& f)
{
    f.fake->DropSockets();
    RunUntil(f, [&] { return !f.Link()->Feed().Connected(); });
}

// Fills the window has handled (one log line each).
int FillLines(const SimWindow& f) { return f.LogCount(QStringLiteral("주 @ ")); }

// A buy at the day's upper limit: it fills at the best ask even when the
// book the window shows is stale (the feed down while the market moved).
void Buy(SimWindow& f, int qty)
{
    int px = f.w->Quote->FHoga.UpLmt;
    if (px <= 0)
        for (int i = 0, a = px = f.w->Quote->FHoga.Ask[0]; i < 5; ++i, a = px)
            px = TickUp(a);
    f.w->Order->edQty->setText(QString::number(qty));
    f.w->Order->vLadder->FOnOrder("2", px);
}

int Requests(const SimWindow& f, const char* tr)
{
    int n = 0;
    for (const TFakeBroker::TSeen& s : f.fake->Requests())
        n += s.TrCd == QLatin1String(tr);
    return n;
}

qint64 SimHolding(SimWindow& f, const QString& code)
{
    for (const auto& h : f.Exchange().Account().Holdings())
        if (h.Code == code)
            return h.Qty;
    return 0;
}

} // namespace

// Dropped in the middle of a burst: the feed comes back by itself with
// every subscription, a fill the server sends again counts once, and a fill
// made while the feed was down is not lost: the orders and the balance are
// read again.
TEST(OpenApiFaults, FeedDropReconnectsRestoresAndLosesOrDoublesNoFill)
{
    SimWindow f(TWindowBackend::Api);
    TfrmMain& w = *f.w;
    ASSERT_TRUE(w.Ctx().FLogged) << f.Log().toStdString();
    w.SelectStock("005930");
    f.Run(1500);
    ASSERT_TRUE(FeedBack(f));
    const int subs = f.fake->Subscriptions();
    ASSERT_GE(subs, 3);   // trades, book, the account

    Buy(f, 3);
    f.Run(1500);
    const int fills = FillLines(f);
    ASSERT_GE(fills, 1) << f.Log().toStdString();

    // Mid-burst: the server sends this connection's order events again after
    // the reconnect.
    f.fake->Faults().ReplayOnReconnect = true;
    const int miche = Requests(f, "t0425");
    f.fake->DropSockets();
    EXPECT_TRUE(RunUntil(f, [&] { return w.Login->lbStatus->text().contains(QStringLiteral("끊김")); }));
    ASSERT_TRUE(FeedBack(f));
    f.Run(3000);
    EXPECT_EQ(f.fake->Subscriptions(), subs);
    EXPECT_GT(f.Link()->FillsDropped(), 0) << "no fill was sent again";
    EXPECT_EQ(FillLines(f), fills);
    EXPECT_GT(Requests(f, "t0425"), miche);
    EXPECT_EQ(f.LogCount(QStringLiteral("!! 실시간 연결 끊김")), 1) << f.Log().toStdString();
    EXPECT_EQ(f.LogCount(QStringLiteral("실시간 다시 연결됨")), 1);
    EXPECT_TRUE(w.Login->lbStatus->text().startsWith(QStringLiteral("● 접속")));

    // Down long enough for a fill to happen unseen.
    f.fake->Faults().ReplayOnReconnect = false;
    f.fake->SetWsRefused(true);
    f.fake->DropSockets();
    f.Run(500);
    Buy(f, 2);
    f.Run(1500);
    EXPECT_EQ(FillLines(f), fills) << "a record came through a refused connection";
    ASSERT_EQ(SimHolding(f, "005930"), 5);
    f.fake->SetWsRefused(false);
    ASSERT_TRUE(FeedBack(f));
    EXPECT_TRUE(RunUntil(f, [&] { return w.Account->FHolds.value("005930").Qty == 5; })) << f.Log().toStdString();
    EXPECT_EQ(f.fake->Subscriptions(), subs);
}

// A token that dies mid-session is renewed once and the reads go on; the
// feed takes the new token for what it asks next.
TEST(OpenApiFaults, TokenExpiringMidSessionIsRenewedAndReadsGoOn)
{
    SimWindow f(TWindowBackend::Api);
    TfrmMain& w = *f.w;
    ASSERT_TRUE(w.Ctx().FLogged);
    ASSERT_EQ(f.fake->TokensIssued(), 1);
    f.fake->ExpireTokens();
    w.SelectStock("005930");
    ASSERT_TRUE(RunUntil(f, [&] { return f.fake->TokensIssued() == 2; })) << f.Log().toStdString();
    f.Run(1500);
    EXPECT_EQ(f.fake->TokensIssued(), 2);
    EXPECT_GT(w.Quote->FHoga.Price, 0);
    EXPECT_TRUE(f.Log().contains(QStringLiteral("접근토큰을 새로 받았습니다")));
    ASSERT_TRUE(FeedBack(f));
    f.Run(1500);
    EXPECT_GT(f.fake->FramesSent("S3_") + f.fake->FramesSent("H1_"), 0);   // subscribed under the new token
    EXPECT_FALSE(f.Log().contains("!!")) << f.Log().toStdString();

    // Dead again, and the feed the first to find out (queries are answered
    // late): it reconnects with the dead token, is refused, and asks for
    // every feed again under the next one.
    Drop(f);
    ASSERT_TRUE(FeedBack(f));
    f.Run(1000);
    const int subs = f.fake->Subscriptions();
    ASSERT_GE(subs, 3);
    f.fake->Faults().LatencyMs = 1500;
    f.fake->ExpireTokens();
    Drop(f);
    ASSERT_TRUE(RunUntil(f, [&] { return f.fake->TokensIssued() >= 3 && f.fake->Subscriptions() == subs; }))
        << f.fake->Subscriptions() << " of " << subs << "\n" << f.Log().toStdString();
    f.fake->Faults().LatencyMs = 0;
    f.Run(1000);
    EXPECT_EQ(f.fake->Subscriptions(), subs);
    const int frames = f.fake->FramesSent("S3_") + f.fake->FramesSent("H1_");
    EXPECT_TRUE(RunUntil(f, [&] { return f.fake->FramesSent("S3_") + f.fake->FramesSent("H1_") > frames; }));
    EXPECT_FALSE(f.Log().contains(QStringLiteral("실시간 요청 거부"))) << f.Log().toStdString();
}

// The exchange takes the order and its answer is lost: the window says the
// outcome is unknown, does not send it again, and learns the truth from the
// unfilled orders, the fill and the balance.
TEST(OpenApiFaults, OrderWithoutAnswerIsShownUnknownReconciledAndNeverResent)
{
    SimWindow f(TWindowBackend::Api, "TIMEOUT=1000\n");
    TfrmMain& w = *f.w;
    ASSERT_TRUE(w.Ctx().FLogged);
    w.SelectStock("005930");
    f.Run(1500);
    ASSERT_TRUE(FeedBack(f));
    f.fake->Faults().Swallow = {QStringLiteral("CSPAT00601")};
    Buy(f, 4);
    ASSERT_TRUE(RunUntil(f, [&] { return f.Log().contains(QStringLiteral("주문 결과를 알 수 없습니다")); }))
        << f.Log().toStdString();
    EXPECT_EQ(f.LogCount(QStringLiteral("주문응답 [-901]")), 1);
    EXPECT_TRUE(RunUntil(f, [&] { return w.Account->FHolds.value("005930").Qty == 4; })) << f.Log().toStdString();
    f.Run(3000);
    EXPECT_EQ(Requests(f, "CSPAT00601"), 1);
    EXPECT_EQ(SimHolding(f, "005930"), 4);
}

// A rate refusal pauses what the program pauses for it and is not sent
// again in a storm; an answer that is not JSON is one "!!" line. The window
// goes on working after both.
TEST(OpenApiFaults, RateRefusalAndNonsenseAreSaidOnceAndTheWindowGoesOn)
{
    SimWindow f(TWindowBackend::Api);
    TfrmMain& w = *f.w;
    ASSERT_TRUE(w.Ctx().FLogged);
    f.Run(1000);
    const int before = int(f.fake->Requests().size());
    // The faults meet the new stock's quote, not whatever else the window
    // happens to ask at that moment.
    f.fake->Faults().NextOf = {QStringLiteral("t1101")};
    f.fake->Faults().RateRefuseNext = 1;
    w.SelectStock("005930");
    f.Run(3000);
    EXPECT_EQ(f.LogCount(QStringLiteral("전송제한 — ")), 1 + f.LogCount(QStringLiteral("전송제한 — 프로그램매매")))
        << f.Log().toStdString();
    EXPECT_LT(int(f.fake->Requests().size()) - before, 40) << "a retry storm";

    f.fake->Faults().MalformedNext = 1;
    w.SelectStock("000660");
    f.Run(2000);
    EXPECT_EQ(f.LogCount(QStringLiteral("!! ")), 1) << f.Log().toStdString();
    EXPECT_TRUE(f.Log().contains(QStringLiteral("응답을 읽을 수 없습니다")));

    w.SelectStock("005930");
    EXPECT_TRUE(RunUntil(f, [&] { return w.Quote->FHoga.Name == QStringLiteral("삼성전자") && w.Quote->FHoga.Price > 0; }));
}
