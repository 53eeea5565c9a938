// Trading on the simulated exchange: order entry, fills on entry and
// against the market's later trades, modify and cancel, the order list and
// balance after them, order events, refusals, and the account state file.
#include "WaitFor.h"
#include "core/Clock.h"
#include "core/NumFmt.h"
#include "sim/SimAnswers.h"
#include "sim/SimBackend.h"
#include "sim/SimQuery.h"
#include "sim/SimReal.h"
#include "sim/SimTrading.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

const QString kCode = QStringLiteral("005930");

QString Res(const QString& code) { return QStringLiteral(KESTREL_RES_DIR) + code + QStringLiteral(".res"); }

QString Get(const TSimReply& r, const QString& block, const QString& field, int row = 0)
{
    const TSimBlockData* b = r.Block(block);
    if (!b || row >= b->Rows.size() || b->IndexOf(field) < 0)
        return QStringLiteral("<none>");
    return b->Rows[row][b->IndexOf(field)];
}

int Rows(const TSimReply& r, const QString& block)
{
    const TSimBlockData* b = r.Block(block);
    return b ? b->Rows.size() : -1;
}

QString MsgCode(const TSimReply& r) { return r.Before.isEmpty() ? QString() : r.Before[0].Code; }

// The order events one account feed received: each record's fields.
struct TFeedLog {
    QVector<QHash<QString, QString>> Recs;

    void Attach(TXAReal* r, const QStringList& fields)
    {
        QObject::connect(r, &TXAReal::ReceiveRealData, [this, r, fields](const QString&) {
            QHash<QString, QString> h;
            for (const QString& f : fields)
                h.insert(f, r->GetFieldData("OutBlock", f));
            Recs.append(h);
        });
    }
};

class SimTradingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Cfg.PumpMs = 0;
        Cfg.AnswerDelayMs = 0;
        Start();
    }

    void Start()
    {
        Backend.reset();
        Backend = CreateSimBackend(Cfg, Clock);
        Session = Backend->CreateSession(&Owner);
        ASSERT_TRUE(Session->ConnectServer("demo.local", 20001));
        QString code;
        QObject::connect(Session, &TXASession::LoginResult, [&code](const QString& c, const QString&) { code = c; });
        ASSERT_TRUE(Session->Login(Cfg.UserId, Cfg.Password, "", 0));
        ASSERT_TRUE(WaitFor([&] { return !code.isEmpty(); }));
    }

    TSimExchange& Ex() { return Backend->Exchange(); }
    TSimTrading& Tr() { return Ex().Trading(); }
    qint64 Held()
    {
        const TSimHolding* h = Ex().Account().Holding(kCode);
        return h ? h->Qty : 0;
    }

    TSimQuote Quote()
    {
        TSimQuote q;
        EXPECT_TRUE(Ex().Engine().Quote(kCode, &q));
        return q;
    }

    // A synchronous answer of `tr` with the block-1 inputs `fields`.
    TSimReply Ask(const QString& tr, const QHash<QString, QString>& fields)
    {
        TResLayout layout;
        EXPECT_TRUE(LoadResLayout(Res(tr), layout));
        const QString ib = tr.startsWith('t') ? tr + "InBlock" : tr + "InBlock1";
        TSimInputs in;
        for (auto it = fields.cbegin(); it != fields.cend(); ++it)
            in.insert(TSimExchange::InputKey(ib, it.key(), 0), it.value());
        return Ex().Answer(tr, layout, in);
    }

    QHash<QString, QString> NewOrder(char side, qint64 qty, int price, const QString& code = kCode)
    {
        return {{"AcntNo", Cfg.AccountNo}, {"InptPwd", Cfg.AccountPw}, {"IsuNo", code},
                {"OrdQty", QString::number(qty)}, {"OrdPrc", QString::number(price)},
                {"BnsTpCode", QString(QLatin1Char(side))}, {"OrdprcPtnCode", "00"},
                {"MgntrnCode", "000"}, {"OrdCndiTpCode", "0"}, {"MbrNo", "KRX"}};
    }
    TSimReply Place(char side, qint64 qty, int price) { return Ask("CSPAT00600", NewOrder(side, qty, price)); }
    TSimReply Modify(qint64 org, qint64 qty, int price)
    {
        return Ask("CSPAT00700", {{"OrgOrdNo", QString::number(org)}, {"AcntNo", Cfg.AccountNo},
                                  {"InptPwd", Cfg.AccountPw}, {"IsuNo", kCode}, {"OrdQty", QString::number(qty)},
                                  {"OrdprcPtnCode", "00"}, {"OrdCndiTpCode", "0"}, {"OrdPrc", QString::number(price)}});
    }
    TSimReply Cancel(qint64 org, qint64 qty)
    {
        return Ask("CSPAT00800", {{"OrgOrdNo", QString::number(org)}, {"AcntNo", Cfg.AccountNo},
                                  {"InptPwd", Cfg.AccountPw}, {"IsuNo", kCode}, {"OrdQty", QString::number(qty)}});
    }
    TSimReply List(const QString& chegb, const QString& code = {}, const QString& cts = {}, const QString& sortgb = "1")
    {
        return Ask("t0425", {{"accno", Cfg.AccountNo}, {"passwd", Cfg.AccountPw}, {"expcode", code},
                             {"chegb", chegb}, {"medosu", "0"}, {"sortgb", sortgb}, {"cts_ordno", cts}});
    }
    TSimReply Balance()
    {
        return Ask("CSPAQ12300", {{"RecCnt", "1"}, {"AcntNo", Cfg.AccountNo}, {"Pwd", Cfg.AccountPw},
                                  {"BalCreTp", "0"}, {"CmsnAppTpCode", "0"}, {"D2balBaseQryTp", "1"},
                                  {"UprcTpCode", "0"}});
    }
    static qint64 OrdNo(const TSimReply& r) { return Get(r, "CSPAT00600OutBlock2", "OrdNo").toLongLong(); }

    // A market trade of kCode handed to the matcher, `ms` after the clock.
    void MarketTrade(int price, qint64 qty, int ms = 1000)
    {
        TSimTrade t;
        t.TimeMs = Clock.Now().time().msecsSinceStartOfDay() + ms;
        t.Price = price;
        t.Qty = qty;
        FVol += qty;
        t.Volume = FVol;
        Tr().OnMarketTrade(kCode, t);
    }
    qint64 FVol = 1000000000;   // the day's cumulative volume of the made-up trades

    TTestClock Clock;   // Thursday 2026-12-10 09:30:00, market open
    TSimConfig Cfg;
    std::unique_ptr<TSimBackend> Backend;
    QObject Owner;
    TXASession* Session = nullptr;
};

TEST_F(SimTradingTest, AcceptedOrderRestsAnswersMessageThenDataAndIsListedUnfilled)
{
    TXAReal* sc0 = Backend->CreateReal(&Owner);
    sc0->SetResFileName(Res("SC0"));
    sc0->AdviseRealData();
    TFeedLog log0;
    log0.Attach(sc0, {"ordno", "ordchegb", "shtcode", "hname", "ordqty", "ordprice", "bnstp"});

    const TSimQuote q = Quote();
    const int price = TickDown(TickDown(q.Book.Bid[0]));
    TXAQuery* qo = Backend->CreateQuery(&Owner);
    qo->SetResFileName(Res("CSPAT00600"));
    for (auto [k, v] : NewOrder('2', 10, price).asKeyValueRange())
        qo->SetFieldData("CSPAT00600InBlock1", k, 0, v);
    QStringList events;
    QObject::connect(qo, &TXAQuery::ReceiveMessage, [&](bool, const QString& c, const QString& m) {
        events << "msg:" + c + ":" + m + ":sc0=" + QString::number(log0.Recs.size());
    });
    QObject::connect(qo, &TXAQuery::ReceiveData, [&](const QString& tr) { events << "data:" + tr; });
    ASSERT_GE(qo->Request(false), 0);
    ASSERT_TRUE(WaitFor([&] { return events.size() >= 2 && log0.Recs.size() == 1; }));
    EXPECT_EQ(events[0], QString::fromUtf8("msg:00040:매수 주문이 완료되었습니다.:sc0=0")) << "the order event follows the answer";
    EXPECT_EQ(events[1], "data:CSPAT00600");
    const QString ordNo = qo->GetFieldData("CSPAT00600OutBlock2", "OrdNo", 0);
    EXPECT_GT(ordNo.toLongLong(), 0);
    EXPECT_EQ(qo->GetFieldData("CSPAT00600OutBlock2", "ShtnIsuNo", 0), "A" + kCode);
    EXPECT_EQ(qo->GetFieldData("CSPAT00600OutBlock2", "IsuNm", 0), q.Name);
    EXPECT_EQ(qo->GetFieldData("CSPAT00600OutBlock2", "OrdAmt", 0), QString::number(10LL * price));
    EXPECT_EQ(qo->GetFieldData("CSPAT00600OutBlock1", "OrdQty", 0), "10");
    EXPECT_EQ(qo->GetFieldData("CSPAT00600OutBlock1", "OrdPrc", 0), QString::number(price) + ".00");
    EXPECT_EQ(qo->GetFieldData("CSPAT00600OutBlock1", "BnsTpCode", 0), "2");

    const auto& e = log0.Recs[0];
    EXPECT_EQ(e["ordno"], ordNo);
    EXPECT_EQ(e["ordchegb"], "01");
    EXPECT_EQ(e["shtcode"], "A" + kCode);
    EXPECT_EQ(e["hname"], q.Name);
    EXPECT_EQ(e["ordqty"], "10");
    EXPECT_EQ(e["ordprice"], QString::number(price));
    EXPECT_EQ(e["bnstp"], "2");

    const TSimReply l = List("2");
    ASSERT_EQ(Rows(l, "t0425OutBlock1"), 1);
    EXPECT_EQ(Get(l, "t0425OutBlock1", "ordno"), ordNo);
    EXPECT_EQ(Get(l, "t0425OutBlock1", "expcode"), kCode);
    EXPECT_EQ(Get(l, "t0425OutBlock1", "medosu"), QString::fromUtf8("매수"));
    EXPECT_EQ(Get(l, "t0425OutBlock1", "ordgb"), QString::fromUtf8("보통"));
    EXPECT_EQ(Get(l, "t0425OutBlock1", "price"), QString::number(price));
    EXPECT_EQ(Get(l, "t0425OutBlock1", "ordrem"), "10");
    EXPECT_EQ(Get(l, "t0425OutBlock1", "cheqty"), "0");
    EXPECT_EQ(Get(l, "t0425OutBlock1", "status"), QString::fromUtf8("접수"));
    EXPECT_EQ(Get(l, "t0425OutBlock1", "ordtime").left(4), "0930");
    EXPECT_EQ(Rows(List("1"), "t0425OutBlock1"), 0) << "nothing filled yet";

    // The open buy holds back its cost from the orderable cash, not from the deposit.
    const TSimReply b = Balance();
    const qint64 reserve = TSimTrading::BuyReserve(10, price);
    EXPECT_EQ(Get(b, "CSPAQ12300OutBlock2", "Dps"), QString::number(Cfg.StartCash));
    EXPECT_EQ(Get(b, "CSPAQ12300OutBlock2", "MnyOrdAbleAmt"), QString::number(Cfg.StartCash - reserve));
    EXPECT_EQ(Rows(b, "CSPAQ12300OutBlock3"), 0);
}

TEST_F(SimTradingTest, MarketableBuyFillsAtTheShownAsksAndRestsTheRest)
{
    Cfg.StartCash = 1000000000000LL;   // enough for two whole ask levels
    Start();
    TXAReal* sc1 = Backend->CreateReal(&Owner);
    sc1->SetResFileName(Res("SC1"));
    sc1->AdviseRealData();
    TFeedLog fills;
    fills.Attach(sc1, {"Isunm", "execqty", "execprc", "bnstp", "shtnIsuno", "ordno", "unercqty", "ordxctptncode",
                       "secbalqty", "deposit"});

    const TSimQuote q = Quote();
    ASSERT_GT(q.Book.Ask[1], 0);
    const qint64 want = q.Book.AskQ[0] + q.Book.AskQ[1] + 5;
    const TSimReply r = Place('2', want, q.Book.Ask[1]);
    ASSERT_EQ(MsgCode(r), SimMsg::kBuyDone);
    const qint64 no = OrdNo(r);
    Ex().Flush();
    ASSERT_EQ(fills.Recs.size(), 2) << "one fill per ask level";
    const qint64 amt = q.Book.AskQ[0] * q.Book.Ask[0] + q.Book.AskQ[1] * q.Book.Ask[1];
    const qint64 fee = TSimTrading::Fee(q.Book.AskQ[0] * q.Book.Ask[0]) + TSimTrading::Fee(q.Book.AskQ[1] * q.Book.Ask[1]);
    for (int i = 0; i < 2; ++i) {
        const auto& f = fills.Recs[i];
        EXPECT_EQ(f["Isunm"], q.Name);
        EXPECT_EQ(f["execqty"], QString::number(q.Book.AskQ[i]));
        EXPECT_EQ(f["execprc"], QString::number(q.Book.Ask[i]));
        EXPECT_EQ(f["bnstp"], "2");
        EXPECT_EQ(f["shtnIsuno"], "A" + kCode);
        EXPECT_EQ(f["ordno"], QString::number(no));
        EXPECT_EQ(f["ordxctptncode"], "11");
    }
    EXPECT_EQ(fills.Recs[1]["unercqty"], "5");
    EXPECT_EQ(fills.Recs[1]["secbalqty"], QString::number(want - 5));
    EXPECT_EQ(fills.Recs[1]["deposit"], QString::number(Cfg.StartCash - amt - fee));

    // Partly filled: listed among both the unfilled and the filled orders.
    const TSimReply un = List("2");
    ASSERT_EQ(Rows(un, "t0425OutBlock1"), 1);
    EXPECT_EQ(Get(un, "t0425OutBlock1", "ordrem"), "5");
    EXPECT_EQ(Get(un, "t0425OutBlock1", "cheqty"), QString::number(want - 5));
    EXPECT_EQ(Get(un, "t0425OutBlock1", "cheprice"), QString::number(qRound64(double(amt) / (want - 5))));
    EXPECT_EQ(Get(un, "t0425OutBlock1", "status"), QString::fromUtf8("부분체결"));
    EXPECT_EQ(Rows(List("1"), "t0425OutBlock1"), 1);
    EXPECT_EQ(Get(List("1"), "t0425OutBlock", "tmsamt"), QString::number(amt));
    EXPECT_EQ(Get(List("1"), "t0425OutBlock", "cmss"), QString::number(fee));

    const TSimReply b = Balance();
    ASSERT_EQ(Rows(b, "CSPAQ12300OutBlock3"), 1);
    EXPECT_EQ(Get(b, "CSPAQ12300OutBlock3", "IsuNo"), "A" + kCode);
    EXPECT_EQ(Get(b, "CSPAQ12300OutBlock3", "BnsBaseBalQty"), QString::number(want - 5));
    EXPECT_EQ(Get(b, "CSPAQ12300OutBlock3", "AvrUprc").toDouble(), std::round(double(amt) / (want - 5) * 100) / 100);
    EXPECT_EQ(Get(b, "CSPAQ12300OutBlock2", "Dps"), QString::number(Cfg.StartCash - amt - fee));
    EXPECT_EQ(Get(b, "CSPAQ12300OutBlock2", "MnyOrdAbleAmt"),
              QString::number(Cfg.StartCash - amt - fee - TSimTrading::BuyReserve(5, q.Book.Ask[1])));

    // Selling part of it back at the bid: proceeds less fee and tax, the average stays.
    fills.Recs.clear();
    const TSimQuote q2 = Quote();
    const qint64 sellQty = qMin<qint64>(3, q2.Book.BidQ[0]);
    ASSERT_EQ(MsgCode(Place('1', sellQty, q2.Book.Bid[0])), SimMsg::kSellDone);
    Ex().Flush();
    ASSERT_EQ(fills.Recs.size(), 1);
    EXPECT_EQ(fills.Recs[0]["bnstp"], "1");
    const qint64 sAmt = sellQty * q2.Book.Bid[0];
    EXPECT_EQ(Ex().Account().Cash(), Cfg.StartCash - amt - fee + sAmt - TSimTrading::Fee(sAmt) - TSimTrading::SellTax(sAmt));
    EXPECT_EQ(Held(), want - 5 - sellQty);
    ASSERT_NE(Ex().Account().Holding(kCode), nullptr);
    EXPECT_DOUBLE_EQ(Ex().Account().Holding(kCode)->AvgPrice, double(amt) / (want - 5));
}

TEST_F(SimTradingTest, RestingOrdersFillAtTheirLimitWhenTheMarketReachesIt)
{
    const TSimQuote q = Quote();
    const int p = TickDown(TickDown(q.Book.Bid[0]));
    const qint64 a = OrdNo(Place('2', 10, p));
    const qint64 b = OrdNo(Place('2', 10, p));
    const qint64 low = OrdNo(Place('2', 10, TickDown(p)));
    ASSERT_TRUE(a > 0 && b > a && low > b);

    MarketTrade(TickUp(p), 100);   // above every limit: nothing
    EXPECT_EQ(Tr().Order(a)->Filled, 0);
    MarketTrade(p, 4);             // at the limit: the trade's 4 shares, oldest order first
    EXPECT_EQ(Tr().Order(a)->Filled, 4);
    EXPECT_EQ(Tr().Order(b)->Filled, 0);
    MarketTrade(p, 8);
    EXPECT_EQ(Tr().Order(a)->Filled, 10);
    EXPECT_EQ(Tr().Order(b)->Filled, 2);
    EXPECT_EQ(Tr().Order(low)->Filled, 0);
    MarketTrade(TickDown(TickDown(p)), 1);   // through every limit: all of what remains, at the limit
    EXPECT_EQ(Tr().Order(b)->Filled, 10);
    EXPECT_EQ(Tr().Order(low)->Filled, 10);
    EXPECT_EQ(Tr().Order(low)->FillAmt, 10LL * TickDown(p));
    EXPECT_EQ(Held(), 30);

    // A trade from before an order was taken never fills it.
    const qint64 late = OrdNo(Place('2', 1, p));
    MarketTrade(TickDown(p), 1, -1000);
    EXPECT_EQ(Tr().Order(late)->Filled, 0);
}

TEST_F(SimTradingTest, RestingBuyFillsWhenTheSimulatedMarketTradesDownToIt)
{
    TXAReal* sc1 = Backend->CreateReal(&Owner);
    sc1->SetResFileName(Res("SC1"));
    sc1->AdviseRealData();
    TFeedLog fills;
    fills.Attach(sc1, {"execqty", "execprc", "ordno"});
    TXAReal* s3 = Backend->CreateReal(&Owner);   // the market's trades, to check against
    s3->SetResFileName(Res("S3_"));
    s3->SetFieldData("InBlock", "shcode", kCode);
    s3->AdviseRealData();
    int minTraded = INT_MAX;
    QObject::connect(s3, &TXAReal::ReceiveRealData, [&](const QString&) {
        minTraded = qMin(minTraded, s3->GetFieldData("OutBlock", "price").toInt());
    });

    const TSimQuote q = Quote();
    const int limit = q.Book.Bid[0];
    const qint64 no = OrdNo(Place('2', 20, limit));
    ASSERT_GT(no, 0);
    Ex().Flush();
    ASSERT_TRUE(fills.Recs.isEmpty()) << "below the ask: it rests";
    for (int s = 0; s < 3600 && Tr().Order(no)->Rem() > 0; ++s) {
        Clock.Advance(1000);
        Ex().Pump();
    }
    ASSERT_EQ(Tr().Order(no)->Rem(), 0) << "the market came down to the bid within an hour";
    ASSERT_FALSE(fills.Recs.isEmpty());
    qint64 total = 0;
    for (const auto& f : fills.Recs) {
        EXPECT_EQ(f["ordno"], QString::number(no));
        EXPECT_EQ(f["execprc"], QString::number(limit));
        total += f["execqty"].toLongLong();
    }
    EXPECT_EQ(total, 20);
    EXPECT_LE(minTraded, limit);
    EXPECT_EQ(Held(), 20);
}

TEST_F(SimTradingTest, RestingOrderFillsFromTheTradesMissedWhileTheProgramWasClosed)
{
    QTemporaryDir dir;
    Cfg.StatePath = dir.filePath("account.json");
    Start();
    const int limit = Quote().Book.Bid[0];
    const qint64 no = OrdNo(Place('2', 20, limit));
    ASSERT_EQ(Tr().Order(no)->Filled, 0);
    Backend.reset();
    Clock.Advance(3600 * 1000);
    Start();
    // The stock's day is replayed up to the clock, and its trades after the order reach it.
    ASSERT_NE(Tr().Order(no), nullptr);
    EXPECT_EQ(Tr().Order(no)->Filled, 20);
    EXPECT_EQ(Tr().Order(no)->FillAmt, 20LL * limit);
    ASSERT_NE(Ex().Account().Holding(kCode), nullptr);
    EXPECT_EQ(Held(), 20);
    const TSimAccount saved(Cfg.StatePath);
    ASSERT_NE(saved.Holding(kCode), nullptr) << "and saved";
    EXPECT_EQ(saved.Holding(kCode)->Qty, 20);
}

TEST_F(SimTradingTest, ModifyMovesTheRemainderUnderANewNumberBehindTheQueue)
{
    TXAReal* sc3 = Backend->CreateReal(&Owner);
    sc3->SetResFileName(Res("SC3"));
    sc3->AdviseRealData();
    TFeedLog log3;
    log3.Attach(sc3, {"ordno", "orgordno", "ordxctptncode", "mdfycnfqty", "mdfycnfprc", "canccnfqty"});

    const TSimQuote q = Quote();
    const int p = TickDown(TickDown(q.Book.Bid[0]));
    const qint64 a = OrdNo(Place('2', 10, p));
    const qint64 b = OrdNo(Place('2', 10, p));
    MarketTrade(p, 3);   // a first: 3 filled, 7 left
    ASSERT_EQ(Tr().Order(a)->Filled, 3);
    ASSERT_EQ(Tr().Order(b)->Filled, 0);

    const TSimReply m = Modify(a, 10, p);   // more than remains: the 7 left move, to the same price
    ASSERT_EQ(MsgCode(m), SimMsg::kModifyDone) << m.Before.value(0).Text.toStdString();
    EXPECT_EQ(m.Before[0].Text, QString::fromUtf8("정정 주문이 완료되었습니다."));
    const qint64 a2 = Get(m, "CSPAT00700OutBlock2", "OrdNo").toLongLong();
    EXPECT_GT(a2, b);
    EXPECT_EQ(Get(m, "CSPAT00700OutBlock2", "PrntOrdNo"), QString::number(a));
    EXPECT_EQ(Get(m, "CSPAT00700OutBlock1", "OrgOrdNo"), QString::number(a));
    EXPECT_EQ(Tr().Order(a)->Rem(), 0);
    EXPECT_EQ(Tr().Order(a2)->Rem(), 7);
    EXPECT_EQ(Tr().Order(a2)->Price, p);

    MarketTrade(p, 10);   // b is now ahead: it takes the whole trade
    EXPECT_EQ(Tr().Order(b)->Filled, 10);
    EXPECT_EQ(Tr().Order(a2)->Filled, 0);

    Ex().Flush();
    ASSERT_EQ(log3.Recs.size(), 1);
    EXPECT_EQ(log3.Recs[0]["ordxctptncode"], "12");
    EXPECT_EQ(log3.Recs[0]["ordno"], QString::number(a2));
    EXPECT_EQ(log3.Recs[0]["orgordno"], QString::number(a));
    EXPECT_EQ(log3.Recs[0]["mdfycnfqty"], "7");
    EXPECT_EQ(log3.Recs[0]["mdfycnfprc"], QString::number(p));

    const TSimReply un = List("2", "A" + kCode);
    ASSERT_EQ(Rows(un, "t0425OutBlock1"), 1);
    EXPECT_EQ(Get(un, "t0425OutBlock1", "ordno"), QString::number(a2));
    EXPECT_EQ(Get(un, "t0425OutBlock1", "ordgb"), QString::fromUtf8("정정"));
    EXPECT_EQ(Get(un, "t0425OutBlock1", "orgordno"), QString::number(a));

    // Cancel the rest: the order leaves the unfilled list, the cancel itself is listed.
    const TSimReply c = Cancel(a2, 7);
    ASSERT_EQ(MsgCode(c), SimMsg::kCancelDone);
    EXPECT_EQ(c.Before[0].Text, QString::fromUtf8("취소주문이 완료되었습니다."));
    const qint64 cx = Get(c, "CSPAT00800OutBlock2", "OrdNo").toLongLong();
    EXPECT_EQ(Get(c, "CSPAT00800OutBlock2", "PrntOrdNo"), QString::number(a2));
    EXPECT_EQ(Rows(List("2"), "t0425OutBlock1"), 0);
    const TSimReply all = List("0", {}, {}, "2");
    ASSERT_EQ(Rows(all, "t0425OutBlock1"), 4);
    EXPECT_EQ(Get(all, "t0425OutBlock1", "ordno", 3), QString::number(cx));
    EXPECT_EQ(Get(all, "t0425OutBlock1", "ordgb", 3), QString::fromUtf8("취소"));
    EXPECT_EQ(Get(all, "t0425OutBlock1", "ordrem", 3), "0");
    EXPECT_EQ(Tr().OrderableCash(), Ex().Account().Cash()) << "nothing held back any more";
    Ex().Flush();
    ASSERT_EQ(log3.Recs.size(), 2);
    EXPECT_EQ(log3.Recs[1]["ordxctptncode"], "13");
    EXPECT_EQ(log3.Recs[1]["canccnfqty"], "7");
}

TEST_F(SimTradingTest, OrderListPagesByOrderNumber)
{
    Cfg.OrderListRows = 2;
    Start();
    const int p = TickDown(TickDown(Quote().Book.Bid[0]));
    QVector<qint64> nos;
    for (int i = 0; i < 5; ++i)
        nos << OrdNo(Place('2', 1, p));
    QStringList seen;
    QString cts;
    for (int page = 0; page < 5; ++page) {
        const TSimReply r = List("2", {}, cts);
        for (int i = 0; i < Rows(r, "t0425OutBlock1"); ++i)
            seen << Get(r, "t0425OutBlock1", "ordno", i);
        EXPECT_EQ(Get(r, "t0425OutBlock", "tqty"), "5") << "totals cover every page";
        cts = Get(r, "t0425OutBlock", "cts_ordno");
        if (cts.isEmpty())
            break;
    }
    QStringList want;
    for (int i = 4; i >= 0; --i)
        want << QString::number(nos[i]);
    EXPECT_EQ(seen, want);
}

TEST_F(SimTradingTest, RefusedOrdersGetACodeAndMessageAndChangeNothing)
{
    const TSimQuote q = Quote();
    Ex().Account().SetHolding(kCode, 10, 70000);
    const int bid = q.Book.Bid[0];
    const TSimDayInfo d = Ex().Engine().DayInfo(kCode);
    const qint64 open = OrdNo(Place('1', 8, d.UpLimit));   // 8 of 10 offered, never filled
    ASSERT_GT(open, 0);
    const qint64 filled = OrdNo(Place('1', 1, bid));
    ASSERT_EQ(Tr().Order(filled)->Rem(), 0);

    auto order = [&](char side, qint64 qty, int price) { return NewOrder(side, qty, price); };
    auto with = [](QHash<QString, QString> h, const QString& k, const QString& v) {
        h[k] = v;
        return h;
    };
    struct TCase {
        const char* Name;
        QString Tr;
        QHash<QString, QString> In;
        QString Code;
    };
    const auto modify = [&](qint64 org, qint64 qty, const QString& price) {
        return QHash<QString, QString>{{"OrgOrdNo", QString::number(org)}, {"AcntNo", Cfg.AccountNo},
                                       {"InptPwd", Cfg.AccountPw}, {"IsuNo", kCode}, {"OrdQty", QString::number(qty)},
                                       {"OrdprcPtnCode", "00"}, {"OrdPrc", price}};
    };
    const auto cancel = [&](qint64 org, qint64 qty) {
        return QHash<QString, QString>{{"OrgOrdNo", QString::number(org)}, {"AcntNo", Cfg.AccountNo},
                                       {"InptPwd", Cfg.AccountPw}, {"IsuNo", kCode}, {"OrdQty", QString::number(qty)}};
    };
    const TCase cases[] = {
        {"off the tick grid", "CSPAT00600", order('2', 1, bid + 1), SimMsg::kOrdTick},
        {"above the upper limit", "CSPAT00600", order('2', 1, TickUp(d.UpLimit)), SimMsg::kOrdUpLimit},
        {"below the lower limit", "CSPAT00600", order('2', 1, TickDown(d.DnLimit)), SimMsg::kOrdDnLimit},
        {"zero quantity", "CSPAT00600", order('2', 0, bid), SimMsg::kOrdQty},
        {"negative quantity", "CSPAT00600", order('2', -5, bid), SimMsg::kOrdQty},
        {"absurd quantity (cost would overflow)", "CSPAT00600", with(order('2', 1, bid), "OrdQty", "9000000000000000000"), SimMsg::kOrdQty},
        {"quantity not a number", "CSPAT00600", with(order('2', 1, bid), "OrdQty", "ten"), SimMsg::kOrdQty},
        {"price with won fractions", "CSPAT00600", with(order('2', 1, bid), "OrdPrc", "70000.5"), SimMsg::kOrdPrice},
        {"price zero", "CSPAT00600", order('2', 1, 0), SimMsg::kOrdPrice},
        {"sell more than sellable (10 held, 8 offered)", "CSPAT00600", order('1', 3, bid), SimMsg::kOrdNoShares},
        {"sell what is not held", "CSPAT00600", NewOrder('1', 1, 40000, "035720"), SimMsg::kOrdNoShares},
        {"buy beyond the cash", "CSPAT00600", order('2', Ex().Account().Cash() / bid + 1, bid), SimMsg::kOrdNoCash},
        {"unknown stock", "CSPAT00600", NewOrder('2', 1, 1000, "999999"), SimMsg::kUnknownStock},
        {"wrong account password", "CSPAT00600", with(order('2', 1, bid), "InptPwd", "9999"), SimMsg::kBadAcctPw},
        {"unknown account", "CSPAT00600", with(order('2', 1, bid), "AcntNo", "12345678901"), SimMsg::kUnknownAcct},
        {"the empty second account", "CSPAT00600", with(order('2', 1, bid), "AcntNo", Cfg.ExtraAccountNo), SimMsg::kUnknownAcct},
        {"side not 1 or 2", "CSPAT00600", with(order('2', 1, bid), "BnsTpCode", "3"), SimMsg::kOrdSide},
        {"market order", "CSPAT00600", with(order('2', 1, bid), "OrdprcPtnCode", "03"), SimMsg::kOrdPriceType},
        {"modify an unknown order", "CSPAT00700", modify(999999, 1, QString::number(bid)), SimMsg::kOrdUnknown},
        {"modify a filled order", "CSPAT00700", modify(filled, 1, QString::number(bid)), SimMsg::kOrdNothingLeft},
        {"modify off the grid", "CSPAT00700", modify(open, 8, QString::number(bid + 1)), SimMsg::kOrdTick},
        {"modify with another stock", "CSPAT00700", with(modify(open, 8, QString::number(bid)), "IsuNo", "035720"), SimMsg::kOrdOtherStock},
        {"modify with a wrong password", "CSPAT00700", with(modify(open, 8, QString::number(bid)), "InptPwd", "1"), SimMsg::kBadAcctPw},
        {"cancel an unknown order", "CSPAT00800", cancel(999999, 1), SimMsg::kOrdUnknown},
        {"cancel a filled order", "CSPAT00800", cancel(filled, 1), SimMsg::kOrdNothingLeft},
        {"cancel zero shares", "CSPAT00800", cancel(open, 0), SimMsg::kOrdQty},
    };
    Ex().Flush();
    for (const TCase& c : cases) {
        const QByteArray before = Ex().Account().ToJson();
        const TSimReply r = Ask(c.Tr, c.In);
        EXPECT_EQ(MsgCode(r), c.Code) << c.Name;
        ASSERT_EQ(r.Before.size(), 1) << c.Name;
        EXPECT_FALSE(r.Before[0].Text.trimmed().isEmpty()) << c.Name;
        for (const QString& ok : {SimMsg::kBuyDone, SimMsg::kSellDone, SimMsg::kModifyDone, SimMsg::kCancelDone})
            EXPECT_NE(r.Before[0].Code, ok) << c.Name;
        EXPECT_FALSE(r.HasData) << c.Name;
        EXPECT_TRUE(r.Blocks.isEmpty()) << c.Name;
        EXPECT_EQ(Ex().Account().ToJson(), before) << c.Name;
        EXPECT_EQ(Ex().Pending(), 0) << c.Name << ": no order event";
    }

    // After the session nothing new is taken; a cancel still is.
    Clock.Advance(7 * 3600 * 1000);   // 16:30
    EXPECT_EQ(MsgCode(Place('2', 1, bid)), SimMsg::kOrdClosed);
    EXPECT_EQ(MsgCode(Ask("CSPAT00700", modify(open, 8, QString::number(bid)))), SimMsg::kOrdClosed);
    EXPECT_EQ(MsgCode(Cancel(open, 8)), SimMsg::kCancelDone);
}

TEST_F(SimTradingTest, AccountOrdersAndFillsSurviveARestartAndExpireWithTheDay)
{
    QTemporaryDir dir;
    Cfg.StatePath = dir.filePath("account.json");
    Start();
    const TSimQuote q = Quote();
    const qint64 bought = qMin<qint64>(5, q.Book.AskQ[0]);
    const qint64 f = OrdNo(Place('2', bought, q.Book.Ask[0]));
    const int low = TickDown(TickDown(q.Book.Bid[0]));
    const qint64 rest = OrdNo(Place('2', 10, low));
    ASSERT_EQ(Tr().Order(f)->Filled, bought);
    const qint64 cash = Ex().Account().Cash();
    ASSERT_LT(cash, Cfg.StartCash);

    Start();   // a new exchange on the same state file
    EXPECT_TRUE(Ex().StartupProblems().isEmpty());
    EXPECT_EQ(Ex().Account().Cash(), cash);
    ASSERT_NE(Ex().Account().Holding(kCode), nullptr);
    EXPECT_EQ(Held(), bought);
    const TSimReply fills = List("1");
    ASSERT_EQ(Rows(fills, "t0425OutBlock1"), 1);
    EXPECT_EQ(Get(fills, "t0425OutBlock1", "ordno"), QString::number(f));
    EXPECT_EQ(Get(fills, "t0425OutBlock1", "cheqty"), QString::number(bought));
    const TSimReply un = List("2");
    ASSERT_EQ(Rows(un, "t0425OutBlock1"), 1);
    EXPECT_EQ(Get(un, "t0425OutBlock1", "ordno"), QString::number(rest));
    EXPECT_EQ(Tr().OrderableCash(), cash - TSimTrading::BuyReserve(10, low)) << "the resting buy still holds cash back";
    const qint64 more = OrdNo(Place('2', 1, TickDown(low)));
    EXPECT_GT(more, rest) << "order numbers go on";

    // The resting order is still matched after the restart.
    MarketTrade(low, 100);
    EXPECT_EQ(Tr().Order(rest)->Filled, 10);
    EXPECT_EQ(Tr().Order(more)->Filled, 0);
    Start();
    EXPECT_EQ(Held(), bought + 10);
    EXPECT_EQ(Tr().Order(more)->Rem(), 1);

    // Next trading day: open orders expire, holdings stay.
    Clock.Advance(24LL * 3600 * 1000);
    EXPECT_EQ(Rows(List("0"), "t0425OutBlock1"), 0);
    EXPECT_EQ(Held(), bought + 10);
    EXPECT_EQ(Tr().OrderableCash(), Ex().Account().Cash());
}

TEST_F(SimTradingTest, DayJournalAndBalanceShowTodaysCostsAndRealizedProfit)
{
    const TSimQuote q = Quote();
    const int p = TickDown(TickDown(q.Book.Bid[0]));
    const int p2 = TickUp(TickUp(q.Book.Ask[0]));
    OrdNo(Place('2', 10, p));
    MarketTrade(TickDown(p), 1);   // bought 10 at p
    OrdNo(Place('1', 4, p2));
    MarketTrade(p2, 100, 2000);    // sold 4 at p2
    ASSERT_EQ(Held(), 6);
    const qint64 bAmt = 10LL * p, sAmt = 4LL * p2;
    const qint64 bFee = TSimTrading::Fee(bAmt), sFee = TSimTrading::Fee(sAmt), sTax = TSimTrading::SellTax(sAmt);

    const TSimReply j = Ask("t0150", {{"accno", Cfg.AccountNo}});
    ASSERT_EQ(Rows(j, "t0150OutBlock1"), 2);
    EXPECT_EQ(Get(j, "t0150OutBlock1", "medosu", 0), QString::fromUtf8("매도"));
    EXPECT_EQ(Get(j, "t0150OutBlock1", "expcode", 0), kCode);
    EXPECT_EQ(Get(j, "t0150OutBlock1", "qty", 0), "4");
    EXPECT_EQ(Get(j, "t0150OutBlock1", "amt", 0), QString::number(sAmt));
    EXPECT_EQ(Get(j, "t0150OutBlock1", "fee", 0), QString::number(sFee));
    EXPECT_EQ(Get(j, "t0150OutBlock1", "tax", 0), QString::number(sTax));
    EXPECT_EQ(Get(j, "t0150OutBlock1", "medosu", 1), QString::fromUtf8("매수"));
    EXPECT_EQ(Get(j, "t0150OutBlock1", "fee", 1), QString::number(bFee));
    EXPECT_EQ(Get(j, "t0150OutBlock1", "tax", 1), "0");
    EXPECT_EQ(Get(j, "t0150OutBlock", "tfee"), QString::number(bFee + sFee));
    EXPECT_TRUE(Get(j, "t0150OutBlock", "cts_expcode").isEmpty());

    const TSimReply b = Ask("t0424", {{"accno", Cfg.AccountNo}, {"passwd", Cfg.AccountPw}, {"prcgb", "1"},
                                      {"chegb", "0"}, {"dangb", "0"}, {"charge", "1"}});
    EXPECT_EQ(Get(b, "t0424OutBlock", "dtsunik"), QString::number(sAmt - sFee - sTax - 4LL * p));
    EXPECT_TRUE(Get(b, "t0424OutBlock", "cts_expcode").isEmpty());
    ASSERT_EQ(Rows(b, "t0424OutBlock1"), 1);
    EXPECT_EQ(Get(b, "t0424OutBlock1", "expcode"), kCode);
    EXPECT_EQ(Get(b, "t0424OutBlock1", "janqty"), "6");
    EXPECT_EQ(Get(b, "t0424OutBlock1", "pamt"), QString::number(p));
    EXPECT_EQ(Get(b, "t0424OutBlock1", "msat"), QString::number(bAmt));
    EXPECT_EQ(Get(b, "t0424OutBlock1", "mdat"), QString::number(sAmt));
    EXPECT_EQ(MsgCode(Ask("t0424", {{"accno", Cfg.AccountNo}, {"passwd", "1"}})), SimMsg::kBadAcctPw);
    EXPECT_EQ(MsgCode(Ask("t0150", {{"accno", "999"}})), SimMsg::kUnknownAcct);
}

TEST(SimAccountOrdersTest, InconsistentOrdersInTheStateFileAreSetAside)
{
    const QByteArray bad[] = {
        R"({"version":1,"cash":100,"ordersDate":"2026-12-10","orders":[{"no":1}]})",
        R"({"version":1,"cash":100,"ordersDate":"2026-12-10","nextOrdNo":5,"orders":[{"no":1,"org":0,"kind":"new","code":"005930","side":"2","price":100,"qty":5,"filled":6,"fillAmt":0,"moved":0,"timeMs":0,"fee":0,"tax":0}]})",
        R"({"version":1,"cash":100,"ordersDate":"2026-12-10","nextOrdNo":1,"orders":[{"no":1,"org":0,"kind":"new","code":"005930","side":"2","price":100,"qty":5,"filled":0,"fillAmt":0,"moved":0,"timeMs":0,"fee":0,"tax":0}]})",
        R"({"version":1,"cash":100,"ordersDate":"2026-12-10","orders":[{"no":1,"org":0,"kind":"sideways","code":"005930","side":"2","price":100,"qty":5,"filled":0,"fillAmt":0,"moved":0,"timeMs":0,"fee":0,"tax":0}]})",
    };
    for (const QByteArray& text : bad) {
        QTemporaryDir dir;
        const QString path = dir.filePath("account.json");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        TSimAccount a(path);
        EXPECT_FALSE(a.LoadProblem().isEmpty()) << text.constData();
        EXPECT_TRUE(a.Orders().isEmpty());
        EXPECT_FALSE(a.SetAsidePath().isEmpty());
    }
}

} // namespace

// Before the open a buy at the upper limit waits for the opening print and
// pays the print's price, as every order in the auction does.
TEST_F(SimTradingTest, OpeningPrintFillsAtTheAuctionPrice)
{
    Clock.Advance((24 * 60 - 40) * 60 * 1000LL);   // Friday 08:50
    TSimQuote q = Quote();
    ASSERT_EQ(q.Phase, TSessionPhase::PreOpen);
    const qint64 no = OrdNo(Place('2', 3, q.UpLimit));
    ASSERT_EQ(Tr().Order(no)->Filled, 0);
    for (int s = 0; s < 3600 && Tr().Order(no)->Rem() > 0; ++s) {
        Clock.Advance(1000);
        Ex().Pump();
    }
    q = Quote();
    ASSERT_GT(q.Open, 0);
    ASSERT_LT(q.Open, q.UpLimit);
    ASSERT_EQ(Tr().Order(no)->Filled, 3);
    EXPECT_EQ(Tr().Order(no)->FillAmt, 3LL * q.Open);
}

// A restart replays the day's trades to the resting orders: those that
// already filled part of an order must not fill it again.
TEST_F(SimTradingTest, RestartDoesNotRefillAPartlyFilledOrder)
{
    QTemporaryDir dir;
    Cfg.StatePath = dir.filePath("account.json");
    Start();
    const TSimQuote q = Quote();
    const int limit = q.Book.Bid[0];
    const qint64 qty = qMin<qint64>(Ex().Account().Cash() / limit / 2, 5000);
    const qint64 no = OrdNo(Place('2', qty, limit));
    for (int s = 0; s < 3600 && Tr().Order(no)->Filled == 0; ++s) {
        Clock.Advance(1000);
        Ex().Pump();
    }
    const TSimOrder before = *Tr().Order(no);
    ASSERT_GT(before.Filled, 0) << "the market came down to the bid within an hour";
    ASSERT_GT(before.Rem(), 0) << "one trade did not fill all of it";
    const qint64 cash = Ex().Account().Cash();

    Start();   // same clock, same state file: the day is replayed up to now
    ASSERT_NE(Tr().Order(no), nullptr);
    EXPECT_EQ(Tr().Order(no)->Filled, before.Filled);
    EXPECT_EQ(Ex().Account().Cash(), cash);
    EXPECT_EQ(Held(), before.Filled);
}
