// The access token: its form bodies, its answers, when it is renewed, and
// secrets kept out of texts.
#include "broker/RestToken.h"

#include <QTimeZone>
#include <QUrlQuery>
#include <gtest/gtest.h>

TEST(RestToken, FormBodiesCarryEveryByteOfKeyAndSecret)
{
    const QString key = QStringLiteral("PSd7+orr&AJ=nA"), secret = QStringLiteral("pu Qo%MS/한");
    const QUrlQuery q(QString::fromLatin1(TokenIssueBody(key, secret)));
    EXPECT_EQ(q.queryItemValue("appkey", QUrl::FullyDecoded), key);
    EXPECT_EQ(q.queryItemValue("appsecretkey", QUrl::FullyDecoded), secret);
    EXPECT_EQ(q.queryItemValue("grant_type"), "client_credentials");
    EXPECT_EQ(q.queryItemValue("scope"), "oob");
    const QByteArray revoke = TokenRevokeBody(key, secret, "eyJ.abc+def");
    const QUrlQuery r(QString::fromLatin1(revoke));
    EXPECT_EQ(r.queryItemValue("token", QUrl::FullyDecoded), "eyJ.abc+def");
    EXPECT_EQ(r.queryItemValue("token_type_hint"), "access_token");
    EXPECT_FALSE(revoke.contains('+')) << "a '+' would arrive as a space";
}

TEST(RestToken, AnswersGiveTheTokenAndItsLifeOrSayWhatFailed)
{
    const struct {
        int http;
        const char* body;
        TTokenFailure failure;
        qint64 life;
    } cases[] = {
        {200, R"({"access_token":"eyJ.a","token_type":"Bearer","expires_in":86400})", TTokenFailure::None, 86400},
        {200, R"({"access_token":"eyJ.a","expire_in":"3600"})", TTokenFailure::None, 3600},
        {200, R"({"access_token":"eyJ.a","expires_in":"7200"})", TTokenFailure::None, 7200},
        {200, R"({"access_token":"eyJ.a"})", TTokenFailure::None, KTokenDefaultLifeSec},
        {200, R"({"access_token":"eyJ.a","expires_in":-5})", TTokenFailure::None, KTokenDefaultLifeSec},
        {200, R"({"access_token":"eyJ.a","expires_in":1e30})", TTokenFailure::None, KTokenDefaultLifeSec},
        {401, R"({"rsp_cd":"IGW00105","rsp_msg":"유효하지 않은 AppKey"})", TTokenFailure::BadKey, 0},
        {403, "", TTokenFailure::BadKey, 0},
        {200, R"({"token_type":"Bearer"})", TTokenFailure::BadKey, 0},
        {500, R"({"rsp_cd":"IGW00201","rsp_msg":"호출 건수 초과"})", TTokenFailure::Rate, 0},
        {502, "<html>Bad Gateway</html>", TTokenFailure::Server, 0},
        {0, "", TTokenFailure::Server, 0},
    };
    for (const auto& c : cases) {
        const TTokenAnswer a = ReadTokenAnswer(c.http, c.body);
        EXPECT_EQ(a.Failure, c.failure) << c.http << " " << c.body;
        if (c.failure == TTokenFailure::None) {
            EXPECT_EQ(a.Token, "eyJ.a");
            EXPECT_EQ(a.ExpiresInSec, c.life) << c.body;
        } else {
            EXPECT_TRUE(a.Token.isEmpty());
            EXPECT_FALSE(a.Error.isEmpty());
        }
    }
    QString err;
    EXPECT_TRUE(ReadRevokeAnswer(200, R"({"code":200,"message":"접근토큰 폐기에 성공하였습니다."})", &err));
    EXPECT_TRUE(ReadRevokeAnswer(200, R"({"code":"200"})", &err));
    EXPECT_FALSE(ReadRevokeAnswer(200, R"({"code":400})", &err));
    EXPECT_FALSE(ReadRevokeAnswer(500, "", &err));
    EXPECT_FALSE(ReadRevokeAnswer(200, R"({"code":2.0044e83})", &err)) << "a code past any integer";
    EXPECT_FALSE(err.isEmpty());
}

TEST(RestToken, RenewedBeforeItEndsAndBeforeTheDailyCutOff)
{
    auto kst = [](int d, int h, int m) { return QDateTime(QDate(2026, 12, d), QTime(h, m), QTimeZone(9 * 3600)); };
    const struct {
        QDateTime issued;
        qint64 life;
        QDateTime renew;
    } cases[] = {
        {kst(10, 8, 0), 86400, kst(11, 6, 50)},    // a day's token crosses the cut-off: renewed before it
        {kst(10, 5, 0), 86400, kst(10, 6, 50)},    // issued before the cut-off the same morning
        {kst(10, 6, 55), 86400, kst(11, 6, 50)},   // issued after 06:50: the next day's
        {kst(10, 9, 0), 3600, kst(10, 9, 55)},     // an hour's token: five minutes before its end
        {kst(10, 6, 0), 3600, kst(10, 6, 50)},     // ... unless the cut-off comes first
        {kst(10, 9, 0), 120, kst(10, 9, 1)},       // a very short life: not sooner than a minute
        {kst(10, 9, 0), 0, kst(11, 6, 50)},        // no life given: a day
        {kst(10, 9, 0), 1, kst(10, 9, 0).addSecs(1)},   // a second's life: not at once (no storm of renewals)
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TokenRenewalAt(c.issued, c.life), c.renew) << c.issued.toString(Qt::ISODate).toStdString() << " " << c.life;
        // The same instants written in UTC give the same answer.
        EXPECT_EQ(TokenRenewalAt(c.issued.toUTC(), c.life), c.renew);
    }
}

TEST(RestToken, SecretsAreCutOutOfTexts)
{
    const QString t = Redacted("key PSd7orr secret puQoMS token eyJ0eXA.x, key again PSd7orr; ab stays",
                               {"PSd7orr", "puQoMS", "eyJ0eXA.x", "ab", ""});
    EXPECT_EQ(t, "key **** secret **** token ****, key again ****; ab stays");
}
