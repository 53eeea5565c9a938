// The day's profit and loss page of the real window against the simulated
// exchange: a day of fills, a sale of shares held from an earlier day, and
// the page's figures checked against a hand calculation.
#include "SimWindow.h"
#include "app/MainWindow.h"
#include "app/UiKit.h"
#include "app/trading/AccountFacet.h"
#include "app/trading/OrderFacet.h"
#include "app/trading/PnlFacet.h"
#include "core/IniFile.h"
#include "sim/SimExchange.h"
#include "sim/SimTrading.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace {

struct TDayOrder {
    const char* Code;
    char Side;
    qint64 Qty;
    int Price;
    qint64 Fee, Tax, Realized;  // as the exchange books them: 0.015 % fee, 0.18 % tax, cut
};

// The account after these orders filled today, with what is still held.
void BookDay(TSimExchange& x, const QVector<TDayOrder>& orders, const QVector<TSimHolding>& holds)
{
    TSimAccountState s = x.Account().State();
    s.Holdings = holds;
    s.Orders.clear();
    s.OrdersDate = x.Trading().Day();
    qint64 no = 0;
    for (const TDayOrder& o : orders) {
        TSimOrder r;
        r.OrdNo = ++no;
        r.Code = QString::fromLatin1(o.Code);
        r.Side = o.Side;
        r.Price = o.Price;
        r.Qty = r.Filled = o.Qty;
        r.FillAmt = o.Qty * o.Price;
        r.TimeMs = 36000000 + int(no) * 1000;
        r.Fee = o.Fee;
        r.Tax = o.Tax;
        r.Realized = o.Realized;
        s.Orders.append(r);
    }
    s.NextOrdNo = no + 1;
    ASSERT_TRUE(x.Account().Commit(s, false)) << x.Account().SaveError().toStdString();
}

QStringList RowTexts(QTableWidget* g, int row)
{
    QStringList t;
    for (int c = 0; c < g->columnCount(); ++c)
        t << (g->item(row, c) ? g->item(row, c)->text() : QString());
    return t;
}

}  // namespace

TEST(PnlFacet, DayOfTradesMatchesHandCalculation)
{
    SimWindow f;
    TfrmMain& w = *f.w;
    ASSERT_TRUE(w.Ctx().FLogged);
    // The page after login: no fills yet.
    EXPECT_EQ(w.Pnl->gPnl->item(0, 0)->text(), "오늘 체결 없음");

    // 000660 bought 10 @ 100,000, sold 10 @ 103,000.
    // 005930 5 of 20 held from an earlier day at 70,000 sold @ 72,000.
    // 035720 bought 10 @ 50,000, sold 4 @ 51,000.
    // 035420 bought 4 @ 200,000 only.
    // 000270 all 3 held from an earlier day at 80,000 sold @ 90,000: gone from
    //        the balance, its average is known to no one but the broker's total.
    BookDay(f.Exchange(),
            {{"000660", '2', 10, 100000, 150, 0, 0},
             {"000660", '1', 10, 103000, 154, 1854, 1030000 - 154 - 1854 - 1000000},
             {"005930", '1', 5, 72000, 54, 648, 360000 - 54 - 648 - 350000},
             {"035720", '2', 10, 50000, 75, 0, 0},
             {"035720", '1', 4, 51000, 30, 367, 204000 - 30 - 367 - 200000},
             {"035420", '2', 4, 200000, 120, 0, 0},
             {"000270", '1', 3, 90000, 40, 486, 270000 - 40 - 486 - 240000}},
            {{"005930", 15, 70000}, {"035720", 6, 50000}, {"035420", 4, 200000}});
    w.Account->ReqBal();
    w.Pnl->btnPnl->click();
    f.Run(6000);

    // Profit per stock with the journal's actual costs; the buy fee of today's
    // buys is taken for the shares sold (035720: 75 x 4/10 = 30).
    const qint64 p660 = 1030000 - 1000000 - 154 - 1854 - 150;  // 27,842
    const qint64 p5930 = 360000 - 350000 - 54 - 648;           // 9,298
    const qint64 p5720 = 204000 - 200000 - 30 - 367 - 30;      // 3,573
    const qint64 brokerTotal = 27992 + 9298 + 3603 + 29474;    // the exchange's own figures, 70,367
    const qint64 rest = brokerTotal - (p660 + p5930 + p5720);  // 29,654: 000270's share
    ASSERT_EQ(p660, 27842);
    ASSERT_EQ(rest, 29654);
    const QStringList expected[] = {
        {"기아", "청산 (전일분 포함)", "", "", "3", "90,000", "+29,654 *", ""},
        {"SK하이닉스", "청산", "10", "100,000", "10", "103,000", "+27,842", "+2.78%"},
        {"삼성전자", "일부청산 (전일분 포함)", "", "", "5", "72,000", "+9,298", "+2.66%"},
        {"카카오", "일부청산", "10", "50,000", "4", "51,000", "+3,573", "+1.79%"},
        {"NAVER", "매수만", "4", "200,000", "", "", "", ""},
    };
    QTableWidget* g = w.Pnl->gPnl;
    ASSERT_EQ(g->rowCount(), 5);
    for (int r = 0; r < 5; ++r)
        EXPECT_EQ(RowTexts(g, r), expected[r]) << r;
    EXPECT_EQ(g->item(1, 6)->foreground().color(), QColor(229, 57, 53));
    EXPECT_TRUE(g->item(0, 6)->font().italic());
    EXPECT_EQ(w.Pnl->lbPnlTot->text(),
              "오늘 실현손익  +70,367원  (LS 계산 · 제비용 포함)     종목별 합 +70,367원 · 청산 2종목");
    EXPECT_EQ(w.Pnl->pcBM->tabText(w.Pnl->pcBM->indexOf(w.Pnl->tsPnl)), "  당일손익 +70,367  ");
    EXPECT_EQ(f.LogCount("당일매매일지(t0150): 5종목 · 수수료 623 · 세금 3,355"), 1);

    // A click on another stock's row opens it.
    g->cellClicked(3, 0);
    EXPECT_EQ(w.Ctx().FCode, "035720");
}

// Without the journal the costs are estimated from the tax setting and the
// fee box, and a change of the box redraws at once.
TEST(PnlFacet, EstimateFollowsFeeBoxAndRefusedJournal)
{
    SimWindow f;
    TfrmMain& w = *f.w;
    BookDay(f.Exchange(), {{"000660", '2', 10, 100000, 150, 0, 0}, {"000660", '1', 10, 103000, 154, 1854, 27992}}, {});
    f.Exchange().FailNextRequest("t0150");
    f.Exchange().FailNextRequest("t0424");
    w.Pnl->FDay.FLsRealOk = false;  // as in a run the broker never sent its total
    w.Pnl->btnPnl->click();
    f.Run(6000);
    EXPECT_EQ(f.LogCount("!! 당일매매일지(수수료·세금) 조회 실패"), 1);
    EXPECT_EQ(f.LogCount("!! 당일손익용 잔고(t0424) 조회 실패"), 1);
    // Box 0.3 with the tax at 0.20: 0.05 % a side.
    // 1,030,000 - 1,000,000 - tax 2,060 - sell fee 515 - buy fee 500.
    w.Order->edFee->setText("0.3");
    EXPECT_EQ(w.Pnl->gPnl->item(0, 6)->text(), "+26,925");
    EXPECT_EQ(w.Pnl->lbPnlTot->text(), "오늘 실현손익 합계  +26,925원   (청산 1종목 · 전일 보유분 포함 · "
                                       "수수료·세금 왕복 0.30% 가정(거래세 0.20% 포함))");
    w.Order->edFee->setText("0.24");  // 0.02 % a side: 206 and 200
    EXPECT_EQ(w.Pnl->gPnl->item(0, 6)->text(), "+27,534");

    // [UI] SELLTAX sets the tax; a value that is not a percent leaves the statutory 0.20.
    const QString ini = f.dir.path() + "/tax.ini";
    for (const auto& [value, profit, label] :
         {std::tuple{"0.18", "+26,928", "수수료·세금 왕복 0.30% 가정(거래세 0.18% 포함))"},  // 1,854 + 618 + 600
          std::tuple{"abc", "+26,925", "수수료·세금 왕복 0.30% 가정(거래세 0.20% 포함))"}}) {
        QFile file(ini);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("[UI]\nSELLTAX=") + value + "\n");
        file.close();
        w.Pnl->LoadLayout(TIniFile(ini));
        w.Order->edFee->setText("0.3");
        EXPECT_EQ(w.Pnl->gPnl->item(0, 6)->text(), profit) << value;
        EXPECT_TRUE(w.Pnl->lbPnlTot->text().endsWith(QString::fromUtf8(label))) << value;
        w.Order->edFee->setText("0.24");
    }
}

// An ETF's sale pays no transaction tax in the estimate (the stock list
// marks it), a share's sale does.
TEST(PnlFacet, FundsPayNoTransactionTaxInTheEstimate)
{
    SimWindow f;
    TfrmMain& w = *f.w;
    BookDay(f.Exchange(),
            {{"069500", '2', 100, 36000, 0, 0, 0}, {"069500", '1', 100, 36500, 0, 0, 0},
             {"000660", '2', 10, 100000, 0, 0, 0}, {"000660", '1', 10, 103000, 0, 0, 0}},
            {});
    f.Exchange().FailNextRequest("t0150");
    f.Exchange().FailNextRequest("t0424");
    w.Pnl->FDay.FLsRealOk = false;
    w.Pnl->btnPnl->click();
    f.Run(6000);
    w.Order->edFee->setText("0.3");   // 0.05 % a side besides the 0.20 % tax
    QTableWidget* g = w.Pnl->gPnl;
    ASSERT_EQ(g->rowCount(), 2);
    // Sorted by code: 000660, then 069500.
    EXPECT_EQ(g->item(0, 6)->text(), "+26,925");   // 30,000 - tax 2,060 - 515 - 500
    EXPECT_EQ(g->item(1, 6)->text(), "+46,375");   // 50,000 - 1,825 - 1,800, no tax
}

// An answer of a round that was replaced is not counted in the new one.
TEST(PnlFacet, AnswersOfAnOlderRoundAreDropped)
{
    SimWindow f;
    TfrmMain& w = *f.w;
    f.Run(3000);  // the login round is over
    BookDay(f.Exchange(), {{"000660", '2', 10, 100000, 150, 0, 0}}, {{"000660", 10, 100000}});
    f.Exchange().SetAnswerDelayMs(400);
    w.Pnl->btnPnl->click();
    // The first round's t0425 goes out (the board and the lists ask too).
    for (int i = 0; i < 40 && w.Ctx().FQ->CountTr(QStringLiteral("t0425p")) > 0; ++i)
        f.Run(25);
    ASSERT_EQ(w.Ctx().FQ->CountTr(QStringLiteral("t0425p")), 0);
    w.Pnl->btnPnl->click();
    f.Run(600);  // its answer came; the new round's request waits for its spacing
    EXPECT_EQ(w.Pnl->FDay.FPnlPage, 0);
    f.Run(3000);
    EXPECT_EQ(w.Pnl->FDay.FPnlPage, 1);
    EXPECT_EQ(w.Pnl->gPnl->item(0, 2)->text(), "10");
}
