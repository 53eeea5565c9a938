// The REST client against a local HTTPS server: what travels, what comes
// back, and every way an answer fails to come.
#include "EventLoop.h"
#include "FakeHttps.h"
#include "broker/RestClient.h"
#include "broker/RestToken.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QUrlQuery>
#include <gtest/gtest.h>
#include <optional>

namespace {

// The reply, once it came (10 s at most).
TRestReply Wait(const std::optional<TRestReply>& got)
{
    EXPECT_TRUE(Until([&] { return got.has_value(); }, 10000)) << "no reply at all";
    return got.value_or(TRestReply());
}

} // namespace

TEST(RestClient, TransactionCarriesItsHeadersAndItsContinuationComesBack)
{
    TFakeHttps server([](const TFakeRequest&) {
        TFakeResponse r;
        r.Headers = {{"content-type", "application/json; charset=utf-8"}, {"tr_cd", "t8412"},
                     {"tr_cont", "Y"}, {"tr_cont_key", "20261210093000"}};
        r.Body = R"({"rsp_cd":"00000","rsp_msg":"조회완료"})";
        return r;
    });
    ASSERT_TRUE(server.Listen());
    TRestClient client(server.Base());
    client.TrustCertificate(TFakeHttps::Certificate());
    std::optional<TRestReply> got;
    client.PostTr("/stock/chart", "t8412", "tok-123", TRestCont(), R"({"t8412InBlock":{}})",
                  [&](const TRestReply& r) { got = r; });
    EXPECT_EQ(client.Pending(), 1);
    const TRestReply r = Wait(got);
    EXPECT_EQ(r.Http, 200);
    EXPECT_TRUE(r.NetError.isEmpty()) << r.NetError.toStdString();
    EXPECT_EQ(r.Body, R"({"rsp_cd":"00000","rsp_msg":"조회완료"})");
    EXPECT_TRUE(r.Cont.More);
    EXPECT_EQ(r.Cont.Key, "20261210093000");
    EXPECT_EQ(client.Pending(), 0);
    ASSERT_EQ(server.Received.size(), 1);
    const TFakeRequest& q = server.Received[0];
    EXPECT_EQ(q.Method, "POST");
    EXPECT_EQ(q.Path, "/stock/chart");
    EXPECT_EQ(q.Headers.value("authorization"), "Bearer tok-123");
    EXPECT_EQ(q.Headers.value("tr_cd"), "t8412");
    EXPECT_EQ(q.Headers.value("tr_cont"), "N");
    EXPECT_TRUE(q.Headers.contains("tr_cont_key")) << "the gateway wants the header even when empty";
    EXPECT_TRUE(q.Headers.value("content-type").startsWith("application/json"));
    EXPECT_EQ(q.Body, R"({"t8412InBlock":{}})");

    // The next page asks with the key that came back.
    got.reset();
    client.PostTr("/stock/chart", "t8412", "tok-123", r.Cont, "{}", [&](const TRestReply& x) { got = x; });
    Wait(got);
    ASSERT_EQ(server.Received.size(), 2);
    EXPECT_EQ(server.Received[1].Headers.value("tr_cont"), "Y");
    EXPECT_EQ(server.Received[1].Headers.value("tr_cont_key"), "20261210093000");
}

TEST(RestClient, TokenFormAndAnErrorStatusStillReadAsAnAnswer)
{
    TFakeHttps server([](const TFakeRequest& q) {
        TFakeResponse r;
        if (q.Path == "/oauth2/token") {
            r.Body = R"({"access_token":"eyJ.fake","token_type":"Bearer","expires_in":86400})";
        } else {
            r.Status = 500;
            r.Body = R"({"rsp_cd":"IGW00201","rsp_msg":"초당 전송건수를 초과하였습니다."})";
        }
        return r;
    });
    ASSERT_TRUE(server.Listen());
    TRestClient client(server.Base());
    client.TrustCertificate(TFakeHttps::Certificate());
    std::optional<TRestReply> got;
    client.PostForm("/oauth2/token", TokenIssueBody("key+1", "sec&2"), [&](const TRestReply& r) { got = r; });
    const TTokenAnswer a = ReadTokenAnswer(Wait(got).Http, got->Body);
    EXPECT_EQ(a.Token, "eyJ.fake");
    ASSERT_EQ(server.Received.size(), 1);
    EXPECT_EQ(server.Received[0].Headers.value("content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(QUrlQuery(QString::fromLatin1(server.Received[0].Body)).queryItemValue("appsecretkey", QUrl::FullyDecoded),
              "sec&2");

    got.reset();
    client.PostTr("/stock/market-data", "t1101", "eyJ.fake", TRestCont(), "{}", [&](const TRestReply& r) { got = r; });
    const TRestReply r = Wait(got);
    EXPECT_EQ(r.Http, 500);
    EXPECT_TRUE(r.NetError.isEmpty());
    EXPECT_TRUE(r.Body.contains("IGW00201")) << "a 5xx answer's body is read like any other";
}

TEST(RestClient, NoAnswerSaysWhyAndNeverQuotesTheToken)
{
    // An untrusted certificate: the system's store does not know the test's own.
    {
        TFakeHttps server([](const TFakeRequest&) { return TFakeResponse{}; });
        ASSERT_TRUE(server.Listen());
        TRestClient client(server.Base());
        std::optional<TRestReply> got;
        client.PostTr("/x", "t1101", "SECRET-TOKEN", TRestCont(), "{}", [&](const TRestReply& r) { got = r; });
        const TRestReply r = Wait(got);
        EXPECT_EQ(r.Http, 0);
        EXPECT_TRUE(r.NetError.contains(QStringLiteral("인증서"))) << r.NetError.toStdString();
        EXPECT_TRUE(server.Received.isEmpty()) << "nothing may reach a server that was not verified";
    }
    // A port nobody listens on.
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close();
        TRestClient client(QStringLiteral("https://127.0.0.1:%1").arg(port));
        std::optional<TRestReply> got;
        client.PostTr("/x", "t1101", "SECRET-TOKEN", TRestCont(), "{}", [&](const TRestReply& r) { got = r; });
        const TRestReply r = Wait(got);
        EXPECT_EQ(r.Http, 0);
        EXPECT_TRUE(r.NetError.contains(QStringLiteral("거부"))) << r.NetError.toStdString();
        EXPECT_FALSE(r.NetError.contains("SECRET"));
    }
    // A server that never answers.
    {
        TFakeHttps server([](const TFakeRequest&) {
            TFakeResponse r;
            r.Silent = true;
            return r;
        });
        ASSERT_TRUE(server.Listen());
        TRestClient client(server.Base());
        client.TrustCertificate(TFakeHttps::Certificate());
        client.SetTimeoutMs(400);
        std::optional<TRestReply> got;
        QElapsedTimer t;
        t.start();
        client.PostTr("/x", "t1101", "SECRET-TOKEN", TRestCont(), "{}", [&](const TRestReply& r) { got = r; });
        const TRestReply r = Wait(got);
        EXPECT_GE(t.elapsed(), 380);
        EXPECT_EQ(r.Http, 0);
        EXPECT_TRUE(r.NetError.contains(QStringLiteral("응답이 없습니다"))) << r.NetError.toStdString();
        EXPECT_EQ(server.Received.size(), 1) << "sent once, never again by itself";
    }
}
