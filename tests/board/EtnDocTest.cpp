// The ETN holdings document: tolerant reading, whole swaps, caps and plain
// texts, and what the program shows and logs across fetches.
#include "board/EtnDoc.h"

#include <gtest/gtest.h>

namespace {

const char* kGood = R"({"date":"20261209","prev_date":"20261208",
 "groups":{"kq_inv2x":{"inv":42000000,"chg":-150000,"chg_pct":-0.36},"semi_lev":{"inv":"6,500,000","chg":null,"chg_pct":"1.5"},
           "semi_inv":{"inv":3800000.4}, "hx_lev":"broken"},
 "hist":[{"date":"20261208","inv":{"kq_inv2x":42150000}}, 7, {"date":"20261209","inv":{"kq_inv2x":42000000,"semi_lev":"6500000"}}],
 "lp_low":[{"name":"신한 코스닥150 인버스2X ETN","inv_pct":82.6,"lp_left":12000}, "x"],
 "movers":[{"name":"반도체 레버리지 ETN","chg":-150000,"chg_pct":-2.25}],
 "notes":[{"t":"up","s":"인버스 늘었다"},{"s":"종류 없음"},{"t":"a|b","s":"줄\n바꿈"}]})";

TEST(EtnDoc, ReadsTolerantly)
{
    TEtnDoc d;
    ASSERT_EQ(ReadEtnDoc(kGood, &d), TEtnRead::Ok);
    EXPECT_EQ(d.Date, "20261209");
    EXPECT_EQ(d.PrevDate, "20261208");
    EXPECT_EQ(d.Inv[0], 42000000);
    EXPECT_EQ(d.Chg[0], -150000);
    EXPECT_DOUBLE_EQ(d.Pct[0], -0.36);
    EXPECT_EQ(d.Inv[2], 6500000);   // text with separators
    EXPECT_EQ(d.Chg[2], 0);         // null
    EXPECT_DOUBLE_EQ(d.Pct[2], 1.5);
    EXPECT_EQ(d.Inv[3], 3800000);
    EXPECT_EQ(d.Inv[5], 0);         // group not an object
    // History keeps the place of a bad element.
    ASSERT_EQ(d.HD, (QStringList{"20261208", "", "20261209"}));
    for (int g = 0; g < kEtnGroups; ++g)
        EXPECT_EQ(d.HV[g].size(), 3);
    EXPECT_EQ(d.HV[0], (QVector<qint64>{42150000, 0, 42000000}));
    EXPECT_EQ(d.HV[2][2], 6500000);
    EXPECT_EQ(d.Low, (QStringList{"신한 코스닥150 인버스2X ETN   투자자 83% · LP 남은 12,000"}));
    EXPECT_EQ(d.Mov, (QStringList{"반도체 레버리지 ETN   -150,000 (-2.3%)"}));
    EXPECT_EQ(d.Notes, (QStringList{"up|인버스 늘었다", "info|종류 없음", "ab|줄 바꿈"}));
}

TEST(EtnDoc, RefusesWhatIsNoDocument)
{
    struct {
        const char* body;
        TEtnRead want;
    } cases[] = {
        {"", TEtnRead::NotObject},
        {"<html>502</html>", TEtnRead::NotObject},
        {"[1,2]", TEtnRead::NotObject},
        {"{\"date\":", TEtnRead::NotObject},
        {"{}", TEtnRead::NoDate},
        {"{\"date\":\"\"}", TEtnRead::NoDate},
        {"{\"date\":null}", TEtnRead::NoDate},
        {"{\"date\":\"2026-12-09\"}", TEtnRead::NoDate},
        {"{\"date\":\"20261209\"}", TEtnRead::Ok},
        {"{\"date\":20261209}", TEtnRead::Ok},
    };
    for (const auto& c : cases) {
        TEtnDoc d;
        d.Date = "keep";
        const TEtnRead r = ReadEtnDoc(c.body, &d);
        EXPECT_EQ(r, c.want) << c.body;
        if (r != TEtnRead::Ok) {
            EXPECT_EQ(d.Date, "keep") << c.body;
        }
    }
}

TEST(EtnDoc, CapsListsAndTexts)
{
    QByteArray b = "{\"date\":\"20261209\",\"hist\":[";
    for (int i = 0; i < kEtnMaxHist + 50; ++i)
        b += (i ? "," : "") + QByteArray("{\"date\":\"2026") + QByteArray::number(10000 + i).right(4) + "\"}";
    b += "],\"lp_low\":[";
    for (int i = 0; i < kEtnMaxLines + 10; ++i)
        b += (i ? "," : "") + QByteArray("{\"name\":\"<b>x</b>") + QByteArray(500, 'y') + "\"}";
    b += "]}";
    TEtnDoc d;
    ASSERT_EQ(ReadEtnDoc(b, &d), TEtnRead::Ok);
    EXPECT_EQ(d.HD.size(), kEtnMaxHist);
    EXPECT_EQ(d.HD.last(), "20260449");   // the newest kept
    EXPECT_EQ(d.Low.size(), kEtnMaxLines);
    EXPECT_LT(d.Low.first().size(), 120);
    EXPECT_EQ(EtnPlain(QStringLiteral("a\t\u0000b\u202Ec  \r\n d"), 20), "a b c d");
    EXPECT_EQ(EtnPlain(QString(300, 'z')).size(), kEtnMaxText);
}

TEST(EtnHoldings, ShowsLogsOnceAndKeepsTheLastGoodFigures)
{
    TEtnHoldings h;
    // No document yet: the connection failure shows, logged once per text.
    EXPECT_EQ(h.Apply("#ERR 503"), "ETN개인: 서버 응답 없음 #ERR 503");
    EXPECT_EQ(h.Msg, "서버 연결 실패");
    EXPECT_EQ(h.Apply("#ERR 503"), "");
    EXPECT_EQ(h.Apply("{}"), "");
    EXPECT_EQ(h.Msg, "아직 자료 없음");
    EXPECT_FALSE(h.Ok);

    const QString line = h.Apply(QString::fromUtf8(kGood));
    EXPECT_EQ(line, "ETN개인 20261209: 코스닥인버스2X 4,200만(-150,000) · 반도체 레버 650만 · 인버 380만 · LP소진 1종목");
    EXPECT_TRUE(h.Ok);
    EXPECT_TRUE(h.Msg.isEmpty());
    // The same date every 30 minutes: logged once.
    EXPECT_EQ(h.Apply(QString::fromUtf8(kGood)), "");
    // Garbage and failures keep the figures on show.
    EXPECT_EQ(h.Apply("not json"), "");
    EXPECT_EQ(h.Doc.Inv[0], 42000000);
    EXPECT_EQ(h.Apply("#ERR timeout"), "ETN개인: 서버 응답 없음 #ERR timeout");
    EXPECT_EQ(h.Doc.Inv[0], 42000000);
    EXPECT_TRUE(h.Ok);
    // An error in between makes the next success log again.
    EXPECT_FALSE(h.Apply(QString::fromUtf8(kGood)).isEmpty());
}

} // namespace
