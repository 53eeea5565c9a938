// A stock's recorded day (TStockDay): what it records does not depend on
// how the day is stepped, and the tape plays every minute back exactly as
// it was traded.
#include "sim/StockDay.h"
#include <gtest/gtest.h>
#include <map>
#include <tuple>
#include <vector>

namespace {

constexpr int kOpen = 9 * 3600 * 1000;
constexpr int kClose = 15 * 3600 * 1000 + 30 * 60 * 1000;

TDayPlan Plan()
{
    TDayPlan p;
    p.Date = QDate(2026, 12, 10);
    p.PrevClose = 50000;
    p.Open = 50500;
    p.Close = 49800;
    p.TradesPerSec = 20;
    p.MeanQty = 40;
    p.Seed = 77;
    return p;
}

TSimProgramModel ProgramModel()
{
    TSimStock s;
    s.Code = QStringLiteral("005930");
    return TSimProgramModel(5, s, QDate(2026, 12, 10));
}

using TTradeKey = std::tuple<int, int, qint64, char, qint64, qint64, qint64, int, int>;
TTradeKey KeyOf(const TSimTrade& t)
{
    return {t.TimeMs, t.Price, t.Qty, t.Side, t.Volume, t.Amount, t.BuyVolume, t.BuyCount, t.SellCount};
}

QStringList BarText(const TStockDay& d)
{
    QStringList out;
    for (const TSimBar& b : d.MinuteBars())
        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7").arg(b.Hhmm).arg(b.Open).arg(b.High).arg(b.Low).arg(b.Close).arg(b.Volume).arg(b.Amount);
    return out;
}

QStringList ProgramText(const TStockDay& d)
{
    QStringList out;
    for (const TSimProgramRow& r : d.ProgramRows())
        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7").arg(r.Minute).arg(r.Price).arg(r.Volume).arg(r.BuyQty).arg(r.SellQty).arg(r.BuyAmt).arg(r.SellAmt);
    return out;
}

TEST(SimStockDay, RecordsTheSameDayHoweverItIsStepped)
{
    TStockDay whole(Plan(), ProgramModel(), true);
    whole.AdvanceTo(kClose);
    TStockDay stepped(Plan(), ProgramModel(), true);
    std::map<int, std::vector<TTradeKey>> live;   // by minute of the day
    const auto seen = [&](const TSimTrade* t) {
        if (t)
            live[t->TimeMs / 60000].push_back(KeyOf(*t));
    };
    for (int ms = kOpen - 5000, step = 1; ms < kClose; ms += step, step = step * 7 % 97001 + 1)
        stepped.AdvanceTo(ms, seen);
    stepped.AdvanceTo(kClose + 1000, seen);

    ASSERT_TRUE(whole.Sim().Closed());
    EXPECT_EQ(BarText(stepped), BarText(whole));
    EXPECT_EQ(ProgramText(stepped), ProgramText(whole));
    EXPECT_EQ(BarText(whole).size(), 390) << "09:01 .. 15:30, the closing print in the last";
    EXPECT_EQ(whole.ProgramRows().last().Minute, kClose / 60000) << "program rows go by the trade's own minute";
    EXPECT_EQ(whole.ProgramRows().last().Volume, whole.Sim().Volume());
    ASSERT_EQ(stepped.FirstMinute(), kOpen / 60000);
    ASSERT_EQ(stepped.TapeMinutes(), whole.TapeMinutes());
    ASSERT_EQ(stepped.TapeMinutes(), 391);
    for (int m = stepped.FirstMinute(); m < stepped.FirstMinute() + stepped.TapeMinutes(); ++m) {
        std::vector<TTradeKey> again;
        qint64 largest = 0;
        stepped.ReplayMinute(m, [&](const TSimTrade& t) { again.push_back(KeyOf(t)); });
        for (const TTradeKey& k : live[m])
            largest = std::max(largest, std::get<2>(k));
        ASSERT_EQ(again, live[m]) << "minute " << m;
        EXPECT_EQ(stepped.LargestTrade(m), largest) << "minute " << m;
    }
}

TEST(SimStockDay, TheTapePlaysBackOnlyWhatHasBeenTraded)
{
    TStockDay day(Plan(), ProgramModel(), true);
    std::vector<TTradeKey> live;
    const int now = 10 * 3600 * 1000 + 30500;   // 10:00:30.5
    day.AdvanceTo(now, [&](const TSimTrade* t) {
        if (t && t->TimeMs >= 10 * 3600 * 1000)
            live.push_back(KeyOf(*t));
    });
    ASSERT_FALSE(live.empty());
    std::vector<TTradeKey> again;
    day.ReplayMinute(600, [&](const TSimTrade& t) { again.push_back(KeyOf(t)); });
    EXPECT_EQ(again, live);
    EXPECT_EQ(day.TapeMinutes(), 61);
    int none = 0;
    day.ReplayMinute(601, [&](const TSimTrade&) { ++none; });
    day.ReplayMinute(539, [&](const TSimTrade&) { ++none; });
    EXPECT_EQ(none, 0);

    // Before the open nothing is on the tape; a past day keeps no tape.
    TStockDay early(Plan(), ProgramModel(), true);
    early.AdvanceTo(kOpen - 1);
    EXPECT_EQ(early.TapeMinutes(), 0);
    EXPECT_TRUE(early.MinuteBars().isEmpty());
    TStockDay past(Plan(), ProgramModel(), false);
    past.AdvanceTo(kClose);
    TStockDay taped(Plan(), ProgramModel(), true);
    taped.AdvanceTo(kClose);
    EXPECT_EQ(past.TapeMinutes(), 0);
    EXPECT_EQ(BarText(past), BarText(taped));
    EXPECT_EQ(ProgramText(past), ProgramText(taped));
}

} // namespace
