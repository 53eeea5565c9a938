// The real-time connection against a local secure WebSocket server: feeds
// asked for, records delivered, a drop reconnected with every feed asked for
// again under the current token, and unreadable frames skipped.
#include "EventLoop.h"
#include "FakeHttps.h"
#include "broker/WsFeed.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QSslKey>
#include <QWebSocket>
#include <QWebSocketServer>
#include <gtest/gtest.h>

namespace {

// A wss:// server on loopback that keeps what it was asked and can send a
// frame to, or drop, its client.
struct TFakeFeed {
    QWebSocketServer Server{QStringLiteral("fake"), QWebSocketServer::SecureMode};
    QWebSocket* Client = nullptr;
    QList<QJsonObject> Asked;
    int Connections = 0;

    TFakeFeed()
    {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificate(TFakeHttps::Certificate());
        QFile key(QStringLiteral(KESTREL_TEST_TLS_DIR "/fake-broker.key"));
        key.open(QIODevice::ReadOnly);
        tls.setPrivateKey(QSslKey(key.readAll(), QSsl::Rsa));
        tls.setPeerVerifyMode(QSslSocket::VerifyNone);
        Server.setSslConfiguration(tls);
        QObject::connect(&Server, &QWebSocketServer::newConnection, [this] {
            Client = Server.nextPendingConnection();
            ++Connections;
            QObject::connect(Client, &QWebSocket::textMessageReceived,
                             [this](const QString& t) { Asked << QJsonDocument::fromJson(t.toUtf8()).object(); });
        });
    }
    bool Listen() { return Server.listen(QHostAddress::LocalHost, 0); }
    QString Url() const { return QStringLiteral("wss://127.0.0.1:%1/websocket").arg(Server.serverPort()); }
    static QString Feed(const QJsonObject& o) { return o["body"].toObject()["tr_cd"].toString(); }
    static QString Type(const QJsonObject& o) { return o["header"].toObject()["tr_type"].toString(); }
    static QString Token(const QJsonObject& o) { return o["header"].toObject()["token"].toString(); }
};

} // namespace

TEST(WsFeed, PausesGrowToTheLongestWithJitter)
{
    EXPECT_EQ(TWsFeed::PauseMs(500, 0, 1000), 500);
    EXPECT_EQ(TWsFeed::PauseMs(500, 0, 0), 250);
    EXPECT_EQ(TWsFeed::PauseMs(500, 3, 1000), 4000);
    EXPECT_EQ(TWsFeed::PauseMs(500, 20, 1000), TWsFeed::KLongestPauseMs);
    EXPECT_EQ(TWsFeed::PauseMs(500, 1000, 0), TWsFeed::KLongestPauseMs / 2);
    for (quint32 r : {0u, 7u, 123456789u, 0xffffffffu}) {
        const int p = TWsFeed::PauseMs(500, 2, r);
        EXPECT_GE(p, 1000);
        EXPECT_LE(p, 2000);
    }
}

TEST(WsFeed, FeedsRecordsAndADropWithEveryFeedAskedForAgain)
{
    TFakeFeed srv;
    ASSERT_TRUE(srv.Listen());
    TWsFeed feed(srv.Url());
    feed.TrustCertificate(TFakeHttps::Certificate());
    feed.SetFirstPauseMs(50);
    feed.SetToken("tok-1");
    QSignalSpy up(&feed, &TWsFeed::Up), down(&feed, &TWsFeed::Down), rec(&feed, &TWsFeed::Record),
        problem(&feed, &TWsFeed::Problem);
    feed.Subscribe("S3_", "005930");   // asked before the connection: sent when it is up
    feed.Open();
    ASSERT_TRUE(Until([&] { return up.size() == 1; }));
    EXPECT_FALSE(up[0][0].toBool());
    feed.Subscribe("H1_", "005930");
    feed.Subscribe("SC1", "");
    feed.Subscribe("S3_", "005930");   // already asked: nothing more
    ASSERT_TRUE(Until([&] { return srv.Asked.size() == 3; }));
    EXPECT_EQ(TFakeFeed::Feed(srv.Asked[0]), "S3_");
    EXPECT_EQ(TFakeFeed::Type(srv.Asked[0]), "3");
    EXPECT_EQ(TFakeFeed::Token(srv.Asked[0]), "tok-1");
    EXPECT_EQ(TFakeFeed::Feed(srv.Asked[2]), "SC1");
    EXPECT_EQ(TFakeFeed::Type(srv.Asked[2]), "1") << "the account's events are registered";

    srv.Client->sendTextMessage(R"({"header":{"tr_cd":"S3_","tr_key":"005930"},"body":{"price":"71500"}})");
    srv.Client->sendTextMessage(R"({"header":{"tr_cd":"S3_"},"body":{"price":"71)");   // half-written
    srv.Client->sendTextMessage(R"({"header":{"tr_cd":"S3_","tr_key":"005930"},"body":{"price":"71600"}})");
    ASSERT_TRUE(Until([&] { return rec.size() == 2; }));
    EXPECT_EQ(rec[0][0].value<TWsFrame>().Field("price"), "71500");
    EXPECT_EQ(rec[1][0].value<TWsFrame>().Field("price"), "71600");
    EXPECT_EQ(problem.size(), 1);
    EXPECT_TRUE(feed.Connected()) << "an unreadable frame does not end the connection";

    // A drop: the feed comes back by itself with every feed asked for again,
    // under the token of now.
    feed.SetToken("tok-2");
    feed.Unsubscribe("H1_", "005930");
    ASSERT_TRUE(Until([&] { return srv.Asked.size() == 4; }));
    EXPECT_EQ(TFakeFeed::Type(srv.Asked[3]), "4");
    srv.Asked.clear();
    srv.Client->close();
    ASSERT_TRUE(Until([&] { return down.size() == 1; }));
    ASSERT_TRUE(Until([&] { return up.size() == 2; }));
    EXPECT_TRUE(up[1][0].toBool()) << "a reconnect says so: orders and fills are read again";
    ASSERT_TRUE(Until([&] { return srv.Asked.size() == 2; }));
    EXPECT_EQ(srv.Connections, 2);
    EXPECT_EQ(TFakeFeed::Feed(srv.Asked[0]), "S3_");
    EXPECT_EQ(TFakeFeed::Feed(srv.Asked[1]), "SC1");
    EXPECT_EQ(TFakeFeed::Token(srv.Asked[0]), "tok-2");

    // Closed for good: no reconnect.
    feed.Close();
    QElapsedTimer t;
    t.start();
    Until([&] { return t.elapsed() > 400; }, 500);
    EXPECT_EQ(srv.Connections, 2);
}

TEST(WsFeed, AServerThatIsNotThereIsTriedAgainLater)
{
    TFakeFeed srv;
    ASSERT_TRUE(srv.Listen());
    const QString url = srv.Url();
    const quint16 port = srv.Server.serverPort();
    srv.Server.close();
    TWsFeed feed(url);
    feed.TrustCertificate(TFakeHttps::Certificate());
    feed.SetFirstPauseMs(50);
    QSignalSpy up(&feed, &TWsFeed::Up), down(&feed, &TWsFeed::Down);
    feed.Open();
    ASSERT_TRUE(Until([&] { return down.size() >= 1; }));
    EXPECT_TRUE(down[0][0].toString().contains(QStringLiteral("연결하지 못했습니다")));
    ASSERT_TRUE(srv.Server.listen(QHostAddress::LocalHost, port));
    ASSERT_TRUE(Until([&] { return up.size() == 1; }));
    EXPECT_EQ(down.size(), 1) << "one line when it went down, not one per attempt";
}
