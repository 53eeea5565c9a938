// The local stand-in for the broker's open API, driven through the program's
// own REST and WebSocket clients against a simulated exchange on a test
// clock: tokens, transactions answered from the exchange, the account filled
// in, order events as frames, continuation, and every fault switch.
#include "broker/EventLoop.h"
#include "FakeBroker.h"
#include "broker/RestAuth.h"
#include "broker/RestClient.h"
#include "broker/RestToken.h"
#include "broker/RestTr.h"
#include "broker/WsFeed.h"
#include "broker/WsFrame.h"
#include "core/Clock.h"
#include "sim/SimBackend.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QSslSocket>
#include <QWebSocket>
#include <gtest/gtest.h>
#include <memory>

namespace {

QString Res(const QString& tr) { return QStringLiteral(KESTREL_RES_DIR) + tr + QStringLiteral(".res"); }

TResLayout LayoutOf(const QString& tr)
{
    TResLayout l;
    EXPECT_TRUE(LoadResLayout(Res(tr), l)) << tr.toStdString();
    return l;
}

// An order layout as the REST API names its blocks (CSPAT00601OutBlock1).
TResLayout RestOrderLayout(const QString& simTr, const QString& restTr)
{
    TResLayout l = LayoutOf(simTr);
    for (TResBlock& b : l.Blocks)
        b.Name.replace(simTr, restTr);
    return l;
}

struct TAnswer {
    TRestReply Reply;
    TRestAnswer Parsed;
    bool Readable = false;
    QString Field(const QString& block, const QString& field, int row = 0) const
    {
        const TTrBlock* b = Parsed.Block(block);
        return b && row < b->Rows.size() && b->IndexOf(field) >= 0 ? b->Rows[row][b->IndexOf(field)] : QString();
    }
    int Rows(const QString& block) const
    {
        const TTrBlock* b = Parsed.Block(block);
        return b ? int(b->Rows.size()) : 0;
    }
};

QByteArray Obj(const QJsonObject& o) { return QJsonDocument(o).toJson(QJsonDocument::Compact); }

class FakeBrokerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Cfg.PumpMs = 0;
        Cfg.AnswerDelayMs = 0;
        Cfg.OrderListRows = 2;
        Sim = CreateSimBackend(Cfg, Clock);
        Sim->Exchange().SetPastInBackground(false);
        Broker = std::make_unique<TFakeBroker>(*Sim, QStringLiteral(KESTREL_RES_DIR));
        QString err;
        ASSERT_TRUE(Broker->Listen(0, 0, {}, {}, &err)) << err.toStdString();
        Rest = std::make_unique<TRestClient>(Broker->RestBase());
        Rest->TrustCertificate(TFakeBroker::DefaultCertificate());
    }

    // A token issued through the program's own token client.
    QString IssueToken()
    {
        TRestAuth auth(Rest.get());
        QSignalSpy issued(&auth, &TRestAuth::Issued), failed(&auth, &TRestAuth::Failed);
        auth.Issue(QStringLiteral("fake-app-key"), QStringLiteral("fake-app-secret"));
        EXPECT_TRUE(Until([&] { return issued.size() + failed.size() > 0; }));
        return auth.Token();
    }

    TRestReply Post(const QString& path, const QString& trCd, const QByteArray& body, const QString& token,
                    const TRestCont& cont = {})
    {
        TRestReply out;
        bool done = false;
        Rest->PostTr(path, trCd, token, cont, body, [&](const TRestReply& r) {
            out = r;
            done = true;
        });
        EXPECT_TRUE(Until([&] { return done; })) << trCd.toStdString();
        return out;
    }

    // Transaction `simTr` with `body`, read back with `layout`.
    TAnswer Tr(const QString& simTr, const QByteArray& body, const TResLayout& layout, const TRestCont& cont = {})
    {
        const TRestRoute route = RestRouteOf(simTr);
        TAnswer a;
        a.Reply = Post(route.Path, route.Code, body, Token, cont);
        QString err;
        a.Readable = ParseRestAnswer(a.Reply.Body, layout, a.Parsed, &err);
        return a;
    }

    TAnswer Quote(const QString& code = QStringLiteral("005930"))
    {
        TRestInputs in;
        in.Set("t1101InBlock", "shcode", 0, code);
        const TResLayout l = LayoutOf("t1101");
        return Tr("t1101", RestRequestBody(l, in, nullptr), l);
    }

    // A new order as the program sends it: no account, no password, "A" + code.
    TAnswer Order(char side, qint64 qty, qint64 price)
    {
        const QJsonObject in{{"IsuNo", "A005930"},   {"OrdQty", qty},          {"OrdPrc", double(price)},
                             {"BnsTpCode", QString(QLatin1Char(side))}, {"OrdprcPtnCode", "00"},
                             {"MgntrnCode", "000"},  {"LoanDt", ""},           {"OrdCndiTpCode", "0"}};
        return Tr("CSPAT00600", Obj({{"CSPAT00601InBlock1", in}}), RestOrderLayout("CSPAT00600", "CSPAT00601"));
    }

    std::unique_ptr<TWsFeed> OpenFeed()
    {
        auto feed = std::make_unique<TWsFeed>(Broker->WsUrl());
        feed->TrustCertificate(TFakeBroker::DefaultCertificate());
        feed->SetFirstPauseMs(50);
        feed->SetToken(Token);
        return feed;
    }

    // Brings the simulated market on until `frames` data frames of `tr` went out.
    bool PumpUntil(const QString& tr, int frames)
    {
        for (int i = 0; i < 200 && Broker->FramesSent(tr) < frames; ++i) {
            Clock.Advance(1000);
            Sim->Exchange().Pump();
            QCoreApplication::processEvents();
        }
        return Broker->FramesSent(tr) >= frames;
    }

    TTestClock Clock;   // Thursday 2026-12-10 09:30, market open
    TSimConfig Cfg;
    std::unique_ptr<TSimBackend> Sim;
    std::unique_ptr<TFakeBroker> Broker;
    std::unique_ptr<TRestClient> Rest;
    QString Token;
};

} // namespace

TEST_F(FakeBrokerTest, TokensAreIssuedForTheRightKeyRefusedForAWrongOneAndDieWhenRevokedOrExpired)
{
    {
        TRestAuth bad(Rest.get());
        QSignalSpy failed(&bad, &TRestAuth::Failed);
        bad.Issue("fake-app-key", "wrong-secret");
        ASSERT_TRUE(Until([&] { return failed.size() == 1; }));
        EXPECT_TRUE(failed[0][0].toString().contains("HTTP 401")) << failed[0][0].toString().toStdString();
    }
    EXPECT_EQ(Broker->TokensIssued(), 0);

    TRestAuth auth(Rest.get());
    QSignalSpy issued(&auth, &TRestAuth::Issued);
    auth.Issue("fake-app-key", "fake-app-secret");
    ASSERT_TRUE(Until([&] { return issued.size() == 1; }));
    Token = auth.Token();
    EXPECT_GE(Token.size(), 16);
    EXPECT_EQ(Broker->TokensIssued(), 1);
    EXPECT_EQ(Quote().Reply.Http, 200);

    bool revoked = false;
    auth.Revoke([&] { revoked = true; });
    ASSERT_TRUE(Until([&] { return revoked; }));
    EXPECT_EQ(Broker->TokensRevoked(), 1);
    TAnswer dead = Quote();
    EXPECT_EQ(dead.Reply.Http, 500);
    EXPECT_EQ(dead.Parsed.Code, "IGW00121");
    EXPECT_EQ(RestFaultOf(dead.Reply.Http, dead.Parsed.Code, dead.Parsed.Msg), TRestFault::Token);

    // Expired: every token issued so far, until a new one is.
    Token = IssueToken();
    EXPECT_EQ(Quote().Reply.Http, 200);
    Broker->ExpireTokens();
    EXPECT_EQ(Quote().Parsed.Code, "IGW00121");
    Token = IssueToken();
    EXPECT_EQ(Quote().Reply.Http, 200);
}

TEST_F(FakeBrokerTest, QuoteIsAnsweredFromTheExchangeWithNumbersAsNumbersAndTheRequestKept)
{
    Token = IssueToken();
    const TAnswer a = Quote();
    ASSERT_EQ(a.Reply.Http, 200) << a.Reply.Body.toStdString();
    ASSERT_TRUE(a.Readable);
    EXPECT_EQ(a.Parsed.Code, "00000");
    EXPECT_FALSE(a.Reply.Cont.More);
    TSimQuote q;
    ASSERT_TRUE(Sim->Exchange().Engine().Quote("005930", &q));
    EXPECT_EQ(a.Field("t1101OutBlock", "hname"), q.Name);
    EXPECT_EQ(a.Field("t1101OutBlock", "offerho1"), QString::number(q.Book.Ask[0]));
    const QJsonObject raw = QJsonDocument::fromJson(a.Reply.Body).object()["t1101OutBlock"].toObject();
    EXPECT_TRUE(raw["price"].isDouble()) << "a numeric field goes as a JSON number";
    EXPECT_TRUE(raw["hname"].isString());

    ASSERT_EQ(Broker->Requests().size(), 1);
    const TFakeBroker::TSeen& seen = Broker->Requests()[0];
    EXPECT_EQ(seen.Path, "/stock/market-data");
    EXPECT_EQ(seen.TrCd, "t1101");
    EXPECT_EQ(seen.TrCont, "N");
    EXPECT_EQ(seen.Auth, "Bearer " + Token);
    EXPECT_EQ(Broker->Pending(), 0);
}

TEST_F(FakeBrokerTest, GatewayRefusesWrongRequestsWithItsCodes)
{
    Token = IssueToken();
    const QByteArray quote = R"({"t1101InBlock":{"shcode":"005930"}})";
    const struct {
        const char* Name;
        QString Path, TrCd;
        QByteArray Body;
        QString Token;
        QString Code;
        TRestFault Fault;
    } cases[] = {
        {"path of another group", "/stock/chart", "t1101", quote, Token, "IGW00215", TRestFault::Request},
        {"a code the exchange lacks", "/indtp/market-data", "t1514", "{}", Token, "IGW00215", TRestFault::Request},
        {"no token", "/stock/market-data", "t1101", quote, "", "IGW00121", TRestFault::Token},
        {"unknown token", "/stock/market-data", "t1101", quote, "forged", "IGW00121", TRestFault::Token},
        {"body not JSON", "/stock/market-data", "t1101", "{\"t1101InBlock\":", Token, "IGW40011", TRestFault::Request},
        {"number sent as text", "/stock/chart", "t8410",
         R"({"t8410InBlock":{"shcode":"005930","gubun":"2","qrycnt":"20","sdate":"","edate":"99999999"}})", Token,
         "IGW40011", TRestFault::Request},
    };
    for (const auto& c : cases) {
        const TRestReply r = Post(c.Path, c.TrCd, c.Body, c.Token);
        TRestAnswer a;
        ASSERT_TRUE(ParseRestAnswer(r.Body, TResLayout(), a, nullptr)) << c.Name;
        EXPECT_EQ(r.Http, 500) << c.Name;
        EXPECT_EQ(a.Code, c.Code) << c.Name;
        EXPECT_FALSE(a.Msg.isEmpty()) << c.Name;
        EXPECT_EQ(RestFaultOf(r.Http, a.Code, a.Msg), c.Fault) << c.Name;
    }
    EXPECT_EQ(Post("/nowhere", "", "{}", Token).Http, 404);
}

TEST_F(FakeBrokerTest, OrderFillsInTheSimulatedAccountAndItsFillArrivesAsAFrame)
{
    Token = IssueToken();
    auto feed = OpenFeed();
    QSignalSpy rec(feed.get(), &TWsFeed::Record);
    feed->Subscribe("SC1", "");
    feed->Open();
    ASSERT_TRUE(Until([&] { return Broker->Subscriptions() == 1; }));

    const QString ask = Quote().Field("t1101OutBlock", "offerho1");
    ASSERT_GT(ask.toInt(), 0);
    const TAnswer a = Order('2', 1, ask.toInt());
    ASSERT_EQ(a.Reply.Http, 200) << a.Reply.Body.toStdString();
    ASSERT_TRUE(a.Readable);
    EXPECT_EQ(a.Parsed.Code, "00040") << a.Parsed.Msg.toStdString();
    const QString ordNo = a.Field("CSPAT00601OutBlock2", "OrdNo");
    EXPECT_GT(ordNo.toLongLong(), 0);
    EXPECT_EQ(a.Field("CSPAT00601OutBlock1", "AcntNo"), Cfg.AccountNo) << "the account is the simulated one";
    EXPECT_EQ(Sim->Exchange().Account().Orders().size(), 1);
    ASSERT_NE(Sim->Exchange().Account().Holding("005930"), nullptr);
    EXPECT_EQ(Sim->Exchange().Account().Holding("005930")->Qty, 1);

    // The registration switches on every order event: the acceptance (SC0) comes too.
    auto fill = [&]() -> TWsFrame {
        for (const auto& args : rec)
            if (args[0].value<TWsFrame>().TrCd == "SC1")
                return args[0].value<TWsFrame>();
        return {};
    };
    ASSERT_TRUE(Until([&] { return !fill().TrCd.isEmpty(); }));
    const TWsFrame f = fill();
    EXPECT_EQ(f.Field("ordno").toLongLong(), ordNo.toLongLong());
    EXPECT_EQ(f.Field("execqty"), "1");
    EXPECT_EQ(Broker->FramesSent("SC1"), 1);
    EXPECT_EQ(Broker->FramesSent("SC0"), 1);
    EXPECT_EQ(Broker->FramesSent(), 2);
}

TEST_F(FakeBrokerTest, PagedAnswerSaysMoreInTheHeadersUntilTheLastPage)
{
    Token = IssueToken();
    const int bid = Quote().Field("t1101OutBlock", "bidho1").toInt();
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(Order('2', 1, bid).Parsed.Code, "00040");   // resting: three orders, pages of two

    const TResLayout l = LayoutOf("t0425");
    auto list = [&](const QString& cts, const TRestCont& cont) {
        const QJsonObject in{{"expcode", ""}, {"chegb", "0"}, {"medosu", "0"}, {"sortgb", "1"}, {"cts_ordno", cts}};
        return Tr("t0425", Obj({{"t0425InBlock", in}}), l, cont);
    };
    const TAnswer first = list("", {});
    ASSERT_EQ(first.Reply.Http, 200) << first.Reply.Body.toStdString();
    EXPECT_EQ(first.Rows("t0425OutBlock1"), 2);
    EXPECT_TRUE(first.Reply.Cont.More);
    EXPECT_FALSE(first.Reply.Cont.Key.isEmpty());
    const QString cts = first.Field("t0425OutBlock", "cts_ordno");
    ASSERT_FALSE(cts.isEmpty());

    const TAnswer last = list(cts, first.Reply.Cont);
    ASSERT_EQ(last.Reply.Http, 200) << last.Reply.Body.toStdString();
    EXPECT_EQ(last.Rows("t0425OutBlock1"), 1);
    EXPECT_FALSE(last.Reply.Cont.More);
    EXPECT_EQ(Broker->Requests().last().TrCont, "Y");
    EXPECT_EQ(Broker->Requests().last().TrContKey, first.Reply.Cont.Key);
}

TEST_F(FakeBrokerTest, RateRefusalsComeFromTheSwitchAndFromTheExchangesOwnBudget)
{
    Token = IssueToken();
    Broker->Faults().RateRefuseNext = 1;
    const TAnswer refused = Quote();
    EXPECT_EQ(refused.Reply.Http, 500);
    EXPECT_EQ(refused.Parsed.Code, "IGW00201");
    EXPECT_EQ(RestFaultOf(500, refused.Parsed.Code, refused.Parsed.Msg), TRestFault::Rate);
    EXPECT_EQ(Quote().Reply.Http, 200) << "one refusal asked for, one given";

    // t1101 may go ten times a second; the clock stands still.
    int ok = 1;
    TAnswer a;
    for (int i = 0; i < 10; ++i) {
        a = Quote();
        if (a.Reply.Http != 200)
            break;
        ++ok;
    }
    EXPECT_EQ(ok, 10);
    EXPECT_EQ(a.Parsed.Code, "IGW00201");
    Clock.Advance(1000);
    EXPECT_EQ(Quote().Reply.Http, 200);
}

TEST_F(FakeBrokerTest, DeadTokenAndMalformedSwitchesSpendOneRequestEach)
{
    Token = IssueToken();
    Broker->Faults().DeadTokenNext = 1;
    EXPECT_EQ(Quote().Parsed.Code, "IGW00121");
    EXPECT_EQ(Quote().Reply.Http, 200);

    Broker->Faults().MalformedNext = 1;
    const TAnswer bad = Quote();
    EXPECT_EQ(bad.Reply.Http, 200);
    EXPECT_FALSE(bad.Readable) << bad.Reply.Body.toStdString();
    EXPECT_TRUE(Quote().Readable);
}

TEST_F(FakeBrokerTest, SwallowedOrderIsPlacedButNeverAnsweredAndLatencyHoldsAnswersBack)
{
    Token = IssueToken();
    const int bid = Quote().Field("t1101OutBlock", "bidho1").toInt();
    Broker->Faults().Swallow.insert("CSPAT00601");
    Rest->SetTimeoutMs(400);
    const TAnswer lost = Order('2', 1, bid);
    EXPECT_EQ(lost.Reply.Http, 0) << "no answer: the client gives up";
    EXPECT_FALSE(lost.Reply.NetError.isEmpty());
    EXPECT_EQ(Sim->Exchange().Account().Orders().size(), 1) << "the order went through all the same";
    EXPECT_EQ(Broker->Pending(), 0);

    Rest->SetTimeoutMs(30000);
    Broker->Faults().Swallow.clear();
    Broker->Faults().LatencyMs = 1500;
    bool done = false;
    TRestReply r;
    const QByteArray body = R"({"t1101InBlock":{"shcode":"005930"}})";
    Rest->PostTr("/stock/market-data", "t1101", Token, {}, body, [&](const TRestReply& x) {
        r = x;
        done = true;
    });
    ASSERT_TRUE(Until([&] { return Broker->Pending() == 1 || done; }));
    EXPECT_FALSE(done) << "held back by the latency";
    ASSERT_TRUE(Until([&] { return done; }));
    EXPECT_EQ(r.Http, 200);
    EXPECT_EQ(Broker->Pending(), 0);
}

TEST_F(FakeBrokerTest, MarketFeedFramesCarryEveryFieldAsTextAndAHalfFrameIsSkipped)
{
    Token = IssueToken();
    auto feed = OpenFeed();
    QSignalSpy rec(feed.get(), &TWsFeed::Record), problem(feed.get(), &TWsFeed::Problem);
    feed->Subscribe("S3_", "005930");
    feed->Open();
    ASSERT_TRUE(Until([&] { return Broker->Subscriptions() == 1; }));
    Broker->Faults().HalfFrameNext = 1;
    ASSERT_TRUE(PumpUntil("S3_", 3));
    ASSERT_TRUE(Until([&] { return rec.size() == Broker->FramesSent("S3_") - 1; }));
    EXPECT_EQ(problem.size(), 1) << "the half frame is unreadable";
    const TWsFrame f = rec.last()[0].value<TWsFrame>();
    EXPECT_EQ(f.TrKey, "005930");
    EXPECT_EQ(f.Field("shcode"), "005930");
    EXPECT_GT(f.Field("price").toInt(), 0);
    const TResLayout l = LayoutOf("S3_");
    EXPECT_EQ(f.Fields.size(), l.Blocks.last().Fields.size()) << "every output field of the layout";

    feed->Unsubscribe("S3_", "005930");
    ASSERT_TRUE(Until([&] { return Broker->Subscriptions() == 0; }));
}

TEST_F(FakeBrokerTest, DroppedSocketsReconnectWithFeedsAgainAndReplayTheLastOrderEventsWhenAsked)
{
    Token = IssueToken();
    Broker->Faults().ReplayOnReconnect = true;
    auto feed = OpenFeed();
    QSignalSpy rec(feed.get(), &TWsFeed::Record), up(feed.get(), &TWsFeed::Up);
    feed->Subscribe("SC0", "");
    feed->Subscribe("H1_", "005930");
    feed->Open();
    ASSERT_TRUE(Until([&] { return Broker->Subscriptions() == 2; }));

    const int bid = Quote().Field("t1101OutBlock", "bidho1").toInt();
    ASSERT_EQ(Order('2', 1, bid).Parsed.Code, "00040");   // resting: an SC0 acceptance, no fill
    ASSERT_TRUE(Until([&] { return rec.size() == 1; }));
    const TWsFrame accepted = rec[0][0].value<TWsFrame>();
    EXPECT_EQ(accepted.TrCd, "SC0");

    Broker->DropSockets();
    EXPECT_EQ(Broker->Subscriptions(), 0) << "a connection's subscriptions end with it";
    ASSERT_TRUE(Until([&] { return up.size() == 2 && Broker->Subscriptions() == 2; }));
    EXPECT_TRUE(up[1][0].toBool());
    ASSERT_TRUE(Until([&] { return rec.size() == 2; }));
    const TWsFrame again = rec[1][0].value<TWsFrame>();
    EXPECT_EQ(again.TrCd, "SC0");
    EXPECT_EQ(again.Fields, accepted.Fields) << "the same event once more";
    EXPECT_EQ(Broker->WsConnections(), 1);
}

TEST_F(FakeBrokerTest, RefusedWebSocketNeverComesUpUntilAllowedAgain)
{
    Token = IssueToken();
    Broker->SetWsRefused(true);
    auto feed = OpenFeed();
    QSignalSpy up(feed.get(), &TWsFeed::Up), down(feed.get(), &TWsFeed::Down);
    feed->Subscribe("S3_", "005930");
    feed->Open();
    ASSERT_TRUE(Until([&] { return down.size() >= 1; }));
    EXPECT_EQ(Broker->Subscriptions(), 0);
    Broker->SetWsRefused(false);
    ASSERT_TRUE(Until([&] { return Broker->Subscriptions() == 1; }));
}

TEST_F(FakeBrokerTest, WebSocketRequestsWithADeadTokenOrUnknownFeedAreAnsweredAndIgnored)
{
    Token = IssueToken();
    QWebSocket ws;
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificate(TFakeBroker::DefaultCertificate());
    ws.setSslConfiguration(tls);
    QList<TWsFrame> replies;
    QObject::connect(&ws, &QWebSocket::textMessageReceived, [&](const QString& t) {
        TWsFrame f;
        QString err;
        EXPECT_TRUE(ParseWsFrame(t.toUtf8(), f, &err)) << err.toStdString();
        replies << f;
    });
    bool open = false;
    QObject::connect(&ws, &QWebSocket::connected, [&] { open = true; });
    ws.open(QUrl(Broker->WsUrl()));
    ASSERT_TRUE(Until([&] { return open; }));

    const struct {
        QByteArray Frame;
        QString Code;
    } cases[] = {
        {WsRequestFrame("forged", TWsType::Subscribe, "S3_", "005930"), "IGW00121"},
        {WsRequestFrame(Token, TWsType::Subscribe, "XYZ", "005930"), "IGW00215"},
        {WsRequestFrame(Token, TWsType::Register, "S3_", ""), "IGW00215"},
        {"{\"header\":", "IGW40011"},
        {WsRequestFrame(Token, TWsType::Subscribe, "S3_", "005930"), "00000"},
    };
    for (const auto& c : cases) {
        replies.clear();
        ws.sendTextMessage(QString::fromUtf8(c.Frame));
        ASSERT_TRUE(Until([&] { return !replies.isEmpty(); })) << c.Frame.toStdString();
        EXPECT_FALSE(replies[0].Data);
        EXPECT_EQ(replies[0].Code, c.Code) << c.Frame.toStdString();
        EXPECT_EQ(Broker->Subscriptions(), c.Code == "00000" ? 1 : 0) << c.Frame.toStdString();
    }
    ws.close();
    ASSERT_TRUE(Until([&] { return Broker->WsConnections() == 0; }));
    EXPECT_EQ(Broker->Subscriptions(), 0);
}

TEST_F(FakeBrokerTest, RawHttpKeepsAliveAcrossRequestsAndRefusesGarbage)
{
    Token = IssueToken();
    auto connectRaw = [&](QSslSocket& s) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificate(TFakeBroker::DefaultCertificate());
        s.setSslConfiguration(tls);
        s.connectToHostEncrypted("127.0.0.1", Broker->RestPort());
        return Until([&] { return s.isEncrypted(); });   // the server shares this thread: no blocking wait
    };
    const QByteArray body = R"({"t1101InBlock":{"shcode":"005930"}})";
    const QByteArray req = "POST /stock/market-data HTTP/1.1\r\nHost: x\r\ncontent-type: application/json\r\n"
                           "authorization: Bearer " + Token.toUtf8() +
                           "\r\ntr_cd: t1101\r\ntr_cont: N\r\ntr_cont_key: \r\ncontent-length: " +
                           QByteArray::number(body.size()) + "\r\n\r\n" + body;

    // Two requests in one write, the second split mid-body: two answers, in order, one connection.
    QSslSocket s;
    ASSERT_TRUE(connectRaw(s));
    QByteArray got;
    QObject::connect(&s, &QSslSocket::readyRead, [&] { got += s.readAll(); });
    s.write(req + req.left(req.size() - 5));
    ASSERT_TRUE(Until([&] { return got.count("HTTP/1.1 200") == 1; }));
    EXPECT_EQ(Broker->Requests().size(), 1) << "the half request waits for its rest";
    s.write(req.right(5));
    ASSERT_TRUE(Until([&] { return got.count("HTTP/1.1 200") == 2; }));
    EXPECT_EQ(s.state(), QAbstractSocket::ConnectedState);

    // A request line that is not HTTP: 400 and the connection closed.
    QSslSocket g;
    ASSERT_TRUE(connectRaw(g));
    QByteArray bad;
    QObject::connect(&g, &QSslSocket::readyRead, [&] { bad += g.readAll(); });
    g.write("HELLO\r\n\r\n");
    ASSERT_TRUE(Until([&] { return g.state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_TRUE(bad.startsWith("HTTP/1.1 400")) << bad.toStdString();

    // A client gone half-way through a request leaves nothing behind.
    QSslSocket h;
    ASSERT_TRUE(connectRaw(h));
    h.write(req.left(40));
    h.flush();
    h.abort();
    EXPECT_TRUE(Until([&] { return Broker->Pending() == 0; }));
    EXPECT_EQ(Quote().Reply.Http, 200);
}
