#include "core/Clock.h"
#include "core/NumFmt.h"

#include <gtest/gtest.h>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

struct TPicCase {
    const char* Pic;
    double X;
    const char* Want;
};

TEST(NumFmt, FormatFloatPictures)
{
    const TPicCase cases[] = {
        // plain amounts
        {"#,##0", 0, "0"},
        {"#,##0", 12, "12"},
        {"#,##0", 1234, "1,234"},
        {"#,##0", -1234567, "-1,234,567"},
        {"#,##0", 999.5, "1,000"},
        {"#,##0", 9999999.5, "10,000,000"},
        {"#,##0", 2.5, "3"},
        {"#,##0", -2.5, "-3"},
        {"#,##0", -0.4, "0"}, // no "-0"
        {"#,##0", 1e20, "100,000,000,000,000,000,000"},
        // signed percentages
        {"+0.00;-0.00;0.00", 1.234, "+1.23"},
        {"+0.00;-0.00;0.00", -1.234, "-1.23"},
        {"+0.00;-0.00;0.00", 0, "0.00"},
        {"+0.00;-0.00;0.00", 0.004, "0.00"},
        {"+0.00;-0.00;0.00", -0.004, "0.00"},
        {"+0.00;-0.00;0.00", 0.005, "+0.01"},
        {"+0.00;-0.00;0.00", -0.005, "-0.01"},
        {"+0.00;-0.00;0.00", 2.675, "+2.68"},
        {"+0.00;-0.00;0.00", 100, "+100.00"},
        // one decimal
        {"#,##0.0", 1234.56, "1,234.6"},
        {"#,##0.0", 0, "0.0"},
        {"#,##0.0", -0.05, "-0.1"},
        {"#,##0.0", 0.04, "0.0"},
        {"#,##0.#", 1234.0, "1,234"},
        {"#,##0.#", 1234.56, "1,234.6"},
        {"#,##0.#", 0.04, "0"},
        {"#,##0.#", 0.96, "1"},
        {"#,##0.#", 0.5, "0.5"},
        {"0.0", 3.14159, "3.1"},
        {"0.0", 3.15, "3.2"},
        {"0.0", -3.15, "-3.2"},
        // signed amounts
        {"+#,##0;-#,##0;0", 1500000, "+1,500,000"},
        {"+#,##0;-#,##0;0", -2500, "-2,500"},
        {"+#,##0;-#,##0;0", 0, "0"},
        {"+#,##0;-#,##0;0", -0.4, "0"},
        {"+0.0;-0.0;0.0", 0.05, "+0.1"},
        {"+0.0;-0.0;0.0", -0.05, "-0.1"},
        {"+0.0;-0.0;0.0", 0, "0.0"},
        // halves away from zero on the decimal value
        {"0.00", 0.125, "0.13"},
        {"0.00", 2.675, "2.68"},
        {"0.00", 1.005, "1.01"},
        {"0.00", -1.005, "-1.01"},
        {"0.00", 9.995, "10.00"},
        {"0.00", 1e-10, "0.00"},
        {"0", 0.5, "1"},
        // two sections: zero uses the first one
        {"+0.00;-0.00", 0, "+0.00"},
        {"+0.00;-0.00", -1.5, "-1.50"},
        // empty negative section falls back to the first with a minus
        {"0.00;;zero", -1.5, "-1.50"},
        {"0.00;;zero", 0, "zero"},
        // optional digits, literals, quotes
        {"#,###", 0, ""},
        {"00", 5, "05"},
        {".00", 0.5, ".50"},
        {".00", 12.5, "12.50"},
        {"0%", 5, "5%"},
        {"0 '주;'", 7, "7 주;"},
        {"\"x\"0.0", 2, "x2.0"},
        {"#,##0.00", 1234567.891, "1,234,567.89"},
    };
    for (const TPicCase& c : cases)
        EXPECT_EQ(FormatFloat(QString::fromUtf8(c.Pic), c.X), QString::fromUtf8(c.Want))
            << "picture " << c.Pic << " value " << c.X;
}

TEST(NumFmt, FormatFloatSpecialValues)
{
    EXPECT_EQ(FormatFloat("0.00", std::numeric_limits<double>::quiet_NaN()), "NAN");
    EXPECT_EQ(FormatFloat("0.00", std::numeric_limits<double>::infinity()), "INF");
    EXPECT_EQ(FormatFloat("0.00", -std::numeric_limits<double>::infinity()), "-INF");
    EXPECT_EQ(FormatFloat("", 1.5), "1.5");
    EXPECT_EQ(FmtNum(-1234567), "-1,234,567");
    EXPECT_EQ(FmtNum(0), "0");
}

// Amounts and volumes are 64-bit integers and print digit for digit.
TEST(NumFmt, IntegerPicturesAreExact)
{
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    constexpr qint64 kMin = std::numeric_limits<qint64>::min();
    const struct {
        const char* Pic;
        qint64 X;
        const char* Want;
    } cases[] = {
        {"#,##0", 1234567890123456, "1,234,567,890,123,456"},
        {"#,##0", -1234567890123456, "-1,234,567,890,123,456"},
        {"#,##0", 9007199254740993, "9,007,199,254,740,993"}, // 2^53 + 1
        {"#,##0", kMax, "9,223,372,036,854,775,807"},
        {"#,##0", kMin, "-9,223,372,036,854,775,808"},
        {"0", kMin, "-9223372036854775808"},
        {"", kMin, "-9223372036854775808"},
        {"", 1234567890123456, "1234567890123456"},
        {"+#,##0;-#,##0;0", 1234567890123456, "+1,234,567,890,123,456"},
        {"+#,##0;-#,##0;0", -1234567890123456, "-1,234,567,890,123,456"},
        {"+#,##0;-#,##0;0", kMax, "+9,223,372,036,854,775,807"},
        {"+#,##0;-#,##0;0", kMin, "-9,223,372,036,854,775,808"},
        {"+#,##0;-#,##0;0", 0, "0"},
        {"#,##0;(#,##0)", kMin, "(9,223,372,036,854,775,808)"},
        {"#,##0.00", 1234567890123456789, "1,234,567,890,123,456,789.00"},
        {"#,##0.##", 99999999999999999, "99,999,999,999,999,999"},
        {"0.00;;zero", -10000000000000001, "-10000000000000001.00"},
        {"0.00;;zero", 0, "zero"},
        {"'₩'#,##0\"주\"", 12345678901234567, "₩12,345,678,901,234,567주"},
        {"0000000000000000000000", 1234567890123456789, "0001234567890123456789"},
        {"#,###", 0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatFloat(QString::fromUtf8(c.Pic), c.X).toStdString(), c.Want)
            << "picture " << c.Pic << " value " << c.X;

    // Wherever the double path is exact (15 digits or fewer) both agree.
    const char* const pics[] = {
        "#,##0", "0", "+#,##0;-#,##0;0", "0.00", "#,##0.0#", "0.00;;zero", "#,###",
        "'a'0\"b\"", "", "+0.00;-0.00", "00000", "#.##", "0%;(0%)",
    };
    const qint64 values[] = {
        0, 1, -1, 7, -42, 999, 1000, -1000, 123456, 2147483648LL, -2147483649LL,
        100000000000000LL, 999999999999999LL, -999999999999999LL,
    };
    for (const char* pic : pics)
        for (const qint64 v : values)
            EXPECT_EQ(FormatFloat(pic, v).toStdString(), FormatFloat(pic, double(v)).toStdString())
                << "picture " << pic << " value " << v;
}

template <typename T>
concept TPrintable = requires(T v) { FmtNum(v); FormatFloat(QString(), v); };

TEST(NumFmt, EveryIntegerTypeTakesTheExactPath)
{
    static_assert(TPrintable<int> && TPrintable<long> && TPrintable<long long> && TPrintable<qint64>
                  && TPrintable<unsigned> && TPrintable<quint64> && TPrintable<short>
                  && TPrintable<double> && TPrintable<float>);
    static_assert(!TPrintable<bool>, "a bool is not a number to print");

    EXPECT_EQ(FmtNum(1234567890123456), "1,234,567,890,123,456"); // long
    EXPECT_EQ(FmtNum(1234567890123456LL), "1,234,567,890,123,456");
    EXPECT_EQ(FmtNum(qint64(-1234567890123456)), "-1,234,567,890,123,456");
    EXPECT_EQ(FmtNum(std::int64_t{1234567890123456}), "1,234,567,890,123,456");
    EXPECT_EQ(FmtNum(std::numeric_limits<quint64>::max()), "18,446,744,073,709,551,615");
    EXPECT_EQ(FmtNum(std::numeric_limits<std::size_t>::max()), "18,446,744,073,709,551,615");
    EXPECT_EQ(FmtNum(std::numeric_limits<int>::min()), "-2,147,483,648");
    EXPECT_EQ(FmtNum(std::numeric_limits<unsigned>::max()), "4,294,967,295");
    EXPECT_EQ(FmtNum(short(-1234)), "-1,234");
    EXPECT_EQ(FmtNum(std::uint8_t{200}), "200");
    EXPECT_EQ(FormatFloat("+#,##0;-#,##0;0", std::numeric_limits<quint64>::max()),
              "+18,446,744,073,709,551,615");
    EXPECT_EQ(FormatFloat("+#,##0;-#,##0;0", 0u), "0");

    // A double keeps the 15-digit rounding of its decimal text.
    EXPECT_EQ(FmtNum(1234567890123456.0), "1,234,567,890,123,460");
    EXPECT_EQ(FmtNum(2.5), "3");
    EXPECT_EQ(FmtNum(2.5f), "3");
}

TEST(NumFmt, ParseNum)
{
    const struct {
        const char* S;
        double Want;
    } cases[] = {
        {" +12.5 ", 12.5}, {"-3", -3}, {"abc", 0},   {"", 0},      {"   ", 0},
        {"1e3", 1000},     {"0.5", 0.5}, {"nan", 0}, {"inf", 0},   {"-inf", 0},
        {"1,234", 0},      {"12abc", 0}, {"+", 0},   {"00123", 123}, {"1e999", 0},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(ParseNum(c.S), c.Want) << '"' << c.S << '"';
}

TEST(NumFmt, ParseIntRoundsHalfToEven)
{
    const struct {
        const char* S;
        qint64 Want;
    } cases[] = {
        {"2.5", 2},   {"3.5", 4},   {"-2.5", -2}, {"-3.5", -4}, {"2.51", 3},
        {" 1234 ", 1234}, {"+7", 7}, {"abc", 0}, {"9000000000", 9000000000LL},
        {"1e30", std::numeric_limits<qint64>::max()},
        {"-1e30", std::numeric_limits<qint64>::min()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseInt(c.S), c.Want) << '"' << c.S << '"';
}

TEST(NumFmt, TickGrid)
{
    const struct {
        int P, Size, Down;
    } cases[] = {
        {1999, 1, 1998},       {2000, 5, 1999},       {4999, 5, 4994},
        {5000, 10, 4995},      {19999, 10, 19989},    {20000, 50, 19990},
        {49999, 50, 49949},    {50000, 100, 49950},   {199999, 100, 199899},
        {200000, 500, 199900}, {499999, 500, 499499}, {500000, 1000, 499500},
        {2, 1, 1},             {1, 1, 1},             {0, 1, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TickSize(c.P), c.Size) << c.P;
        EXPECT_EQ(TickDown(c.P), c.Down) << c.P;
        EXPECT_EQ(TickUp(c.P), c.P + c.Size) << c.P;
    }
    // Walking the grid up and back down returns to every valid price.
    for (int p = 1000; p < 600000; p = TickUp(p))
        ASSERT_EQ(TickDown(TickUp(p)), p) << p;
    // The top of int stays there instead of wrapping to a negative price.
    const int top = std::numeric_limits<int>::max();
    EXPECT_EQ(TickUp(top), top);
    EXPECT_EQ(TickUp(top - 1), top);
    EXPECT_GT(TickUp(top - 5000), top - 5000);
}

TEST(NumFmt, NextMinute)
{
    EXPECT_EQ(NextMinute(959), 1000);
    EXPECT_EQ(NextMinute(930), 931);
    EXPECT_EQ(NextMinute(2359), 2400);
    EXPECT_EQ(NextMinute(0), 1);
    EXPECT_EQ(NextMinute(QString("0959")), 1000);
    EXPECT_EQ(NextMinute(QString(" 1529 ")), 1530);
    EXPECT_EQ(NextMinute(QString("abc")), 1);
    EXPECT_EQ(NextMinute(QString("")), 1);
    EXPECT_EQ(NextMinute(QString("9:59")), 1);
    // Garbage times at the ends of int give some number, never a wrap.
    EXPECT_EQ(NextMinute(std::numeric_limits<int>::max()), std::numeric_limits<int>::max());
    EXPECT_LT(NextMinute(std::numeric_limits<int>::min()), 0);
    EXPECT_EQ(NextMinute(QString("2147483647")), std::numeric_limits<int>::max());
}

TEST(NumFmt, AvgFromAmount)
{
    EXPECT_DOUBLE_EQ(AvgFromAmount(0, 10, 1000), 100);          // no reference: won
    EXPECT_DOUBLE_EQ(AvgFromAmount(-5, 10, 1000), 100);
    EXPECT_DOUBLE_EQ(AvgFromAmount(50000, 100, 5000000), 50000); // won
    EXPECT_DOUBLE_EQ(AvgFromAmount(50000, 100, 5000), 50000);    // thousands
    EXPECT_DOUBLE_EQ(AvgFromAmount(50000, 100, 5), 50000);       // millions
    EXPECT_DOUBLE_EQ(AvgFromAmount(100, 10, 1250), 125);         // 25 % off: accepted
    EXPECT_DOUBLE_EQ(AvgFromAmount(100, 10, 1350), 0);           // 35 % off: rejected
    EXPECT_DOUBLE_EQ(AvgFromAmount(50000, 0, 5000), 0);
    EXPECT_DOUBLE_EQ(AvgFromAmount(50000, -1, 5000), 0);
    EXPECT_DOUBLE_EQ(AvgFromAmount(50000, 100, 0), 0);
    EXPECT_DOUBLE_EQ(AvgFromAmount(50000, 100, -5000), 0);
}

TEST(NumFmt, MaskAcctAndToday)
{
    EXPECT_EQ(MaskAcct("12345678901"), "********901");
    EXPECT_EQ(MaskAcct("123"), "123");
    EXPECT_EQ(MaskAcct("12"), "12");
    EXPECT_EQ(MaskAcct(""), "");
    EXPECT_EQ(MaskAcct(" 1234 "), "*234");

    TTestClock clock(QDateTime(QDate(2026, 1, 5), QTime(23, 59, 59)));
    EXPECT_EQ(TodayStr(clock), "20260105");
    clock.Advance(1000);
    EXPECT_EQ(TodayStr(clock), "20260106");
    EXPECT_EQ(TodayStr(), QDate::currentDate().toString("yyyyMMdd"));
}

} // namespace
