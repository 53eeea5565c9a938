// The road of one stock and one order, through the real window against the
// simulated exchange, on a test clock.
#include "app/MainWindow.h"
#include "SimWindow.h"
#include "app/SuggestList.h"
#include "app/UiKit.h"
#include "app/board/BoardFacet.h"
#include "app/chart/ChartFacet.h"
#include "app/market/DailyFacet.h"
#include "app/market/QuoteFacet.h"
#include "app/market/StockFacet.h"
#include "app/trading/AccountFacet.h"
#include "app/trading/OrderFacet.h"
#include "broker/ReqQueue.h"
#include "broker/RestAuth.h"
#include "chart/CandleChart.h"
#include "chart/ChartModel.h"
#include "core/Clock.h"
#include "core/NumFmt.h"
#include "market/StockSearch.h"
#include "trading/LadderModel.h"
#include "trading/LadderView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Search, quote, ladder, order, fill, modify, cancel, balance, charts and
// ticks, as the user meets them.
void FindOrderFillModifyCancel(SimWindow& f, const QString& shotName)
{
    TfrmMain& w = *f.w;
    ASSERT_TRUE(w.Ctx().FLogged);
    ASSERT_EQ(w.Ctx().FCode, "000660");

    // Find by initial consonants.
    QApplication::setActiveWindow(&w);
    w.Stock->edCode->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(w.Stock->edCode->hasFocus());
    w.Stock->edCode->clear();
    for (QChar c : QStringLiteral("ㅅㅅㅈㅈ"))
        w.Stock->edCode->insert(QString(c));  // as an input method commits each letter
    ASSERT_TRUE(w.Stock->lbSug->isVisible());
    ASSERT_GE(w.Stock->lbSug->Count(), 2);
    EXPECT_EQ(w.Stock->lbSug->CodeAt(0), "005930");  // 삼성전자: initials start with ㅅㅅㅈㅈ, shortest name

    // A consonant still being composed by the input method counts too.
    w.Stock->edCode->clear();
    w.Stock->edCode->insert(QStringLiteral("ㅅㅅㅈ"));
    const int three = RankSuggestions(*w.Stock->FSearch, QStringLiteral("ㅅㅅㅈ")).size();
    const int four = RankSuggestions(*w.Stock->FSearch, QStringLiteral("ㅅㅅㅈㅈ")).size();
    ASSERT_NE(three, four);
    EXPECT_EQ(w.Stock->lbSug->Count(), three);
    QInputMethodEvent composing(QStringLiteral("ㅈ"), {});
    QApplication::sendEvent(w.Stock->edCode, &composing);
    QApplication::processEvents();
    EXPECT_EQ(w.Stock->lbSug->Count(), four);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("ㅈ"));
    QApplication::sendEvent(w.Stock->edCode, &commit);
    QApplication::processEvents();
    EXPECT_EQ(w.Stock->edCode->text(), QStringLiteral("ㅅㅅㅈㅈ"));
    EXPECT_EQ(w.Stock->lbSug->Count(), four);
    EXPECT_EQ(w.Stock->lbSug->CodeAt(0), "005930");

    QTest::keyClick(w.Stock->edCode, Qt::Key_Return);
    EXPECT_EQ(w.Ctx().FCode, "005930");
    EXPECT_FALSE(w.Stock->lbSug->isVisible());
    f.Run(1500);
    ASSERT_GT(w.Quote->FHoga.Price, 0);
    EXPECT_FALSE(w.Order->vLadder->CellRect(w.Quote->FHoga.Ask[0], kColAsk).isEmpty());  // the book is on the ladder

    // Buy one share at the best ask: it crosses the spread and fills at once.
    w.Order->edQty->setText("3");
    const int ask = w.Quote->FHoga.Ask[0];
    w.Order->vLadder->FOnOrder("2", ask);
    EXPECT_EQ(f.confirms, 1);
    EXPECT_EQ(f.LogCount("▶ 매수 삼성전자 3주 " + FmtNum(ask) + "원"), 1);
    f.Run(600);
    EXPECT_EQ(f.LogCount("주문응답 [00040]"), 1) << f.Log().toStdString();
    EXPECT_TRUE(f.Log().contains("체결 삼성전자 "));
    EXPECT_TRUE(w.Account->FAcctDirty);
    EXPECT_EQ(w.Ctx().FQ->CountTr("CSPAQ12300"), 0);  // not before two seconds
    // The balance is asked on the first second's tick at least two seconds
    // after the fill (when the fill fell in the last 600 ms depends on the
    // answers' timing, so the test follows the clock, not a fixed run).
    const qint64 filledAt = w.Account->FAcctDirtyAt;
    for (int ms = 0; ms < 4000 && w.Account->FAcctDirty; ms += 50)
        f.Run(50);
    EXPECT_FALSE(w.Account->FAcctDirty);
    EXPECT_GE(f.clock.TickMs() - filledAt, 2000);
    EXPECT_LE(f.clock.TickMs() - filledAt, 3050);
    for (int ms = 0; ms < 3000 && !w.Account->FHolds.contains("005930"); ms += 50)
        f.Run(50);
    ASSERT_TRUE(w.Account->FHolds.contains("005930")) << f.Log().toStdString();
    EXPECT_EQ(w.Account->FHolds.value("005930").Qty, 3);
    EXPECT_EQ(w.Account->gBal->item(0, 0)->text(), "005930");
    EXPECT_TRUE(w.Order->vLadder->Model().Row(ask).HasPnl);  // per-row profit of the holding

    // A resting buy five ticks under the bid; then drag it one tick lower.
    int px = w.Quote->FHoga.Bid[0];
    for (int i = 0; i < 5; ++i)
        px = TickDown(px);
    w.Order->edQty->setText("1");
    w.Order->vLadder->FOnOrder("2", px);
    f.Run(2500);   // the unfilled orders wait behind the day's fills (t0425 pacing)
    ASSERT_EQ(w.Account->FMiche.size(), 1) << f.Log().toStdString();
    EXPECT_EQ(w.Account->FMiche[0].Price, px);
    EXPECT_EQ(w.Order->vLadder->Model().MyCount("2"), 1);
    EXPECT_EQ(w.pcBM->tabText(1), "  미체결 (1)  ");
    const int lower = TickDown(px);
    w.Order->vLadder->FOnMove("2", px, lower);
    f.Run(1500);
    EXPECT_EQ(f.LogCount("정정응답 [00462]"), 1) << f.Log().toStdString();
    ASSERT_EQ(w.Account->FMiche.size(), 1);
    EXPECT_EQ(w.Account->FMiche[0].Price, lower);

    // Right-click cancels it.
    w.Order->vLadder->FOnCancel("2", lower);
    f.Run(1500);
    EXPECT_EQ(f.LogCount("취소응답 [00156]"), 1);
    EXPECT_TRUE(w.Account->FMiche.isEmpty());
    EXPECT_EQ(w.pcBM->tabText(1), "  미체결  ");

    // Two resting sells, cancelled together by the sell cancel-all button.
    int up = w.Quote->FHoga.Ask[0];
    for (int i = 0; i < 5; ++i)
        up = TickUp(up);
    w.Order->edSQty->setText("1");
    w.Order->vLadder->FOnOrder("1", up);
    w.Order->vLadder->FOnOrder("1", TickUp(up));
    f.Run(2000);
    ASSERT_EQ(w.Account->FMiche.size(), 2) << f.Log().toStdString();
    EXPECT_EQ(w.Account->btnSellCxl->text(), "매도 전체취소 (2)");
    const int before = f.LogCount("▶ 취소 삼성전자");
    w.Account->CancelSide("1");
    EXPECT_EQ(f.LogCount("▶ 취소 삼성전자") - before, 2);  // one request per order
    f.Run(2000);
    EXPECT_TRUE(w.Account->FMiche.isEmpty()) << f.Log().toStdString();
    EXPECT_EQ(w.Account->btnSellCxl->text(), "매도 전체취소");

    // The buy stands on the minute chart as a fill mark at its minute; a trend
    // line over today's last half hour and a level line on the day chart
    // complete the picture kept for review.
    const TChartModel& mm = w.Charts->chMin->Model();
    ASSERT_FALSE(mm.Fills().isEmpty());
    EXPECT_TRUE(mm.Fills()[0].Buy);
    EXPECT_EQ(mm.Fills()[0].Price, ask);
    ASSERT_GE(mm.Count(), 30);
    const TBar& b0 = mm.Bars()[mm.Count() - 30];
    const TBar& b1 = mm.Bars().last();
    w.Charts->chMin->Model().AddDraw(TDrawObj{QChar('L'), b0.D, b1.D, b0.L, b1.H});
    w.Charts->chDay->Model().AddDraw(TDrawObj{QChar('H'), QString(), QString(), double(ask), 0});
    f.Run(500);
    // Live trades keep the last minute bar and today's day bar at the price.
    EXPECT_TRUE(mm.Bars().last().D.startsWith("2026121010"));
    EXPECT_DOUBLE_EQ(mm.Bars().last().C, w.Quote->FHoga.Price);
    EXPECT_EQ(w.Charts->chDay->Model().Bars().last().D, "20261210");
    EXPECT_DOUBLE_EQ(w.Charts->chDay->Model().Bars().last().C, w.Quote->FHoga.Price);

    const QString shot = QDir::temp().filePath(shotName + ".png");
    w.grab().save(shot);
    w.pcTick->setCurrentIndex(1);  // the daily table
    QApplication::processEvents();
    EXPECT_GT(w.Daily->FDaily.Count(), 20);
    w.grab().save(QDir::temp().filePath(shotName + "-daily.png"));
}

}  // namespace

TEST(TradingFlow, FindOrderFillModifyCancel)
{
    SimWindow f;
    FindOrderFillModifyCancel(f, "kestrel-trading");
}

// The same road over the broker's open API: the fake broker on this machine
// answers from its own simulated exchange, over HTTPS and a WebSocket.
TEST(TradingFlow, FindOrderFillModifyCancelOverTheOpenApi)
{
    SimWindow f(TWindowBackend::Api);
    ASSERT_TRUE(f.Link()) << "not the open API's backend";
    FindOrderFillModifyCancel(f, "kestrel-trading-api");
    int orders = 0, modifies = 0, cancels = 0;
    for (const TFakeBroker::TSeen& s : f.fake->Requests()) {
        orders += s.TrCd == "CSPAT00601";
        modifies += s.TrCd == "CSPAT00701";
        cancels += s.TrCd == "CSPAT00801";
        if (s.TrCd == "CSPAT00601")
            EXPECT_TRUE(s.Body.contains("\"A005930\"")) << s.Body.toStdString();   // the paper form
        EXPECT_FALSE(s.Body.contains("InptPwd")) << s.TrCd.toStdString();
    }
    EXPECT_EQ(orders, 4);
    EXPECT_EQ(modifies, 1);
    EXPECT_EQ(cancels, 3);
    EXPECT_GT(f.fake->FramesSent("S3_") + f.fake->FramesSent("K3_"), 0);
    EXPECT_GT(f.fake->FramesSent("SC1"), 0);
    EXPECT_EQ(f.Link()->FillsDropped(), 0);
    EXPECT_FALSE(f.Log().contains("!!")) << f.Log().toStdString();
    // The board's index levels come over the API's sector minute chart.
    EXPECT_TRUE(f.w->Board->FBoard[3].Ok && f.w->Board->FBoard[4].Ok) << f.Log().toStdString();
    EXPECT_FALSE(f.Log().contains("요청 실패")) << f.Log().toStdString();
    // Neither the key, the secret nor the token is ever shown.
    const QString token = f.Link()->Auth().Token();
    ASSERT_FALSE(token.isEmpty());
    for (const QString& secret : {QStringLiteral("fake-app-key"), QStringLiteral("fake-app-secret"), token})
        EXPECT_FALSE(f.Log().contains(secret));
    // Closing revokes the token.
    f.w->FormClose();
    EXPECT_EQ(f.fake->TokensRevoked(), 1);
}
