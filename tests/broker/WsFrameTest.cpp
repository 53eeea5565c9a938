// The real-time WebSocket's frames: what the program asks for, and records
// read as the texts its handlers read.
#include "broker/WsFrame.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

TEST(WsFrame, RequestFramesCarryTokenTypeFeedAndCode)
{
    const QJsonObject f = QJsonDocument::fromJson(WsRequestFrame("tok\"en", TWsType::Subscribe, "S3_", "005930")).object();
    EXPECT_EQ(f["header"].toObject()["token"].toString(), "tok\"en");
    EXPECT_EQ(f["header"].toObject()["tr_type"].toString(), "3");
    EXPECT_EQ(f["body"].toObject()["tr_cd"].toString(), "S3_");
    EXPECT_EQ(f["body"].toObject()["tr_key"].toString(), "005930");
    const QJsonObject acct = QJsonDocument::fromJson(WsRequestFrame("t", TWsType::Register, "SC1", "")).object();
    EXPECT_EQ(acct["header"].toObject()["tr_type"].toString(), "1");
    EXPECT_EQ(acct["body"].toObject()["tr_key"].toString(), "");
}

TEST(WsFrame, RecordsRepliesAndBrokenFrames)
{
    TWsFrame f;
    QString err;
    ASSERT_TRUE(ParseWsFrame(R"({"header":{"tr_cd":"S3_","tr_key":"005930"},
        "body":{"price":"71500","cvolume":"12","chetime":"090001","drate":-0.25,"n":null}})", f, &err)) << err.toStdString();
    EXPECT_TRUE(f.Data);
    EXPECT_EQ(f.TrCd, "S3_");
    EXPECT_EQ(f.TrKey, "005930");
    EXPECT_EQ(f.Field("price"), "71500");
    EXPECT_EQ(f.Field("chetime"), "090001") << "leading zeros kept";
    EXPECT_EQ(f.Field("drate"), "-0.25");
    EXPECT_EQ(f.Field("n"), "");
    EXPECT_EQ(f.Field("absent"), "");

    // The server's answer to a subscription: a header, no body.
    ASSERT_TRUE(ParseWsFrame(R"({"header":{"tr_cd":"S3_","tr_key":"005930","rsp_cd":"00000","rsp_msg":"정상처리"},"body":null})", f, &err));
    EXPECT_FALSE(f.Data);
    EXPECT_EQ(f.Code, "00000");
    EXPECT_EQ(f.Msg, "정상처리");

    const char* broken[] = {
        "", "ping", R"({"header":{"tr_cd":"S3_"},"body":{"price":"71)",   // cut off mid-frame
        R"([1,2])", R"({"body":{"price":"1"}})",                         // no header
        R"({"header":{"tr_key":"005930"},"body":{"price":"1"}})",         // a record of no feed
        R"({"header":{"tr_cd":"S3_"},"body":"71500"})",
        R"({"header":"S3_","body":{}})",
    };
    for (const char* b : broken) {
        f.TrCd = "stale";
        EXPECT_FALSE(ParseWsFrame(b, f, &err)) << b;
        EXPECT_FALSE(err.isEmpty()) << b;
        EXPECT_TRUE(f.TrCd.isEmpty() && f.Fields.isEmpty()) << b;
    }
    // An error text never quotes the frame: a frame may echo the token.
    ASSERT_FALSE(ParseWsFrame(R"({"header":{"token":"SECRET-TOKEN","tr_cd":"S3_"},"body":5})", f, &err));
    EXPECT_FALSE(err.contains("SECRET")) << err.toStdString();
}
