// The market board on the simulated exchange: the rotation filling every
// page, investors of another exchange fetched on a page change, failures
// logged once, the day and investor pop-ups and the ETN holdings from the
// loopback service host.
#include "SimContext.h"
#include "app/board/BoardFacet.h"
#include "core/AppState.h"
#include "sim/SimBackend.h"
#include "sim/SimExchange.h"

#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

struct BoardFixture {
    SimContext sc;
    QWidget top;
    TBoardFacet f{*sc.ctx};
    QVector<QPointer<QDialog>> shown;

    BoardFixture()
    {
        top.resize(1600, 38);
        f.BuildSelector(&top);
        f.ShowModal = [this](QDialog* d) {
            d->show();
            shown.append(d);
        };
        if (auto* sim = dynamic_cast<TSimBackend*>(sc.ctx->FBackend.get()))
            sim->Exchange().SetPastInBackground(false);
    }
    ~BoardFixture()
    {
        for (const QPointer<QDialog>& d : shown)
            delete d.data();
    }
    // `n` seconds of the scheduler with the queue running.
    void Seconds(int n)
    {
        for (int i = 0; i < n; ++i) {
            sc.Run(1000);
            f.SecondTick(0);
        }
    }
    QStringList Labels() const
    {
        QStringList out;
        for (QLabel* l : f.FLabels)
            if (!l->isHidden())
                out << l->text();
        return out;
    }
    bool Wait(const std::function<bool()>& done) { return sc.Wait(done); }
};

TEST(BoardFacet, RotationFillsEveryPageWithinTheBrokersPace)
{
    BoardFixture b;
    b.f.OnLogin();
    b.Seconds(12);
    for (int i = 0; i < kBoardItems; ++i) {
        if (i != 2) {   // S&P waits for its turn (every 10 s one US index)
            EXPECT_TRUE(b.f.FBoard[i].Ok) << i;
        }
    }
    EXPECT_TRUE(b.f.FInv.Ok);
    EXPECT_EQ(b.f.FInv.Ex, "U");
    // KOSPI and KOSDAQ are each their own level.
    EXPECT_GT(b.f.FBoard[3].Px, 1500);
    EXPECT_LT(b.f.FBoard[4].Px, 1500);
    EXPECT_EQ(b.sc.Count("전광판 코스피: "), 1);
    EXPECT_EQ(b.sc.Count("전송제한"), 0);
    EXPECT_EQ(b.sc.Count("요청 실패"), 0);
    b.f.cbBoard->setCurrentIndex(1);
    const QStringList l = b.Labels();
    ASSERT_EQ(l.size(), 2);
    EXPECT_TRUE(l[0].startsWith("코스피 ")) << l[0].toStdString();
    EXPECT_TRUE(l[0].endsWith("%"));
}

TEST(BoardFacet, ChangingToKrxShowsDashesThenFetchesAtOnce)
{
    BoardFixture b;
    b.f.OnLogin();
    b.Seconds(6);
    b.sc.Run(1500);   // the US index asked on the last second answers
    ASSERT_EQ(b.f.FInv.Ex, "U");
    ASSERT_LT(b.f.FRot.Job(), 0);
    b.f.cbBoard->setCurrentIndex(4);
    EXPECT_EQ(b.Labels().mid(0, 2), (QStringList{"KRX  코스피", "외인 —"}));
    b.sc.Run(1500);
    EXPECT_EQ(b.f.FInv.Ex, "K");
    const QStringList l = b.Labels();
    ASSERT_EQ(l.size(), 8);
    EXPECT_TRUE(l[1].startsWith("외인 ") && l[1].endsWith("억")) << l[1].toStdString();
}

TEST(BoardFacet, SilentJobsAreLoggedOnceUntilTheyWorkAgain)
{
    BoardFixture b;
    b.f.OnLogin();
    // The queue never runs: every job goes unanswered.
    for (int i = 0; i < 70; ++i) {
        b.sc.clock.Advance(1000);
        b.f.SecondTick(0);
    }
    EXPECT_EQ(b.sc.Count("전광판: 코스피(업종 001) 응답 없음 — 건너뜀"), 1);
    EXPECT_EQ(b.sc.Count("응답 없음"), 7);   // each job once: chain 3..6 and the three US indices
    b.Seconds(35);
    EXPECT_TRUE(b.f.FBoard[3].Ok);
    EXPECT_TRUE(b.f.FBoard[0].Ok && b.f.FBoard[1].Ok && b.f.FBoard[2].Ok);
    // Silent again after a success: written again, once.
    for (int i = 0; i < 40; ++i) {
        b.sc.clock.Advance(1000);
        b.f.SecondTick(0);
    }
    for (const char* us : {"다우(DJI@DJI)", "나스닥(NAS@IXIC)", "S&P500(SPI@SPX)"})
        EXPECT_EQ(b.sc.Count(QStringLiteral("전광판: %1 응답 없음 — 건너뜀").arg(QString::fromUtf8(us))), 2) << us;
}

TEST(BoardFacet, DayPopUpsOfStockIndexAndUsIndices)
{
    BoardFixture b;
    b.f.OnLogin();
    b.Seconds(8);
    ASSERT_TRUE(b.f.FBoard[5].Ok);
    b.f.OnBoardLabelClick(5);
    ASSERT_TRUE(b.f.FPopPB);
    EXPECT_EQ(b.shown.last()->windowTitle(), "삼성전자  오늘 흐름");
    b.sc.Run(2500);
    EXPECT_TRUE(b.f.FPopMsg.isEmpty()) << b.f.FPopMsg.toStdString();
    EXPECT_GT(b.f.FPopV.size(), 100);
    EXPECT_LE(b.f.FPopV.size(), 500);
    EXPECT_NEAR(b.f.FPopV.last(), b.f.FBoard[5].Px, b.f.FBoard[5].Px * 0.05);
    EXPECT_GT(b.f.FPopPrev, 0);
    b.f.FPopMX = 300;
    EXPECT_FALSE(b.f.FPopPB->grab().isNull());
    // A line of one point is drawn at the centre.
    b.f.FPopV = {b.f.FPopV.last()};
    b.f.FPopT = {"10:00"};
    EXPECT_FALSE(b.f.FPopPB->grab().isNull());
    b.shown.last()->close();
    EXPECT_TRUE(b.f.FPopPB.isNull());   // results arriving later only update the arrays

    b.f.OnBoardLabelClick(3);
    b.sc.Run(2500);
    EXPECT_GT(b.f.FPopV.size(), 100);
    EXPECT_NEAR(b.f.FPopV.last(), b.f.FBoard[3].Px, b.f.FBoard[3].Px * 0.01);

    b.f.OnBoardLabelClick(0);   // the broker has no minutes of the Dow
    b.sc.Run(2500);
    EXPECT_TRUE(b.f.FPopV.isEmpty());
    EXPECT_EQ(b.f.FPopMsg, "LS증권이 다우 의 분 데이터를 제공하지 않습니다 (나스닥만 제공)");
    EXPECT_EQ(b.sc.Count("해외지수 분봉 DJI@DJI: 0줄"), 1);

    b.f.OnBoardLabelClick(1);
    b.sc.Run(2500);
    EXPECT_EQ(b.f.FPopV.size(), 390);
    EXPECT_DOUBLE_EQ(b.f.FPopV.last(), b.f.FBoard[1].Px);
    EXPECT_EQ(b.f.FPopT.last(), "06:00");   // laid on Korean time
}

TEST(BoardFacet, InvestorPopUpAsksKosdaqAndTheBoardsExchange)
{
    BoardFixture b;
    b.f.OnLogin();
    b.f.cbBoard->setCurrentIndex(5);
    b.Seconds(8);
    ASSERT_EQ(b.f.FInv.Ex, "N");
    b.f.OnBoardLabelClick(7);
    EXPECT_EQ(b.shown.last()->windowTitle(), "투자자별 순매수  오늘 흐름 (NXT · 누적 · 억원)");
    ASSERT_TRUE(b.Wait([&] { return !b.f.FInvFlow.T[1].isEmpty(); }));
    // The KOSDAQ half was asked with KOSDAQ's own code (the exchange refuses
    // "2" with KOSDAQ's sector: "2" is KOSPI200).
    EXPECT_TRUE(b.f.FInvMsg.isEmpty()) << b.f.FInvMsg.toStdString();
    // Paging stops once 09:01 is reached: in a market open around the clock
    // the first page of 100 minutes already goes back to 08:21.
    EXPECT_EQ(b.f.FInvFlow.T[0].size(), 100);
    // The minute in progress, labelled by its end as the exchange labels minutes.
    EXPECT_EQ(b.f.FInvFlow.T[0].last(), "10:01");
    // NXT's figures, not the whole market's (about twelve times as large):
    // the pop-up's last point lies nearer the board's NXT figures than the
    // whole market's, both asked right after it.
    QVector<double> last;
    for (const int s : {0, 3})
        last << b.f.FInvFlow.V[s].last();
    b.f.cbBoard->setCurrentIndex(3);   // the whole market, asked at once
    ASSERT_TRUE(b.Wait([&] { return b.f.FInv.Ex == "U" && b.f.FRot.Job() < 0; }));
    const TBoardInv whole = b.f.FInv;
    b.f.cbBoard->setCurrentIndex(5);
    ASSERT_TRUE(b.Wait([&] { return b.f.FInv.Ex == "N" && b.f.FRot.Job() < 0; }));
    for (int i = 0; i < 2; ++i) {
        const int s = i == 0 ? 0 : 3;
        if (std::abs(whole.V[s]) < 12)
            continue;   // too early in the day to tell them apart
        EXPECT_LT(std::abs(last[i] - b.f.FInv.V[s]), std::abs(last[i] - whole.V[s])) << s;
    }
    b.f.FPopMX = 200;
    EXPECT_FALSE(b.f.FInvPB->grab().isNull());
}

TEST(BoardFacet, EtnHoldingsFromTheServiceHost)
{
    BoardFixture b;
    GFormAlive = true;
    b.f.cbBoard->setCurrentIndex(6);
    EXPECT_EQ(b.Labels(), QStringList{"ETN개인 —"});
    b.f.FetchEtn();
    b.f.FetchEtn();   // one fetch at a time
    ASSERT_TRUE(b.Wait([&] { return b.f.FEtn.Ok; }));
    const QStringList l = b.Labels();
    ASSERT_EQ(l.size(), 5);
    EXPECT_EQ(l[0], "ETN개인 12/09");
    EXPECT_TRUE(l[1].startsWith("코스닥인버스 ")) << l[1].toStdString();
    EXPECT_EQ(b.sc.Count("ETN개인 20261209: "), 1);
    b.f.ShowEtnPop();   // fetches again: the same date is not logged twice
    ASSERT_TRUE(b.f.FEtnPB);
    ASSERT_TRUE(b.Wait([&] { return !b.f.FEtn.Fetching; }));
    EXPECT_EQ(b.sc.Count("ETN개인 20261209: "), 1);
    EXPECT_FALSE(b.f.FEtnPB->grab().isNull());
    // A single day of history paints its one point in the middle.
    b.f.FEtn.Doc.HD = b.f.FEtn.Doc.HD.mid(0, 1);
    for (auto& v : b.f.FEtn.Doc.HV)
        v.resize(1);
    EXPECT_FALSE(b.f.FEtnPB->grab().isNull());
    GFormAlive = false;
}

TEST(BoardFacet, ClicksBeforeLoginOnlySaySo)
{
    BoardFixture b;
    b.sc.ctx->FLogged = false;
    b.f.OnBoardLabelClick(3);
    b.f.OnBoardLabelClick(7);
    EXPECT_EQ(b.sc.Count("로그인 뒤에 볼 수 있습니다"), 2);
    EXPECT_TRUE(b.shown.isEmpty());
    b.Seconds(3);
    EXPECT_LT(b.f.FRot.Job(), 0);
}

} // namespace
