// The market lists on the simulated exchange: both service lists fetched
// from the loopback host, a bad answer that keeps the last good list, live
// prices only on weekdays, rankings through the queue that drop answers of
// a kind no longer selected, the broker top five of the stock asked for,
// and the order panel's buyback marker.
#include "SimContext.h"
#include "app/UiKit.h"
#include "app/lists/ListsFacet.h"
#include "app/news/NewsList.h"
#include "core/AppState.h"
#include "sim/SimBackend.h"
#include "sim/SimExchange.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <gtest/gtest.h>

namespace {

struct ListsFixture {
    SimContext sc;
    TTabSet tick, issue;
    TListsFacet f{*sc.ctx};
    QString markerText;
    int markerCalls = 0;
    bool masterReady = true;

    ListsFixture()
    {
        GFormAlive = true;   // service answers are handed over only to a live window
        f.BuildRankPage(&tick);
        f.BuildListPages(&issue);
        f.BuildBrokerBox();
        const TUniverse& u = Sim().Exchange().Engine().Universe();
        sc.ctx->NameSource = [&u](const QString& c) {
            const TSimStock* s = u.Find(c);
            return s ? s->Name : c;
        };
        f.KnownCode = [&u](const QString& c) { return u.Find(c) != nullptr; };
        f.HasMaster = [this] { return masterReady; };
        f.ShowBuyMarker = [this](const QString& t, const QColor&) {
            markerText = t;
            ++markerCalls;
        };
    }
    ~ListsFixture() { GFormAlive = false; }
    TSimBackend& Sim() { return *dynamic_cast<TSimBackend*>(sc.ctx->FBackend.get()); }
    bool Wait(const std::function<bool()>& done) { return sc.Wait(done); }
    int Pending(const QString& tag) const { return sc.ctx->FQ->CountTr(tag); }
};

QByteArray ShortList(const char* made, const char* code)
{
    return QStringLiteral(R"({"made":"%1","stats":"<b>굵게</b>","items":[{"code":"%2","name":"딴이름","status":"신규",)"
                          R"("price":50000,"short_avg":40000,"avg_vol":1000,"parts":{"ban":"과열"}}]})")
        .arg(QString::fromLatin1(made), QString::fromLatin1(code))
        .toUtf8();
}

QByteArray BuyList(const char* date, bool pick)
{
    return QStringLiteral(R"({"date":"%1","rule":"직접 매수","summary":"s","made":"m","items":[)"
                          R"({"code":"005930","side":"매수","how":"직접","qty":"12,345","ratio":24.6,"pick":%2},)"
                          R"({"code":"000660","side":"매도","how":"신탁","qty":100,"pick":false}]})")
        .arg(QString::fromLatin1(date), pick ? QStringLiteral("true") : QStringLiteral("false"))
        .toUtf8();
}

}  // namespace

TEST(ListsFacet, BothListsFromTheServiceHost)
{
    ListsFixture x;
    x.f.Start();
    ASSERT_TRUE(x.Wait([&] { return !x.f.FShort.isEmpty() && !x.f.FBuyList.Rows.isEmpty(); }));
    const TUniverse& u = x.Sim().Exchange().Engine().Universe();
    for (const TShortRow& r : x.f.FShort) {
        ASSERT_TRUE(u.Find(r.Code));
        EXPECT_EQ(r.Name, u.Find(r.Code)->Name);
        EXPECT_NE(r.Status, QStringLiteral("해제"));
    }
    EXPECT_TRUE(x.issue.tabText(x.issue.indexOf(x.f.tsShort)).startsWith(QStringLiteral("  공매도 금지 ")));
    EXPECT_EQ(x.sc.Count(QStringLiteral("공매도 금지 목록 (서버")), 1);
    EXPECT_EQ(x.sc.Count(QStringLiteral("자사주 신청 (20261210 장중)")), 1);
    // The candidates only, as the check box is on by default.
    for (const TBuyRow& r : x.f.FBuy)
        EXPECT_TRUE(r.Pick);
    // The live prices of the listed stocks were asked for right away (no
    // second of the scheduler has passed here).
    EXPECT_TRUE(x.Wait([&] { return x.f.FShort.first().Live; }));
    for (const TShortRow& r : x.f.FShort) {
        if (r.Live) {
            EXPECT_TRUE(r.Why.startsWith(QStringLiteral("[장중 실시간] ")));
        }
    }
}

// Before the master arrives the service's names stand (the window's name
// of an unknown code is the code itself); its arrival reads the lists again.
TEST(ListsFacet, NamesBeforeAndAfterTheMasterArrives)
{
    ListsFixture x;
    x.masterReady = false;
    x.f.OnShortJson(QString::fromUtf8(ShortList("a", "005930")));
    ASSERT_EQ(x.f.FShort.size(), 1);
    EXPECT_EQ(x.f.FShort[0].Name, QStringLiteral("딴이름"));
    x.masterReady = true;
    x.f.OnMasterData();
    ASSERT_TRUE(x.Wait([&] { return !x.f.FShortFetching && !x.f.FBuyFetching; }));
    ASSERT_FALSE(x.f.FShort.isEmpty());
    for (const TShortRow& r : x.f.FShort)
        EXPECT_NE(r.Name, r.Code);
}

TEST(ListsFacet, BadAnswersKeepTheLastGoodListAndAreLoggedOnce)
{
    ListsFixture x;
    x.f.OnShortJson(QString::fromUtf8(ShortList("a", "005930")));
    ASSERT_EQ(x.f.FShort.size(), 1);
    EXPECT_EQ(x.f.FShort[0].Name, QStringLiteral("삼성전자"));   // the master's name, not the service's
    for (const char* bad : {"{\"items\":[", "[1,2]", "{\"made\":\"b\"}", "{\"items\":7}"})
        x.f.OnShortJson(QString::fromLatin1(bad));
    x.f.OnShortJson(QStringLiteral("#ERR 503"));
    x.f.OnShortJson(QStringLiteral("#ERR 503"));
    ASSERT_EQ(x.f.FShort.size(), 1);
    EXPECT_EQ(x.f.FShort[0].Code, QStringLiteral("005930"));
    EXPECT_EQ(x.sc.Count(QStringLiteral("읽을 수 없어 이전 목록을 그대로")), 1);
    EXPECT_EQ(x.sc.Count(QStringLiteral("공매도 금지: 서버 응답 없음 #ERR 503")), 1);
    // Service texts are plain text.
    EXPECT_EQ(x.f.lbShortStat->textFormat(), Qt::PlainText);
    // A list whose only stock the master does not know lists nothing.
    x.f.OnShortJson(QString::fromUtf8(ShortList("c", "99999Z")));
    EXPECT_TRUE(x.f.FShort.isEmpty());

    x.f.OnBuyJson(QString::fromUtf8(BuyList("20261210", true)));
    ASSERT_EQ(x.f.FBuyList.Rows.size(), 2);
    EXPECT_EQ(x.f.FBuyList.Rows[0].Qty, 12345);
    x.f.OnBuyJson(QStringLiteral("{\"items\":null}"));
    x.f.OnBuyJson(QStringLiteral("garbage"));
    EXPECT_EQ(x.f.FBuyList.Rows.size(), 2);
    EXPECT_EQ(x.sc.Count(QStringLiteral("자사주: 받은 목록을 읽을 수 없어")), 1);
}

TEST(ListsFacet, LivePricesOnlyOnWeekdaysUpTo2005)
{
    struct Case {
        QDateTime at;
        int pending;
    };
    const Case cases[] = {{QDateTime(QDate(2026, 12, 10), QTime(20, 5)), 1},
                          {QDateTime(QDate(2026, 12, 10), QTime(20, 6)), 0},
                          {QDateTime(QDate(2026, 12, 12), QTime(10, 0)), 0}};
    for (const Case& c : cases) {
        ListsFixture x;
        x.f.OnShortJson(QString::fromUtf8(ShortList("a", "005930")));
        x.sc.ctx->FQ->Clear();
        x.sc.clock.SetWall(c.at);
        x.f.ReqShortPx();
        EXPECT_EQ(x.Pending(QStringLiteral("t8407sb")), c.pending) << c.at.toString().toStdString();
    }
}

TEST(ListsFacet, ShortHeaderClicks)
{
    ListsFixture x;
    x.f.ShortHeaderClick(1);
    EXPECT_FALSE(x.f.FShortSortDesc);
    EXPECT_EQ(x.f.lbShortH[1]->text(), QStringLiteral("종목 ▲"));
    x.f.ShortHeaderClick(1);
    EXPECT_TRUE(x.f.FShortSortDesc);
    x.f.ShortHeaderClick(7);
    EXPECT_TRUE(x.f.FShortSortDesc);
    EXPECT_EQ(x.f.lbShortH[1]->text(), QStringLiteral("종목"));
    EXPECT_EQ(x.f.lbShortH[7]->text(), QStringLiteral("숏 스퀴즈 압력 ▼"));
}

TEST(ListsFacet, RankingsGoThroughTheQueueAndDropAnswersOfAnotherChoice)
{
    ListsFixture x;
    x.tick.setCurrentWidget(x.f.tsRank);
    // Arrowing through the selectors leaves one request waiting: the last choice.
    for (int k : {1, 2, 3, 0})
        x.f.cbRankKind->setCurrentIndex(k);
    int waiting = 0;
    for (const char* tr : {"t1441", "t1463", "t1466"})
        waiting += x.Pending(QString::fromLatin1(tr));
    EXPECT_EQ(waiting, 1);
    EXPECT_EQ(x.Pending(QStringLiteral("t1466")), 1);
    ASSERT_TRUE(x.Wait([&] {
        x.sc.Run(100);
        return !x.f.FRank.isEmpty();
    }));
    EXPECT_EQ(x.f.FRankTr, QStringLiteral("t1466"));
    for (const TRankRow& r : x.f.FRank)
        EXPECT_GE(r.X1, KSurgeFloor);
    EXPECT_EQ(x.f.hcRank->model()->headerData(6, Qt::Horizontal).toString(), QStringLiteral("급증률"));
    EXPECT_EQ(x.Sim().Exchange().RateRefusals(), 0);

    // An answer that arrives after the choice has changed is dropped.
    x.Sim().Exchange().SetAnswerDelayMs(300);
    x.f.cbRankKind->setCurrentIndex(1);   // gainers asked for
    x.sc.Run(150);                         // sent, its answer not yet due
    ASSERT_EQ(x.Pending(QStringLiteral("t1441")), 0);
    {
        const QSignalBlocker quiet(x.f.cbRankKind);
        x.f.cbRankKind->setCurrentIndex(2);   // losers chosen; not asked yet
    }
    x.sc.Run(600);
    EXPECT_TRUE(x.f.FRank.isEmpty());
}

TEST(ListsFacet, RankFailuresLoggedOnceUntilSuccess)
{
    ListsFixture x;
    x.tick.setCurrentWidget(x.f.tsRank);
    for (int i = 0; i < 3; ++i) {
        x.Sim().Exchange().FailNextRequest(QStringLiteral("t1466"));
        x.f.ReqRank();
        x.sc.Run(1100);
    }
    EXPECT_EQ(x.sc.Count(QStringLiteral("!! 순위 조회 실패 (t1466)")), 1);
    x.f.ReqRank();
    ASSERT_TRUE(x.Wait([&] {
        x.sc.Run(100);
        return !x.f.FRank.isEmpty();
    }));
    x.Sim().Exchange().FailNextRequest(QStringLiteral("t1466"));
    x.f.ReqRank();
    x.sc.Run(1100);
    EXPECT_EQ(x.sc.Count(QStringLiteral("!! 순위 조회 실패 (t1466)")), 2);
}

TEST(ListsFacet, BrokerTopFiveOfTheStockAskedFor)
{
    ListsFixture x;
    x.f.ReqBroker();
    ASSERT_TRUE(x.Wait([&] {
        x.sc.Run(100);
        return x.f.FBrkCode == QStringLiteral("005930");
    }));
    EXPECT_FALSE(x.f.FBrk.Name[0].isEmpty());
    EXPECT_GT(x.f.FBrk.Vol[5], 0);

    // The stock changes while the answer is on its way: it is dropped.
    x.Sim().Exchange().SetAnswerDelayMs(300);
    x.f.FBrkCode.clear();
    x.f.ReqBroker();
    x.sc.Run(150);
    ASSERT_EQ(x.Pending(QStringLiteral("t1102b")), 0);
    x.sc.ctx->FCode = QStringLiteral("000660");
    x.sc.Run(600);
    EXPECT_TRUE(x.f.FBrkCode.isEmpty());
}

TEST(ListsFacet, BuyMarkerOnlyForTodaysFiling)
{
    ListsFixture x;
    x.f.OnBuyJson(QString::fromUtf8(BuyList("20261210", true)));
    EXPECT_TRUE(x.markerText.startsWith(QStringLiteral("자사주 매수 신청 1.2만주 (직접) · 평소 거래량의 25%")));
    x.f.OnBuyJson(QString::fromUtf8(BuyList("20261209", true)));   // yesterday's filing
    EXPECT_TRUE(x.markerText.isEmpty());
    x.f.OnBuyJson(QString::fromUtf8(BuyList("20261210", false)));  // not a candidate
    EXPECT_TRUE(x.markerText.isEmpty());

    // Placed plain, inside the panel, in scaled design sizes.
    const int measured = ScaleUnit();
    SetScaleUnit(24);
    QWidget panel;
    QLabel marker(&panel);
    const int shift = TListsFacet::PlaceBuyMarker(&marker, QStringLiteral("<b>자사주</b> ") + QString(150, QChar(u'가')),
                                                  QColor(229, 57, 53), Scaled(470), Scaled(40));
    EXPECT_EQ(marker.textFormat(), Qt::PlainText);
    EXPECT_EQ(marker.x(), Scaled(8));
    EXPECT_LE(marker.width(), Scaled(470) - Scaled(16));
    EXPECT_LE(marker.height(), 3 * marker.fontMetrics().lineSpacing() + Scaled(4));
    EXPECT_EQ(shift, std::max(0, marker.geometry().bottom() + 1 + Scaled(6) - Scaled(68)));
    EXPECT_EQ(TListsFacet::PlaceBuyMarker(&marker, QString(), QColor(), Scaled(470), Scaled(40)), 0);
    EXPECT_TRUE(marker.isHidden());
    SetScaleUnit(measured);
}
