// The board's rotation of requests, its labels, the pop-up series and the
// investors' flow paging, without any window.
#include "board/Board.h"
#include "board/PopSeries.h"

#include <QMap>
#include <gtest/gtest.h>
#include <vector>

namespace {

// Runs the rotation for `seconds`, answering every job `answerAfter`
// seconds after it was started (0: never), and returns the jobs started.
QVector<int> Spin(TBoardRotation& r, int seconds, int answerAfter, bool logged = true, QVector<int>* timedOut = nullptr)
{
    QVector<int> started;
    int startedAt = -1;
    for (int s = 1; s <= seconds; ++s) {
        const qint64 now = qint64(s) * 1000;
        if (r.Job() >= 0 && answerAfter > 0 && s - startedAt >= answerAfter)
            r.Finish(r.Job());
        const TBoardRotation::TStep step = r.Second(logged, now);
        if (step.TimedOut >= 0 && timedOut)
            timedOut->append(step.TimedOut);
        if (step.Start >= 0) {
            r.Begin(step.Start, now);
            started.append(step.Start);
            startedAt = s;
        }
    }
    return started;
}

TEST(BoardRotation, ChainEveryThirtySecondsAndOneUsIndexEveryTen)
{
    TBoardRotation r;
    r.Login();
    // First second: the chain, a link a second; then the US index due
    // since the login, and the next one at :35.
    EXPECT_EQ(Spin(r, 8, 1), (QVector<int>{3, 4, 5, 6, 0, 1}));
    // The next 60 seconds: one US index at :45, :55, :65 ... and the chain at :60 and :90.
    EXPECT_EQ(Spin(r, 60, 1), (QVector<int>{2, 0, 3, 4, 5, 6, 1, 2, 0, 3, 4, 5, 6, 1}));
    EXPECT_EQ(r.Tick(), 29 + 68);   // one step a second, whoever calls
}

TEST(BoardRotation, SilentJobsAreDroppedAfterSixSecondsAndTheChainGoesOn)
{
    TBoardRotation r;
    r.Login();
    QVector<int> dropped;
    const QVector<int> started = Spin(r, 30, 0, true, &dropped);
    EXPECT_EQ(started.mid(0, 4), (QVector<int>{3, 4, 5, 6}));
    EXPECT_EQ(dropped.mid(0, 4), (QVector<int>{3, 4, 5, 6}));
}

TEST(BoardRotation, NothingStartsLoggedOutButTheCounterRuns)
{
    TBoardRotation r;
    r.Login();
    EXPECT_TRUE(Spin(r, 40, 1, false).isEmpty());
    EXPECT_EQ(r.Tick(), 69);
}

TEST(BoardRotation, OnlyTheAnswerOfTheJobInFlightFinishesIt)
{
    TBoardRotation r;
    const quint64 kospi = r.Begin(3, 0);
    r.Finish(3);                       // dropped by the watchdog, say
    const quint64 kosdaq = r.Begin(4, 7000);
    EXPECT_FALSE(r.Accept(kospi));     // KOSPI's late level is not KOSDAQ's
    EXPECT_TRUE(r.Accept(kosdaq));
    r.Finish(4);
    EXPECT_FALSE(r.Accept(kosdaq));    // a second answer finds nothing in flight
    EXPECT_EQ(r.Next(), 5);
}

TEST(BoardFailOnce, LoggedOnceUntilTheJobSucceeds)
{
    TFailOnce f;
    EXPECT_TRUE(f.Take(3));
    EXPECT_FALSE(f.Take(3));
    EXPECT_TRUE(f.Take(4));
    f.Success(3);
    EXPECT_TRUE(f.Take(3));
}

TEST(BoardAnswers, SignsSymbolsAndLatestRow)
{
    struct {
        double rate;
        const char* sign;
        double want;
    } rates[] = {{1.23, "5", -1.23}, {1.23, "4", -1.23}, {1.23, "2", 1.23}, {-0.5, "2", 0.5}, {0.7, " 5 ", -0.7}};
    for (const auto& c : rates)
        EXPECT_DOUBLE_EQ(SignedRate(c.rate, QString::fromLatin1(c.sign)), c.want) << c.sign;
    EXPECT_EQ(UsItemOf(" nas@ixic "), 1);
    EXPECT_EQ(UsItemOf("SPI@SPX"), 2);
    EXPECT_EQ(UsItemOf(""), -1);
    EXPECT_EQ(UsItemOf("USI@SOXX"), -1);
    EXPECT_EQ(LatestRow({"20261210090100", "20261210093000", "20261210093000", "20261209153000"}), 1);
    EXPECT_EQ(LatestRow({}), -1);
}

TEST(BoardAnswers, InvestorFiguresAndTheEmptyAnswer)
{
    QMap<QString, QString> answer{{"t1601OutBlock1/svolume_17", "1234"}, {"t1601OutBlock1/svolume_18", "-56"},
                                  {"t1601OutBlock1/svolume_08", " -1178 "}, {"t1601OutBlock2/svolume_17", "+12"}};
    const auto get = [&](const QString& b, const QString& f) { return answer.value(b + "/" + f); };
    double v[6] = {9, 9, 9, 9, 9, 9};
    ASSERT_TRUE(ReadInvFigures(get, v));
    EXPECT_EQ(std::vector<double>(v, v + 6), (std::vector<double>{1234, -56, -1178, 12, 0, 0}));
    answer.clear();
    EXPECT_FALSE(ReadInvFigures(get, v));
    EXPECT_EQ(v[0], 1234);   // kept
}

TEST(BoardLabels, PagesAsTheTraderReadsThem)
{
    QVector<TBoardItem> items = InitBoard();
    items[1].Px = 17000.5;
    items[1].Rt = -1.234;
    items[1].Ok = true;
    items[5].Px = 71200;
    items[5].Rt = 0;
    items[5].Ok = true;
    TBoardInv inv;
    const TBoardEtn etn;
    QVector<TBoardLabel> us = BoardLabels(0, items, inv, etn);
    ASSERT_EQ(us.size(), 3);
    EXPECT_EQ(us[0].Text, "다우 —");
    EXPECT_EQ(us[1].Text, "나스닥 17,000.50 -1.23%");
    EXPECT_EQ(us[1].Rgb, 0x1E88E5u);
    EXPECT_EQ(us[1].Tag, 1);
    const QVector<TBoardLabel> st = BoardLabels(2, items, inv, etn);
    EXPECT_EQ(st[0].Text, "삼성전자 71,200 0.00%");
    EXPECT_EQ(st[0].Rgb, 0x505050u);
    EXPECT_EQ(st[1].Tag, 6);

    // Investors: figures of another exchange show as missing.
    inv.Ok = true;
    inv.Ex = "K";
    const double v[6] = {1234.4, -56, 0, 12, -3, -9};
    std::copy(v, v + 6, inv.V);
    const QVector<TBoardLabel> krx = BoardLabels(4, items, inv, etn);
    ASSERT_EQ(krx.size(), 8);
    EXPECT_EQ(krx[0].Text, "KRX  코스피");
    EXPECT_EQ(krx[1].Text, "외인 +1,234억");
    EXPECT_EQ(krx[2].Text, "기관 -56억");
    EXPECT_EQ(krx[3].Text, "개인 0억");
    EXPECT_EQ(krx[4].Text, "코스닥");
    EXPECT_EQ(krx[4].GapBefore, 18);
    const QVector<TBoardLabel> nxt = BoardLabels(5, items, inv, etn);
    EXPECT_EQ(nxt[0].Text, "NXT  코스피");
    EXPECT_EQ(nxt[1].Text, "외인 —");
    EXPECT_EQ(BoardLabels(3, items, inv, etn)[0].Text, "통합  코스피");
}

TEST(BoardLabels, EtnPage)
{
    const QVector<TBoardItem> items = InitBoard();
    TBoardEtn etn;
    EXPECT_EQ(BoardLabels(6, items, {}, etn).size(), 1);
    EXPECT_EQ(BoardLabels(6, items, {}, etn)[0].Text, "ETN개인 —");
    etn.Msg = "서버 연결 실패";
    EXPECT_EQ(BoardLabels(6, items, {}, etn)[0].Text, "ETN개인 — 서버 연결 실패");
    etn.Ok = true;
    etn.Date = "20261209";
    etn.Inv[0] = 42000000;
    etn.Chg[0] = -2000000;     // inverse falling: red
    etn.Inv[2] = 6500000;
    etn.Chg[2] = 6500000;      // change equal to the holdings: no percentage
    etn.Inv[4] = 1000000;
    etn.Inv[5] = 2000000;
    etn.Chg[5] = 100000;
    QVector<TBoardLabel> l = BoardLabels(6, items, {}, etn);
    ASSERT_EQ(l.size(), 5);
    EXPECT_EQ(l[0].Text, "ETN개인 12/09");
    EXPECT_EQ(l[1].Text, "코스닥인버스 4,200만");   // no previous day: no percentage
    etn.PrevDate = "20261208";
    l = BoardLabels(6, items, {}, etn);
    EXPECT_EQ(l[1].Text, "코스닥인버스 4,200만 -4.5%");
    EXPECT_EQ(l[1].Rgb, 0xE53935u);
    EXPECT_EQ(l[2].Text, "반도체레버 650만");
    EXPECT_EQ(l[3].Text, "반도체인버 0만");
    EXPECT_EQ(l[3].Rgb, 0x707070u);
    EXPECT_EQ(l[4].Text, "삼전닉스레버 300만 +3.4%");
    EXPECT_EQ(l[4].Rgb, 0xE53935u);
    EXPECT_EQ(l[4].Tag, 9);
}

TEST(PopSeries, LatestDaySortedAndLabelled)
{
    const QVector<TPopPoint> pts = PopLatestDay({{"20261210", "09:02:00", "2"},
                                                 {"20261209", "153000", "9"},
                                                 {"20261210", "090100", "1"},
                                                 {"20261210", "1", "7"},   // no hhmm: skipped
                                                 {"20261210"}});
    QStringList t;
    QVector<double> v;
    PopSet(pts, &t, &v);
    EXPECT_EQ(t, (QStringList{"09:01", "09:02"}));
    EXPECT_EQ(v, (QVector<double>{1, 2}));
}

TEST(PopSeries, ScaleOnePointAndRange)
{
    struct {
        double board, last, want;
    } scales[] = {{17000, 170, 100}, {17000, 17100, 1}, {17000, 1.7, 10000}, {170, 17000, 0.01},
                  {17000, 0, 1},     {0, 170, 1},       {17000, 40000, 1}};
    for (const auto& c : scales)
        EXPECT_DOUBLE_EQ(PopScale(c.board, c.last), c.want) << c.board << " " << c.last;
    EXPECT_DOUBLE_EQ(PopX(0, 1, 100, 400), 300);   // one point: the centre
    EXPECT_DOUBLE_EQ(PopX(4, 5, 100, 400), 500);
    EXPECT_EQ(PopIndexAt(290, 5, 100, 400), 2);
    EXPECT_EQ(PopIndexAt(-50, 5, 100, 400), 0);
    EXPECT_EQ(PopIndexAt(300, 1, 100, 400), 0);
    EXPECT_EQ(PopIndexAt(300, 0, 100, 400), -1);
    const auto flat = PopRange({5, 5}, 0, 0.08);
    EXPECT_DOUBLE_EQ(flat.first, 4 - 0.16);
    EXPECT_DOUBLE_EQ(flat.second, 6 + 0.16);
    const auto withPrev = PopRange({10, 12}, 8, 0);
    EXPECT_DOUBLE_EQ(withPrev.first, 8);
    EXPECT_DOUBLE_EQ(withPrev.second, 12);
}

QVector<TInvFlow::TRow> Page(int fromHhmm, int count)
{
    QVector<TInvFlow::TRow> rows;
    for (int i = 0; i < count; ++i) {
        const int m = fromHhmm / 100 * 60 + fromHhmm % 100 - i;
        rows.append({QStringLiteral("%1%2").arg(m / 60 * 100 + m % 60, 4, 10, QLatin1Char('0')).arg("0000"), {double(i), 1, 2}});
    }
    return rows;
}

TEST(InvFlow, PagesUntilTheOpenOrSixPagesThenKosdaq)
{
    EXPECT_EQ(TInvFlow::MarketCode(1), "3");
    EXPECT_EQ(TInvFlow::UpCode(1), "301");
    TInvFlow f;
    f.Start(0);
    // 10:00 back to 09:31, then 09:30 .. 09:01: the page that reaches 09:01 ends it.
    EXPECT_EQ(f.AddPage(Page(1000, 30), "09300000", "", true), TInvFlow::NextPage);
    EXPECT_TRUE(f.More);
    EXPECT_EQ(f.AddPage(Page(930, 30), "09000000", "", true), TInvFlow::NextMarket);
    EXPECT_FALSE(f.More);
    ASSERT_EQ(f.T[0].size(), 60);
    EXPECT_EQ(f.T[0].first(), "09:01");
    EXPECT_EQ(f.T[0].last(), "10:00");

    // KOSDAQ: a long day stops after six pages.
    f.Start(1);
    int pages = 0;
    TInvFlow::TNext n = TInvFlow::NextPage;
    for (int hhmm : {1500, 1450, 1440, 1430, 1420, 1410, 1400, 1350}) {
        if (n != TInvFlow::NextPage)
            break;
        n = f.AddPage(Page(hhmm, 10), "x", "", true);
        ++pages;
    }
    EXPECT_EQ(pages, 6);
    EXPECT_EQ(n, TInvFlow::Finished);
    EXPECT_EQ(f.T[1].size(), 60);
    EXPECT_EQ(f.T[0].size(), 60);   // KOSPI kept

    // Duplicated times keep their first row; a closed window stops paging.
    f.Start(0);
    QVector<TInvFlow::TRow> dup = Page(1000, 2);
    dup.append({"10000000", {99, 99, 99}});
    EXPECT_EQ(f.AddPage(dup, "x", "", false), TInvFlow::Finished);
    EXPECT_EQ(f.T[0], (QStringList{"09:59", "10:00"}));
    EXPECT_DOUBLE_EQ(f.V[0].last(), 0);
}

} // namespace
