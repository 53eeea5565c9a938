// Market-wide answers of the simulated exchange: the Korean indices by
// minute (t8409) and their paging, the overseas indices (t3521, t3518),
// investor flows that add up (t1601, t1602) and the ETN holdings document.
#include "SimAsk.h"
#include "broker/ResLayout.h"
#include "core/Clock.h"
#include "sim/SimBackend.h"
#include "sim/SimBoard.h"
#include "sim/SimExchange.h"
#include "sim/SimService.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>
#include <memory>

namespace {

using TFields = QMap<QString, QString>;

class SimBoardTest : public ::testing::Test {
protected:
    void SetUp() override { Start(QDateTime(QDate(2026, 12, 10), QTime(10, 30, 0))); }
    void Start(const QDateTime& at)
    {
        Clock = std::make_unique<TTestClock>(at);
        Cfg.PumpMs = 0;
        Cfg.AnswerDelayMs = 0;
        Cfg.RateLimits = false;
        Backend = CreateSimBackend(Cfg, *Clock);
    }
    TSimReply Ask(const QString& tr, const TFields& in, bool next = false) { return AskExchange(Backend->Exchange(), tr, in, next); }
    static QVector<TFields> Rows(const TSimReply& r, const QString& block) { return ReplyRows(r, block); }
    static TFields One(const TSimReply& r, const QString& block)
    {
        const QVector<TFields> rows = Rows(r, block);
        return rows.isEmpty() ? TFields() : rows.first();
    }
    TSimReply Idx(const QString& code, int n, const QString& ctsDate = {}, const QString& ctsTime = {}, bool next = false)
    {
        return Ask("t8409", {{"shcode", code}, {"ncnt", "1"}, {"qrycnt", QString::number(n)}, {"nday", "1"},
                             {"edate", "20261210"}, {"cts_date", ctsDate}, {"cts_time", ctsTime}, {"comp_yn", "N"}},
                   next);
    }
    TSimReply Flow(const QString& market, const QString& upcode, const QString& ex, const QString& cts = {}, bool next = false)
    {
        return Ask("t1602", {{"market", market}, {"upcode", upcode}, {"gubun1", "2"}, {"gubun2", "0"}, {"cts_time", cts},
                             {"cts_idx", ""}, {"cnt", "900"}, {"gubun3", ""}, {"exchgubun", ex}},
                   next);
    }

    TSimConfig Cfg;
    std::unique_ptr<TTestClock> Clock;
    std::unique_ptr<TSimBackend> Backend;
};

TEST_F(SimBoardTest, IndexMinutesPageBackwardsWithoutGapsAndEndOnTheDaysLastBar)
{
    const TSimReply all = Idx("001", 500);
    const QVector<TFields> bars = Rows(all, "t8409OutBlock1");
    ASSERT_EQ(bars.size(), 90);   // 09:01 .. 10:30
    EXPECT_EQ(bars.first()["time"], "090100");
    EXPECT_EQ(bars.last()["time"], "103000");
    const TFields head = One(all, "t8409OutBlock");
    const double prev = head["jiclose"].toDouble();
    EXPECT_GT(prev, 1500);
    EXPECT_LT(prev, 4000);
    EXPECT_TRUE(head["cts_date"].isEmpty());
    EXPECT_DOUBLE_EQ(head["diclose"].toDouble(), bars.last()["close"].toDouble());

    // Pages of 40 from the newest: the same bars, none twice.
    QStringList times;
    QString cd, ct;
    for (int page = 0; page < 5; ++page) {
        const TSimReply r = Idx("001", 40, cd, ct, page > 0);
        QStringList t;
        for (const TFields& b : Rows(r, "t8409OutBlock1"))
            t << b["time"];
        times = t + times;
        cd = One(r, "t8409OutBlock")["cts_date"];
        ct = One(r, "t8409OutBlock")["cts_time"];
        if (cd.isEmpty())
            break;
    }
    QStringList want;
    for (const TFields& b : bars)
        want << b["time"];
    EXPECT_EQ(times, want);

    // The KOSDAQ index is its own; a continuation without its key and an
    // unknown sector are refused.
    EXPECT_NE(One(Idx("301", 1), "t8409OutBlock")["jiclose"], head["jiclose"]);
    EXPECT_FALSE(Idx("001", 10, "", "", true).Before.isEmpty());
    EXPECT_FALSE(Idx("002", 10).Before.isEmpty());
}

TEST_F(SimBoardTest, IndexFollowsItsLargestStock)
{
    // Samsung Electronics dominates the KOSPI members: the index's move of
    // the day has the stock's sign whenever the stock moved clearly.
    const TFields q = One(Ask("t1101", {{"shcode", "005930"}}), "t1101OutBlock");
    const double diff = (q["price"].toDouble() / q["jnilclose"].toDouble() - 1) * 100;
    const TSimReply r = Idx("001", 1);
    const double prev = One(r, "t8409OutBlock")["jiclose"].toDouble();
    const double now = Rows(r, "t8409OutBlock1").last()["close"].toDouble();
    if (std::abs(diff) > 1.5) {
        EXPECT_EQ(diff > 0, now > prev) << diff;
    }
    EXPECT_LT(std::abs(now / prev - 1) * 100, 30);
}

TEST_F(SimBoardTest, InvestorTypesAddUpToZeroOnEveryExchange)
{
    QMap<QString, qint64> sum;   // exchange + block + type -> net
    for (const QString ex : {"K", "N", "U"}) {
        const TSimReply r = Ask("t1601", {{"gubun1", "2"}, {"gubun2", "2"}, {"gubun3", "1"}, {"gubun4", "2"}, {"exchgubun", ex}});
        for (const QString blk : {"t1601OutBlock1", "t1601OutBlock2"}) {
            const TFields f = One(r, blk);
            qint64 total = 0, inst = 0;
            for (const QString t : {"08", "17", "07", "18"})
                total += f["svolume_" + t].toLongLong();
            for (const QString t : {"01", "03", "04", "02", "05", "06", "11", "00"})
                inst += f["svolume_" + t].toLongLong();
            EXPECT_EQ(total, 0) << ex.toStdString() << blk.toStdString();
            EXPECT_EQ(inst, f["svolume_18"].toLongLong());
            EXPECT_EQ(f["ms_17"].toLongLong() - f["md_17"].toLongLong(), f["svolume_17"].toLongLong());
            EXPECT_NE(f["svolume_17"].toLongLong(), 0);
            for (const QString t : {"08", "17", "18"})
                sum[ex + blk + t] = f["svolume_" + t].toLongLong();
        }
    }
    // KRX and NXT together are the whole.
    for (const QString blk : {"t1601OutBlock1", "t1601OutBlock2"})
        for (const QString t : {"08", "17", "18"})
            EXPECT_EQ(sum["K" + blk + t] + sum["N" + blk + t], sum["U" + blk + t]);
}

TEST_F(SimBoardTest, FlowByMinutePagesToTheOpenAndEndsWhereTheDayStands)
{
    for (const auto& [market, upcode, block] : {std::tuple{"1", "001", "t1601OutBlock1"}, std::tuple{"3", "301", "t1601OutBlock2"}}) {
        QStringList times;
        QString cts;
        TFields newest;
        int pages = 0;
        for (; pages < 10; ++pages) {
            const TSimReply r = Flow(market, upcode, "K", cts, pages > 0);
            const QVector<TFields> rows = Rows(r, "t1602OutBlock1");
            ASSERT_FALSE(rows.isEmpty());
            ASSERT_LE(rows.size(), TSimBoard::kFlowRows);
            if (pages == 0)
                newest = rows.first();
            for (const TFields& row : rows)
                times << row["time"];
            cts = One(r, "t1602OutBlock")["cts_time"];
            if (cts.isEmpty())
                break;
        }
        EXPECT_EQ(times.size(), 90);
        EXPECT_EQ(times.first(), "10300000");   // newest first, hhmmss + two digits
        EXPECT_EQ(times.last(), "09010000");
        EXPECT_EQ(times.removeDuplicates(), 0);
        const TFields day = One(Ask("t1601", {{"gubun1", "2"}, {"gubun2", "2"}, {"gubun3", "1"}, {"gubun4", "2"}, {"exchgubun", "K"}}), block);
        EXPECT_EQ(newest["sv_17"], day["svolume_17"]);
        EXPECT_EQ(newest["sv_08"], day["svolume_08"]);
    }
    // "2" is KOSPI200 (upcode 101), not KOSDAQ.
    EXPECT_FALSE(Flow("2", "301", "K").Before.isEmpty());
    EXPECT_TRUE(Flow("2", "101", "K").Before.isEmpty());
    EXPECT_FALSE(Flow("1", "001", "K", "", true).Before.isEmpty());
}

TEST_F(SimBoardTest, OverseasIndexQuoteAndMinutes)
{
    // 10:30 in Korea: the New York session of the day before has closed.
    const TFields q = One(Ask("t3521", {{"kind", "S"}, {"symbol", "NAS@IXIC"}}), "t3521OutBlock");
    EXPECT_EQ(q["symbol"], "NAS@IXIC");
    EXPECT_EQ(q["date"], "20261209");
    const double close = q["close"].toDouble();
    EXPECT_GT(close, 5000);
    const double change = q["change"].toDouble() * (q["sign"] == "5" ? -1 : 1);
    EXPECT_NEAR(std::abs(change) / (close - change) * 100, q["diff"].toDouble(), 0.01);

    const TSimReply m = Ask("t3518", {{"kind", "S"}, {"symbol", "NAS@IXIC"}, {"cnt", "500"}, {"jgbn", "3"}, {"nmin", "1"}});
    const QVector<TFields> rows = Rows(m, "t3518OutBlock1");
    ASSERT_EQ(rows.size(), 390);
    EXPECT_EQ(rows.first()["time"], "16000000");
    EXPECT_EQ(rows.first()["kodate"], "20261210");
    EXPECT_EQ(rows.first()["kotime"], "060000");
    EXPECT_DOUBLE_EQ(rows.first()["price"].toDouble(), close);
    // The broker serves minutes of the NASDAQ only; days of every index.
    EXPECT_TRUE(Rows(Ask("t3518", {{"kind", "S"}, {"symbol", "DJI@DJI"}, {"cnt", "500"}, {"jgbn", "3"}, {"nmin", "1"}}), "t3518OutBlock1").isEmpty());
    EXPECT_EQ(Rows(Ask("t3518", {{"kind", "S"}, {"symbol", "DJI@DJI"}, {"cnt", "20"}, {"jgbn", "0"}}), "t3518OutBlock1").size(), 20);
    // An unknown symbol: an empty block.
    EXPECT_TRUE(One(Ask("t3521", {{"kind", "S"}, {"symbol", "XXX@YYY"}}), "t3521OutBlock")["symbol"].isEmpty());
}

TEST(SimEtnDocument, OneDayOneDocumentWithTheHistoryItComparesWith)
{
    const QByteArray a = SimEtnDocument(QDate(2026, 12, 10));
    EXPECT_EQ(a, SimEtnDocument(QDate(2026, 12, 10)));
    QJsonParseError err;
    const QJsonObject o = QJsonDocument::fromJson(a, &err).object();
    ASSERT_EQ(err.error, QJsonParseError::NoError);
    EXPECT_EQ(o["date"].toString(), "20261209");
    EXPECT_EQ(o["prev_date"].toString(), "20261208");
    const QJsonArray hist = o["hist"].toArray();
    ASSERT_EQ(hist.size(), 20);
    EXPECT_EQ(hist.last()["date"].toString(), "20261209");
    for (const char* key : {"kq_inv2x", "kq_lev", "semi_lev", "semi_inv", "ss_lev", "hx_lev", "kp_lev", "kp_inv2x", "kp_inv", "kq_inv"}) {
        const QJsonObject g = o["groups"][key].toObject();
        const qint64 inv = g["inv"].toInteger(), before = hist[18]["inv"][key].toInteger();
        EXPECT_GT(inv, 0) << key;
        EXPECT_EQ(inv, hist[19]["inv"][key].toInteger()) << key;
        EXPECT_EQ(g["chg"].toInteger(), inv - before) << key;
    }
    for (const QJsonValue& m : o["movers"].toArray())
        EXPECT_GE(std::llabs(m["chg"].toInteger()), 100000);
    for (const QJsonValue& l : o["lp_low"].toArray())
        EXPECT_GE(l["inv_pct"].toDouble(), 70);
    // Names read as Korean: issuer, note, "ETN" (a month of documents names
    // every issuer at least once).
    const QRegularExpression name(QStringLiteral("^(신한|삼성|미래에셋|한투|KB|NH) [가-힣0-9A-Z ]+ ETN$"));
    QSet<QString> issuers;
    for (int d = 0; d < 30; ++d)
        for (const QJsonValue& l : QJsonDocument::fromJson(SimEtnDocument(QDate(2026, 11, 1).addDays(d))).object()["lp_low"].toArray()) {
            const QRegularExpressionMatch m = name.match(l["name"].toString());
            ASSERT_TRUE(m.hasMatch()) << l["name"].toString().toStdString();
            issuers.insert(m.captured(1));
        }
    EXPECT_EQ(issuers.size(), 6);
    EXPECT_FALSE(o["notes"].toArray().isEmpty());
    // A Monday compares Friday with Thursday.
    const QJsonObject mon = QJsonDocument::fromJson(SimEtnDocument(QDate(2026, 12, 14))).object();
    EXPECT_EQ(mon["date"].toString(), "20261211");
    EXPECT_EQ(mon["prev_date"].toString(), "20261210");
}

TEST(SimEtnService, ServedAsJson)
{
    const TSimService svc(nullptr, nullptr);
    const TSimServiceReply r = svc.Get(QStringLiteral("/lumen/etn"));
    EXPECT_EQ(r.Status, 200);
    EXPECT_TRUE(r.ContentType.startsWith("application/json"));
    EXPECT_TRUE(QJsonDocument::fromJson(r.Body).isObject());
}

} // namespace
