#include "trading/AccountData.h"
#include "trading/OrderEntry.h"
#include "FakeQuery.h"

#include <gtest/gtest.h>

namespace {
TMicheRow Sell(const QString& code, qint64 rem, int price = 10000)
{
    return TMicheRow{code, "이름", "1", "1", price, rem};
}
}

TEST(OrderEntry, SizingTable)
{
    struct Case {
        const char* name;
        TOrderInput in;
        qint64 held;           // -1: not held
        QVector<TMicheRow> miche;
        bool send;
        qint64 qty;
        const char* log;       // first log line, or "" for none
        const char* prefix;
    };
    auto sell = [](TSellMode m, const char* qtyText = "1") {
        TOrderInput in;
        in.Side = "1";
        in.Price = 10000;
        in.Code = "005930";
        in.SellMode = m;
        in.SellQtyText = qtyText;
        return in;
    };
    auto buy = [](bool amount, const char* qty, const char* amt, int price) {
        TOrderInput in;
        in.Side = "2";
        in.Price = price;
        in.Code = "005930";
        in.AmountMode = amount;
        in.QtyText = qty;
        in.AmtText = amt;
        return in;
    };
    const Case cases[] = {
        {"half within sellable", sell(TSellMode::Half), 10, {Sell("005930", 4)}, true, 5, "", "잔고 10주의 1/2 → "},
        {"half cut to sellable", sell(TSellMode::Half), 10, {Sell("005930", 8)}, true, 2,
         "1/2 매도 5주 → 팔 수 있는 2주로 줄임 (미체결 매도 8주)", "잔고 10주의 1/2 → "},
        {"third of one is one", sell(TSellMode::Third), 1, {}, true, 1, "", "잔고 1주의 1/3 → "},
        {"all offered already", sell(TSellMode::Half), 5, {Sell("005930", 5)}, false, 0,
         "팔 수 있는 수량이 없습니다 — 잔고 5주가 이미 전부 미체결 매도로 걸려 있음", ""},
        {"over sellable warned, still sent", sell(TSellMode::Qty, "5"), 3, {}, true, 5,
         "주의: 매도 5주 > 팔 수 있는 3주 (잔고 3 · 미체결 매도 0)", ""},
        {"all of the sellable", sell(TSellMode::All), 10, {Sell("005930", 3), Sell("000660", 7)}, true, 7, "",
         "잔고 10주 - 미체결 매도 3주 = 전체 → "},
        {"fraction without holding", sell(TSellMode::All), -1, {}, false, 0, "잔고가 없어 전체 매도를 할 수 없습니다", ""},
        {"amount buys 14", buy(true, "1", "1,000,000", 70000), -1, {}, true, 14, "", "금액 1,000,000 → "},
        {"amount buys nothing", buy(true, "1", "1,000,000", 2000000), -1, {}, false, 0,
         "금액 1,000,000 원으로는 2,000,000 원 1주도 안 됩니다", ""},
        {"empty amount", buy(true, "1", "", 70000), -1, {}, false, 0, "주문 금액을 넣어 주세요", ""},
        {"quantity with comma", buy(false, "1,000", "", 500), -1, {}, true, 1000, "", ""},
        {"quantity not a number", buy(false, "abc", "", 500), -1, {}, false, 0, "수량을 넣어 주세요", ""},
        {"no price", buy(false, "3", "", 0), -1, {}, false, 0, "가격을 넣어 주세요", ""},
        {"quantity beyond 32 bits", buy(false, "9999999999", "", 500), -1, {}, false, 0,
         "주문 수량이 너무 큽니다 (9,999,999,999주)", ""},
        {"amount beyond 32 bits", buy(true, "1", "999999999999999", 1), -1, {}, false, 0,
         "주문 수량이 너무 큽니다 (999,999,999,999,999주)", "금액 999,999,999,999,999 → "},
    };
    for (const Case& c : cases) {
        QHash<QString, THold> holds;
        if (c.held >= 0)
            holds.insert("005930", THold{c.held, 9000});
        const TOrderDecision d = DecideOrder(c.in, holds, c.miche);
        EXPECT_EQ(d.Send, c.send) << c.name;
        if (c.send) {
            EXPECT_EQ(d.Qty, c.qty) << c.name;
        }
        EXPECT_EQ(d.Log.value(0), QString::fromUtf8(c.log)) << c.name;
        EXPECT_EQ(d.Prefix, QString::fromUtf8(c.prefix)) << c.name;
    }
}

TEST(OrderEntry, AmountFieldRegroupsDigits)
{
    EXPECT_EQ(FormatAmountText("12a34567"), "1,234,567");
    EXPECT_EQ(FormatAmountText(""), "");
    EXPECT_EQ(FormatAmountText("abc"), "");
    EXPECT_EQ(FormatAmountText("2,500,000"), "2,500,000");
}

TEST(AccountData, UnfilledOrdersAndButtons)
{
    TFakeQuery q;
    auto row = [](const char* code, const char* medosu, const char* ordgb, const char* price, const char* rem,
                  const char* no) {
        return TFakeQuery::TRow{{"expcode", code}, {"medosu", medosu}, {"ordgb", ordgb}, {"price", price},
                                {"ordrem", rem}, {"ordno", no}};
    };
    q.Blocks["t0425OutBlock1"] = {
        row("A005930", "매도", "매도", "10000", "3", "11"), row("005930", "1", "", "10000", "2", "12"),
        row("005930", "매도", "", "10050", "1", "13"),     row("005930", "매수", "", "9990", "0", "14"),
        row("005930", "매수", "취소", "9990", "5", "15"),  row("000660", "2", "", "150000", "4", "16"),
    };
    const QVector<TMicheRow> m = ParseMiche(q, [](const QString& c) { return c == "005930" ? "삼성전자" : c; });
    ASSERT_EQ(m.size(), 4);
    EXPECT_EQ(m[0].Code, "005930");  // a 7-character code keeps its last six
    EXPECT_EQ(m[3].Side, "2");
    EXPECT_EQ(MicheTabCaption(m.size()), "  미체결 (4)  ");
    EXPECT_EQ(MicheTabCaption(0), "  미체결  ");
    const auto caps = CancelButtonCaptions(m, "005930");
    EXPECT_EQ(caps.first, "매도 전체취소 (3)");
    EXPECT_EQ(caps.second, "매수 전체취소");
    const auto sells = MicheRowsOf(m, "005930", "1");
    EXPECT_EQ(CancelConfirmLines(sells), QStringList({"삼성전자  매도  여러 가격", "미체결 3건 6주 취소할까요?"}));
    EXPECT_EQ(MicheRowsAt(m, "005930", "1", 10000).size(), 2);
    EXPECT_TRUE(MicheRowsAt(m, "005930", "1", 0).isEmpty());  // a price of 0 is no price, not "all"
}

TEST(AccountData, BalanceAndFills)
{
    TFakeQuery q;
    q.Blocks["CSPAQ12300OutBlock3"] = {
        {{"IsuNo", "A005930"}, {"IsuNm", "삼성전자"}, {"BnsBaseBalQty", "10"}, {"AvrUprc", "0"}, {"BuyPrc", "70100"},
         {"NowPrc", "71000"}, {"EvalPnl", "9000"}, {"PnlRat", "1.28"}},
    };
    QHash<QString, THold> holds;
    const auto rows = ParseBalance(q, holds);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].Code, "005930");
    EXPECT_EQ(rows[0].Avg, "70,100");
    EXPECT_EQ(holds.value("005930").Qty, 10);
    EXPECT_DOUBLE_EQ(holds.value("005930").Avg, 70100);

    TFakeQuery f;
    f.Blocks["t0425OutBlock1"] = {
        {{"cheqty", "3"}, {"expcode", "005930"}, {"cheprice", "0"}, {"price", "70000"}, {"ordtime", "093012"},
         {"medosu", "매수"}},
        {{"cheqty", "1"}, {"expcode", "005930"}, {"cheprice", "70500"}, {"ordtime", "2359"}, {"medosu", "1"}},
        {{"cheqty", "0"}, {"expcode", "005930"}, {"cheprice", "70500"}, {"ordtime", "1000"}},
        {{"cheqty", "2"}, {"expcode", "000660"}, {"cheprice", "150000"}, {"ordtime", "1000"}},
    };
    const auto fills = ParseFills(f, "005930", "20261210");
    ASSERT_EQ(fills.size(), 2);
    EXPECT_EQ(fills[0].D, "202612100931");
    EXPECT_TRUE(fills[0].Buy);
    EXPECT_DOUBLE_EQ(fills[0].Price, 70000);
    EXPECT_EQ(fills[1].D, "202612102400");
    EXPECT_FALSE(fills[1].Buy);
    EXPECT_DOUBLE_EQ(ReadFee("abc"), 0.3);
    EXPECT_DOUBLE_EQ(ReadFee(" 0.25 "), 0.25);
    EXPECT_DOUBLE_EQ(ReadFee("nan"), 0.3);
    EXPECT_DOUBLE_EQ(ReadFee("inf"), 0.3);
}
