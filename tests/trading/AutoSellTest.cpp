// Prices and plans of automatic and split selling, and what can be sold
// while orders and fills are on their way.
#include "core/NumFmt.h"
#include "trading/AutoSell.h"

#include <gtest/gtest.h>

namespace {

TEST(AutoSell, PercentagesAreReadExactlyAndOnlyAboveZero)
{
    struct {
        const char* Text;
        bool Ok;
        qint64 Micro;
        const char* Shown;
    } cases[] = {
        {"1.5", true, 1500000, "1.5"},     {"1.5%", true, 1500000, "1.5"}, {" 2 ", true, 2000000, "2"},
        {"0.01", true, 10000, "0.01"},     {"0.125", true, 125000, "0.13"}, {".5", true, 500000, "0.5"},
        {"0", false, 0, nullptr},          {"-1", false, 0, nullptr},       {"abc", false, 0, nullptr},
        {"1,5", false, 0, nullptr},        {"", false, 0, nullptr},         {"1.2.3", false, 0, nullptr},
        {"99999999999", false, 0, nullptr},
    };
    for (const auto& c : cases) {
        const TSellPct p = ParseSellPct(QString::fromUtf8(c.Text));
        EXPECT_EQ(p.Ok, c.Ok) << c.Text;
        if (c.Ok) {
            EXPECT_EQ(p.Micro, c.Micro) << c.Text;
            EXPECT_EQ(SellPctText(p.Micro), QString::fromLatin1(c.Shown)) << c.Text;
        }
    }
}

TEST(AutoSell, TargetIsTheFirstGridPriceAtOrAboveTheProduct)
{
    struct {
        int Base;
        const char* Pct;
        int Target;
    } cases[] = {
        {10000, "1.5", 10150},     // not 10,151: no rounding noise above a whole number
        {4990, "1.5", 5070},       // 5,064.85 → 5,065 → the 10-won grid
        {1000, "0.01", 1001},
        {199900, "0.05", 200000},  // into the 500-won band, already on its grid
        {70000, "1.5", 71100},     // 71,050 on the 100-won grid
        {1999, "0.1", 2001},       // 2,000.999 → 2,001, then the 5-won grid of 2,000+: 2,005
    };
    for (const auto& c : cases) {
        const int t = SellTarget(c.Base, ParseSellPct(QString::fromLatin1(c.Pct)).Micro);
        if (c.Base == 1999)
            EXPECT_EQ(t, 2005);
        else
            EXPECT_EQ(t, c.Target) << c.Base << " " << c.Pct;
        EXPECT_EQ(t % TickSize(t), 0);
    }
    EXPECT_EQ(SellTarget(0, 1500000), 0);
    EXPECT_EQ(SellTarget(2000000000, 50000000), 0);   // past the integer range: nothing
}

TEST(AutoSell, AutoSellPriceIsAtLeastATickUpAndCappedAtTheUpperLimit)
{
    // A tiny percentage still sells a tick above the fill.
    EXPECT_EQ(AutoSellPrice(10000, 1, 0).Price, 10010);
    // Above the upper limit: capped there.
    const TAutoSellPrice capped = AutoSellPrice(12900, 5000000, 13000);
    EXPECT_EQ(capped.Price, 13000);
    EXPECT_TRUE(capped.Capped);
    // Filled at the upper limit itself: nothing can be sold above it.
    const TAutoSellPrice none = AutoSellPrice(13000, 1500000, 13000);
    EXPECT_EQ(none.Price, 0);
    EXPECT_FALSE(none.Why.isEmpty());
}

TSplitRandom Fixed(QVector<double> u, QVector<int> picks)
{
    auto ui = std::make_shared<int>(0), pi = std::make_shared<int>(0);
    TSplitRandom r;
    r.Uniform01 = [u, ui] { return u[(*ui)++ % u.size()]; };
    r.Pick = [picks, pi](int lo, int hi) { return std::clamp(picks[(*pi)++ % picks.size()], lo, hi); };
    return r;
}

TEST(AutoSell, SplitPlanPartsAddUpRiseAndWait)
{
    // Weights 0.3, 0.4, 0.35 (sum 1.05): 28, 38 and the remaining 34.
    const QVector<TSplitPart> p = PlanSplit(100, 71100, Fixed({0.25, 0.75, 0.5}, {1, 3, 0, 6}));
    ASSERT_EQ(p.size(), 3);
    EXPECT_EQ(p[0].Qty, 28);
    EXPECT_EQ(p[1].Qty, 38);
    EXPECT_EQ(p[2].Qty, 34);
    EXPECT_EQ(p[0].Px, 71100);
    EXPECT_EQ(p[1].Px, 71300);   // two ticks up
    EXPECT_EQ(p[2].Px, 71400);   // one tick up
    EXPECT_EQ(p[0].DelayMs, 0);
    EXPECT_EQ(p[1].DelayMs, 3000);
    EXPECT_EQ(p[2].DelayMs, 6000);

    // Two shares: two parts of one; one share: one part; each later part rises.
    const QVector<TSplitPart> two = PlanSplit(2, 10000, Fixed({0.9}, {0, 2}));
    ASSERT_EQ(two.size(), 2);
    EXPECT_EQ(two[0].Qty + two[1].Qty, 2);
    EXPECT_EQ(two[1].Qty, 1);
    EXPECT_EQ(two[1].Px, 10010);
    EXPECT_GE(two[1].DelayMs, 2000);
    EXPECT_LE(two[1].DelayMs, 5000);
    EXPECT_EQ(PlanSplit(1, 10000, Fixed({0.5}, {0})).size(), 1);
    // Every part keeps at least one share, whatever the draws.
    for (qint64 n : {3, 4, 5, 7}) {
        const QVector<TSplitPart> q = PlanSplit(n, 5000, Fixed({0.0, 0.99, 0.0}, {1}));
        qint64 sum = 0;
        for (const TSplitPart& part : q) {
            EXPECT_GE(part.Qty, 1) << n;
            sum += part.Qty;
        }
        EXPECT_EQ(sum, n);
    }
}

// The holding of 10 shares in the last balance (request 1).
TEST(AutoSell, SellableCountsFillsOrdersAndPartsOnTheirWay)
{
    TSellableBook book;
    const QString c = QStringLiteral("005930");
    auto sellable = [&](qint64 shownSells = 0, qint64 parts = 0) {
        return SellableNow(10, book.FillsSinceBalance(c), shownSells, book.SellsNotShown(c), parts);
    };
    EXPECT_EQ(sellable(), 10);
    // A buy fill of 5 before the balance knows it: 15 can be sold.
    book.Fill(c, true, 5, QStringLiteral("7"), 1);
    EXPECT_EQ(sellable(), 15);
    // Our sell of 6 queued, sent, answered: it counts until an unfilled-order
    // answer asked for after the answer shows it.
    const int id = book.SellQueued(c, 6);
    EXPECT_EQ(sellable(), 9);
    book.SellAnswered(id, QStringLiteral("8"), /*micheSent*/ 3);
    book.MicheApplied(3);   // asked before the answer: does not show it yet
    EXPECT_EQ(sellable(), 9);
    // It fills 2 before the next answers: the fill counts it, not the order.
    book.Fill(c, false, 2, QStringLiteral("8"), 1);
    EXPECT_EQ(sellable(), 9);
    book.MicheApplied(4);   // now shown: 4 left open
    EXPECT_EQ(sellable(4), 9);
    // The balance asked for after the fills (request 2) has 13 shares.
    book.BalanceApplied(2);
    EXPECT_EQ(SellableNow(13, book.FillsSinceBalance(c), 4, book.SellsNotShown(c), 0), 9);
    // Split parts not yet sent count too, and nothing goes below zero.
    EXPECT_EQ(sellable(4, 20), 0);
    // A sell that could not be sent stops counting at once.
    const int failed = book.SellQueued(c, 3);
    book.SellFailed(failed);
    EXPECT_EQ(book.SellsNotShown(c), 0);
}

} // namespace
