// A transaction's REST body and answer: what goes out is what the program
// set, what comes back reads as the program reads every other backend.
#include "broker/RestTr.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

// A quote and a chart of several records, in the result-layout format.
const char* KLayout = R"(BEGIN_FUNCTION_MAP
	.Func,차트(t9999),t9999,block,headtype=A;
	BEGIN_DATA_MAP
	t9999InBlock,입력,input;
	begin
		단축코드,shcode,shcode,char,6;
		건수,qrycnt,qrycnt,long,4;
		비율,ratio,ratio,float,6.2;
	end
	t9999InBlock1,여러입력,input,occurs;
	begin
		주문번호,ordno,ordno,long,10;
	end
	t9999OutBlock,출력,output;
	begin
		한글명,hname,hname,char,20;
		현재가,price,price,long,8;
		등락율,diff,diff,float,6.2;
		연속일자,cts_date,cts_date,char,8;
	end
	t9999OutBlock1,봉,output,occurs;
	begin
		날짜,date,date,char,8;
		종가,close,close,long,8;
		거래량,jdiff_vol,jdiff_vol,long,12;
	end
	END_DATA_MAP
END_FUNCTION_MAP
)";

TResLayout Layout()
{
    TResLayout l;
    QString err;
    EXPECT_TRUE(ParseResLayout(QString::fromUtf8(KLayout), QStringLiteral("test"), l, &err)) << err.toStdString();
    return l;
}

QJsonObject Json(const QByteArray& b) { return QJsonDocument::fromJson(b).object(); }

} // namespace

TEST(RestTr, RequestBodySendsNumbersAsNumbersAndEveryRecordSet)
{
    const TResLayout l = Layout();
    TRestInputs in;
    in.Set("t9999InBlock", "shcode", 0, "005930");
    in.Set("t9999InBlock", "qrycnt", 0, " 500 ");
    in.Set("t9999InBlock", "ratio", 0, "-1.25");
    in.Set("t9999InBlock1", "ordno", 0, "1001");
    in.Set("t9999InBlock1", "ordno", 2, "1003");   // record 1 left unset
    QString err;
    const QJsonObject b = Json(RestRequestBody(l, in, &err));
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    const QJsonObject one = b.value("t9999InBlock").toObject();
    EXPECT_EQ(one.value("shcode"), QJsonValue("005930")) << "a code keeps its leading zeros as text";
    EXPECT_EQ(one.value("qrycnt"), QJsonValue(500));
    EXPECT_DOUBLE_EQ(one.value("ratio").toDouble(), -1.25);
    const QJsonArray many = b.value("t9999InBlock1").toArray();
    ASSERT_EQ(many.size(), 3);
    EXPECT_EQ(many[0].toObject().value("ordno"), QJsonValue(1001));
    EXPECT_EQ(many[1].toObject().value("ordno"), QJsonValue(0)) << "an empty number goes as 0";
    EXPECT_EQ(many[2].toObject().value("ordno"), QJsonValue(1003));
    EXPECT_FALSE(b.contains("t9999OutBlock"));

    // Nothing set: one record of defaults in each block.
    const QJsonObject empty = Json(RestRequestBody(l, TRestInputs(), &err));
    EXPECT_EQ(empty.value("t9999InBlock1").toArray().size(), 1);
    EXPECT_EQ(empty.value("t9999InBlock").toObject().value("shcode"), QJsonValue(""));
}

TEST(RestTr, RequestWithAValueThatIsNotItsNumberIsNotMade)
{
    const TResLayout l = Layout();
    const struct {
        const char* field;
        const char* value;
    } bad[] = {{"qrycnt", "1,000"}, {"qrycnt", "12.5"}, {"qrycnt", "abc"}, {"qrycnt", "99999999999999999999"},
               {"qrycnt", "-"},     {"ratio", "1.2.3"}, {"ratio", "1e5"},  {"qrycnt", "5 0"}};
    for (const auto& c : bad) {
        TRestInputs in;
        in.Set("t9999InBlock", c.field, 0, c.value);
        QString err;
        EXPECT_TRUE(RestRequestBody(l, in, &err).isEmpty()) << c.field << "=" << c.value;
        EXPECT_TRUE(err.contains(c.field)) << err.toStdString();
    }
}

TEST(RestTr, AnswerReadsAsTextsInLayoutOrder)
{
    const TResLayout l = Layout();
    const QByteArray body = R"({
        "rsp_cd": "00000", "rsp_msg": "조회완료",
        "t9999OutBlock": {"price": 71500, "hname": "삼성전자", "diff": 2.44, "extra": [1, 2]},
        "t9999OutBlock1": [
            {"date": "20261210", "close": 71500, "jdiff_vol": 12345678901},
            {"date": "20261209", "close": 70000.0, "jdiff_vol": null},
            {"close": "69,900", "date": 20261208}
        ],
        "unknownBlock": {"x": 1}, "t9999InBlock": {"shcode": "x"}
    })";
    TRestAnswer a;
    QString err;
    ASSERT_TRUE(ParseRestAnswer(body, l, a, &err)) << err.toStdString();
    EXPECT_EQ(a.Code, "00000");
    EXPECT_EQ(a.Msg, "조회완료");
    ASSERT_EQ(a.Blocks.size(), 2) << "only the layout's output blocks";
    const TTrBlock* q = a.Block("T9999OUTBLOCK");
    ASSERT_TRUE(q);
    EXPECT_EQ(q->Fields, QStringList({"hname", "price", "diff", "cts_date"}));
    ASSERT_EQ(q->Rows.size(), 1);
    EXPECT_EQ(q->Rows[0], QStringList({"삼성전자", "71500", "2.44", ""})) << "a missing text reads empty";
    const TTrBlock* bars = a.Block("t9999OutBlock1");
    ASSERT_TRUE(bars);
    ASSERT_EQ(bars->Rows.size(), 3);
    EXPECT_EQ(bars->Rows[0], QStringList({"20261210", "71500", "12345678901"}));
    EXPECT_EQ(bars->Rows[1], QStringList({"20261209", "70000", "0"})) << "a null number reads 0";
    EXPECT_EQ(bars->Rows[2], QStringList({"20261208", "69,900", "0"})) << "texts stay as the broker wrote them";
}

TEST(RestTr, OneRecordAsAnObjectEmptyAnswersAndBrokenOnes)
{
    const TResLayout l = Layout();
    TRestAnswer a;
    QString err;
    // A block of several records that holds one may come as an object.
    ASSERT_TRUE(ParseRestAnswer(R"({"rsp_cd":"00000","t9999OutBlock1":{"date":"20261210","close":1}})", l, a, &err));
    ASSERT_TRUE(a.Block("t9999OutBlock1"));
    EXPECT_EQ(a.Block("t9999OutBlock1")->Rows.size(), 1);
    // No data: the code and message, no blocks.
    ASSERT_TRUE(ParseRestAnswer(R"({"rsp_cd":"00200","rsp_msg":"해당자료가 없습니다."})", l, a, &err));
    EXPECT_EQ(a.Code, "00200");
    EXPECT_TRUE(a.Blocks.isEmpty());
    // A numeric code still reads as its text.
    ASSERT_TRUE(ParseRestAnswer(R"({"rsp_cd":707,"t9999OutBlock1":[]})", l, a, &err));
    EXPECT_EQ(a.Code, "707");
    EXPECT_EQ(a.Block("t9999OutBlock1")->Rows.size(), 0);

    const char* broken[] = {
        "",                                       // nothing
        "<html>502 Bad Gateway</html>",           // a proxy's page
        R"({"rsp_cd":"00000","t9999OutBlock1":[{"date":"1"},)",   // cut off
        R"([{"rsp_cd":"00000"}])",                // not an object
        R"({"t9999OutBlock1":[1,2,3]})",          // records that are not objects
        R"({"t9999OutBlock":"text"})",            // a block that is a text
    };
    for (const char* b : broken) {
        a.Code = "stale";
        err.clear();
        EXPECT_FALSE(ParseRestAnswer(b, l, a, &err)) << b;
        EXPECT_FALSE(err.isEmpty()) << b;
        EXPECT_TRUE(a.Code.isEmpty() && a.Blocks.isEmpty()) << "a refused answer leaves nothing behind: " << b;
    }
}

TEST(RestTr, NumbersReadAsPlainDecimals)
{
    const TResLayout l = Layout();
    const struct {
        const char* json;
        const char* text;
    } cases[] = {
        {"0", "0"},          {"-1700", "-1700"},   {"2.44", "2.44"},     {"-0.05", "-0.05"},
        {"1e3", "1000"},     {"0.1", "0.1"},       {"123456789012", "123456789012"},
        {"1e20", "100000000000000000000"},         {"true", "1"},
    };
    for (const auto& c : cases) {
        TRestAnswer a;
        QString err;
        ASSERT_TRUE(ParseRestAnswer(QByteArray(R"({"t9999OutBlock":{"diff":)") + c.json + "}}", l, a, &err)) << c.json;
        EXPECT_EQ(a.Block("t9999OutBlock")->Rows[0][2], QString(c.text)) << c.json;
    }
}

TEST(RestTr, RoutesOfTheTransactionsTheProgramUses)
{
    const struct {
        const char* tr;
        const char* path;
        const char* code;
    } cases[] = {
        {"t1101", "/stock/market-data", "t1101"}, {"t8412", "/stock/chart", "t8412"},
        {"t0424", "/stock/accno", "t0424"},       {"CSPAQ12300", "/stock/accno", "CSPAQ12300"},
        {"CSPAT00600", "/stock/order", "CSPAT00601"}, {"CSPAT00700", "/stock/order", "CSPAT00701"},
        {"cspat00800", "/stock/order", "CSPAT00801"}, {"t1637", "/stock/program", "t1637"},
        {"t3102", "/stock/investinfo", "t3102"},   {"t0167", "/etc/time-search", "t0167"},
        {" t8430 ", "/stock/etc", "t8430"},        {"t1441", "/stock/high-item", "t1441"},
        {"t8409", "/indtp/chart", "t8418"},       {"t3521", "/stock/investinfo", "t3521"},
        {"t9999", "", ""},                         {"", "", ""},
    };
    for (const auto& c : cases) {
        const TRestRoute r = RestRouteOf(c.tr);
        EXPECT_EQ(r.Path, c.path) << c.tr;
        EXPECT_EQ(r.Code, c.code) << c.tr;
    }
}

TEST(RestTr, FaultsAndContinuation)
{
    const struct {
        int http;
        const char* code;
        const char* msg;
        TRestFault fault;
    } cases[] = {
        {200, "00000", "", TRestFault::None},           {200, "00133", "", TRestFault::None},
        {500, "IGW00201", "호출 건수 초과", TRestFault::Rate}, {500, "IGW00121", "", TRestFault::Token},
        {401, "", "", TRestFault::Token},               {403, "", "", TRestFault::Token},
        {500, "", "접근토큰이 만료되었습니다", TRestFault::Token}, {500, "IGW40011", "", TRestFault::Request},
        {500, "IGW00215", "", TRestFault::Request},     {500, "IGW50008", "", TRestFault::Gateway},
        {502, "", "", TRestFault::Gateway},             {200, "01427", "호가 범위", TRestFault::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RestFaultOf(c.http, c.code, QString::fromUtf8(c.msg)), c.fault) << c.http << " " << c.code;

    EXPECT_TRUE(RestContinuation("Y", " 20261210093000 ").More);
    EXPECT_EQ(RestContinuation("y", "k1").Key, "k1");
    EXPECT_FALSE(RestContinuation("N", "k1").More);
    EXPECT_TRUE(RestContinuation("N", "k1").Key.isEmpty());
    EXPECT_FALSE(RestContinuation("", "").More);
}
