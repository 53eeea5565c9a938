// The simulated market: price grid and limits, one stock's day (book and
// trade invariants, reproducibility) and the engine (sessions, lazy stocks,
// events, quotes).
#include "core/Clock.h"
#include "core/NumFmt.h"
#include "sim/DailyModel.h"
#include "sim/MarketEngine.h"
#include "sim/PriceGrid.h"
#include "sim/StockSim.h"
#include <QSet>
#include <cmath>
#include <gtest/gtest.h>
#include <tuple>
#include <vector>

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }
constexpr int kOpen = 9 * 3600 * 1000;
constexpr int kClose = 15 * 3600 * 1000 + 30 * 60 * 1000;
const QDate kThu(2026, 12, 10);
const QDate kFri(2026, 12, 11);
const QDate kSat(2026, 12, 12);
const QDate kSun(2026, 12, 13);
const QDate kMon(2026, 12, 14);

// ---- price grid and limits -------------------------------------------------

TEST(SimPriceGrid, RoundingToTheGrid)
{
    struct Case { qint64 p; int down, up; } cases[] = {
        {1999, 1999, 1999}, {2002, 2000, 2005}, {4999, 4995, 5000}, {5003, 5000, 5010},
        {19999, 19990, 20000}, {49999, 49950, 50000}, {199999, 199900, 200000},
        {499999, 499500, 500000}, {500001, 500000, 501000}, {0, 1, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FloorToGrid(c.p), c.down) << c.p;
        EXPECT_EQ(CeilToGrid(c.p), c.up) << c.p;
    }
    EXPECT_EQ(NearestGrid(2002.4), 2000);
    EXPECT_EQ(NearestGrid(2003.0), 2005);
    EXPECT_TRUE(OnGrid(2005));
    EXPECT_FALSE(OnGrid(2003));
    EXPECT_FALSE(OnGrid(0));
}

TEST(SimPriceGrid, DailyLimitsAsTheExchangePublishes)
{
    // The first three are published figures of real days.
    struct Case { int prev, up, dn; } cases[] = {
        {22750, 29550, 15950}, {4525, 5880, 3170}, {10550, 13710, 7390},
        {50000, 65000, 35000}, {1540, 2000, 1078}, {19990, 25950, 14000},
        {75000, 97500, 52500}, {800000, 1040000, 560000}, {1000, 1300, 700},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UpperLimit(c.prev), c.up) << c.prev;
        EXPECT_EQ(LowerLimit(c.prev), c.dn) << c.prev;
        EXPECT_TRUE(OnGrid(c.up) && OnGrid(c.dn)) << c.prev;
    }
}

TEST(SimPriceGrid, SignCodes)
{
    struct Case { int price; char sign; } cases[] = {
        {13000, '1'}, {12000, '2'}, {10000, '3'}, {7000, '4'}, {9000, '5'},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PriceSign(c.price, 10000, 13000, 7000), c.sign) << c.price;
}

// ---- one stock's day -----------------------------------------------------

::testing::AssertionResult BookOk(const TSimBook& b, int up, int dn)
{
    auto fail = [&](int i, const char* what) {
        return ::testing::AssertionFailure() << "level " << i << ": " << what << " (ask " << b.Ask[i]
                                             << " x " << b.AskQ[i] << ", bid " << b.Bid[i] << " x "
                                             << b.BidQ[i] << ")";
    };
    int askShown = 0, bidShown = 0;
    qint64 totAsk = 0, totBid = 0;
    for (int i = 0; i < kBookLevels; ++i) {
        if (b.Ask[i]) {
            if (askShown != i) return fail(i, "ask after an empty level");
            if (b.AskQ[i] <= 0) return fail(i, "ask quantity not positive");
            if (!OnGrid(b.Ask[i])) return fail(i, "ask off the grid");
            if (b.Ask[i] > up || b.Ask[i] < dn) return fail(i, "ask beyond the limits");
            if (i > 0 && b.Ask[i] != TickUp(b.Ask[i - 1])) return fail(i, "asks not consecutive");
            ++askShown;
        } else if (b.AskQ[i] != 0) {
            return fail(i, "empty ask level with quantity");
        }
        if (b.Bid[i]) {
            if (bidShown != i) return fail(i, "bid after an empty level");
            if (b.BidQ[i] <= 0) return fail(i, "bid quantity not positive");
            if (!OnGrid(b.Bid[i])) return fail(i, "bid off the grid");
            if (b.Bid[i] > up || b.Bid[i] < dn) return fail(i, "bid beyond the limits");
            if (i > 0 && b.Bid[i] != TickDown(b.Bid[i - 1])) return fail(i, "bids not consecutive");
            ++bidShown;
        } else if (b.BidQ[i] != 0) {
            return fail(i, "empty bid level with quantity");
        }
        totAsk += b.AskQ[i];
        totBid += b.BidQ[i];
    }
    if (askShown == 0 && bidShown == 0) return fail(0, "empty book");
    if (askShown && bidShown && b.Ask[0] != TickUp(b.Bid[0])) return fail(0, "spread is not one tick");
    // Levels are missing only where the limit cuts them off.
    if (askShown == 0 && b.Bid[0] != up) return fail(0, "no asks below the upper limit");
    if (bidShown == 0 && b.Ask[0] != dn) return fail(0, "no bids above the lower limit");
    if (askShown > 0 && askShown < kBookLevels && TickUp(b.Ask[askShown - 1]) <= up)
        return fail(askShown, "ask level missing inside the limits");
    if (bidShown > 0 && bidShown < kBookLevels && TickDown(b.Bid[bidShown - 1]) >= dn)
        return fail(bidShown, "bid level missing inside the limits");
    if (totAsk != b.TotAsk || totBid != b.TotBid) return fail(0, "totals differ from the levels");
    return ::testing::AssertionSuccess();
}

// The change fields against the book before the event.
::testing::AssertionResult ChaOk(const TSimBook& before, const TSimBook& after)
{
    auto at = [](const std::array<int, kBookLevels>& px, const std::array<qint64, kBookLevels>& q, int p) {
        for (int i = 0; i < kBookLevels; ++i)
            if (px[i] == p) return q[i];
        return qint64(0);
    };
    for (int i = 0; i < kBookLevels; ++i) {
        const qint64 a = after.Ask[i] ? after.AskQ[i] - at(before.Ask, before.AskQ, after.Ask[i]) : 0;
        const qint64 b = after.Bid[i] ? after.BidQ[i] - at(before.Bid, before.BidQ, after.Bid[i]) : 0;
        if (a != after.AskCha[i] || b != after.BidCha[i])
            return ::testing::AssertionFailure() << "change of level " << i;
    }
    if (after.TotAskCha != after.TotAsk - before.TotAsk || after.TotBidCha != after.TotBid - before.TotBid)
        return ::testing::AssertionFailure() << "total change";
    return ::testing::AssertionSuccess();
}

struct TEvent {
    int TimeMs;
    int Price;
    qint64 Qty;
    char Side;
    bool operator==(const TEvent&) const = default;
};

TDayPlan PlanAt(int prevClose, quint64 seed, double rate = 2.0)
{
    TDayPlan p;
    p.Date = kThu;
    p.PrevClose = prevClose;
    p.Open = prevClose;
    p.Close = NearestGrid(prevClose * 1.01);
    p.TradesPerSec = rate;
    p.DailyVol = 0.025;
    p.MeanQty = 50;
    p.Seed = seed;
    return p;
}

// Runs the whole day in uneven steps, checking every event; returns the trades.
std::vector<TEvent> RunChecked(TStockSim& sim, int stepMs)
{
    std::vector<TEvent> trades;
    const int up = sim.UpLimit(), dn = sim.DnLimit();
    TSimBook before = sim.Book();
    TSimTrade prev = sim.LastTrade();
    qint64 volume = 0, amount = 0;
    int lastTime = 0;
    auto onEvent = [&](const TSimTrade* t) {
        const TSimBook& book = sim.Book();
        EXPECT_TRUE(BookOk(book, up, dn)) << "at " << sim.NowMs();
        EXPECT_TRUE(ChaOk(before, book)) << "at " << sim.NowMs();
        EXPECT_GE(book.TimeMs, lastTime);
        lastTime = book.TimeMs;
        if (t) {
            // A buy takes the best ask, a sell the best bid, of the book before it
            // (the closing print trades against the book it rebuilds).
            if (t->TimeMs < kClose) {
                EXPECT_EQ(t->Price, t->Side == '+' ? before.Ask[0] : before.Bid[0]) << "at " << t->TimeMs;
            }
            if (prev.Open && t->TimeMs < kClose) {
                // Either the level is partly taken (refilled by new orders once
                // it runs low) or swept, and the order's rest then rests on the
                // other side at the traded price.
                const bool buy = t->Side == '+';
                const int same = buy ? book.Ask[0] : book.Bid[0];
                const qint64 was = buy ? before.AskQ[0] : before.BidQ[0];
                const qint64 now = buy ? book.AskQ[0] : book.BidQ[0];
                if (same == t->Price) {
                    const qint64 left = was - t->Qty;
                    EXPECT_GT(left, 0) << "at " << t->TimeMs;
                    if (left < sim.Plan().MeanQty) {
                        EXPECT_GT(now, left) << "at " << t->TimeMs;
                    } else {
                        EXPECT_EQ(now, left) << "at " << t->TimeMs;
                    }
                } else {
                    EXPECT_EQ(t->Qty, was) << "at " << t->TimeMs;
                    EXPECT_EQ(buy ? book.Bid[0] : book.Ask[0], t->Price) << "at " << t->TimeMs;
                    EXPECT_EQ(same, buy ? (before.Ask[1]) : (before.Bid[1])) << "at " << t->TimeMs;
                }
            }
            EXPECT_TRUE(t->Side == '+' || t->Side == '-');
            EXPECT_TRUE(OnGrid(t->Price));
            EXPECT_GE(t->Price, dn);
            EXPECT_LE(t->Price, up);
            EXPECT_GT(t->Qty, 0);
            EXPECT_EQ(sim.Price(), t->Price);
            EXPECT_GE(t->High, t->Price);
            EXPECT_LE(t->Low, t->Price);
            EXPECT_EQ(t->High, std::max(prev.High, t->Price));
            if (prev.Low) {
                EXPECT_EQ(t->Low, std::min(prev.Low, t->Price));
            }
            if (prev.Open) {
                EXPECT_EQ(t->Open, prev.Open);
            }
            volume += t->Qty;
            amount += t->Qty * t->Price;
            EXPECT_EQ(t->Volume, volume);
            EXPECT_EQ(t->Amount, amount);
            EXPECT_EQ(t->BuyVolume + t->SellVolume, volume);
            EXPECT_EQ(t->Ask, book.Ask[0]);
            EXPECT_EQ(t->Bid, book.Bid[0]);
            trades.push_back({t->TimeMs, t->Price, t->Qty, t->Side});
            prev = *t;
        }
        before = book;
    };
    for (int ms = 0; ms <= 86400000 && !sim.Closed(); ms += stepMs)
        sim.AdvanceTo(ms, onEvent);
    return trades;
}

TEST(SimStockSim, InvariantsHoldAllDayAtEveryPriceLevel)
{
    // Near the tick-size steps, where the grid changes under the price.
    for (int prev : {1995, 4990, 19990, 49950, 199500, 499000, 75000}) {
        SCOPED_TRACE(prev);
        TStockSim sim(PlanAt(prev, 1000 + prev));
        EXPECT_TRUE(BookOk(sim.Book(), sim.UpLimit(), sim.DnLimit()));
        EXPECT_EQ(sim.Price(), prev);
        const std::vector<TEvent> trades = RunChecked(sim, 997);
        ASSERT_GT(trades.size(), 20000u);
        EXPECT_EQ(trades.front().TimeMs, kOpen);
        EXPECT_EQ(trades.front().Price, sim.Plan().Open);
        EXPECT_EQ(trades.back().TimeMs, kClose);
        EXPECT_EQ(trades.back().Price, sim.Plan().Close);
        EXPECT_TRUE(sim.Closed());
        QSet<int> prices;
        for (const TEvent& e : trades)
            prices.insert(e.Price);
        EXPECT_GE(prices.size(), 5);   // the price moves
        EXPECT_GT(sim.High(), sim.Low());
        // After the close nothing more happens.
        EXPECT_EQ(sim.AdvanceTo(86400000), 0);
    }
}

TEST(SimStockSim, PinnedToALimit)
{
    struct Case { const char* what; bool upper; } cases[] = {{"upper", true}, {"lower", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TDayPlan p = PlanAt(10000, 77);
        p.Open = p.Close = c.upper ? UpperLimit(10000) : LowerLimit(10000);
        TStockSim sim(p);
        const int limit = c.upper ? sim.UpLimit() : sim.DnLimit();
        int pinnedEvents = 0;
        const std::vector<TEvent> trades = RunChecked(sim, 1000);
        ASSERT_FALSE(trades.empty());
        for (const TEvent& e : trades)
            pinnedEvents += e.Price == limit;
        EXPECT_GT(pinnedEvents, 0);
        EXPECT_EQ(sim.Price(), limit);
        EXPECT_EQ(PriceSign(sim.Price(), 10000, sim.UpLimit(), sim.DnLimit()), c.upper ? '1' : '4');
        // The side beyond the limit is empty; orders queue at the limit.
        const TSimBook& b = sim.Book();
        for (int i = 0; i < kBookLevels; ++i) {
            EXPECT_EQ(c.upper ? b.Ask[i] : b.Bid[i], 0) << i;
            EXPECT_EQ(c.upper ? b.AskQ[i] : b.BidQ[i], 0) << i;
        }
        EXPECT_EQ(c.upper ? b.Bid[0] : b.Ask[0], limit);
    }
}

TEST(SimStockSim, SameSeedSameDayHoweverStepped)
{
    TStockSim a(PlanAt(49950, 5));
    TStockSim b(PlanAt(49950, 5));
    TStockSim c(PlanAt(49950, 6));
    std::vector<TEvent> ea, eb, ec;
    auto rec = [](std::vector<TEvent>& v, const TStockSim& s) {
        return [&v, &s](const TSimTrade* t) {
            v.push_back(t ? TEvent{t->TimeMs, t->Price, t->Qty, t->Side}
                          : TEvent{s.Book().TimeMs, s.Book().Ask[0], s.Book().TotAsk, 'b'});
        };
    };
    a.AdvanceTo(kClose, rec(ea, a));
    for (int ms = 0; ms <= kClose; ms += 137)
        b.AdvanceTo(ms, rec(eb, b));
    b.AdvanceTo(kClose, rec(eb, b));
    c.AdvanceTo(kClose, rec(ec, c));
    ASSERT_GT(ea.size(), 1000u);
    EXPECT_TRUE(ea == eb);
    EXPECT_FALSE(ea == ec);
    EXPECT_EQ(a.Book().AskQ, b.Book().AskQ);
    EXPECT_EQ(a.Amount(), b.Amount());
}

TEST(SimStockSim, TradeRateScalesActivity)
{
    TStockSim slow(PlanAt(30000, 9, 1.0));
    TStockSim fast(PlanAt(30000, 9, 1.0));
    fast.SetTradesPerSec(10.0);
    const int slowTrades = slow.AdvanceTo(kOpen + 600000);
    const int fastTrades = fast.AdvanceTo(kOpen + 600000);
    EXPECT_GT(slowTrades, 300);
    EXPECT_GT(fastTrades, 4 * slowTrades);
}

// ---- the daily model -----------------------------------------------------

TEST(SimDailyModel, ClosesStayNearTheReferenceAndWithinLimits)
{
    const TUniverse u = TUniverse::Default(3, 160);
    const TDailyModel m(11);
    for (int i = 0; i < u.Size(); i += 8) {
        const TSimStock& s = u.At(i);
        SCOPED_TRACE(s.Code.toStdString());
        QDate d = kThu;
        int close = m.Close(s, d);
        QSet<int> seen;
        for (int k = 0; k < 250; ++k) {
            const QDate p = PrevTradingDay(d);
            const int prev = m.Close(s, p);
            EXPECT_EQ(m.PrevClose(s, d), prev);
            EXPECT_TRUE(OnGrid(close));
            EXPECT_LT(std::abs(std::log(double(close) / prev)), 0.26);
            EXPECT_LT(std::abs(std::log(double(close) / s.PrevClose)), 0.6);
            const int open = m.Open(s, d);
            EXPECT_GE(open, LowerLimit(prev));
            EXPECT_LE(open, UpperLimit(prev));
            seen.insert(close);
            d = p;
            close = prev;
        }
        EXPECT_GT(seen.size(), 20);
    }
    EXPECT_FALSE(IsTradingDay(kSat));
    EXPECT_EQ(PrevTradingDay(kMon), kFri);
    EXPECT_EQ(TradingDayOnOrBefore(kSun), kFri);
    EXPECT_EQ(TradingDayOnOrBefore(kThu), kThu);
}

// ---- the engine ------------------------------------------------------------

struct TRecSink : TMarketSink {
    void OnTrade(const QString& code, const TSimTrade& t) override
    {
        Codes << code;
        Trades.push_back(t);
        if (OnTradeHook)
            OnTradeHook(code, t);
    }
    void OnBook(const QString& code, const TSimBook& b) override
    {
        Codes << code;
        Books.push_back(b);
    }
    QSet<QString> Codes;
    std::vector<TSimTrade> Trades;
    std::vector<TSimBook> Books;
    std::function<void(const QString&, const TSimTrade&)> OnTradeHook;
};

QDateTime At(const QDate& d, int h, int m, int s = 0) { return QDateTime(d, QTime(h, m, s)); }

TUniverse SmallUniverse() { return TUniverse::Default(TUniverse::kDefaultSeed, 300); }

void PumpFor(TTestClock& clock, TMarketEngine& e, int seconds, int stepMs = 1000)
{
    for (int i = 0; i < seconds * 1000 / stepMs; ++i) {
        clock.Advance(stepMs);
        e.Pump();
    }
}

TEST(SimMarketEngine, StocksComeAliveOnlyWhenAskedFor)
{
    TTestClock clock(At(kThu, 10, 0));
    TMarketEngine e(SmallUniverse(), clock);
    e.Pump();
    EXPECT_EQ(e.ActiveCount(), 0);
    TSimQuote q;
    EXPECT_FALSE(e.Quote(U("999999"), &q));
    EXPECT_EQ(e.ActiveCount(), 0);
    ASSERT_TRUE(e.Quote(U("005930"), &q));
    EXPECT_EQ(e.ActiveCount(), 1);
    EXPECT_EQ(q.Name, U("삼성전자"));
    EXPECT_EQ(q.Phase, TSessionPhase::Open);
    EXPECT_EQ(q.Date, kThu);
    EXPECT_GT(q.Volume, 0);
    // Everything the quote query answers hangs together.
    const TSimDayInfo info = e.DayInfo(U("005930"));
    EXPECT_EQ(q.PrevClose, info.PrevClose);
    EXPECT_EQ(q.UpLimit, info.UpLimit);
    EXPECT_EQ(q.DnLimit, info.DnLimit);
    EXPECT_EQ(q.Change, q.Price - q.PrevClose);
    EXPECT_EQ(q.Sign, PriceSign(q.Price, q.PrevClose, q.UpLimit, q.DnLimit));
    EXPECT_NEAR(q.Diff, q.Change * 100.0 / q.PrevClose, 0.005);
    EXPECT_TRUE(BookOk(q.Book, q.UpLimit, q.DnLimit));
    EXPECT_EQ(q.Price, q.LastTrade.Price);
    EXPECT_GE(q.High, q.Price);
    EXPECT_LE(q.Low, q.Price);
}

TEST(SimMarketEngine, SameSeedAndDateReplayTheSameDay)
{
    // One engine follows the stock from the open, another first sees it at
    // 09:20; both must show the same market.
    TTestClock c1(At(kThu, 9, 0));
    TMarketEngine followed(SmallUniverse(), c1);
    TRecSink sink;
    followed.SetSink(&sink);
    followed.Subscribe(U("000660"));
    PumpFor(c1, followed, 20 * 60, 500);
    ASSERT_FALSE(sink.Trades.empty());

    TTestClock c2(At(kThu, 9, 20));
    TMarketEngine late(SmallUniverse(), c2);
    TSimQuote a, b;
    ASSERT_TRUE(followed.Quote(U("000660"), &a));
    ASSERT_TRUE(late.Quote(U("000660"), &b));
    EXPECT_EQ(a.Price, b.Price);
    EXPECT_EQ(a.Volume, b.Volume);
    EXPECT_EQ(a.Amount, b.Amount);
    EXPECT_EQ(a.High, b.High);
    EXPECT_EQ(a.Low, b.Low);
    EXPECT_EQ(a.Book.Ask, b.Book.Ask);
    EXPECT_EQ(a.Book.BidQ, b.Book.BidQ);
    EXPECT_EQ(a.LastTrade.TimeMs, b.LastTrade.TimeMs);

    // Another day is another market.
    TTestClock c3(At(kThu.addDays(-1), 9, 20));
    TMarketEngine otherDay(SmallUniverse(), c3);
    TSimQuote d;
    ASSERT_TRUE(otherDay.Quote(U("000660"), &d));
    EXPECT_NE(std::make_tuple(d.PrevClose, d.Volume, d.Amount), std::make_tuple(a.PrevClose, a.Volume, a.Amount));
    // And another seed too.
    TMarketConfig cfg;
    cfg.Seed = 12345;
    TMarketEngine otherSeed(SmallUniverse(), c2, cfg);
    ASSERT_TRUE(otherSeed.Quote(U("000660"), &d));
    EXPECT_NE(std::make_tuple(d.PrevClose, d.Volume, d.Amount), std::make_tuple(a.PrevClose, a.Volume, a.Amount));
}

TEST(SimMarketEngine, EventsMatchTheQuote)
{
    TTestClock clock(At(kThu, 11, 0));
    TMarketEngine e(SmallUniverse(), clock);
    TRecSink sink;
    e.SetSink(&sink);
    e.Subscribe(U("005930"));
    e.Subscribe(U("005930"));   // a second feed on the same code
    EXPECT_TRUE(sink.Trades.empty());   // the morning is not replayed
    PumpFor(clock, e, 120);
    ASSERT_GT(sink.Trades.size(), 30u);
    EXPECT_EQ(sink.Codes, QSet<QString>{U("005930")});
    // Every trade is followed by its book; book times never go back.
    EXPECT_GT(sink.Books.size(), sink.Trades.size());
    for (size_t i = 1; i < sink.Books.size(); ++i)
        ASSERT_GE(sink.Books[i].TimeMs, sink.Books[i - 1].TimeMs);
    EXPECT_GE(sink.Trades.front().TimeMs, 11 * 3600 * 1000);

    auto same = [&](const TSimQuote& q) {
        const TSimTrade& t = sink.Trades.back();
        EXPECT_EQ(q.Price, t.Price);
        EXPECT_EQ(q.Volume, t.Volume);
        EXPECT_EQ(q.Amount, t.Amount);
        EXPECT_EQ(q.Open, t.Open);
        EXPECT_EQ(q.High, t.High);
        EXPECT_EQ(q.Low, t.Low);
        EXPECT_EQ(q.LastTrade.TimeMs, t.TimeMs);
        EXPECT_EQ(q.Book.Ask, sink.Books.back().Ask);
        EXPECT_EQ(q.Book.AskQ, sink.Books.back().AskQ);
        EXPECT_EQ(q.Book.BidQ, sink.Books.back().BidQ);
        EXPECT_EQ(q.Book.TotBid, sink.Books.back().TotBid);
    };
    TSimQuote q;
    ASSERT_TRUE(e.Quote(U("005930"), &q));
    same(q);
    // Quoting a subscribed stock later sends what happened meanwhile first.
    const size_t before = sink.Trades.size();
    clock.Advance(5000);
    ASSERT_TRUE(e.Quote(U("005930"), &q));
    EXPECT_GT(sink.Trades.size(), before);
    same(q);

    // Both feeds must go before the events stop.
    e.Unsubscribe(U("005930"));
    PumpFor(clock, e, 10);
    EXPECT_GT(sink.Trades.size(), before);
    const size_t still = sink.Trades.size();
    e.Unsubscribe(U("005930"));
    PumpFor(clock, e, 30);
    EXPECT_EQ(sink.Trades.size(), still);
}

TEST(SimMarketEngine, AfterAPauseOnlyRecentEventsAreSent)
{
    TTestClock clock(At(kThu, 10, 0));
    TMarketEngine e(SmallUniverse(), clock);
    TRecSink sink;
    e.SetSink(&sink);
    e.Subscribe(U("005930"));
    PumpFor(clock, e, 5);
    const qint64 volBefore = sink.Trades.empty() ? 0 : sink.Trades.back().Volume;
    sink.Trades.clear();
    sink.Books.clear();
    clock.Advance(3600 * 1000);   // the caller was held up for an hour
    e.Pump();
    ASSERT_FALSE(sink.Trades.empty());
    for (const TSimBook& b : sink.Books)
        EXPECT_GE(b.TimeMs, 11 * 3600 * 1000 + 5000 - 10000);
    // The hour still happened.
    TSimQuote q;
    ASSERT_TRUE(e.Quote(U("005930"), &q));
    EXPECT_GT(q.Volume - volBefore, 1000 * (q.Volume / std::max<qint64>(1, q.LastTrade.BuyCount + q.LastTrade.SellCount)));
    EXPECT_EQ(q.Volume, sink.Trades.back().Volume);
}

TEST(SimMarketEngine, NothingTradesOutsideTheSession)
{
    struct Case { const char* what; QDateTime start; QDate date; TSessionPhase phase; } cases[] = {
        {"Saturday", At(kSat, 10, 0), kFri, TSessionPhase::Closed},
        {"before the open", At(kThu, 8, 0), kThu, TSessionPhase::PreOpen},
        {"after the close", At(kThu, 16, 0), kThu, TSessionPhase::Closed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TTestClock clock(c.start);
        TMarketEngine e(SmallUniverse(), clock);
        TRecSink sink;
        e.SetSink(&sink);
        e.Subscribe(U("035420"));
        PumpFor(clock, e, 600, 2000);
        EXPECT_TRUE(sink.Trades.empty());
        EXPECT_EQ(e.Phase(), c.phase);
        TSimQuote q;
        ASSERT_TRUE(e.Quote(U("035420"), &q));
        EXPECT_EQ(q.Date, c.date);
        EXPECT_EQ(q.Phase, c.phase);
        EXPECT_TRUE(BookOk(q.Book, q.UpLimit, q.DnLimit));
        const TSimStock& s = *e.Universe().Find(U("035420"));
        if (c.phase == TSessionPhase::PreOpen) {
            EXPECT_EQ(q.Price, q.PrevClose);
            EXPECT_EQ(q.Volume, 0);
            EXPECT_EQ(q.Open, 0);
            EXPECT_EQ(q.Sign, '3');
        } else {
            // The day's final state: the close the daily model gives.
            EXPECT_EQ(q.Price, e.Daily().Close(s, c.date));
            EXPECT_EQ(q.LastTrade.TimeMs, kClose);
            EXPECT_GT(q.Volume, 0);
        }
    }
}

TEST(SimMarketEngine, OpenAndCloseAreSentLive)
{
    TTestClock clock(At(kThu, 8, 59, 50));
    TMarketEngine e(SmallUniverse(), clock);
    TRecSink sink;
    e.SetSink(&sink);
    e.Subscribe(U("068270"));
    PumpFor(clock, e, 9);
    EXPECT_TRUE(sink.Trades.empty());
    PumpFor(clock, e, 5);
    ASSERT_FALSE(sink.Trades.empty());
    const TSimStock& s = *e.Universe().Find(U("068270"));
    EXPECT_EQ(sink.Trades.front().TimeMs, kOpen);
    EXPECT_EQ(sink.Trades.front().Price, e.Daily().Open(s, kThu));
    EXPECT_EQ(e.Phase(), TSessionPhase::Open);

    clock.SetWall(At(kThu, 15, 29, 58));
    e.Pump();
    sink.Trades.clear();
    PumpFor(clock, e, 4);
    ASSERT_FALSE(sink.Trades.empty());
    EXPECT_EQ(sink.Trades.back().TimeMs, kClose);
    EXPECT_EQ(sink.Trades.back().Price, e.Daily().Close(s, kThu));
    EXPECT_EQ(e.Phase(), TSessionPhase::Closed);
    const size_t n = sink.Trades.size();
    PumpFor(clock, e, 60);
    EXPECT_EQ(sink.Trades.size(), n);
}

TEST(SimMarketEngine, AlwaysOpenTradesAtNightAndOnWeekends)
{
    for (const QDate& d : {kThu, kSun}) {
        SCOPED_TRACE(d.toString().toStdString());
        TTestClock clock(At(d, 3, 0));
        TMarketConfig cfg;
        cfg.AlwaysOpen = true;
        TMarketEngine e(SmallUniverse(), clock, cfg);
        TRecSink sink;
        e.SetSink(&sink);
        e.Subscribe(U("005930"));
        PumpFor(clock, e, 60);
        EXPECT_GT(sink.Trades.size(), 10u);
        EXPECT_EQ(e.MarketDate(), d);
        EXPECT_EQ(e.Phase(), TSessionPhase::Open);
        TSimQuote q;
        ASSERT_TRUE(e.Quote(U("005930"), &q));
        EXPECT_EQ(q.Date, d);
        EXPECT_EQ(q.Price, sink.Trades.back().Price);
    }
    // Switching it off closes the night market.
    TTestClock clock(At(kThu, 3, 0));
    TMarketEngine e(SmallUniverse(), clock);
    e.SetAlwaysOpen(true);
    TRecSink sink;
    e.SetSink(&sink);
    e.Subscribe(U("005930"));
    PumpFor(clock, e, 10);
    EXPECT_FALSE(sink.Trades.empty());
    e.SetAlwaysOpen(false);
    sink.Trades.clear();
    PumpFor(clock, e, 30);
    EXPECT_TRUE(sink.Trades.empty());
    EXPECT_EQ(e.Phase(), TSessionPhase::PreOpen);
}

TEST(SimMarketEngine, TodaysPreviousCloseIsTheLastDaysClose)
{
    TTestClock clock(At(kFri, 16, 0));
    TMarketEngine e(SmallUniverse(), clock);
    TSimQuote fri, mon;
    ASSERT_TRUE(e.Quote(U("373220"), &fri));
    clock.SetWall(At(kMon, 9, 30));
    ASSERT_TRUE(e.Quote(U("373220"), &mon));
    EXPECT_EQ(mon.Date, kMon);
    EXPECT_EQ(mon.PrevClose, fri.Price);
    EXPECT_EQ(mon.UpLimit, UpperLimit(fri.Price));
    EXPECT_EQ(mon.DnLimit, LowerLimit(fri.Price));
    EXPECT_GT(fri.Volume, 0);
    EXPECT_NE(mon.Volume, fri.Volume);
}

TEST(SimMarketEngine, SinkMayCallBackIntoTheEngine)
{
    TTestClock clock(At(kThu, 10, 0));
    TMarketEngine e(SmallUniverse(), clock);
    TRecSink sink;
    int checked = 0;
    bool switched = false;
    sink.OnTradeHook = [&](const QString& code, const TSimTrade& t) {
        TSimQuote q;
        ASSERT_TRUE(e.Quote(code, &q));
        EXPECT_EQ(q.Price, t.Price);    // quoted as it stands, not advanced
        EXPECT_EQ(q.Volume, t.Volume);
        ++checked;
        if (checked == 20 && !switched) {
            switched = true;
            e.Unsubscribe(U("000270"));
            e.SetUniverse(SmallUniverse());   // drops every running day
        }
    };
    e.SetSink(&sink);
    e.Subscribe(U("000270"));
    e.Subscribe(U("035720"));
    PumpFor(clock, e, 120);
    EXPECT_TRUE(switched);
    EXPECT_GT(checked, 20);
    EXPECT_FALSE(e.IsSubscribed(U("000270")));
    EXPECT_TRUE(e.IsSubscribed(U("035720")));

    // A quote whose pending events make the sink replace the universe.
    int resets = 0;
    sink.OnTradeHook = [&](const QString&, const TSimTrade&) {
        if (resets++ == 0)
            e.SetUniverse(SmallUniverse());
    };
    clock.Advance(20000);
    TSimQuote q;
    ASSERT_TRUE(e.Quote(U("035720"), &q));
    EXPECT_GT(resets, 0);
    EXPECT_EQ(q.Name, U("카카오"));
    EXPECT_TRUE(BookOk(q.Book, q.UpLimit, q.DnLimit));
    EXPECT_EQ(q.Price, e.Sim(U("035720"))->Price());
}

} // namespace
