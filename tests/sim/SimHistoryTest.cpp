// History answers of the simulated exchange: day / week / month bars
// (t8410), minute bars (t8412), today's ticks (t1301) and program trading
// (t1637) - their agreement with the live quote, their paging, and the
// compressed-answer behaviour of the query object.
#include "SimAsk.h"
#include "core/Clock.h"
#include "sim/DailyModel.h"
#include "sim/SimAnswers.h"
#include "sim/SimBackend.h"
#include "sim/SimQuery.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QSet>
#include <QThread>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

QString Res(const QString& code) { return QStringLiteral(KESTREL_RES_DIR) + code + QStringLiteral(".res"); }


qint64 N(const TRow& r, const char* f) { return r.value(QString::fromLatin1(f)).toLongLong(); }

class SimHistoryTest : public ::testing::Test {
protected:
    void SetUp() override { Start(QDateTime(QDate(2026, 12, 10), QTime(10, 30, 0))); }

    void Start(const QDateTime& at)
    {
        Clock = std::make_unique<TTestClock>(at);
        Cfg.PumpMs = 0;
        Cfg.AnswerDelayMs = 0;
        Cfg.RateLimits = false;   // requests go in bursts on a still clock; SimStrictTest checks the budgets
        Backend = CreateSimBackend(Cfg, *Clock);
    }

    TSimExchange& Ex() { return Backend->Exchange(); }

    // The answer to `tr` with the input fields `in` (block <tr>InBlock).
    TSimReply Ask(const QString& tr, const TIn& in) { return AskExchange(Ex(), tr, in); }

    static QVector<TRow> Rows(const TSimReply& r, const QString& block) { return ReplyRows(r, block); }

    static TRow One(const TSimReply& r, const QString& block)
    {
        const QVector<TRow> rows = Rows(r, block);
        return rows.isEmpty() ? TRow() : rows.first();
    }

    TRow Quote(const QString& code) { return One(Ask("t1101", {{"shcode", code}}), "t1101OutBlock"); }

    TSimReply Days(const QString& code, const QString& gubun, int n, const QString& cts = {}, const QString& sdate = {})
    {
        return Ask("t8410", {{"shcode", code}, {"gubun", gubun}, {"qrycnt", QString::number(n)}, {"sdate", sdate},
                             {"edate", "20261210"}, {"cts_date", cts}, {"comp_yn", "N"}, {"sujung", "Y"}});
    }

    TSimReply Minutes(const QString& code, int n, const QString& nday, const QString& ctsD = {}, const QString& ctsT = {},
                      const QString& ncnt = "1", const QString& edate = "20261210")
    {
        return Ask("t8412", {{"shcode", code}, {"ncnt", ncnt}, {"qrycnt", QString::number(n)}, {"nday", nday},
                             {"edate", edate}, {"cts_date", ctsD}, {"cts_time", ctsT}, {"comp_yn", "Y"}});
    }

    std::unique_ptr<TTestClock> Clock;
    TSimConfig Cfg;
    std::unique_ptr<TSimBackend> Backend;
    QObject Owner;
};

// ---- t8410 ------------------------------------------------------------------

TEST_F(SimHistoryTest, DayBarsEndWithTheLiveDayAndAgreeWithTheQuote)
{
    for (const QString code : {"005930", "069500"}) {
        const TRow q = Quote(code);
        const TSimReply r = Days(code, "2", 500);
        ASSERT_TRUE(r.HasData) << code.toStdString();
        const QVector<TRow> rows = Rows(r, "t8410OutBlock1");
        ASSERT_EQ(rows.size(), 500);
        EXPECT_EQ(N(One(r, "t8410OutBlock"), "rec_count"), 500);
        EXPECT_FALSE(One(r, "t8410OutBlock").value("cts_date").isEmpty());
        for (int i = 0; i < rows.size(); ++i) {
            const TRow& b = rows[i];
            const QDate d = QDate::fromString(b.value("date"), "yyyyMMdd");
            ASSERT_TRUE(IsTradingDay(d)) << b.value("date").toStdString();
            if (i > 0) {
                ASSERT_LT(rows[i - 1].value("date"), b.value("date"));
            }
            EXPECT_GE(N(b, "high"), std::max(N(b, "open"), N(b, "close"))) << b.value("date").toStdString();
            EXPECT_LE(N(b, "low"), std::min(N(b, "open"), N(b, "close"))) << b.value("date").toStdString();
            EXPECT_GT(N(b, "jdiff_vol"), 0);
            // Trading value in millions of won lies between low and high x volume.
            EXPECT_GE(N(b, "value"), N(b, "low") * N(b, "jdiff_vol") / 1000000 - 1);
            EXPECT_LE(N(b, "value"), N(b, "high") * N(b, "jdiff_vol") / 1000000 + 1);
        }
        const TRow& today = rows.last();
        EXPECT_EQ(today.value("date"), "20261210");
        EXPECT_EQ(N(today, "open"), N(q, "open"));
        EXPECT_EQ(N(today, "high"), N(q, "high"));
        EXPECT_EQ(N(today, "low"), N(q, "low"));
        EXPECT_EQ(N(today, "close"), N(q, "price"));
        EXPECT_EQ(N(today, "jdiff_vol"), N(q, "volume"));
        const TRow& prev = rows[rows.size() - 2];
        EXPECT_EQ(prev.value("date"), "20261209");
        EXPECT_EQ(N(prev, "close"), N(q, "jnilclose"));
        EXPECT_EQ(N(One(r, "t8410OutBlock"), "jiclose"), N(q, "jnilclose"));
        // Each close against the day before: up '2', down '5', same '3'.
        const qint64 pc = N(rows[rows.size() - 3], "close");
        const char want = N(prev, "close") > pc ? '2' : N(prev, "close") < pc ? '5' : '3';
        EXPECT_EQ(prev.value("sign"), QString(QLatin1Char(want)));
    }
}

TEST_F(SimHistoryTest, DayBarsBeforeTheOpenShowTodayWithoutVolume)
{
    Start(QDateTime(QDate(2026, 12, 10), QTime(8, 30, 0)));
    const TRow q = Quote("005930");
    const QVector<TRow> rows = Rows(Days("005930", "2", 5), "t8410OutBlock1");
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows.last().value("date"), "20261210");
    EXPECT_EQ(N(rows.last(), "jdiff_vol"), 0);
    EXPECT_EQ(N(rows.last(), "close"), N(q, "jnilclose"));
    EXPECT_EQ(N(rows[3], "close"), N(q, "jnilclose"));
}

TEST_F(SimHistoryTest, DayPagesFollowEachOtherWithoutGapsOrRepeatsDownToTheStartDate)
{
    for (const QString gubun : {"2", "3", "4"}) {
        const QString sdate = gubun == "2" ? "20260301" : gubun == "3" ? "20250101" : "20180101";
        QStringList whole;
        for (const TRow& b : Rows(Days("000660", gubun, 500, {}, sdate), "t8410OutBlock1"))
            whole << b.value("date") + ":" + b.value("close") + ":" + b.value("jdiff_vol");
        QStringList paged;
        QString cts;
        int pages = 0;
        do {
            const TSimReply r = Days("000660", gubun, 17, cts, sdate);
            QStringList page;
            for (const TRow& b : Rows(r, "t8410OutBlock1"))
                page << b.value("date") + ":" + b.value("close") + ":" + b.value("jdiff_vol");
            paged = page + paged;
            cts = One(r, "t8410OutBlock").value("cts_date");
            ASSERT_LT(++pages, 200);
        } while (!cts.isEmpty());
        EXPECT_GT(pages, 2) << gubun.toStdString();
        EXPECT_EQ(paged, whole) << gubun.toStdString();
        ASSERT_FALSE(whole.isEmpty());
        EXPECT_GE(whole.first().left(8), sdate.left(6)) << gubun.toStdString();
    }
}

TEST_F(SimHistoryTest, WeekAndMonthBarsAggregateTheDayBars)
{
    const QVector<TRow> days = Rows(Days("005930", "2", 200), "t8410OutBlock1");
    for (const QString gubun : {"3", "4"}) {
        const QVector<TRow> bars = Rows(Days("005930", gubun, 6), "t8410OutBlock1");
        ASSERT_EQ(bars.size(), 6);
        for (int i = 1; i < bars.size(); ++i) {   // the first may start before the day rows
            const QString from = bars[i - 1].value("date"), to = bars[i].value("date");
            QVector<TRow> in;
            for (const TRow& d : days)
                if (d.value("date") > from && d.value("date") <= to)
                    in << d;
            ASSERT_FALSE(in.isEmpty()) << to.toStdString();
            qint64 hi = 0, lo = LLONG_MAX, vol = 0;
            for (const TRow& d : in) {
                hi = std::max(hi, N(d, "high"));
                lo = std::min(lo, N(d, "low"));
                vol += N(d, "jdiff_vol");
            }
            const QDate a = QDate::fromString(in.first().value("date"), "yyyyMMdd");
            const QDate b = QDate::fromString(to, "yyyyMMdd");
            if (gubun == "3")
                EXPECT_EQ(a.addDays(-(a.dayOfWeek() - 1)), b.addDays(-(b.dayOfWeek() - 1))) << to.toStdString();
            else
                EXPECT_EQ(a.month(), b.month()) << to.toStdString();
            EXPECT_EQ(N(bars[i], "open"), N(in.first(), "open")) << to.toStdString();
            EXPECT_EQ(N(bars[i], "close"), N(in.last(), "close")) << to.toStdString();
            EXPECT_EQ(N(bars[i], "high"), hi);
            EXPECT_EQ(N(bars[i], "low"), lo);
            EXPECT_EQ(N(bars[i], "jdiff_vol"), vol);
        }
        EXPECT_EQ(bars.last().value("date"), "20261210");
    }
}

TEST_F(SimHistoryTest, ModelClosesOverARangeMatchTheDayByDayCloses)
{
    const TDailyModel& m = Ex().Engine().Daily();
    const TSimStock* s = Ex().Engine().Universe().Find("005930");
    ASSERT_TRUE(s);
    const auto closes = m.Closes(*s, QDate(2026, 6, 1), QDate(2026, 8, 31));
    ASSERT_EQ(closes.size(), 66);
    for (const auto& c : closes)
        EXPECT_EQ(c.second, m.Close(*s, c.first)) << c.first.toString().toStdString();
}

// ---- t8412 ------------------------------------------------------------------

TEST_F(SimHistoryTest, MinuteBarsOfTodayEndAtTheLivePriceAndOfPastDaysMakeTheDayBar)
{
    const TRow q = Quote("005930");
    const TSimReply r = Minutes("005930", 2000, "2");
    const QVector<TRow> rows = Rows(r, "t8412OutBlock1");
    ASSERT_FALSE(rows.isEmpty());
    const QVector<TRow> days = Rows(Days("005930", "2", 3), "t8410OutBlock1");
    ASSERT_EQ(days.size(), 3);
    for (const QString day : {"20261209", "20261210"}) {
        QVector<TRow> in;
        for (const TRow& b : rows)
            if (b.value("date") == day)
                in << b;
        ASSERT_FALSE(in.isEmpty()) << day.toStdString();
        qint64 hi = 0, lo = LLONG_MAX, vol = 0;
        for (int i = 0; i < in.size(); ++i) {
            if (i > 0) {
                ASSERT_LT(in[i - 1].value("time"), in[i].value("time"));
            }
            EXPECT_EQ(in[i].value("time").size(), 6);
            hi = std::max(hi, N(in[i], "high"));
            lo = std::min(lo, N(in[i], "low"));
            vol += N(in[i], "jdiff_vol");
        }
        const TRow& d = day == "20261210" ? days[2] : days[1];
        EXPECT_EQ(in.first().value("time"), "090100") << "the opening print ends the first minute";
        EXPECT_EQ(N(in.first(), "open"), N(d, "open"));
        EXPECT_EQ(N(in.last(), "close"), N(d, "close"));
        EXPECT_EQ(hi, N(d, "high"));
        EXPECT_EQ(lo, N(d, "low"));
        EXPECT_EQ(vol, N(d, "jdiff_vol"));
        if (day == "20261209") {
            EXPECT_EQ(in.last().value("time"), "153000") << "the closing print is in the last minute";
            EXPECT_EQ(N(in.last(), "close"), N(q, "jnilclose"));
        } else {
            EXPECT_EQ(N(in.last(), "close"), N(q, "price"));
            EXPECT_EQ(vol, N(q, "volume"));
            EXPECT_LE(in.last().value("time"), "103100");
        }
    }
    EXPECT_EQ(One(r, "t8412OutBlock").value("cts_date"), QString()) << "two days fit one page";
}

TEST_F(SimHistoryTest, MinutePagesRunBackWithoutGapsOrRepeats)
{
    QStringList whole;
    for (const TRow& b : Rows(Minutes("000660", 2000, "3"), "t8412OutBlock1"))
        whole << b.value("date") + b.value("time") + ":" + b.value("close") + ":" + b.value("jdiff_vol");
    ASSERT_GT(whole.size(), 800);
    QStringList paged;
    QString cd, ct;
    int pages = 0;
    do {
        const TSimReply r = Minutes("000660", 150, "3", cd, ct);
        QStringList page;
        for (const TRow& b : Rows(r, "t8412OutBlock1"))
            page << b.value("date") + b.value("time") + ":" + b.value("close") + ":" + b.value("jdiff_vol");
        ASSERT_FALSE(page.isEmpty());
        if (!paged.isEmpty()) {
            ASSERT_LT(page.last(), paged.first()) << "older page";
        }
        paged = page + paged;
        cd = One(r, "t8412OutBlock").value("cts_date");
        ct = One(r, "t8412OutBlock").value("cts_time");
        ASSERT_LT(++pages, 50);
    } while (!cd.isEmpty());
    EXPECT_EQ(paged, whole);
    QSet<QString> days;
    for (const QString& k : whole)
        days.insert(k.left(8));
    EXPECT_EQ(days, (QSet<QString>{"20261208", "20261209", "20261210"}));
}

TEST_F(SimHistoryTest, MinuteBarsOfOneEarlierDayAndOfLongerUnits)
{
    // One business day ending at a Sunday: the Friday before.
    const QVector<TRow> fri = Rows(Minutes("005930", 2000, "1", {}, {}, "1", "20261206"), "t8412OutBlock1");
    ASSERT_FALSE(fri.isEmpty());
    for (const TRow& b : fri)
        ASSERT_EQ(b.value("date"), "20261204");
    const QVector<TRow> five = Rows(Minutes("005930", 2000, "1", {}, {}, "5", "20261206"), "t8412OutBlock1");
    ASSERT_FALSE(five.isEmpty());
    for (const TRow& g : five) {
        const int hhmm = g.value("time").left(4).toInt();
        ASSERT_EQ((hhmm / 100 * 60 + hhmm % 100) % 5, 0) << g.value("time").toStdString();
        qint64 vol = 0, hi = 0;
        QString first;
        for (const TRow& b : fri) {
            const int m = b.value("time").left(4).toInt();
            const int e = 5 * (((m / 100 * 60 + m % 100) - 1) / 5 + 1);
            if (e / 60 * 100 + e % 60 != hhmm)
                continue;
            if (first.isEmpty())
                first = b.value("open");
            vol += N(b, "jdiff_vol");
            hi = std::max(hi, N(b, "high"));
        }
        EXPECT_EQ(N(g, "jdiff_vol"), vol) << g.value("time").toStdString();
        EXPECT_EQ(N(g, "high"), hi);
        EXPECT_EQ(g.value("open"), first);
    }
}

TEST_F(SimHistoryTest, BeforeTheOpenMinuteBarsStartWithThePreviousDay)
{
    Start(QDateTime(QDate(2026, 12, 10), QTime(8, 30, 0)));
    const QVector<TRow> rows = Rows(Minutes("005930", 2000, "3"), "t8412OutBlock1");
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_EQ(rows.last().value("date"), "20261209");
    EXPECT_EQ(rows.first().value("date"), "20261208");
}

// ---- compressed answers ---------------------------------------------------------

TEST_F(SimHistoryTest, CompressedBlocksShowTheirRecordsOnlyAfterDecompress)
{
    TXASession* session = Backend->CreateSession(&Owner);
    ASSERT_TRUE(session->ConnectServer("h", 1));
    ASSERT_TRUE(session->Login(Cfg.UserId, Cfg.Password, "", 0));
    QElapsedTimer t;
    t.start();
    while (!Ex().IsLoggedIn() && t.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_TRUE(Ex().IsLoggedIn());

    TXAQuery* q = Backend->CreateQuery(&Owner);
    int got = 0;
    QObject::connect(q, &TXAQuery::ReceiveData, [&got](const QString&) { ++got; });
    auto send = [&](const QString& comp) {
        q->SetResFileName(Res("t8412"));
        for (auto [f, v] : {std::pair{"shcode", "005930"}, {"ncnt", "1"}, {"qrycnt", "100"}, {"nday", "1"},
                            {"edate", "20261210"}})
            q->SetFieldData("t8412InBlock", f, 0, v);
        q->SetFieldData("t8412InBlock", "comp_yn", 0, comp);
        const int before = got;
        ASSERT_GE(q->Request(false), 0);
        QElapsedTimer w;
        w.start();
        while (got == before && w.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ASSERT_GT(got, before);
    };
    send("Y");
    EXPECT_EQ(q->GetBlockCount("t8412OutBlock1"), 0);
    EXPECT_EQ(q->GetFieldData("t8412OutBlock1", "close", 0), QString());
    EXPECT_EQ(q->GetFieldData("t8412OutBlock", "shcode", 0), "005930") << "the single block is plain";
    const int n = q->Decompress("t8412OutBlock1");
    EXPECT_EQ(n, 90) << "09:01 .. 10:30";
    EXPECT_EQ(q->GetBlockCount("t8412OutBlock1"), n);
    EXPECT_FALSE(q->GetFieldData("t8412OutBlock1", "close", n - 1).isEmpty());
    EXPECT_EQ(q->Decompress("t8412OutBlockX"), -1);

    send("Y");   // a new answer is compressed again
    EXPECT_EQ(q->GetBlockCount("t8412OutBlock1"), 0);
    send("N");
    EXPECT_EQ(q->GetBlockCount("t8412OutBlock1"), 90);
    EXPECT_EQ(q->Decompress("t8412OutBlock1"), 90);
}

// ---- t1301 ------------------------------------------------------------------

TEST_F(SimHistoryTest, TicksRunNewestFirstWithCumulativeSidesAndPageToTheOpen)
{
    Start(QDateTime(QDate(2026, 12, 10), QTime(9, 6, 0)));
    const TRow q = Quote("005930");
    QVector<TRow> all;
    QString cts;
    int pages = 0;
    do {
        const TSimReply r = Ask("t1301", {{"shcode", "005930"}, {"cts_time", cts}});
        ASSERT_TRUE(r.HasData);
        const QVector<TRow> rows = Rows(r, "t1301OutBlock1");
        ASSERT_FALSE(rows.isEmpty());
        EXPECT_LE(rows.size(), 30);
        all += rows;
        cts = One(r, "t1301OutBlock").value("cts_time");
        ASSERT_LT(++pages, 500);
    } while (!cts.isEmpty());
    ASSERT_GT(pages, 2);
    EXPECT_EQ(N(all.first(), "price"), N(q, "price"));
    EXPECT_EQ(N(all.first(), "volume"), N(q, "volume"));
    for (int i = 0; i < all.size(); ++i) {
        const TRow& t = all[i];
        EXPECT_EQ(N(t, "msvolume") + N(t, "mdvolume"), N(t, "volume"));
        EXPECT_EQ(N(t, "revolume"), N(t, "msvolume") - N(t, "mdvolume"));
        if (i + 1 == all.size())
            break;
        const TRow& older = all[i + 1];
        // Each tick adds its own quantity to exactly one side: no gap, no repeat.
        ASSERT_EQ(N(t, "volume") - N(older, "volume"), N(t, "cvolume")) << i;
        const qint64 dms = N(t, "msvolume") - N(older, "msvolume"), dmd = N(t, "mdvolume") - N(older, "mdvolume");
        EXPECT_TRUE((dms == N(t, "cvolume") && dmd == 0) || (dmd == N(t, "cvolume") && dms == 0)) << i;
        EXPECT_GE(t.value("chetime"), older.value("chetime"));
    }
    EXPECT_EQ(all.last().value("chetime"), "090000");
    EXPECT_EQ(N(all.last(), "volume"), N(all.last(), "cvolume")) << "the opening print is the first trade";
}

TEST_F(SimHistoryTest, TicksFilterBySizeAndTime)
{
    const QVector<TRow> big = Rows(Ask("t1301", {{"shcode", "005930"}, {"cvolume", "5000"}}), "t1301OutBlock1");
    for (const TRow& t : big)
        EXPECT_GT(N(t, "cvolume"), 5000);  // strictly more than the size asked for
    const QVector<TRow> early =
        Rows(Ask("t1301", {{"shcode", "005930"}, {"starttime", "0910"}, {"endtime", "0914"}}), "t1301OutBlock1");
    ASSERT_FALSE(early.isEmpty());
    for (const TRow& t : early) {
        EXPECT_GE(t.value("chetime"), "091000");
        EXPECT_LT(t.value("chetime"), "091500");
    }
}

// ---- t1637 ------------------------------------------------------------------

TEST_F(SimHistoryTest, ProgramTradingRowsAreCumulativeAndPageByTime)
{
    const TRow q = Quote("005930");
    auto page = [&](const QString& time) {
        return Ask("t1637", {{"gubun1", "0"}, {"gubun2", "0"}, {"shcode", "005930"}, {"date", "20261210"},
                             {"time", time}, {"cts_idx", ""}, {"exchgubun", "U"}});
    };
    QVector<TRow> byKey;   // every row, page after page by the last row's time
    for (;;) {
        const TSimReply r = page(byKey.isEmpty() ? QString() : byKey.last().value("time"));
        EXPECT_EQ(One(r, "t1637OutBlock").value("cts_idx"), "0") << "cts_idx is only the chart flag";
        const QVector<TRow> rows = Rows(r, "t1637OutBlock1");
        if (rows.isEmpty())
            break;
        byKey += rows;
        ASSERT_LT(byKey.size(), 1000);
    }
    ASSERT_EQ(byKey.size(), 90) << "one row per minute 09:00 .. 10:29";
    EXPECT_EQ(N(byKey.first(), "price"), N(q, "price"));
    EXPECT_EQ(N(byKey.first(), "volume"), N(q, "volume"));
    // Named by the end of the minute: 09:00:xx is 090100, 10:29:xx is 103000.
    EXPECT_EQ(byKey.last().value("time"), "090100");
    EXPECT_EQ(byKey.first().value("time"), "103000");
    for (int i = 0; i < byKey.size(); ++i) {
        const TRow& r = byKey[i];
        EXPECT_EQ(N(r, "svolume"), N(r, "stksvolume") - N(r, "offervolume"));
        EXPECT_LE(N(r, "stksvolume") + N(r, "offervolume"), N(r, "volume"));
        if (i + 1 < byKey.size()) {
            const TRow& older = byKey[i + 1];
            ASSERT_GT(r.value("time"), older.value("time"));
            EXPECT_GE(N(r, "stksvolume"), N(older, "stksvolume"));
            EXPECT_GE(N(r, "offervolume"), N(older, "offervolume"));
        }
    }
    // A plausible share of the day's volume went through programs.
    const TRow& top = byKey.first();
    const double share = double(N(top, "stksvolume") + N(top, "offervolume")) / N(top, "volume");
    EXPECT_GT(share, 0.03);
    EXPECT_LT(share, 0.6);
    // The same question twice gives the same answer.
    EXPECT_EQ(Rows(page({}), "t1637OutBlock1").first(), byKey.first());
}

// ---- refusals -----------------------------------------------------------------

TEST_F(SimHistoryTest, BadInputsAreRefusedWithAMessage)
{
    struct Case {
        QString tr;
        TIn in;
        QString code;
    } cases[] = {
        {"t8410", {{"shcode", "999999"}, {"gubun", "2"}}, SimMsg::kUnknownStock},
        {"t8410", {{"shcode", "005930"}, {"gubun", "9"}}, SimMsg::kBadInput},
        {"t8410", {{"shcode", "005930"}, {"gubun", "2"}, {"qrycnt", "abc"}}, SimMsg::kBadInput},
        {"t8410", {{"shcode", "005930"}, {"gubun", "2"}, {"qrycnt", "501"}, {"comp_yn", "N"}}, SimMsg::kBadInput},
        {"t8410", {{"shcode", "005930"}, {"gubun", "2"}, {"edate", "20261301"}}, SimMsg::kBadInput},
        {"t8412", {{"shcode", "005930"}, {"ncnt", "0"}}, SimMsg::kBadInput},
        {"t8412", {{"shcode", "005930"}, {"cts_date", "20261209"}, {"cts_time", "ab"}}, SimMsg::kBadInput},
        {"t1301", {{"shcode", "005930"}, {"cts_time", "x1"}}, SimMsg::kBadInput},
        {"t1301", {{"shcode", ""}}, SimMsg::kUnknownStock},
        {"t1637", {{"shcode", "005930"}, {"gubun2", "1"}}, SimMsg::kNoService},
        {"t1637", {{"shcode", "005930"}, {"date", "2026"}}, SimMsg::kBadInput},
    };
    for (const Case& c : cases) {
        const TSimReply r = Ask(c.tr, c.in);
        EXPECT_FALSE(r.HasData) << c.tr.toStdString();
        ASSERT_EQ(r.Before.size(), 1) << c.tr.toStdString();
        EXPECT_EQ(r.Before[0].Code, c.code) << c.tr.toStdString() << " " << r.Before[0].Text.toStdString();
    }
    // 2000 records are allowed when compressed.
    EXPECT_TRUE(Ask("t8410", {{"shcode", "005930"}, {"gubun", "4"}, {"qrycnt", "2000"}, {"comp_yn", "Y"}}).HasData);
}

} // namespace
