// The capture page on the simulated exchange: the service's answers applied
// to the list (quiet first load, flashes, sounds, the caption dot, bad or
// stale answers), quotes and previous volumes for the live columns, the
// same-time volume from both days' bars, the DT rule with its one alert,
// and a new trading day starting afresh.
#include "SimContext.h"
#include "app/UiKit.h"
#include "app/signals/SignalFacet.h"
#include "chart/ChartModel.h"
#include "core/AppState.h"
#include "core/ServerClock.h"
#include "signals/MinVol.h"
#include "sim/SimBackend.h"
#include "sim/SimExchange.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTableView>
#include <gtest/gtest.h>

namespace {

struct TSig {
    const char* Arr;   // lm03, lm03r, lm08, lm08r
    const char* Code;
    const char* Time;
    const char* Ep;
};

QByteArray Answer(const QString& date, const QString& updated, const std::vector<TSig>& sigs)
{
    QJsonObject o{{"date", date}, {"updated", updated}};
    QHash<QString, QJsonArray> arrs;
    for (const char* a : {"lm03", "lm03r", "lm08", "lm08r"})
        arrs[QString::fromLatin1(a)] = QJsonArray();
    for (const TSig& s : sigs) {
        QJsonObject e{{"sc", s.Code}, {"time", s.Time}, {"ep", s.Ep}, {"peak", "5"}};
        arrs[QString::fromLatin1(s.Arr)].append(e);
    }
    for (auto it = arrs.cbegin(); it != arrs.cend(); ++it)
        o.insert(it.key(), it.value());
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

// The facet alone on a logged-in context, its poll stopped (answers are
// handed to it directly) and its sounds counted.
struct SigFixture {
    SimContext sc;
    TTabSet tabs;
    TSignalFacet f{*sc.ctx};
    QVector<QPair<int, int>> tones;
    QStringList waves;
    TChartModel chart;

    explicit SigFixture(const QTime& at = QTime(9, 40, 0))
    {
        sc.clock.SetWall(QDateTime(QDate(2026, 12, 10), at));
        // Earlier days are played at once, not on worker threads.
        if (auto* sim = dynamic_cast<TSimBackend*>(sc.ctx->FBackend.get()))
            sim->Exchange().SetPastInBackground(false);
        f.BuildSignalPage(&tabs);
        tabs.AddPage(QStringLiteral("  다른 탭  "));
        f.Tone = [this](int freq, int ms) { tones.append({freq, ms}); };
        f.Wave = [this](const QString& p) { waves.append(p); };
        f.MinChart = [this] { return &chart; };
        f.CheckSigDay();
    }
    const QString Day() const { return QStringLiteral("20261210"); }
    QString Cell(int row, int col) const
    {
        return f.gSig->model()->index(row, col).data().toString();
    }
    QStringList Keys() const
    {
        QStringList k;
        for (int i : f.FSigView)
            k << f.FSigs[i].Key;
        return k;
    }
};

// Bars of one day for TMinVol: a minute every minute from 09:01 to `last`,
// `vol` shares each at `price`.
QVector<TVolRow> Bars(const QString& day, int last, qint64 vol, double price)
{
    QVector<TVolRow> rows;
    for (int m = HhmmToMin(901); m <= HhmmToMin(last); ++m) {
        const int hm = MinToHhmm(m);
        const auto r = VolRowOf(day, QStringLiteral("%1").arg(hm, 4, 10, QLatin1Char('0')) + QStringLiteral("00"), price,
                                price, price, price, vol, price * vol);
        if (r)
            rows.append(*r);
    }
    return rows;
}

}  // namespace

TEST(SignalFacet, FirstAnswerIsQuietThenNewRowsFlashSoundAndMarkTheTab)
{
    SigFixture x;
    x.f.OnSigJson(Answer(x.Day(), "093500", {{"lm03", "005930", "09:31:05", "70000"},
                                              {"lm03r", "000660", "0931", "120000"},
                                              {"lm03", "035420", "0925", "200000"}}));
    ASSERT_TRUE(x.f.FSigLoaded);
    // time descending, buy capture before sell capture at one minute
    EXPECT_EQ(x.Keys(), QStringList({"1:005930:0931", "2:000660:0931", "1:035420:0925"}));
    EXPECT_TRUE(x.tones.isEmpty());
    EXPECT_TRUE(x.f.FSigFlash.isEmpty());
    EXPECT_FALSE(x.f.FSigDot);
    EXPECT_TRUE(x.f.lbSigStat->text().startsWith(QStringLiteral("서버 09:35 · 받음 "))) << x.f.lbSigStat->text().toStdString();
    EXPECT_EQ(x.Cell(0, 0), QStringLiteral("09:31"));
    EXPECT_EQ(x.Cell(0, 2), QStringLiteral("매수 포착"));
    EXPECT_EQ(x.Cell(0, 3), QStringLiteral("70,000"));

    // A sell-only batch: the low tone; the tab is not shown, so it gets the dot.
    x.tabs.setCurrentIndex(1);
    x.f.OnSigJson(Answer(x.Day(), "093600", {{"lm03", "005930", "09:31:05", "70000"},
                                              {"lm03r", "000660", "0931", "120000"},
                                              {"lm03", "035420", "0925", "200000"},
                                              {"lm08r", "005380", "0935", "0"}}));
    ASSERT_EQ(x.tones.size(), 1);
    EXPECT_EQ(x.tones[0], qMakePair(700, 120));
    EXPECT_TRUE(x.f.FSigFlash.contains("4:005380:0935"));
    EXPECT_EQ(x.tabs.tabText(0), QStringLiteral("  포착 (4) ●  "));
    // Any buy-side row makes it the high tone.
    x.f.OnSigJson(Answer(x.Day(), "093700", {{"lm03", "005930", "09:31:05", "70000"},
                                              {"lm03r", "000660", "0931", "120000"},
                                              {"lm03r", "051910", "0936", "300000"},
                                              {"lm08", "035720", "0936", "0"}}));
    ASSERT_EQ(x.tones.size(), 2);
    EXPECT_EQ(x.tones[1].first, 1500);
    // Opening the tab clears the dot.
    x.tabs.setCurrentIndex(0);
    EXPECT_FALSE(x.f.FSigDot);
    EXPECT_EQ(x.tabs.tabText(0), QStringLiteral("  포착 (4)  "));
}

TEST(SignalFacet, AnUncheckedKindIsSeenAndNeverFlashesAndDtRowsNeedTheFocusBox)
{
    SigFixture x;
    x.f.OnSigJson(Answer(x.Day(), "093500", {{"lm03", "005930", "0931", "70000"}}));
    x.f.chkSig[1]->setChecked(false);
    x.f.OnSigJson(Answer(x.Day(), "093600", {{"lm03", "005930", "0931", "70000"}, {"lm03r", "000660", "0935", "1"}}));
    EXPECT_TRUE(x.f.FSigFlash.isEmpty());
    EXPECT_TRUE(x.tones.isEmpty());
    EXPECT_EQ(x.Keys(), QStringList({"1:005930:0931"}));
    x.f.chkSig[1]->setChecked(true);
    x.f.OnSigJson(Answer(x.Day(), "093700", {{"lm03", "005930", "0931", "70000"}, {"lm03r", "000660", "0935", "1"}}));
    EXPECT_TRUE(x.f.FSigFlash.isEmpty()) << "a row seen while its box was off flashed later";
    EXPECT_EQ(x.Keys().size(), 2);
}

TEST(SignalFacet, BadStaleOrOtherDayAnswersKeepTheListAndLogOnce)
{
    SigFixture x;
    const QByteArray good = Answer(x.Day(), "093600", {{"lm03", "005930", "0931", "70000"}});
    x.f.OnSigJson(good);
    ASSERT_EQ(x.f.FSigs.size(), 1);
    for (const QByteArray& bad : {QByteArray("<html>502 Bad Gateway</html>"), good.left(good.size() / 2), QByteArray("[]")})
        x.f.OnSigJson(bad);
    EXPECT_EQ(x.f.FSigs.size(), 1);
    EXPECT_TRUE(x.f.lbSigStat->text().startsWith(QStringLiteral("응답 형식 오류 ")));
    EXPECT_EQ(x.sc.Count(QStringLiteral("루멘 신호 응답 형식 오류")), 1);
    x.f.OnSigFail(QStringLiteral("HTTP 503"));
    EXPECT_EQ(x.sc.Count(QStringLiteral("루멘 신호")), 1) << "one log line until the next success";

    // An answer older than the one shown (a lagging server) changes nothing.
    x.f.OnSigJson(good);
    x.f.OnSigJson(Answer(x.Day(), "093500", {}));
    EXPECT_EQ(x.f.FSigs.size(), 1);

    // Yesterday's list before the service has today's: the waiting text.
    x.f.OnSigJson(Answer(QStringLiteral("20261209"), "153000", {{"lm03", "005930", "0931", "70000"}}));
    EXPECT_TRUE(x.f.FSigWaitDay);
    EXPECT_TRUE(x.f.FSigs.isEmpty());
    EXPECT_TRUE(x.Cell(0, 0).startsWith(QStringLiteral("오늘 신호 아직 없음")));
}

TEST(SignalFacet, CaptureMarksSitOnTheMinuteBarThatHoldsTheSignal)
{
    SigFixture x;
    x.sc.ctx->FCode = QStringLiteral("005930");
    x.f.OnSigJson(Answer(x.Day(), "100100", {{"lm03", "005930", "09:31:05", "70000"},
                                              {"lm03r", "005930", "959", "71000"},
                                              {"lm03", "000660", "0931", "120000"}}));
    ASSERT_EQ(x.chart.Sigs().size(), 2);
    EXPECT_EQ(x.chart.Sigs()[0].D, QStringLiteral("202612101000"));   // 09:59 ends at 10:00
    EXPECT_EQ(x.chart.Sigs()[0].Lab, QStringLiteral("09:59 매도포착"));
    EXPECT_FALSE(x.chart.Sigs()[0].Buy);
    EXPECT_EQ(x.chart.Sigs()[1].D, QStringLiteral("202612100932"));
    EXPECT_EQ(x.chart.Sigs()[1].Price, 70000);
}

// The DT rule over prepared bars: a stock with an early buy capture whose
// volume runs at four times the day before fires once, with its row on top,
// its chart mark and one alert; a second evaluation does not alert again.
TEST(SignalFacet, DtFiresOnceWithItsRowMarkLogLineAndOneSound)
{
    SigFixture x(QTime(9, 50, 0));
    x.sc.ctx->FCode = QStringLiteral("005930");
    const QString prev = QStringLiteral("20261209");
    for (const char* c : {"005930", "000660"}) {
        QVector<TVolRow> rows = Bars(prev, 1530, 1000, 10000);
        rows += Bars(x.Day(), 949, 4000, 10000);
        x.f.FVolPrev.insert(c, BuildMinVol(rows, prev));
        x.f.FVolToday.insert(c, BuildMinVol(rows, x.Day()));
        x.f.FVolTodayAt.insert(c, 949);
    }
    x.f.OnSigJson(Answer(x.Day(), "094900", {{"lm03", "005930", "0940", "10000"}, {"lm03", "000660", "0940", "10000"},
                                              {"lm03r", "035420", "0940", "1"}}));
    ASSERT_EQ(x.f.FSigView.size(), 5) << x.sc.lines.join('\n').toStdString();
    EXPECT_EQ(x.f.FSigs[x.f.FSigView[0]].Kind, 5);
    EXPECT_EQ(x.f.FSigs[x.f.FSigView[1]].Kind, 5);
    EXPECT_EQ(x.Cell(0, 2), QStringLiteral("데트집중"));
    EXPECT_TRUE(x.Cell(0, 3).startsWith(QStringLiteral("4.0배")));
    EXPECT_EQ(x.sc.Count(QStringLiteral("★ 데트집중")), 2);
    EXPECT_EQ(x.sc.Count(QStringLiteral("데트판정 ")), 2);
    // two stocks became DT in one evaluation: one alert sound (two short tones)
    EXPECT_EQ(x.tones.size(), 1);
    EXPECT_EQ(x.tones.value(0).first, 2200);
    EXPECT_FALSE(x.chart.DtD().isEmpty());
    EXPECT_EQ(x.chart.DtD().left(8), x.Day());

    x.f.RebuildSigView();
    x.f.RebuildSigView();
    EXPECT_EQ(x.sc.Count(QStringLiteral("★ 데트집중")), 2);
    EXPECT_EQ(x.sc.Count(QStringLiteral("데트판정 ")), 2) << "a verdict is logged once per change";
    EXPECT_EQ(x.tones.size(), 1);

    x.f.chkDtFocus->setChecked(false);
    x.f.RebuildSigView();
    for (int i : x.f.FSigView)
        EXPECT_NE(x.f.FSigs[i].Kind, 5);
}

// Quotes of the list's stocks come in batches of at most 50 codes, behind the
// current stock's requests; previous volumes come one stock at a time.
TEST(SignalFacet, QuotesAndPreviousVolumesFillTheLiveColumns)
{
    SigFixture x(QTime(10, 0, 0));
    x.f.OnSigJson(Answer(x.Day(), "095900", {{"lm03", "005930", "0931", "50000"}, {"lm03r", "000660", "0935", "100000"},
                                              {"lm08", "035420", "0945", "0"}}));
    x.f.SigQuoteTick();
    EXPECT_EQ(x.sc.ctx->FQ->CountTr(QStringLiteral("t8407")), 1);
    x.sc.Run(6000);
    for (const char* c : {"005930", "000660", "035420"}) {
        const TSigQuote q = x.f.FSigQ.value(QString::fromLatin1(c));
        EXPECT_GT(q.Px, 0) << c;
        EXPECT_GT(q.Vol, 0) << c;
        EXPECT_TRUE(q.HasPv) << c;
        EXPECT_GT(q.PrevVol, 0) << c;
    }
    // rows: 09:45 streak (no entry price), 09:35 sell capture, 09:31 buy capture
    EXPECT_TRUE(x.Cell(0, 4).isEmpty());
    EXPECT_TRUE(x.Cell(1, 4).endsWith('%'));
    EXPECT_TRUE(x.Cell(0, 5).endsWith('%'));

    // 120 stocks: three batches of 50, 50 and 20, replaced (not piled up) by the next tick.
    std::vector<TSig> many;
    QStringList codes;
    const QStringList all = {"005930", "000660", "035420", "005380", "051910", "035720", "068270", "207940", "006400",
                             "000270"};
    for (int i = 0; i < 120; ++i) {
        codes << QStringLiteral("%1").arg(100000 + i * 10, 6, 10, QLatin1Char('0'));
    }
    std::vector<QByteArray> keep;
    for (const QString& c : codes)
        keep.push_back(c.toLatin1());
    for (const QByteArray& c : keep)
        many.push_back({"lm03", c.constData(), "0950", "1000"});
    x.f.KnownCode = nullptr;
    x.f.OnSigJson(Answer(x.Day(), "095950", many));
    ASSERT_EQ(x.f.FSigs.size(), 120);
    x.f.SigQuoteTick();
    x.f.SigQuoteTick();
    EXPECT_EQ(x.sc.ctx->FQ->CountTr(QStringLiteral("t8407")), 3);
}

// Both days' minute bars of a signal stock: "…" until they arrive, then the
// ratio; the bars are asked at most every 3.5 s, and an answer asked for
// before the trading day changed is dropped.
TEST(SignalFacet, SameTimeVolumeComesFromBothDaysBars)
{
    SigFixture x(QTime(9, 50, 0));
    x.f.OnSigJson(Answer(x.Day(), "094900", {{"lm03", "005930", "0931", "50000"}, {"lm03r", "000660", "0935", "100000"}}));
    EXPECT_EQ(x.Cell(0, 6), QStringLiteral("…"));
    for (int i = 0; i < 12 && (!x.f.FVolPrev.value("005930").Loaded || !x.f.FVolPrev.value("000660").Loaded); ++i) {
        x.f.VolTick();
        x.sc.Run(1500);
    }
    ASSERT_TRUE(x.f.FVolPrev.value("005930").Loaded) << x.sc.lines.join('\n').toStdString();
    ASSERT_TRUE(x.f.FVolPrev.value("000660").Loaded);
    EXPECT_GT(x.f.FVolToday.value("005930").Cum.size(), 30);
    for (const TSigRow& r : x.f.FSigs)
        EXPECT_GE(x.f.SameTimeRatio(r), 0) << r.Key.toStdString();
    EXPECT_TRUE(x.Cell(0, 6).endsWith('%'));

    // A fetch in flight when the exchange's day changes: its answer is dropped.
    x.f.FVolPrev.remove("005930");
    x.f.FVolTodayAt.remove("005930");
    x.f.FVolLastAt = -1000000;
    x.f.VolTick();
    ASSERT_TRUE(x.f.FVolBusy);
    x.sc.clock.SetWall(QDateTime(QDate(2026, 12, 11), QTime(9, 1, 0)));
    x.f.CheckSigDay();
    EXPECT_TRUE(x.f.FSigs.isEmpty());
    EXPECT_TRUE(x.f.FVolPrev.isEmpty());
    EXPECT_TRUE(x.f.FSigSeen.isEmpty());
    EXPECT_FALSE(x.f.FSigLoaded);
    x.sc.Run(3000);
    EXPECT_TRUE(x.f.FVolPrev.isEmpty()) << "bars asked for on the day before were stored";
}

// A stock whose bars never come is given up after five tries, with one line;
// the rest of the list goes on.
TEST(SignalFacet, AFetchWithoutAnswerIsGivenUpAfterFiveTries)
{
    SigFixture x(QTime(9, 50, 0));
    x.f.OnSigJson(Answer(x.Day(), "094900", {{"lm03", "005930", "0931", "50000"}}));
    for (int i = 0; i < 8; ++i) {
        x.f.VolTick();   // sends (the queue never runs: no answer)
        x.sc.clock.Advance(6500);
        x.sc.ctx->FQ->Clear();
    }
    x.f.VolTick();
    EXPECT_EQ(x.f.FVolFail.value("005930"), 5);
    EXPECT_EQ(x.sc.Count(QStringLiteral("오늘은 건너뜀")), 1);
    EXPECT_FALSE(x.f.FVolTodo.contains("005930"));
    EXPECT_TRUE(x.Cell(0, 6).isEmpty()) << "a stock given up shows nothing, not a wait mark";
}

// The whole path on the simulated world: the loopback service's signals, the
// quotes of their stocks, both days' bars, and a stock whose morning volume
// runs at three times the day before turns DT once, with its log line.
TEST(SignalFacet, SimulatedMorningEndToEnd)
{
    GFormAlive = true;   // service answers are handed over only to a live window
    SigFixture x(QTime(9, 50, 0));
    auto* sim = dynamic_cast<TSimBackend*>(x.sc.ctx->FBackend.get());
    ASSERT_NE(sim, nullptr);
    QElapsedTimer real;
    real.start();
    while ((!x.f.FSigLoaded || x.f.FSigs.isEmpty()) && real.elapsed() < 10000) {
        sim->Exchange().Pump();
        if (!x.f.FSigBusy)
            x.f.SigTick();
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    ASSERT_FALSE(x.f.FSigs.isEmpty()) << x.f.lbSigStat->text().toStdString();
    for (const TSigRow& r : x.f.FSigs)
        EXPECT_LE(r.T, QStringLiteral("0950"));

    // Ten seconds of quotes and bar fetches at a time, for two minutes.
    for (int round = 0; round < 12 && x.f.FDtMk.isEmpty(); ++round) {
        x.f.SigQuoteTick();
        for (int t = 0; t < 10000; t += 1500) {
            x.f.VolTick();
            x.sc.Run(1500);
        }
    }
    ASSERT_FALSE(x.f.FDtMk.isEmpty()) << x.sc.lines.join('\n').toStdString();
    int quoted = 0;
    for (const TSigRow& r : x.f.FSigs)
        quoted += x.f.FSigQ.value(r.Code).Px > 0;
    EXPECT_EQ(quoted, x.f.FSigs.size());
    const int alerts = x.sc.Count(QStringLiteral("★ 데트집중"));
    EXPECT_GE(alerts, 1) << x.sc.lines.join(QLatin1Char(10)).toStdString();
    EXPECT_LE(alerts, x.f.FDtMk.size());
    const int sounds = int(x.tones.size() + x.waves.size());
    EXPECT_GE(sounds, 1);
    EXPECT_LE(sounds, alerts);
    // The view rebuilds again and again: no stock alerts twice.
    for (int i = 0; i < 10; ++i) {
        x.f.VolTick();
        x.sc.Run(1500);
    }
    for (auto it = x.f.FDtMk.cbegin(); it != x.f.FDtMk.cend(); ++it)
        EXPECT_LE(x.sc.Count(QStringLiteral("★ 데트집중: ") + x.sc.ctx->NameOf(it.key()) + QLatin1Char(' ')), 1)
            << it.key().toStdString();
    EXPECT_LE(int(x.tones.size() + x.waves.size()), x.sc.Count(QStringLiteral("★ 데트집중")));
    GFormAlive = false;
}

// A stock listed today (or back from a halt) has no earlier day to compare
// with: one final verdict for the day, never fetched again.
TEST(SignalFacet, AStockWithoutAnEarlierDayIsLeftForTheDayWithOneVerdict)
{
    SigFixture x(QTime(9, 50, 0));
    x.f.OnSigJson(Answer(x.Day(), "094900", {{"lm03", "005930", "0940", "50000"}}));
    x.f.FVolTodo.clear();
    x.f.FVolReq = QStringLiteral("005930");
    x.f.FVolBusy = true;
    x.f.FVolAcc = Bars(x.Day(), 949, 1000, 50000);
    x.f.FinishVol();
    EXPECT_TRUE(x.f.FVolFinal.contains("005930"));
    for (int i = 0; i < 5; ++i) {
        x.f.VolTick();
        x.sc.clock.Advance(4000);
    }
    EXPECT_FALSE(x.f.FVolTodo.contains("005930"));
    EXPECT_TRUE(x.f.FVolReq.isEmpty());
    EXPECT_EQ(x.sc.Count(QStringLiteral("제외(전일 없음)")), 1);
    EXPECT_TRUE(x.Cell(0, 6).isEmpty());
}
