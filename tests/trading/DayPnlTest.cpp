// Today's realized profit: reading the three answers, the figures per stock,
// the label, the caption and the grid texts.
#include "FakeQuery.h"
#include "trading/DayPnl.h"

#include <gtest/gtest.h>

namespace {

using TRow = TFakeQuery::TRow;

TRow Fill(const QString& code, const QString& medosu, qint64 qty, const QString& price, const QString& ordgb = "보통")
{
    return {{"expcode", code}, {"medosu", medosu}, {"cheqty", QString::number(qty)}, {"cheprice", price}, {"ordgb", ordgb}};
}

// A day built from rows: fills, journal rows (code, side, fee, tax), previous averages.
struct Day {
    TDayPnl p;
    QHash<QString, QPair<qint64, double>> holds;  // the balance

    Day()
    {
        p.HoldOf = [this](const QString& c, qint64* q, double* a) {
            if (!holds.contains(c))
                return false;
            *q = holds[c].first;
            *a = holds[c].second;
            return true;
        };
        p.Rates = RatesFromFeeBox(0.23, KDefaultSellTax);  // 0.015 % a side
    }
    void Fills(const QVector<TRow>& rows)
    {
        TFakeQuery q;
        q.Blocks["t0425OutBlock1"] = rows;
        QString next;
        p.BeginFills();
        EXPECT_FALSE(p.AddFillsPage(q, &next));
    }
    void Journal(const QVector<TRow>& rows)
    {
        TFakeQuery q;
        q.Blocks["t0150OutBlock1"] = rows;
        QStringList next;
        p.BeginCosts();
        EXPECT_FALSE(p.AddCostsPage(q, &next));
    }
    void Balance(const QString& total, const QVector<TRow>& rows)
    {
        TFakeQuery q;
        q.Blocks["t0424OutBlock"] = {{{"dtsunik", total}}};
        q.Blocks["t0424OutBlock1"] = rows;
        QString next;
        p.BeginHolds();
        EXPECT_FALSE(p.AddHoldsPage(q, &next));
    }
    int RowOf(const QString& code) const
    {
        for (int i = 0; i < p.FPnl.size(); ++i)
            if (p.FPnl[i].Code == code)
                return i;
        return -1;
    }
    TPnlCells Cells(const QString& code) const { return p.CellsOf(RowOf(code), code); }
};

}  // namespace

TEST(DayPnl, ClosedWithJournalCostsUsesThemExactly)
{
    Day d;
    d.Fills({Fill("005930", "매수", 10, "10000"), Fill("005930", "매도", 10, "10500")});
    d.Journal({{{"expcode", "005930"}, {"medosu", "매수"}, {"fee", "15"}},
               {{"expcode", "005930"}, {"medosu", "매도"}, {"fee", "16"}, {"tax", "200"}, {"argtax", "10"}}});
    d.p.Rebuild();
    const TPnlFigure f = d.p.PnlOf(d.p.FPnl[0]);
    ASSERT_TRUE(f.Known);
    EXPECT_EQ(f.Profit, 4759);
    EXPECT_DOUBLE_EQ(f.Percent, 4.759);
    const TPnlCells c = d.Cells("005930");
    EXPECT_EQ(c.Text[1], "청산");
    EXPECT_EQ(c.Color[1], QColor(0, 128, 0));
    EXPECT_EQ(c.Text[6], "+4,759");
    EXPECT_EQ(c.Color[6], QColor(229, 57, 53));
    EXPECT_EQ(c.Text[7], "+4.76%");
    EXPECT_EQ(d.p.LabelText(), "오늘 실현손익 합계  +4,759원   (청산 1종목 · 전일 보유분 포함 · 실제 수수료·세금)");
    EXPECT_EQ(d.p.TabCaption(), "  당일손익 +4,759  ");
}

TEST(DayPnl, SaleOfEarlierHoldingTakesThePreviousAverage)
{
    Day d;
    d.Fills({Fill("000660", "1", 5, "9000")});
    d.Balance("", {{{"expcode", "A000660"}, {"pamt", "8000"}}});
    d.p.Rebuild();
    const TPnlFigure f = d.p.PnlOf(d.p.FPnl[0]);
    ASSERT_TRUE(f.Known);
    EXPECT_EQ(f.Cost, 40000);
    // 45,000 - 40,000 - tax 90 - sell fee 6 (no buy today, no buy fee).
    EXPECT_EQ(f.Profit, 4904);
    EXPECT_EQ(d.Cells("000660").Text[1], "청산 (전일분 포함)");
    EXPECT_EQ(d.Cells("000660").Text[2], "");

    // Without t0424 the balance's average serves; with neither, unknown.
    d.p.FPnlHold.clear();
    d.holds["000660"] = {3, 7000};
    EXPECT_EQ(d.p.PnlOf(d.p.FPnl[0]).Cost, 35000);
    EXPECT_EQ(d.Cells("000660").Text[1], "일부청산 (전일분 포함)");
    d.holds.clear();
    EXPECT_FALSE(d.p.PnlOf(d.p.FPnl[0]).Known);
}

// Estimated costs are whole won of exact products; ETFs and ETNs pay no tax.
TEST(DayPnl, EstimateInWholeWonAndTaxFreeCodes)
{
    struct Case {
        const char* name;
        double feeBox;
        bool taxFree;
        qint64 profit;
    };
    // Bought 100 @ 9,000 and sold 100 @ 10,000: sale 1,000,000, cost 900,000.
    const Case cases[] = {
        {"tax 2,000, sell fee 150, buy fee 135", 0.23, false, 1000000 - 900000 - 2000 - 150 - 135},
        {"ETF: no tax", 0.23, true, 1000000 - 900000 - 150 - 135},
        {"box 0.3: 0.05 % a side", 0.3, false, 1000000 - 900000 - 2000 - 500 - 450},
        {"box below the tax: no fee", 0.1, false, 1000000 - 900000 - 2000},
    };
    for (const Case& k : cases) {
        Day d;
        d.p.Rates = RatesFromFeeBox(k.feeBox, KDefaultSellTax);
        d.p.IsTaxFree = [&k](const QString& c) { return k.taxFree && c == "069500"; };
        d.Fills({Fill("069500", "2", 100, "9000"), Fill("069500", "1", 100, "10000")});
        d.p.Rebuild();
        EXPECT_EQ(d.p.PnlOf(d.p.FPnl[0]).Profit, k.profit) << k.name;
    }
}

TEST(DayPnl, CostOfIsExactForEveryAmount)
{
    const struct {
        qint64 amount, rate, cost;
    } cases[] = {
        {1000000, 20000, 2000},           // 0.20 %
        {1000000, 1500, 150},             // 0.015 %
        {999999, 20000, 1999},            // cut, never rounded up
        {123456789, 18000, 222222},       // 0.18 %
        {4503599627370497, 20000, 9007199254740},  // beyond a double's whole numbers
        {9000000000000000000, 20000, 18000000000000000},
        {0, 20000, 0},
        {-5, 20000, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CostOf(c.amount, c.rate), c.cost) << c.amount;
}

TEST(DayPnl, RatesAndTheirTexts)
{
    EXPECT_EQ(PercentToRate("0.20"), 20000);
    EXPECT_EQ(PercentToRate(" 0.015% "), 1500);
    EXPECT_EQ(PercentToRate("0.18"), 18000);
    EXPECT_EQ(PercentToRate("abc"), std::nullopt);
    EXPECT_EQ(PercentToRate("-1"), std::nullopt);
    EXPECT_EQ(PercentToRate("101"), std::nullopt);
    EXPECT_EQ(RateText(20000), "0.20");
    EXPECT_EQ(RateText(1500), "0.015");
    EXPECT_EQ(RatesFromFeeBox(0.3, 20000).FeePerSide, 5000);
    EXPECT_EQ(RatesFromFeeBox(0.1, 20000).FeePerSide, 0);
}

TEST(DayPnl, EstimateLabelSaysWhatItAssumes)
{
    Day d;
    d.p.Rates = RatesFromFeeBox(0.3, KDefaultSellTax);
    d.Fills({Fill("005930", "2", 1, "1000"), Fill("005930", "1", 1, "1000")});
    d.p.Rebuild();
    EXPECT_EQ(d.p.LabelText(),
              "오늘 실현손익 합계  -2원   (청산 1종목 · 전일 보유분 포함 · 수수료·세금 왕복 0.30% 가정(거래세 0.20% 포함))");
    EXPECT_EQ(d.p.LabelColor(), QColor(30, 136, 229));
    d.p.Rates = RatesFromFeeBox(0.1, KDefaultSellTax);
    d.p.Rebuild();
    EXPECT_TRUE(d.p.LabelText().endsWith("(청산 1종목 · 전일 보유분 포함 · 거래세 0.20% 가정 · 수수료 없음)"));
    // A journal that lacks a sold stock: that stock is estimated and the label says so.
    d.Journal({{{"expcode", "000660"}, {"medosu", "매수"}, {"fee", "15"}}});
    d.p.Rebuild();
    EXPECT_TRUE(d.p.LabelText().contains("· 1종목 거래세 0.20% 가정"));
}

TEST(DayPnl, BrokerTotalAndUnknownAverages)
{
    // Two unknowns: the reverse-computed form, both rows "평단 모름".
    Day d;
    d.Fills({Fill("111111", "1", 1, "1000"), Fill("222222", "1", 1, "1000")});
    d.Balance("12000", {});
    d.p.Rebuild();
    EXPECT_EQ(d.p.LabelText(),
              "오늘 실현손익  +12,000원  (LS 계산 · 제비용 포함)     평단 모르는 2종목 합 +12,000원(역산) · 청산 2종목");
    EXPECT_EQ(d.Cells("111111").Text[6], "평단 모름");
    EXPECT_EQ(d.Cells("222222").Text[6], "평단 모름");

    // One unknown with known rows worth 9,000: it shows the remaining 3,000.
    Day e;
    e.Fills({Fill("111111", "1", 1, "1000"), Fill("333333", "2", 10, "10000"), Fill("333333", "1", 10, "10900")});
    e.Journal({{{"expcode", "333333"}, {"medosu", "매도"}, {"fee", "0"}, {"tax", "0"}},
               {{"expcode", "333333"}, {"medosu", "매수"}, {"fee", "0"}}});
    e.p.Rates = {};
    e.Balance("+12000", {});
    e.p.Rebuild();
    ASSERT_EQ(e.p.FSum, 9000);
    const TPnlCells c = e.Cells("111111");
    EXPECT_EQ(c.Text[6], "+3,000 *");
    EXPECT_TRUE(c.Bold[6] && c.Italic[6]);
    EXPECT_EQ(c.Color[6], QColor(229, 57, 53));
    EXPECT_EQ(c.Text[7], "");
    EXPECT_EQ(e.p.LabelText(), "오늘 실현손익  +12,000원  (LS 계산 · 제비용 포함)     종목별 합 +12,000원 · 청산 2종목");
}

TEST(DayPnl, MissingBrokerTotalIsAbsentNotZero)
{
    Day d;
    d.Fills({Fill("005930", "2", 1, "1000")});
    for (const char* text : {"", "  ", "abc"}) {
        d.Balance(text, {});
        EXPECT_FALSE(d.p.FLsRealOk) << text;
    }
    d.Balance("0", {});
    EXPECT_TRUE(d.p.FLsRealOk);
    d.Balance("-1500", {});
    // A later answer without the figure keeps the one received.
    d.Balance("", {});
    d.p.Rebuild();
    EXPECT_EQ(d.p.FLsRealTot, -1500);
    EXPECT_EQ(d.p.TabCaption(), "  당일손익 -1,500  ");
}

TEST(DayPnl, OrderOfRowsAndBoughtOnly)
{
    Day d;
    d.holds["000020"] = {5, 1000};
    d.Fills({Fill("000010", "2", 3, "500"),                                           // bought only
             Fill("000020", "2", 10, "1000"), Fill("000020", "1", 5, "1100"),         // part closed (held)
             Fill("000030", "2", 2, "700"), Fill("000030", "1", 2, "700")});          // closed
    d.p.Rebuild();
    ASSERT_EQ(d.p.FPnl.size(), 3);
    EXPECT_EQ(d.p.FPnl[0].Code, "000030");
    EXPECT_EQ(d.p.FPnl[1].Code, "000020");
    EXPECT_EQ(d.p.FPnl[2].Code, "000010");
    const TPnlCells c = d.Cells("000010");
    EXPECT_EQ(c.Text[1], "매수만");
    EXPECT_EQ(c.Text[3], "500");
    for (int col : {4, 5, 6, 7})
        EXPECT_EQ(c.Text[col], "") << col;
    EXPECT_EQ(d.Cells("000020").Text[1], "일부청산");
    EXPECT_EQ(d.p.FClosed, 1);
}

TEST(DayPnl, FillRowsThatDoNotCount)
{
    Day d;
    d.Fills({Fill("005930", "매수", 0, "1000"),          // nothing filled
             Fill("005930", "매수", 5, "1000", "취소"),   // a cancel
             Fill("005930", "매수", 5, "0"),             // no price
             Fill("", "매수", 5, "1000"),                // no code
             Fill("A005930", "", 2, "1000", "매수"),     // the last 6 characters; side from ordgb
             Fill("005930", "2", 1, "1000.5"),           // side "2"; amount rounded to whole won
             Fill("005930", "x", 1, "1000")});           // anything else sells
    ASSERT_EQ(d.p.FPnl.size(), 1);
    const TPnlRow r = d.p.FPnl[0];
    EXPECT_EQ(r.Code, "005930");
    EXPECT_EQ(r.Bq, 3);
    EXPECT_EQ(r.Ba, 3001);
    EXPECT_EQ(r.Sq, 1);
    EXPECT_EQ(r.Sa, 1000);
}

// Each chain stops at 20 pages; a chain the cap cut short marks the label.
TEST(DayPnl, PageChainsAndTheirCap)
{
    TDayPnl p;
    TFakeQuery q;
    q.Blocks["t0425OutBlock"] = {{{"cts_ordno", "77"}}};
    q.Blocks["t0425OutBlock1"] = {Fill("005930", "2", 1, "100")};
    p.BeginFills();
    QString next;
    for (int i = 1; i < 20; ++i)
        ASSERT_TRUE(p.AddFillsPage(q, &next)) << i;
    EXPECT_EQ(next, "77");
    EXPECT_FALSE(p.AddFillsPage(q, &next));
    EXPECT_EQ(p.FPnl.value(0).Bq, 20);
    p.Rebuild();
    EXPECT_TRUE(p.LabelText().endsWith(" · 일부만(20쪽 제한)"));

    // A page with no rows or no key ends the chain without the mark.
    TDayPnl e;
    e.BeginFills();
    q.Blocks["t0425OutBlock"] = {{{"cts_ordno", ""}}};
    EXPECT_FALSE(e.AddFillsPage(q, &next));
    e.Rebuild();
    EXPECT_FALSE(e.LabelText().contains("일부만"));

    // The journal goes on while either key of the two is there.
    TFakeQuery j;
    j.Blocks["t0150OutBlock"] = {{{"cts_medosu", ""}, {"cts_expcode", "005930"}}};
    j.Blocks["t0150OutBlock1"] = {{{"expcode", "005930"}, {"medosu", "매수"}, {"fee", "10"}}};
    QStringList keys;
    e.BeginCosts();
    EXPECT_TRUE(e.AddCostsPage(j, &keys));
    EXPECT_EQ(keys, QStringList({"", "005930", "", ""}));
    j.Blocks["t0150OutBlock"] = {{{"cts_medosu", ""}, {"cts_expcode", ""}}};
    EXPECT_FALSE(e.AddCostsPage(j, &keys));
    EXPECT_EQ(e.FPnlCost.value("005930").BuyFee, 20);
}

TEST(DayPnl, GarbageNeverOverflows)
{
    Day d;
    d.Fills({Fill("005930", "2", 999999999, "1999999999"), Fill("005930", "2", 999999999, "1999999999"),
             Fill("005930", "1", 999999999, "1999999999"), Fill("005930", "1", 5, "1e300")});
    d.p.Rebuild();
    ASSERT_EQ(d.p.FPnl.size(), 1);
    EXPECT_TRUE(d.p.PnlOf(d.p.FPnl[0]).Known);
    EXPECT_FALSE(d.Cells("005930").Text[6].isEmpty());
}
