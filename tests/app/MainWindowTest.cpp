// The window built without the login step: regions, captions, the log
// caption rules, and saving/applying the layout through hts.ini.
#include "app/MainWindow.h"
#include "app/LogPanel.h"
#include "app/UiKit.h"
#include "app/board/BoardFacet.h"
#include "app/broker/LoginFacet.h"
#include "app/chart/ChartFacet.h"
#include "app/core/LogFacet.h"
#include "app/lists/ListsFacet.h"
#include "app/market/TickFacet.h"
#include "app/news/NewsFacet.h"
#include "app/news/NewsList.h"
#include "app/signals/SignalFacet.h"
#include "app/trading/AccountFacet.h"
#include "app/trading/AutoSellFacet.h"
#include "app/market/QuoteFacet.h"
#include "app/trading/OrderFacet.h"
#include "app/trading/PnlFacet.h"
#include "chart/CandleChart.h"
#include "chart/DrawStore.h"
#include "core/Clock.h"
#include "core/IniFile.h"
#include "core/ServerClock.h"
#include "market/Quote.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QApplication>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTableView>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

namespace {

struct Fixture {
    QTemporaryDir dir;
    TTestClock clock;
    std::unique_ptr<TfrmMain> w;

    void WriteIni(const QString& text)
    {
        QFile f(dir.path() + "/hts.ini");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.toUtf8());
    }
    TfrmMain& Open()
    {
        TStartOptions o;
        o.ExeDir = dir.path();
        o.Clock = &clock;
        o.Login = false;
        w = std::make_unique<TfrmMain>(o);
        return *w;
    }
    QStringList Lines() const
    {
        QStringList out;
        for (QTextBlock b = w->LogClock->Memo->document()->begin(); b.isValid(); b = b.next())
            out << b.text();
        return out;
    }
};

QStringList Captions(QTabWidget* t)
{
    QStringList s;
    for (int i = 0; i < t->count(); ++i)
        s << t->tabText(i);
    return s;
}

QStringList GridCaptions(QTableWidget* g)
{
    QStringList s;
    for (int i = 0; i < g->columnCount(); ++i)
        s << g->horizontalHeaderItem(i)->text();
    return s;
}

}  // namespace

TEST(MainWindow, RegionsTabsAndGridsAsBuilt)
{
    Fixture f;
    TfrmMain& w = f.Open();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("케스트렐 HTS - LS api"));
    // The feature and disclosure tabs count today's rows (none here).
    EXPECT_EQ(Captions(w.pcIssue), QStringList({"  이슈 뉴스  ", "  특징주 0  ", "  공시 0 (중요 0)  ", "  공매도 금지  ", "  자사주  "}));
    ASSERT_EQ(w.pcLog->count(), 2);
    EXPECT_EQ(w.pcLog->tabText(0), QStringLiteral("  오늘 뉴스  "));
    EXPECT_EQ(Captions(w.pcTick), QStringList({"  당일 체결  ", "  일별  ", "  급등 · 순위  ", "  루멘  ", "  루멘 상위  "}));
    EXPECT_EQ(Captions(w.pcBM), QStringList({"  잔고  ", "  미체결  ", "  포착  ", "  당일손익  "}));
    EXPECT_EQ(GridCaptions(w.Account->gMiche), QStringList({"종목", "구분", "가격", "잔량", "주문번호"}));
    EXPECT_EQ(GridCaptions(w.Account->gBal).size(), 7);
    EXPECT_EQ(GridCaptions(w.Pnl->gPnl).size(), 8);
    EXPECT_EQ(w.Ticks->gTick->model()->rowCount(), 1);  // a grid starts with one empty data row
    EXPECT_EQ(w.Login->lbStatus->text(), QStringLiteral("로그인 전"));
    EXPECT_EQ(w.Board->cbBoard->count(), 7);
    EXPECT_EQ(w.Charts->cbMinPer->count(), 6);
    // No hts.ini: a first run, with the configuration error as the first line.
    EXPECT_TRUE(w.FFirstRun);
    const QStringList lines = f.Lines();
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines[0].mid(10).startsWith("!! 설정 파일이 없습니다: " + w.Ctx().FIniPath +
                                             "  (exe 와 같은 폴더에 hts.ini 를 두세요)"));
    EXPECT_EQ(lines[2].mid(10), QStringLiteral("종목은 위 입력칸에 코드 6자리 또는 종목명 + Enter."));
    EXPECT_TRUE(lines[0].startsWith("09:30:00  "));
    // Written while the news page was shown: the log tab carries the warning mark.
    EXPECT_EQ(w.pcLog->tabText(1), kLogCaptionWarn);
}

TEST(MainWindow, SplittersKeepRegionsAtLeastEighty)
{
    Fixture f;
    TfrmMain& w = f.Open();
    w.resize(1600, 950);
    w.show();
    QApplication::processEvents();
    // Every region of every splitter, squeezed from either side.
    for (QSplitter* sp : w.findChildren<QSplitter*>()) {
        const bool horz = sp->orientation() == Qt::Horizontal;
        for (int i = 0; i < sp->count(); ++i) {
            QList<int> s = sp->sizes();
            int total = 0;
            for (int x : s)
                total += x;
            for (int k = 0; k < s.size(); ++k)
                s[k] = k == i ? 1 : total;
            sp->setSizes(s);
            const QWidget* r = sp->widget(i);
            EXPECT_GE(horz ? r->width() : r->height(), Scaled(80)) << sp->objectName().toStdString() << " " << i;
        }
    }
}

TEST(LogPanel, CaptionRules)
{
    struct Case {
        const char* before;
        const char* text;
        const char* after;
    } cases[] = {
        {"  로그  ", "계좌 확인 응답 [00000] 조회완료", "  로그 ⚠  "},
        {"  로그 ●  ", "!! 잔고 요청 실패", "  로그 ⚠  "},
        {"  로그 ⚠  ", "평범한 줄", "  로그 ⚠  "},
        {"  로그  ", "가운데에 !! 가 있는 줄", "  로그 ●  "},
        {"  로그  ", "평범한 줄", "  로그 ●  "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NextLogCaption(QString::fromUtf8(c.before), QString::fromUtf8(c.text)), QString::fromUtf8(c.after))
            << c.text;
}

TEST(LogPanel, HiddenMarksShownClearsAndCapsAt500)
{
    Fixture f;
    TfrmMain& w = f.Open();
    w.pcLog->setCurrentIndex(1);  // clears the start-up warning
    w.pcLog->setCurrentIndex(0);
    w.Log("새 줄");
    EXPECT_EQ(w.pcLog->tabText(1), kLogCaptionNew);
    w.Log("!! 실패");
    EXPECT_EQ(w.pcLog->tabText(1), kLogCaptionWarn);
    w.pcLog->setCurrentIndex(1);
    EXPECT_EQ(w.pcLog->tabText(1), kLogCaption);
    w.pcLog->setCurrentIndex(0);
    EXPECT_EQ(w.pcLog->tabText(1), kLogCaption);  // unchanged until the next line
    w.pcLog->setCurrentIndex(1);
    w.Log("!! 보이는 동안");
    EXPECT_EQ(w.pcLog->tabText(1), kLogCaption);  // lines written while shown change nothing

    for (int i = 1; i <= 501; ++i)
        w.Log(QStringLiteral("줄 %1").arg(i));
    const QStringList lines = f.Lines();
    ASSERT_EQ(lines.size(), 500);
    EXPECT_TRUE(lines.first().endsWith("줄 2"));
    EXPECT_TRUE(lines.last().endsWith("줄 501"));
}

TEST(Layout, AppliedFromHtsIni)
{
    Fixture f;
    f.WriteIni("[LAYOUT]\nW=0\nX=10\nY=10\nH=700\nRANKW=80,0,120\nBRKH=0\nDAYBARW=12\nMINBARW=99\n"
               "[UI]\nDAYPER=7\nISSUETAB=5\nMINPER=3\nBMTAB=9\nLOGTAB=1\nSIG2=0\nFEE=0.25\nBOARD=-4\n");
    TfrmMain& w = f.Open();
    EXPECT_TRUE(w.FFirstRun);                   // W below 1: no saved layout
    EXPECT_EQ(w.Charts->cbDayPer->currentIndex(), 2);   // clamped to month
    EXPECT_EQ(w.Charts->FDayPer, 2);
    EXPECT_EQ(w.pcIssue->currentIndex(), 0);    // 5 is no page
    EXPECT_EQ(w.Charts->FMinPer, 5);
    EXPECT_EQ(w.Charts->chMin->Model().Title(), QStringLiteral("5분봉"));
    EXPECT_EQ(w.Charts->chDay->Model().Title(), QStringLiteral("월봉"));
    EXPECT_EQ(w.pcBM->currentIndex(), 0);       // out of range: ignored
    EXPECT_EQ(w.pcLog->currentIndex(), 1);
    EXPECT_FALSE(w.Signals->chkSig[1]->isChecked());
    EXPECT_TRUE(w.Signals->chkSig[0]->isChecked());
    EXPECT_EQ(w.Order->edFee->text(), QStringLiteral("0.25"));
    EXPECT_EQ(w.Board->cbBoard->currentIndex(), 0);
    EXPECT_EQ(w.Lists->hcRank->sectionSize(0), 80);
    EXPECT_EQ(w.Lists->hcRank->sectionSize(1), Scaled(138));
    EXPECT_EQ(w.Lists->hcRank->sectionSize(2), 120);
    EXPECT_EQ(w.Charts->chDay->Model().UserBarW(), 12);
    EXPECT_EQ(w.Charts->chMin->Model().UserBarW(), 0);  // beyond the wheel's range: automatic
}

TEST(Layout, SaveKeepsUnknownKeysAndNormalBounds)
{
    Fixture f;
    f.WriteIni("[LOGIN]\nID=demo\nPW= pass \n[LAYOUT]\nW=1200\nH=800\nX=30\nY=40\n[MINE]\nKEEP=yes\n");
    TfrmMain& w = f.Open();
    EXPECT_FALSE(w.FFirstRun);
    w.showMaximized();
    QTest::qWait(20);
    w.Ctx().FCode = "000660";
    w.Order->edAmt->setText("2500000");
    EXPECT_EQ(w.Order->edAmt->text(), "2,500,000");  // regrouped as typed
    w.Charts->chMin->Model().SetUserBarW(9);
    w.SaveLayout();
    TIniFile ini(f.dir.path() + "/hts.ini");
    EXPECT_EQ(ini.ReadString("MINE", "KEEP", ""), "yes");
    EXPECT_EQ(ini.ReadString("LOGIN", "PW", ""), " pass ");
    EXPECT_EQ(ini.ReadString("UI", "LASTCODE", ""), "000660");
    EXPECT_EQ(ini.ReadString("UI", "AMT", ""), "2500000");
    EXPECT_EQ(ini.ReadInteger("LAYOUT", "MINBARW", -1), 9);
    EXPECT_EQ(ini.ReadInteger("LAYOUT", "DAYBARW", -1), 0);
    if (w.isMaximized()) {
        EXPECT_TRUE(ini.ReadBool("LAYOUT", "MAX", false));
        EXPECT_EQ(ini.ReadInteger("LAYOUT", "W", 0), 1200);  // a maximised window keeps the last normal bounds
        EXPECT_EQ(ini.ReadInteger("LAYOUT", "X", 0), 30);
    }
}

TEST(Layout, ProgramAreaAndAccountTabsShareOneHeight)
{
    Fixture f;
    f.WriteIni("[LAYOUT]\nW=1500\nH=900\nX=0\nY=0\nPROGH=260\n");
    TfrmMain& w = f.Open();
    w.show();
    QTest::qWait(20);
    EXPECT_EQ(w.spOrd->sizes().last(), w.spLadder->sizes().last());
    // Moving the splitter above the program-trading grid moves the other one too.
    QList<int> s = w.spOrd->sizes();
    s[1] -= 40;
    s[2] += 40;
    w.spOrd->setSizes(s);
    emit w.spOrd->splitterMoved(0, 2);
    EXPECT_EQ(w.spOrd->sizes().last(), w.spLadder->sizes().last());
}

TEST(MainWindow, ScreenshotForReview)
{
    Fixture f;
    TfrmMain& w = f.Open();
    w.resize(1600, 950);
    w.show();
    QTest::qWait(50);
    const QString out = QDir::temp().filePath("kestrel-main.png");
    EXPECT_TRUE(w.grab().save(out));
}

TEST(MainWindow, ClosingSavesTheLayout)
{
    Fixture f;
    TfrmMain& w = f.Open();
    w.show();
    QTest::qWait(20);
    w.pcBM->setCurrentIndex(2);
    w.close();
    TIniFile ini(f.dir.path() + "/hts.ini");
    EXPECT_EQ(ini.ReadInteger("UI", "BMTAB", -1), 2);
    EXPECT_GT(ini.ReadInteger("LAYOUT", "PROGH", 0), 0);
    EXPECT_EQ(QFile(f.dir.path() + "/hts.ini").permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);
}

TEST(MainWindow, DrawingsSurviveARestart)
{
    Fixture f;
    {
        TfrmMain& w = f.Open();
        w.SelectStock("005930");  // not logged in: only becomes current
        TDrawObj line;
        line.K = QLatin1Char('H');
        line.D1 = "202612100930";
        line.P1 = 70000;
        w.Charts->chMin->Model().AddDraw(line);
        f.w.reset();
    }
    TfrmMain& w2 = f.Open();
    const QVector<TDrawObj> back = w2.Charts->FDrawStore->Draws(TDrawStore::DrawKey("005930", true, 0));
    ASSERT_EQ(back.size(), 1);
    EXPECT_DOUBLE_EQ(back[0].P1, 70000);
    EXPECT_TRUE(QFile::exists(f.dir.path() + "/draws.json"));
}

TEST(MainWindow, MinuteHoverMarksTheDayChart)
{
    Fixture f;
    TfrmMain& w = f.Open();
    w.Charts->chMin->Model().OnHoverDay("202612091000");
    EXPECT_EQ(w.Charts->chDay->Model().DayMark(), "20261209");
    w.Charts->chMin->Model().OnHoverDay(QString());  // left the chart, no daily row selected
    EXPECT_TRUE(w.Charts->chDay->Model().DayMark().isEmpty());
}

TEST(MainWindow, MinuteBarClickMarksItsHeadline)
{
    Fixture f;
    TfrmMain& w = f.Open();
    w.pcLog->setCurrentIndex(1);
    // Two headlines of the stock, as the service host's archive gives them.
    w.Ctx().FCode = "005930";
    const QString d = w.Ctx().Today();
    w.News->MergeServerNews(d + "\t093020\tk1\t005930\t실적 발표\t\r\n" + d + "\t094500\tk2\t005930\t공급계약\t\r\n");
    ASSERT_EQ(w.News->FNewsView.size(), 2);
    w.Charts->chMin->Model().OnBarClick(d + "0940");  // 09:39–09:40: nothing within reach
    EXPECT_EQ(w.News->lbNews->Selected(), -1);
    EXPECT_EQ(w.pcLog->currentIndex(), 1);
    EXPECT_TRUE(w.Charts->chMin->Model().NewsD().isEmpty());

    w.Charts->chMin->Model().OnBarClick(d + "0933");  // 09:32–09:33 reaches back to 09:29
    EXPECT_EQ(w.News->lbNews->Selected(), 1);   // k2 is listed first (latest)
    EXPECT_EQ(w.News->FNewsKey, "k1");
    EXPECT_EQ(w.pcLog->currentIndex(), 0);
    EXPECT_EQ(w.Charts->chMin->Model().NewsD(), d + "0931");
    EXPECT_EQ(w.Charts->chMin->Model().NewsLab(), "뉴스 09:30");
    EXPECT_FALSE(w.Charts->chMin->Model().NewsFocus());
}

// A 5-minute bar that straddles the last history minute is rebuilt from the
// chart's own bar: later pages and live trades never count a minute twice.
TEST(MainWindow, RegroupedMinuteBarsCountEachMinuteOnce)
{
    Fixture f;
    TfrmMain& w = f.Open();
    const QString today = w.Ctx().Today();
    w.Charts->FMinPer = 5;
    for (int m = 1; m <= 7; ++m)
        w.Charts->FMinAcc.append(TBar{today + QStringLiteral("09%1").arg(m, 2, 10, QLatin1Char('0')), 100, 101, 99, 100, 10, 0});
    const TChartModel& ch = w.Charts->chMin->Model();
    w.Charts->ShowMinBars(false);
    ASSERT_EQ(ch.Bars().last().D, today + "0910");
    EXPECT_EQ(ch.Bars().last().V, 20);
    w.Charts->ShowMinBars(true);  // another page arrives
    EXPECT_EQ(ch.Bars().last().V, 20);
    w.Charts->OnTrade(TTradeRec{"090830", 102, 0, 0, 0, 0, 5, '+'});  // a live trade in the same five minutes
    EXPECT_EQ(ch.Bars().last().V, 25);
    w.Charts->ShowMinBars(false);
    EXPECT_EQ(ch.Bars().last().V, 25);
    EXPECT_EQ(ch.Bars().last().C, 102);
    EXPECT_EQ(ch.Count(), 2);
    EXPECT_EQ(ch.Bars().first().V, 50);
}

// A chart's drawings change together with the key they are saved under: an
// edit right after a change of stock or period never lands on another key.
TEST(MainWindow, DrawingsSwapWithTheirKey)
{
    Fixture f;
    TfrmMain& w = f.Open();
    TChartFacet& c = *w.Charts;
    w.SelectStock("005930");
    c.DayChart().AddDraw(TDrawObj{QChar('H'), QString(), QString(), 70000, 0});
    c.MinChart().AddDraw(TDrawObj{QChar('H'), QString(), QString(), 70100, 0});
    const TDrawStore& store = *c.FDrawStore;
    ASSERT_EQ(store.Draws("005930|D").size(), 1);

    c.cbDayPer->setCurrentIndex(1);  // weeks
    c.OnDayPerChange();
    EXPECT_TRUE(c.DayChart().GetDraws().isEmpty());
    c.DayChart().UndoDraw();
    EXPECT_TRUE(store.Draws("005930|W").isEmpty());
    EXPECT_EQ(store.Draws("005930|D").size(), 1);

    w.SelectStock("000660");
    EXPECT_TRUE(c.MinChart().GetDraws().isEmpty());
    c.MinChart().AddDraw(TDrawObj{QChar('H'), QString(), QString(), 185000, 0});
    EXPECT_EQ(store.Draws("005930|N").size(), 1);
    EXPECT_DOUBLE_EQ(store.Draws("005930|N")[0].P1, 70100);
    EXPECT_EQ(store.Draws("000660|N").size(), 1);

    // Back to the first stock and to day bars: its own drawings come back.
    w.SelectStock("005930");
    c.cbDayPer->setCurrentIndex(0);
    c.OnDayPerChange();
    ASSERT_EQ(c.DayChart().GetDraws().size(), 1);
    EXPECT_DOUBLE_EQ(c.DayChart().GetDraws()[0].P1, 70000);
}

// The buyback marker pushes the order strips down by its height, however
// often it changes, and they come back to their places without it.
TEST(MainWindow, BuybackMarkerPushesTheOrderStripsAndGivesThemBack)
{
    Fixture f;
    TfrmMain& w = f.Open();
    w.resize(1600, 950);
    w.show();
    // The window asks the service host for its buyback list at start; that
    // answer must not land on top of the filing this test hands in.
    ASSERT_TRUE(QTest::qWaitFor([&w] { return !w.Lists->FBuyFetching; }, 20000));
    QApplication::processEvents();
    QWidget* strips[] = {w.AutoSell->pnlAutoQ, w.Order->pnlBuyQ, w.Order->pnlSellQ};
    int tops[3];
    for (int i = 0; i < 3; ++i)
        tops[i] = strips[i]->y();
    w.Ctx().FCode = QStringLiteral("005930");
    const QString filing = QStringLiteral(R"({"date":"%1","items":[{"code":"005930","name":"삼성전자","side":"매수","how":"직접",)"
                                          R"("qty":139000,"ratio":19.2,"ratio5":19.4,"streak":2,"total":1000000,"progress":10,)"
                                          R"("end":"20270215","pick":true,"note1":"%2"}]})")
                               .arg(w.Ctx().ServerClock().ExchangeDay(), QStringLiteral("x").repeated(200));
    for (int round = 0; round < 2; ++round) {
        w.Lists->OnBuyJson(filing);
        w.Lists->UpdateBuyMarker();
        QApplication::processEvents();
        ASSERT_TRUE(w.Quote->lbOrdBuy->isVisible()) << round;
        const int shift = strips[0]->y() - tops[0];
        EXPECT_GT(shift, 0);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(strips[i]->y(), tops[i] + shift) << i;
        EXPECT_GE(w.pnlOrdTop->height(), shift + Scaled(158));
        // The marker sits under the price and over the first strip.
        EXPECT_LE(w.Quote->lbOrdBuy->geometry().bottom(), strips[0]->y());
        // Another stock has no filing: the strips go back.
        w.Ctx().FCode = QStringLiteral("000660");
        w.Lists->UpdateBuyMarker();
        QApplication::processEvents();
        EXPECT_FALSE(w.Quote->lbOrdBuy->isVisible());
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(strips[i]->y(), tops[i]) << i;
        w.Ctx().FCode = QStringLiteral("005930");
    }
}

TEST(MainWindow, AStockChangeClearsTheDayMark)
{
    Fixture f;
    TfrmMain& w = f.Open();
    w.SelectStock("005930");
    w.Charts->MinChart().OnHoverDay("202612091000");
    ASSERT_EQ(w.Charts->DayChart().DayMark(), "20261209");
    w.SelectStock("000660");
    EXPECT_TRUE(w.Charts->DayChart().DayMark().isEmpty());
}

// The order column's top holds the buy and the sell strip on every run, the
// first one (no hts.ini) too.
TEST(Layout, OrderTopShowsBothStripsOnTheFirstRun)
{
    for (bool withIni : {false, true}) {
        Fixture f;
        if (withIni)
            f.WriteIni("[LAYOUT]\nW=1500\nH=900\nX=0\nY=0\nORDH3=60\n");
        TfrmMain& w = f.Open();
        w.resize(1600, 950);
        w.show();
        QTest::qWait(20);
        EXPECT_GE(w.spOrd->sizes().first(), Scaled(158)) << withIni;
        const QWidget* sell = w.Order->pnlSellQ;
        EXPECT_LE(sell->geometry().bottom(), w.pnlOrdTop->height()) << withIni;
    }
}

// The ladder's hint takes only the room its strip has left: shortened with
// "…" or left out (its strip's tooltip holds it), never cut by the edge; on
// a wide ladder it reads in full.
TEST(Layout, LadderHintFitsItsStrip)
{
    Fixture f;
    TfrmMain& w = f.Open();
    const QString hint = QStringLiteral("매도·매수 칸 더블클릭: 주문 · 호가 우클릭: 가운데로");
    for (int width : {1600, 2400}) {
        w.resize(width, 950);
        w.show();
        QTest::qWait(20);
        const QLabel* l = w.Order->lbHint;
        const QWidget* strip = l->parentWidget();
        EXPECT_EQ(strip->toolTip(), hint);
        if (l->isVisible()) {
            EXPECT_LE(l->geometry().right(), strip->width()) << width;
            EXPECT_TRUE(l->text() == hint || l->text().endsWith(QStringLiteral("…"))) << l->text().toStdString();
        }
        if (width == 2400)
            EXPECT_EQ(l->text(), hint);
    }
}

// A draws.json that cannot be read is set aside and the start-up log says so.
TEST(MainWindow, DamagedDrawingsFileIsReportedAtStart)
{
    Fixture f;
    QFile d(f.dir.path() + "/draws.json");
    ASSERT_TRUE(d.open(QIODevice::WriteOnly));
    d.write("{\"005930|D\": [ {\"k\": \"H\", ");
    d.close();
    f.Open();
    bool logged = false;
    for (const QString& l : f.Lines())
        logged = logged || l.contains(QStringLiteral("!! draws.json 을 읽을 수 없어"));
    EXPECT_TRUE(logged) << f.Lines().join('\n').toStdString();
    EXPECT_FALSE(QDir(f.dir.path()).entryList({"draws.json.bad-*"}).isEmpty());
}
