// The simulated market lists: the service host's short-sale ban and buyback
// documents, the rankings (t1441, t1463, t1466) with their paging, and the
// member firms of t1102.
#include "SimAsk.h"

#include "core/Clock.h"
#include "sim/DailyModel.h"
#include "sim/SimBackend.h"
#include "sim/SimExchange.h"
#include "sim/SimLists.h"
#include "sim/SimService.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <gtest/gtest.h>
#include <memory>

namespace {

class SimListsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clock = std::make_unique<TTestClock>(QDateTime(QDate(2026, 12, 10), QTime(10, 30, 0)));
        Cfg.PumpMs = 0;
        Cfg.AnswerDelayMs = 0;
        Cfg.RateLimits = false;
        Backend = CreateSimBackend(Cfg, *Clock);
    }
    TSimExchange& Ex() { return Backend->Exchange(); }
    QJsonArray Items(const QByteArray& body)
    {
        const QJsonDocument d = QJsonDocument::fromJson(body);
        EXPECT_TRUE(d.isObject());
        return d.object().value(QStringLiteral("items")).toArray();
    }
    std::unique_ptr<TTestClock> Clock;
    TSimConfig Cfg;
    std::unique_ptr<TSimBackend> Backend;
};

}  // namespace

TEST_F(SimListsTest, BanListNamesStocksThatFellHard)
{
    const TSimListsSetup setup = TSimListsSetup::Of(Ex().Engine());
    const QDate day(2026, 12, 10);
    const QByteArray body = TSimLists::MakeShortBan(setup, day);
    EXPECT_EQ(body, TSimLists::MakeShortBan(setup, day));   // the same day, the same list
    EXPECT_NE(body, TSimLists::MakeShortBan(setup, day.addDays(-7)));
    // A weekend shows Friday's list.
    EXPECT_EQ(TSimLists::MakeShortBan(setup, QDate(2026, 12, 12)), TSimLists::MakeShortBan(setup, QDate(2026, 12, 11)));

    const QJsonArray items = Items(body);
    ASSERT_GT(items.size(), 3);
    ASSERT_LE(items.size(), TSimLists::kMaxBans);
    const TDailyModel& daily = Ex().Engine().Daily();
    int listed = 0;
    for (const QJsonValue& v : items) {
        const QJsonObject o = v.toObject();
        const QString code = o.value("code").toString();
        const TSimStock* s = Ex().Engine().Universe().Find(code);
        ASSERT_TRUE(s) << code.toStdString();
        EXPECT_EQ(o.value("name").toString(), s->Name);
        // A close at least 3 % down on one of the ten trading days before.
        const QVector<QPair<QDate, int>> c = daily.Closes(*s, day.addDays(-20), PrevTradingDay(day));
        double worst = 0;
        for (int i = int(c.size()) - 10; i < c.size(); ++i)
            worst = std::min(worst, 100.0 * (double(c[i].second) / c[i - 1].second - 1.0));
        EXPECT_LE(worst, TSimLists::kBanFallPct) << code.toStdString();
        const QString status = o.value("status").toString();
        EXPECT_TRUE(QStringList({"신규", "연장", "금지중", "해제"}).contains(status)) << status.toStdString();
        if (status == QStringLiteral("신규") || status == QStringLiteral("연장"))
            EXPECT_EQ(o.value("last_ban").toString(), QStringLiteral("20261210"));
        listed += status != QStringLiteral("해제");
        // The score is the number of reasons given.
        EXPECT_EQ(o.value("score").toInt(), o.value("parts").toObject().size());
        EXPECT_EQ(o.value("price").toInt(), c.last().second);
    }
    EXPECT_GT(listed, 0);
}

TEST_F(SimListsTest, BuybacksFitTheirStocks)
{
    const TSimListsSetup setup = TSimListsSetup::Of(Ex().Engine());
    const QDate day(2026, 12, 10);
    const QByteArray body = TSimLists::MakeBuyback(setup, day);
    EXPECT_EQ(body, TSimLists::MakeBuyback(setup, day));
    const QJsonObject root = QJsonDocument::fromJson(body).object();
    EXPECT_EQ(root.value("date").toString(), QStringLiteral("20261210"));
    const QJsonArray items = root.value("items").toArray();
    ASSERT_GE(items.size(), 10);
    QSet<QString> codes;
    int picks = 0;
    for (const QJsonValue& v : items) {
        const QJsonObject o = v.toObject();
        const QString code = o.value("code").toString();
        const TSimStock* s = Ex().Engine().Universe().Find(code);
        ASSERT_TRUE(s) << code.toStdString();
        EXPECT_FALSE(s->Etf);
        EXPECT_FALSE(codes.contains(code));
        codes.insert(code);
        const double qty = o.value("qty").toDouble(), avg20 = o.value("avg20").toDouble();
        // Within a usual day's volume: 2 .. 35 % of the 20-day average.
        EXPECT_GE(qty, 100);
        EXPECT_LE(qty, avg20 * 0.35 + 10);
        EXPECT_NEAR(avg20, double(s->PrevVolume), double(s->PrevVolume) * 2.0);
        const int close = Ex().Engine().Daily().Close(*s, PrevTradingDay(day));
        EXPECT_EQ(o.value("amount").toDouble(), qty * close);
        const bool pick = o.value("pick").toBool();
        picks += pick;
        if (pick) {
            EXPECT_EQ(o.value("side").toString(), QStringLiteral("매수"));
            EXPECT_EQ(o.value("how").toString(), QStringLiteral("직접"));
            EXPECT_GE(o.value("ratio").toDouble(), 10.0);
        }
        if (o.contains("total"))
            EXPECT_EQ(o.value("cum").toDouble() + o.value("remain").toDouble(), o.value("total").toDouble());
    }
    EXPECT_GT(picks, 0);
}

TEST_F(SimListsTest, ServiceServesBothLists)
{
    const TSimService svc(Ex());
    for (const char* path : {"/lumen/shortban", "/lumen/pub?n=buyback"}) {
        const TSimServiceReply r = svc.Get(QString::fromLatin1(path));
        EXPECT_EQ(r.Status, 200) << path;
        EXPECT_TRUE(r.ContentType.startsWith("application/json")) << path;
        EXPECT_FALSE(Items(r.Body).isEmpty()) << path;
    }
    EXPECT_EQ(svc.Get(QStringLiteral("/lumen/pub?n=nothing")).Status, 404);
}

TEST_F(SimListsTest, RankingsOrderedFilteredAndPaged)
{
    struct Case {
        const char* tr;
        TIn in;
        const char* key;   // the field the rows are ordered by
        bool descending;
    };
    const Case cases[] = {
        {"t1441", {{"gubun1", "0"}, {"gubun2", "0"}}, "diff", true},
        {"t1441", {{"gubun1", "2"}, {"gubun2", "1"}}, "diff", false},
        {"t1463", {{"gubun", "1"}, {"jnilgubun", "0"}}, "value", true},
        {"t1466", {{"gubun", "0"}, {"type1", "1"}, {"type2", "0"}}, "voldiff", true},
    };
    for (const Case& c : cases) {
        const QString tr = QString::fromLatin1(c.tr);
        QVector<TRow> all;
        QString idx;
        int pages = 0;
        do {
            TIn in = c.in;
            in.insert("idx", idx);
            const TSimReply r = AskExchange(Ex(), tr, in, !idx.isEmpty());
            const QVector<TRow> head = ReplyRows(r, tr + "OutBlock");
            ASSERT_EQ(head.size(), 1) << c.tr;
            const QVector<TRow> rows = ReplyRows(r, tr + "OutBlock1");
            ASSERT_LE(rows.size(), 20);
            all += rows;
            idx = head[0].value("idx");
            if (idx == QLatin1String("0"))
                idx.clear();
            ASSERT_LE(++pages, 6);
        } while (!idx.isEmpty());
        ASSERT_EQ(all.size(), 100) << c.tr;   // five pages of twenty
        QSet<QString> codes;
        for (int i = 0; i < all.size(); ++i) {
            const TRow& row = all[i];
            EXPECT_FALSE(codes.contains(row.value("shcode"))) << c.tr;   // pages neither repeat nor overlap
            codes.insert(row.value("shcode"));
            const TSimStock* s = Ex().Engine().Universe().Find(row.value("shcode"));
            ASSERT_TRUE(s);
            if (c.in.value("gubun1") == "2")
                EXPECT_EQ(s->Market, TSimMarket::Kosdaq);
            if (c.in.value("gubun") == "1")
                EXPECT_EQ(s->Market, TSimMarket::Kospi);
            if (tr == "t1466")
                EXPECT_GT(row.value("stdvolume").toLongLong(), 0);
            if (i > 0) {
                const double a = all[i - 1].value(c.key).toDouble(), b = row.value(c.key).toDouble();
                EXPECT_TRUE(c.descending ? a >= b : a <= b) << c.tr << " row " << i;
            }
            // A fall is signed 4 or 5 with the rate's minus sign.
            if (row.value("diff").toDouble() < 0)
                EXPECT_TRUE(row.value("sign") == "4" || row.value("sign") == "5");
        }
    }
    const TSimReply bad = AskExchange(Ex(), "t1441", {{"gubun1", "0"}, {"gubun2", "0"}, {"idx", "abc"}});
    EXPECT_FALSE(bad.HasData);
}

TEST_F(SimListsTest, SubscribedStockRankedWithItsQuote)
{
    Ex().Engine().Subscribe(QStringLiteral("005930"));
    TSimQuote q;
    ASSERT_TRUE(Ex().Engine().Quote(QStringLiteral("005930"), &q));
    const TSimReply r = AskExchange(Ex(), "t1463", {{"gubun", "0"}, {"jnilgubun", "0"}});
    for (const TRow& row : ReplyRows(r, "t1463OutBlock1"))
        if (row.value("shcode") == "005930") {
            EXPECT_EQ(row.value("price").toInt(), q.Price);
            EXPECT_EQ(row.value("volume").toLongLong(), q.Volume);
        }
}

TEST_F(SimListsTest, BrokerTopFiveFitsTheDaysVolume)
{
    const TSimReply r = AskExchange(Ex(), "t1102", {{"shcode", "005930"}});
    const QVector<TRow> rows = ReplyRows(r, "t1102OutBlock");
    ASSERT_EQ(rows.size(), 1);
    const TRow& a = rows[0];
    const qint64 volume = a.value("volume").toLongLong();
    ASSERT_GT(volume, 0);
    for (const char* side : {"d", "s"}) {
        const QString name = QString::fromLatin1(side) == "d" ? "offerno" : "bidno";
        qint64 sum = 0, prev = volume;
        QSet<QString> firms;
        for (int k = 1; k <= 5; ++k) {
            const QString n = QString::number(k);
            EXPECT_FALSE(a.value(name + n).isEmpty());
            EXPECT_FALSE(firms.contains(a.value(name + n)));
            firms.insert(a.value(name + n));
            const qint64 v = a.value(QString::fromLatin1(side) + "vol" + n).toLongLong();
            EXPECT_LE(v, prev);   // largest first
            EXPECT_GE(a.value(QString::fromLatin1(side) + "cha" + n).toLongLong(), 0);
            EXPECT_LE(a.value(QString::fromLatin1(side) + "cha" + n).toLongLong(), v);
            prev = v;
            sum += v;
        }
        EXPECT_LE(sum, volume);
        EXPECT_GT(sum, volume / 10);
    }
    EXPECT_LE(a.value("fwdvl").toLongLong(), volume);
    EXPECT_GT(a.value("fwsvl").toLongLong(), 0);
    // The same stock and day keep their firms.
    const QVector<TRow> again = ReplyRows(AskExchange(Ex(), "t1102", {{"shcode", "005930"}}), "t1102OutBlock");
    EXPECT_EQ(again[0].value("offerno1"), a.value("offerno1"));
}
