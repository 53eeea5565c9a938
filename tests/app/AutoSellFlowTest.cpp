// Automatic and split selling through the real window against the simulated
// exchange, on a test clock.
#include "app/MainWindow.h"
#include "SimWindow.h"
#include "app/market/QuoteFacet.h"
#include "app/trading/AccountFacet.h"
#include "app/trading/AutoSellFacet.h"
#include "app/trading/OrderFacet.h"
#include "core/NumFmt.h"
#include "trading/AutoSell.h"
#include "trading/LadderView.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

// The longest pauses (5 s, then 6 s) and two ticks between parts.
TSplitRandom Slow()
{
    TSplitRandom r;
    r.Uniform01 = [] { return 0.5; };
    r.Pick = [](int, int hi) { return hi; };
    return r;
}

int Target(int fill) { return AutoSellPrice(fill, ParseSellPct(QStringLiteral("1.5")).Micro, 0).Price; }

TEST(AutoSellFlow, BuyFilledInTwoPartsSellsEachPartOnceThenSplitSellsTheRest)
{
    SimWindow f;
    TfrmMain& w = *f.w;
    ASSERT_TRUE(w.Ctx().FLogged);
    w.AutoSell->Random = Slow();
    w.AutoSell->chkAutoSell->setChecked(true);
    w.AutoSell->edAutoPct->setText(QStringLiteral("1.5%"));
    f.Run(1500);
    const THogaData& h = w.Quote->FHoga;
    ASSERT_GT(h.Ask[1], h.Ask[0]);
    // A buy reaching into the second ask level: the exchange fills it level
    // by level, one fill event per part.
    const qint64 qty = h.AskQ[0] + std::max<qint64>(1, h.AskQ[1] / 2);
    ASSERT_LT(qint64(h.Ask[1]) * qty, 95000000) << "the simulated account cannot pay for it";
    w.Order->edQty->setText(QString::number(qty));
    w.Order->vLadder->FOnOrder("2", h.Ask[1]);
    f.Run(3000);
    const QString name = w.Ctx().NameOf(w.Ctx().FCode);
    // Each fill ("체결 name qty주 @ price") has exactly one sell of its
    // quantity at the first grid price 1.5 % above its price.
    const QRegularExpression fillLine(QStringLiteral("체결 (.+) ([0-9]+)주 @ ([0-9]+)$"));
    qint64 filled = 0;
    int fills = 0;
    for (const QString& l : f.Log().split('\n')) {
        const QRegularExpressionMatch m = fillLine.match(l);
        if (!m.hasMatch())
            continue;
        ++fills;
        const qint64 q = ParseInt(m.captured(2));
        const int px = int(ParseInt(m.captured(3)));
        filled += q;
        EXPECT_EQ(f.LogCount(QStringLiteral("▶ 매도 %1 %2주 @ %3원 (체결가 %4 + 1.5% 이상)")
                                 .arg(name, FmtNum(q), FmtNum(Target(px)), FmtNum(px))),
                  1)
            << f.Log().toStdString();
    }
    ASSERT_GE(fills, 1);
    const qint64 first = filled - 2;   // what the test below calls the holding: first + 2
    EXPECT_EQ(filled, qty);
    EXPECT_EQ(f.LogCount(QStringLiteral("▶ 매도 ")), fills);

    // The last fill delivered again: no third sell.
    w.AutoSell->OnFillReal(w.Ctx().B.rSC1);
    f.Run(1000);
    EXPECT_EQ(f.LogCount(QStringLiteral("▶ 매도 ")), fills);
    f.Run(3000);
    ASSERT_EQ(w.Account->FHolds.value(w.Ctx().FCode).Qty, first + 2);
    ASSERT_EQ(PendingSells(w.Account->FMiche, w.Ctx().FCode), first + 2) << f.Log().toStdString();

    // Everything is offered: split sell has nothing left to sell.
    w.AutoSell->chkAutoSell->setChecked(false);
    w.AutoSell->btnSplitSell->click();
    EXPECT_EQ(f.LogCount(QStringLiteral("팔 수 있는 수량이 없습니다 — 이미 전부 미체결 매도로 걸려 있음")), 1);

    // Cancel them; split sell offers the whole holding in three rising parts.
    w.Account->CancelSide("1");
    f.Run(3000);
    ASSERT_EQ(PendingSells(w.Account->FMiche, w.Ctx().FCode), 0) << f.Log().toStdString();
    const int confirmsBefore = f.confirms;
    w.AutoSell->btnSplitSell->click();
    EXPECT_EQ(f.confirms, confirmsBefore + 1);
    ASSERT_EQ(w.AutoSell->FSplit.size(), 2);   // the first part went at once
    // A second click while parts wait offers nothing again.
    w.AutoSell->btnSplitSell->click();
    EXPECT_EQ(f.LogCount(QStringLiteral("팔 수 있는 수량이 없습니다")), 2);
    f.Run(14000);
    EXPECT_TRUE(w.AutoSell->FSplit.isEmpty());
    const QStringList lines = f.Log().split('\n').filter(QStringLiteral("(전체 적당히 매도)"));
    ASSERT_EQ(lines.size(), 3) << f.Log().toStdString();
    qint64 total = 0;
    int lastPx = 0;
    for (const QString& l : lines) {
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("▶ 매도 .* ([0-9,]+)주 @ ([0-9,]+)원")).match(l);
        ASSERT_TRUE(m.hasMatch()) << l.toStdString();
        total += ParseInt(m.captured(1).remove(QLatin1Char(',')));
        const int px = int(ParseInt(m.captured(2).remove(QLatin1Char(','))));
        EXPECT_GT(px, lastPx);
        lastPx = px;
    }
    EXPECT_EQ(total, first + 2);
    f.Run(2000);
    EXPECT_EQ(PendingSells(w.Account->FMiche, w.Ctx().FCode), first + 2) << f.Log().toStdString();
}

TEST(AutoSellFlow, PendingPartsStopOnCancelAllAndOnAnotherStock)
{
    SimWindow f;
    TfrmMain& w = *f.w;
    w.AutoSell->Random = Slow();
    f.Run(1500);
    // Ten shares at the ask.
    w.Order->edQty->setText(QStringLiteral("10"));
    w.Order->vLadder->FOnOrder("2", w.Quote->FHoga.Ask[0]);
    f.Run(3500);
    ASSERT_EQ(w.Account->FHolds.value(w.Ctx().FCode).Qty, 10) << f.Log().toStdString();

    w.AutoSell->btnSplitSell->click();
    ASSERT_EQ(w.AutoSell->FSplit.size(), 2);
    f.Run(3000);   // the first part is accepted and shown; the next waits 5 s
    ASSERT_EQ(w.AutoSell->FSplit.size(), 2);
    w.Account->btnSellCxl->OnClick();
    EXPECT_TRUE(w.AutoSell->FSplit.isEmpty());
    EXPECT_EQ(f.LogCount(QStringLiteral("전체 적당히 매도: 남은 2번 취소 — 매도 전체취소")), 1);
    f.Run(3000);
    ASSERT_EQ(PendingSells(w.Account->FMiche, w.Ctx().FCode), 0) << f.Log().toStdString();

    w.AutoSell->btnSplitSell->click();
    ASSERT_EQ(w.AutoSell->FSplit.size(), 2);
    w.SelectStock(QStringLiteral("005930"));
    EXPECT_TRUE(w.AutoSell->FSplit.isEmpty());
    EXPECT_EQ(f.LogCount(QStringLiteral("남은 2번 취소 — 종목이 바뀜")), 1);
    f.Run(8000);
    EXPECT_EQ(f.LogCount(QStringLiteral("(전체 적당히 매도)")), 2) << f.Log().toStdString();
}

TEST(AutoSellFlow, ABadPercentageSendsNothingAndOneBelowTheFeesWarnsOnce)
{
    SimWindow f;
    TfrmMain& w = *f.w;
    w.AutoSell->edAutoPct->setText(QStringLiteral("일점오"));
    w.AutoSell->chkAutoSell->setChecked(true);
    f.Run(1500);
    w.Order->edQty->setText(QStringLiteral("1"));
    w.Order->vLadder->FOnOrder("2", w.Quote->FHoga.Ask[0]);
    f.Run(3000);
    EXPECT_EQ(f.LogCount(QStringLiteral("!! 자동 매도: % 값이 이상함 (일점오) — 주문 안 함")), 1) << f.Log().toStdString();
    EXPECT_EQ(f.LogCount(QStringLiteral("▶ 매도 ")), 0);

    w.Order->edFee->setText(QStringLiteral("0.3"));
    w.AutoSell->edAutoPct->setText(QStringLiteral("0.2"));
    emit w.AutoSell->edAutoPct->editingFinished();
    emit w.AutoSell->edAutoPct->editingFinished();
    EXPECT_EQ(f.LogCount(QStringLiteral("!! 자동 매도 0.2%가 왕복 수수료·세금 0.3% 이하")), 1);
}

} // namespace

// A burst of these sells waits outside the request queue one at a time, so a
// cancel the trader asks for meanwhile goes next; refused sells are logged
// and not sent again.
TEST(AutoSellFlow, ABurstWaitsItsTurnAndRefusedSellsAreNotRetried)
{
    SimWindow f;
    TfrmMain& w = *f.w;
    f.Run(1500);
    const int px = w.Quote->FHoga.Ask[4];
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(w.AutoSell->SendSellLimit(w.Ctx().FCode, QStringLiteral("시험"), QStringLiteral("시험"), px, 1));
    EXPECT_EQ(w.Ctx().FQ->CountTr(QStringLiteral("CSPAT00600")), 1);
    // A cancel queued now is sent before the second sell.
    bool cancelled = false;
    w.Ctx().FQ->Add(QStringLiteral("CSPAT00800"), [&] {
        cancelled = true;
        // One sell went before it; the next waits behind it.
        EXPECT_EQ(w.Ctx().FQ->CountTr(QStringLiteral("CSPAT00600")), 1);
    });
    f.Run(6000);
    EXPECT_TRUE(cancelled);
    // Nothing is held: the exchange refuses each one, once.
    EXPECT_EQ(f.LogCount(QStringLiteral("▶ 매도 시험 1주")), 5);
    EXPECT_EQ(f.LogCount(QStringLiteral("주문응답 [01478]")), 5) << f.Log().toStdString();
}
