// The session's token against a local HTTPS server: issued, renewed before
// its end, renewed when refused (and not forever), revoked at close.
#include "EventLoop.h"
#include "FakeHttps.h"
#include "broker/RestAuth.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QUrlQuery>
#include <gtest/gtest.h>

namespace {

// A token server: each issue gives "tok-N" living `life` seconds, or a
// refusal while `refuse` is set.
struct TTokenServer {
    int Issued = 0;
    int Life = 86400;
    bool Refuse = false;
    QList<QByteArray> Revoked;
    TFakeHttps Https{[this](const TFakeRequest& q) {
        TFakeResponse r;
        const QUrlQuery form(QString::fromLatin1(q.Body));
        if (q.Path == "/oauth2/revoke") {
            Revoked << form.queryItemValue("token", QUrl::FullyDecoded).toLatin1();
            r.Body = R"({"code":200,"message":"ok"})";
        } else if (Refuse) {
            r.Status = 401;
            r.Body = R"({"rsp_cd":"IGW00105","rsp_msg":"유효하지 않은 AppKey입니다"})";
        } else {
            r.Body = QStringLiteral(R"({"access_token":"tok-%1","expires_in":%2})").arg(++Issued).arg(Life).toLatin1();
        }
        return r;
    }};
};

} // namespace

TEST(RestAuth, IssuedRenewedBeforeItsEndAndRevokedAtClose)
{
    TTokenServer srv;
    srv.Life = 2;   // renewed a second after it was issued (half a short life)
    ASSERT_TRUE(srv.Https.Listen());
    TRestClient client(srv.Https.Base());
    client.TrustCertificate(TFakeHttps::Certificate());
    TRestAuth auth(&client);
    QSignalSpy issued(&auth, &TRestAuth::Issued), failed(&auth, &TRestAuth::Failed);
    auth.Issue(" my-key ", "my-secret");
    ASSERT_TRUE(Until([&] { return issued.size() == 1; }));
    EXPECT_EQ(auth.Token(), "tok-1");
    ASSERT_TRUE(Until([&] { return issued.size() == 2; }, 3000)) << "not renewed before its end";
    EXPECT_EQ(auth.Token(), "tok-2");
    EXPECT_TRUE(failed.isEmpty());
    bool closed = false;
    auth.Revoke([&] { closed = true; });
    ASSERT_TRUE(Until([&] { return closed; }));
    EXPECT_EQ(srv.Revoked, QList<QByteArray>({"tok-2"}));
    EXPECT_TRUE(auth.Token().isEmpty());
    const int after = srv.Issued;
    QElapsedTimer t;
    t.start();
    Until([&] { return t.elapsed() > 1500; }, 2000);
    EXPECT_EQ(srv.Issued, after) << "a revoked session renewed its token";
}

TEST(RestAuth, RefusedTokensRenewOnceForManyAnswersAndNotForever)
{
    TTokenServer srv;
    ASSERT_TRUE(srv.Https.Listen());
    TRestClient client(srv.Https.Base());
    client.TrustCertificate(TFakeHttps::Certificate());
    TRestAuth auth(&client);
    QSignalSpy issued(&auth, &TRestAuth::Issued), failed(&auth, &TRestAuth::Failed);
    auth.Issue("my-key", "my-secret");
    ASSERT_TRUE(Until([&] { return issued.size() == 1; }));
    // Three answers at once say the token is dead: one renewal.
    EXPECT_TRUE(auth.RenewAfterRefusal());
    EXPECT_TRUE(auth.RenewAfterRefusal());
    EXPECT_TRUE(auth.RenewAfterRefusal());
    ASSERT_TRUE(Until([&] { return issued.size() == 2; }));
    EXPECT_EQ(srv.Issued, 2);
    // The server keeps refusing the new tokens: a few renewals, then it stops.
    for (int i = 0; i < TRestAuth::KMaxRenewals - 1; ++i) {
        ASSERT_TRUE(auth.RenewAfterRefusal());
        ASSERT_TRUE(Until([&] { return !auth.Renewing(); }));
    }
    EXPECT_FALSE(auth.RenewAfterRefusal());
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed[0][0].toString().contains(QStringLiteral("계속 거부"))) << failed[0][0].toString().toStdString();
    EXPECT_EQ(srv.Issued, 1 + TRestAuth::KMaxRenewals);
}

TEST(RestAuth, ABadKeySaysSoWithoutTheKey)
{
    TTokenServer srv;
    srv.Refuse = true;
    ASSERT_TRUE(srv.Https.Listen());
    TRestClient client(srv.Https.Base());
    client.TrustCertificate(TFakeHttps::Certificate());
    TRestAuth auth(&client);
    QSignalSpy issued(&auth, &TRestAuth::Issued), failed(&auth, &TRestAuth::Failed);
    auth.Issue("PSd7orrAJnAfr202", "puQoMSRYZwOHt8go");
    ASSERT_TRUE(Until([&] { return failed.size() == 1; }));
    const QString why = failed[0][0].toString();
    EXPECT_TRUE(why.contains(QStringLiteral("앱 키 또는 시크릿 키"))) << why.toStdString();
    EXPECT_FALSE(why.contains("PSd7orr") || why.contains("puQoMS"));
    EXPECT_TRUE(issued.isEmpty());
    EXPECT_TRUE(auth.Token().isEmpty());
}
