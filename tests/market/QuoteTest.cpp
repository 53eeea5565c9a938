#include "market/Quote.h"

#include <gtest/gtest.h>

TEST(QuoteHeader, TextsAndColours)
{
    struct Case {
        int price, prev;
        qint64 vol, prevVol;
        const char* px;
        const char* chg;
        QColor color;
        const char* volText;
        QColor volColor;
    } cases[] = {
        {10000, 9500, 1500000, 1000000, "10,000", "+500  (+5.26%)", QColor(229, 57, 53),
         "거래량 1,500,000   전일 1,000,000   전일比 150.0%", QColor(229, 57, 53)},
        {9000, 9500, 500, 1000, "9,000", "-500  (-5.26%)", QColor(30, 136, 229),
         "거래량 500   전일 1,000   전일比 50.0%", QColor(30, 136, 229)},
        {9500, 9500, 12345, 0, "9,500", "0  (0.00%)", QColor(48, 48, 48), "거래량 12,345", QColor(80, 80, 80)},
    };
    for (const Case& c : cases) {
        THogaData h;
        h.Code = "005930";
        h.Name = "삼성전자";
        h.Price = c.price;
        h.PrevClose = c.prev;
        h.Volume = c.vol;
        const TQuoteHeader q = MakeQuoteHeader(h, {}, c.prevVol);
        EXPECT_EQ(q.Name, "삼성전자  005930");
        EXPECT_EQ(q.Px, c.px);
        EXPECT_EQ(q.Chg, QString::fromUtf8(c.chg));
        EXPECT_EQ(q.PxColor, c.color);
        EXPECT_EQ(q.Vol, QString::fromUtf8(c.volText));
        EXPECT_EQ(q.VolColor, c.volColor);
        EXPECT_TRUE(q.Open.isEmpty());
    }
}

TEST(QuoteHeader, NoPriceShowsOnlyTheName)
{
    THogaData h;
    h.Code = "000660";
    h.Name = "SK하이닉스";
    h.Volume = 100;
    const TQuoteHeader q = MakeQuoteHeader(h, {50000, 0, 0}, 10);
    EXPECT_EQ(q.Name, "SK하이닉스  000660");
    EXPECT_TRUE(q.Px.isEmpty() && q.Chg.isEmpty() && q.Vol.isEmpty() && q.Open.isEmpty());
}

// Volumes are 64-bit integers and print to the last digit.
TEST(QuoteHeader, LargeVolumesPrintExactly)
{
    THogaData h;
    h.Code = "005930";
    h.Name = "삼성전자";
    h.Price = 70000;
    h.PrevClose = 69000;
    h.Volume = 1234567890123457;
    const TQuoteHeader q = MakeQuoteHeader(h, {}, 0);
    EXPECT_TRUE(q.Vol.contains("1,234,567,890,123,457")) << q.Vol.toStdString();
}
