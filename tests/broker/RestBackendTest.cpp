// The broker classes over the open API against a local HTTPS server: what
// goes out (paths, headers, bodies without the account's secrets, the paper
// server's order codes), how answers, refusals and silence come back, and
// that an order is never sent twice.
#include "EventLoop.h"
#include "FakeHttps.h"
#include "broker/RestBackend.h"
#include "broker/RestClient.h"
#include "core/Clock.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <gtest/gtest.h>

namespace {

const char* KQuote = R"(BEGIN_FUNCTION_MAP
	.Func,현재가(t1101),t1101,block,headtype=A;
	BEGIN_DATA_MAP
	t1101InBlock,입력,input;
	begin
		단축코드,shcode,shcode,char,6;
	end
	t1101OutBlock,출력,output;
	begin
		한글명,hname,hname,char,20;
		현재가,price,price,long,8;
	end
	END_DATA_MAP
END_FUNCTION_MAP
)";

const char* KOrder = R"(BEGIN_FUNCTION_MAP
	.Func,현물주문(CSPAT00600),CSPAT00600,block,headtype=B;
	BEGIN_DATA_MAP
	CSPAT00600InBlock1,입력,input;
	begin
		계좌번호,AcntNo,AcntNo,char,20;
		입력비밀번호,InptPwd,InptPwd,char,8;
		종목번호,IsuNo,IsuNo,char,12;
		주문수량,OrdQty,OrdQty,long,16;
		주문가,OrdPrc,OrdPrc,double,13.2;
		매매구분,BnsTpCode,BnsTpCode,char,1;
	end
	CSPAT00600OutBlock2,출력,output;
	begin
		주문번호,OrdNo,OrdNo,long,10;
	end
	END_DATA_MAP
END_FUNCTION_MAP
)";

const char* KCheck = R"(BEGIN_FUNCTION_MAP
	.Func,잔고(CSPAQ12300),CSPAQ12300,block,headtype=B;
	BEGIN_DATA_MAP
	CSPAQ12300InBlock1,입력,input;
	begin
		레코드갯수,RecCnt,RecCnt,long,5;
		계좌번호,AcntNo,AcntNo,char,20;
		비밀번호,Pwd,Pwd,char,8;
		잔고생성구분,BalCreTp,BalCreTp,char,1;
	end
	CSPAQ12300OutBlock1,출력,output;
	begin
		계좌번호,AcntNo,AcntNo,char,20;
	end
	CSPAQ12300OutBlock2,출력2,output;
	begin
		예수금,Dps,Dps,long,16;
	end
	END_DATA_MAP
END_FUNCTION_MAP
)";

// A broker that answers by transaction; a test changes `Answer` to make it
// refuse, fall silent or talk nonsense.
struct TBroker {
    int Tokens = 0;
    QList<TFakeRequest> Trs;
    std::function<TFakeResponse(const TFakeRequest&)> Answer;
    TFakeHttps Https{[this](const TFakeRequest& q) {
        TFakeResponse r;
        if (q.Path == "/oauth2/token") {
            if (QUrlQuery(QString::fromLatin1(q.Body)).queryItemValue("appkey") != "key") {
                r.Status = 401;
                r.Body = R"({"rsp_cd":"IGW00105","rsp_msg":"bad key"})";
                return r;
            }
            r.Body = QStringLiteral(R"({"access_token":"tok-%1","expires_in":86400})").arg(++Tokens).toLatin1();
            return r;
        }
        if (q.Path == "/oauth2/revoke") {
            r.Body = R"({"code":200})";
            return r;
        }
        Trs << q;
        return Answer ? Answer(q) : Normal(q);
    }};

    static TFakeResponse Normal(const TFakeRequest& q)
    {
        TFakeResponse r;
        const QByteArray tr = q.Headers.value("tr_cd");
        if (tr == "t1101")
            r.Body = R"({"rsp_cd":"00000","rsp_msg":"조회완료","t1101OutBlock":{"hname":"삼성전자","price":71200}})";
        else if (tr == "CSPAT00601")
            r.Body = R"({"rsp_cd":"00040","rsp_msg":"매수주문이 완료되었습니다.","CSPAT00601OutBlock2":{"OrdNo":1234}})";
        else if (tr == "CSPAQ12300")
            r.Body = R"({"rsp_cd":"00136","rsp_msg":"조회가 완료되었습니다.","CSPAQ12300OutBlock1":{"AcntNo":"55501234501"},"CSPAQ12300OutBlock2":{"Dps":1000000}})";
        r.Headers << qMakePair(QByteArray("tr_cont"), QByteArray("Y")) << qMakePair(QByteArray("tr_cont_key"), QByteArray("K1"));
        return r;
    }
    static TFakeResponse Refusal(const char* code, int status = 500)
    {
        TFakeResponse r;
        r.Status = status;
        r.Body = QStringLiteral(R"({"rsp_cd":"%1","rsp_msg":"refused"})").arg(QString::fromLatin1(code)).toUtf8();
        return r;
    }
    int Count(const QByteArray& tr) const
    {
        int n = 0;
        for (const TFakeRequest& q : Trs)
            n += q.Headers.value("tr_cd") == tr;
        return n;
    }
};

// The backend logged in to the broker above, with the layouts in a folder.
struct TSetup {
    TBroker broker;
    QTemporaryDir dir;
    TTestClock clock;
    std::unique_ptr<TRestBackend> backend;
    TXASession* sess = nullptr;
    QObject owner;

    explicit TSetup(TBackendKind kind = TBackendKind::Paper, int timeoutMs = 15000)
    {
        EXPECT_TRUE(broker.Https.Listen());
        for (auto [name, text] : {std::pair{"t1101", KQuote}, {"CSPAT00600", KOrder}, {"CSPAQ12300", KCheck}}) {
            QFile f(dir.filePath(QString::fromLatin1(name) + ".res"));
            f.open(QIODevice::WriteOnly);
            f.write(text);
        }
        TRestSettings s;
        s.Host.Kind = kind;
        s.Host.RestBase = broker.Https.Base();
        s.Host.WsUrl = QStringLiteral("wss://127.0.0.1:1/websocket");   // nobody: the feed keeps trying, quietly
        s.FirstReconnectPauseMs = 60000;
        s.TimeoutMs = timeoutMs;
        s.Trusted << TFakeHttps::Certificate();
        backend = std::make_unique<TRestBackend>(s, clock);
        sess = backend->CreateSession(&owner);
    }
    bool Login(const QString& key = "key")
    {
        QSignalSpy result(sess, &TXASession::LoginResult);
        EXPECT_TRUE(sess->ConnectServer("", 0));
        EXPECT_TRUE(sess->Login(key, "secret", "", 0, false));
        Until([&] { return !result.isEmpty(); });
        return !result.isEmpty() && result[0][0].toString() == "0000";
    }
    TXAQuery* Query(const QString& tr)
    {
        TXAQuery* q = backend->CreateQuery(&owner);
        q->SetResFileName(dir.filePath(tr + ".res"));
        return q;
    }
    TXAQuery* Order()
    {
        TXAQuery* q = Query("CSPAT00600");
        const QString b = "CSPAT00600InBlock1";
        q->SetFieldData(b, "AcntNo", 0, "55501234501");
        q->SetFieldData(b, "InptPwd", 0, "0000");
        q->SetFieldData(b, "IsuNo", 0, "005930");
        q->SetFieldData(b, "OrdQty", 0, "3");
        q->SetFieldData(b, "OrdPrc", 0, "71200");
        q->SetFieldData(b, "BnsTpCode", 0, "2");
        return q;
    }
};

QJsonObject Block(const TFakeRequest& q, const char* name)
{
    return QJsonDocument::fromJson(q.Body).object().value(QLatin1String(name)).toObject();
}

} // namespace

TEST(RestBackend, LoginIssuesTheTokenAndABadKeyIsSaidInKorean)
{
    TSetup ok;
    EXPECT_TRUE(ok.Login());
    EXPECT_EQ(ok.broker.Tokens, 1);

    TSetup bad;
    QSignalSpy result(bad.sess, &TXASession::LoginResult);
    bad.sess->ConnectServer("", 0);
    bad.sess->Login("wrong", "secret", "", 0, false);
    ASSERT_TRUE(Until([&] { return !result.isEmpty(); }));
    EXPECT_NE(result[0][0].toString(), "0000");
    EXPECT_TRUE(result[0][1].toString().contains(QStringLiteral("앱 키 또는 시크릿 키가 맞지 않거나"))) << result[0][1].toString().toStdString();
    EXPECT_FALSE(result[0][1].toString().contains("wrong"));   // the key is never repeated
}

TEST(RestBackend, QueryTravelsToItsGroupAndAnswersAsBlocks)
{
    TSetup t;
    ASSERT_TRUE(t.Login());
    TXAQuery* q = t.Query("t1101");
    q->SetFieldData("t1101InBlock", "shcode", 0, "005930");
    QStringList events;
    int answerId = 0;
    QObject::connect(q, &TXAQuery::ReceiveMessage, [&](bool, const QString& c, const QString&) { events << "msg " + c; });
    QObject::connect(q, &TXAQuery::ReceiveData, [&](const QString& tr) {
        events << "data " + tr + " " + q->GetFieldData("t1101OutBlock", "hname", 0) + " " +
                      q->GetFieldData("t1101OutBlock", "price", 0);
        answerId = q->AnswerId();
    });
    const int id = q->Request(false);
    ASSERT_GT(id, 0);
    ASSERT_TRUE(Until([&] { return events.size() == 2; }));
    EXPECT_EQ(events, QStringList({"msg 00000", QStringLiteral("data t1101 삼성전자 71200")}));
    EXPECT_EQ(answerId, id);
    ASSERT_EQ(t.broker.Trs.size(), 1);
    const TFakeRequest& r = t.broker.Trs[0];
    EXPECT_EQ(r.Path, "/stock/market-data");
    EXPECT_EQ(r.Headers.value("authorization"), "Bearer tok-1");
    EXPECT_EQ(r.Headers.value("tr_cont"), "N");
    EXPECT_EQ(Block(r, "t1101InBlock").value("shcode").toString(), "005930");

    // The next page goes with the key of the last answer.
    q->Request(true);
    ASSERT_TRUE(Until([&] { return t.broker.Trs.size() == 2; }));
    EXPECT_EQ(t.broker.Trs[1].Headers.value("tr_cont"), "Y");
    EXPECT_EQ(t.broker.Trs[1].Headers.value("tr_cont_key"), "K1");
}

// The account's secrets stay home; the paper server takes "A" + code, the
// production server the code as the program has it.
TEST(RestBackend, OrderGoesInTheApiFormWithoutAccountNumberOrPassword)
{
    for (TBackendKind kind : {TBackendKind::Paper, TBackendKind::Live}) {
        TSetup t(kind);
        ASSERT_TRUE(t.Login());
        TXAQuery* q = t.Order();
        QSignalSpy msg(q, &TXAQuery::ReceiveMessage), data(q, &TXAQuery::ReceiveData);
        ASSERT_GT(q->Request(false), 0);
        ASSERT_TRUE(Until([&] { return data.size() == 1; }));
        EXPECT_EQ(msg[0][1].toString(), "00040");
        EXPECT_EQ(q->GetFieldData("CSPAT00600OutBlock2", "OrdNo", 0), "1234");
        const TFakeRequest& r = t.broker.Trs.at(0);
        EXPECT_EQ(r.Path, "/stock/order");
        EXPECT_EQ(r.Headers.value("tr_cd"), "CSPAT00601");
        const QJsonObject in = Block(r, "CSPAT00601InBlock1");
        EXPECT_EQ(in.value("IsuNo").toString(), kind == TBackendKind::Paper ? "A005930" : "005930");
        EXPECT_EQ(in.value("OrdQty").toDouble(), 3);
        EXPECT_FALSE(in.contains("AcntNo"));
        EXPECT_FALSE(in.contains("InptPwd"));
        EXPECT_FALSE(r.Body.contains("0000\""));
    }
}

// A dead token: a read goes again once with the new token; an order is not
// sent again and the user is told to send it again.
TEST(RestBackend, DeadTokenResendsAReadOnceAndNeverAnOrder)
{
    TSetup t;
    ASSERT_TRUE(t.Login());
    int dead = 1;
    t.broker.Answer = [&](const TFakeRequest& q) {
        if (dead > 0) {
            --dead;
            return TBroker::Refusal("IGW00121");
        }
        return TBroker::Normal(q);
    };
    TXAQuery* q = t.Query("t1101");
    QSignalSpy data(q, &TXAQuery::ReceiveData);
    q->Request(false);
    ASSERT_TRUE(Until([&] { return data.size() == 1; }));
    EXPECT_EQ(t.broker.Count("t1101"), 2);
    EXPECT_EQ(t.broker.Tokens, 2);
    EXPECT_EQ(t.broker.Trs.last().Headers.value("authorization"), "Bearer tok-2");

    // Dead twice: the read is sent again once, then its failure is said.
    dead = 2;
    QSignalSpy msg(q, &TXAQuery::ReceiveMessage);
    q->Request(false);
    ASSERT_TRUE(Until([&] { return !msg.isEmpty(); }));
    EXPECT_TRUE(msg[0][0].toBool());
    EXPECT_EQ(t.broker.Count("t1101"), 4);

    dead = 1;
    TXAQuery* o = t.Order();
    QSignalSpy omsg(o, &TXAQuery::ReceiveMessage);
    o->Request(false);
    ASSERT_TRUE(Until([&] { return !omsg.isEmpty(); }));
    EXPECT_TRUE(omsg[0][2].toString().contains(QStringLiteral("다시 주문하세요")));
    Until([] { return false; }, 300);
    EXPECT_EQ(t.broker.Count("CSPAT00601"), 1);
    EXPECT_EQ(t.broker.Tokens, 4);   // renewed all the same
}

// An order whose answer never comes is not sent again: the program hears
// that its outcome is unknown. A rate refusal reads as the program's
// "전송제한"; an answer that is not JSON gives a "!!" message.
TEST(RestBackend, SilenceRateAndNonsenseAreSaidAndNothingIsRetried)
{
    TSetup t(TBackendKind::Paper, 1000);
    ASSERT_TRUE(t.Login());
    const struct {
        std::function<TFakeResponse(const TFakeRequest&)> answer;
        bool order;
        const char* code;
        const char* text;
    } cases[] = {
        {[](const TFakeRequest&) { TFakeResponse r; r.Silent = true; return r; }, true, "-901", "주문 결과를 알 수 없습니다"},
        {[](const TFakeRequest&) { return TBroker::Refusal("IGW50008"); }, true, "IGW50008", "주문 결과를 알 수 없습니다"},
        {[](const TFakeRequest&) { return TBroker::Refusal("IGW00201"); }, false, "IGW00201", "전송제한"},
        {[](const TFakeRequest&) { TFakeResponse r; r.Body = "{\"rsp_cd\":\"00000\", \"t1101OutBl"; return r; }, false, "-902", "!! t1101 응답을 읽을 수 없습니다"},
        {[](const TFakeRequest&) { TFakeResponse r; r.Body = "<html>"; return r; }, true, "-902", "미체결 · 체결 조회로 확인"},
    };
    for (const auto& c : cases) {
        t.broker.Answer = c.answer;
        t.broker.Trs.clear();
        TXAQuery* q = c.order ? t.Order() : t.Query("t1101");
        QSignalSpy msg(q, &TXAQuery::ReceiveMessage), data(q, &TXAQuery::ReceiveData);
        t.clock.Advance(2000);   // past any pause of the last case
        ASSERT_GT(q->Request(false), 0);
        ASSERT_TRUE(Until([&] { return !msg.isEmpty(); })) << c.code;
        EXPECT_EQ(msg[0][1].toString(), c.code);
        EXPECT_TRUE(msg[0][2].toString().contains(QString::fromUtf8(c.text))) << msg[0][2].toString().toStdString();
        Until([] { return false; }, 200);
        EXPECT_EQ(t.broker.Trs.size(), 1) << c.code;
        EXPECT_TRUE(data.isEmpty());
    }
}

// No more of a transaction than its budget goes in one second; the rest
// waits its turn, in order, and a rate refusal holds it back a while.
TEST(RestBackend, RequestsKeepUnderTheirRate)
{
    TSetup t;
    ASSERT_TRUE(t.Login());
    TXAQuery* q = t.Query("t1101");
    for (int i = 0; i < 12; ++i) {
        q->SetFieldData("t1101InBlock", "shcode", 0, QString::number(100000 + i));
        ASSERT_GT(q->Request(false), 0);
    }
    Until([&] { return t.broker.Trs.size() >= 10; });
    Until([] { return false; }, 200);
    EXPECT_EQ(t.broker.Trs.size(), 10);
    t.clock.Advance(1000);
    ASSERT_TRUE(Until([&] { return t.broker.Trs.size() == 12; }));
    EXPECT_EQ(Block(t.broker.Trs[11], "t1101InBlock").value("shcode").toString(), "100011");

    t.broker.Answer = [](const TFakeRequest&) { return TBroker::Refusal("IGW00201"); };
    t.clock.Advance(1000);
    QSignalSpy msg(q, &TXAQuery::ReceiveMessage);
    q->Request(false);
    ASSERT_TRUE(Until([&] { return !msg.isEmpty() && msg.last()[1].toString() == "IGW00201"; }));
    t.broker.Answer = nullptr;
    q->Request(false);
    Until([] { return false; }, 200);
    EXPECT_EQ(t.broker.Trs.size(), 13) << "sent while the refusal's pause lasts";
    t.clock.Advance(1500);
    EXPECT_TRUE(Until([&] { return t.broker.Trs.size() == 14; }));
}

// The key names one account: a check of another account is refused.
TEST(RestBackend, AccountCheckOfAnotherAccountIsRefused)
{
    TSetup t;
    ASSERT_TRUE(t.Login());
    for (const char* acno : {"55501234501", "55509999901"}) {
        TXAQuery* q = t.Query("CSPAQ12300");
        q->SetFieldData("CSPAQ12300InBlock1", "AcntNo", 0, acno);
        q->SetFieldData("CSPAQ12300InBlock1", "Pwd", 0, "0000");
        QSignalSpy msg(q, &TXAQuery::ReceiveMessage), data(q, &TXAQuery::ReceiveData);
        t.clock.Advance(1000);
        ASSERT_GT(q->Request(false), 0) << static_cast<TRestQuery*>(q)->LastError().toStdString();
        ASSERT_TRUE(Until([&] { return !msg.isEmpty(); }));
        Until([] { return false; }, 50);
        const bool mine = QByteArray(acno) == "55501234501";
        EXPECT_EQ(data.size(), mine ? 1 : 0) << acno;
        if (!mine)
            EXPECT_TRUE(msg[0][2].toString().contains(QStringLiteral("이 앱 키의 계좌가 아닙니다 (앱 키의 계좌: 555012345-01)")));
        EXPECT_FALSE(Block(t.broker.Trs.last(), "CSPAQ12300InBlock1").contains("Pwd"));
    }
}
