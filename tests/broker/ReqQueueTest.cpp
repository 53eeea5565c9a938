#include "broker/ReqQueue.h"

#include <gtest/gtest.h>

#include <QTest>

#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

// One dispatch: which item went out, and when (ms since the test began).
struct TSent {
    QString Label;
    qint64 AtMs;
    bool operator==(const TSent&) const = default;
};

void PrintTo(const TSent& s, std::ostream* os) { *os << s.Label.toStdString() << "@" << s.AtMs; }

class ReqQueueTest : public ::testing::Test {
protected:
    TTestClock Clock;
    qint64 ElapsedMs = 0;
    std::vector<TSent> Sent;
    TReqQueue Q{Clock, nullptr};

    // A closure that records its own dispatch under `label`.
    TReqProc Rec(const QString& label)
    {
        return [this, label] { Sent.push_back({label, ElapsedMs}); };
    }
    void AddRec(const QString& tr, const QString& label) { Q.Add(tr, Rec(label)); }

    // Ticks now, then every 50 ms, until `untilMs` has been ticked.
    void RunUntil(qint64 untilMs)
    {
        for (;;) {
            Q.Tick();
            if (ElapsedMs + TReqQueue::KTickMs > untilMs)
                break;
            Clock.Advance(TReqQueue::KTickMs);
            ElapsedMs += TReqQueue::KTickMs;
        }
    }
};

TEST_F(ReqQueueTest, SpacingTable)
{
    const std::pair<const char*, int> cases[] = {
        // the program's heavy keys
        {"t8410", 1100}, {"t8412", 1100}, {"t8430", 1100}, {"t1637", 1100}, {"t0425", 1100},
        // the broker's documented interval where it is longer than 250 ms
        {"CSPAQ", 1000}, {"t3102", 1000}, {"t1441", 1000}, {"t0424", 500}, {"t0150", 500},
        {"t1301", 500}, {"CSPAT", 334},
        // everything else
        {"t1101", 250}, {"t0167", 250}, {"t8407", 250}, {"T8412", 250}, {"t841", 250}, {"", 250},
    };
    for (const auto& [key, ms] : cases)
        EXPECT_EQ(TReqQueue::SpacingFor(QString::fromLatin1(key)), ms) << key;
    EXPECT_EQ(TReqQueue::KeyOf(u"t8407sb"_qs), u"t8407"_qs);
    EXPECT_EQ(TReqQueue::KeyOf(u"CSPAT00800"_qs), u"CSPAT"_qs);
    EXPECT_EQ(TReqQueue::KeyOf(u"t84"_qs), u"t84"_qs);
}

// Tags queued at once (labelled by position) and the dispatch order and
// times that a 50 ms tick must produce.
struct TPaceCase {
    const char* Name;
    std::vector<const char*> Tags;
    std::vector<std::pair<int, qint64>> Expected;  // item index, dispatch ms
};

TEST_F(ReqQueueTest, PacingByKeyAndGlobalSpacing)
{
    const std::vector<TPaceCase> cases = {
        // Heavy key held back while a different key behind it goes after the
        // global 120 ms (first 50 ms tick past 120 is 150).
        {"three t8412 then t1101", {"t8412", "t8412", "t8412", "t1101"},
         {{0, 0}, {3, 150}, {1, 1100}, {2, 2200}}},
        {"t8412v shares t8412's clock", {"t8412", "t8412v"}, {{0, 0}, {1, 1100}}},
        {"t8412p behind t8412, t8410 overtakes", {"t8412", "t8412p", "t8410"},
         {{0, 0}, {2, 150}, {1, 1100}}},
        // Cancel and modify allow 3 a second: 334 ms, the first tick is 350.
        {"CSPAT00800 after CSPAT00600", {"CSPAT00600", "CSPAT00800"}, {{0, 0}, {1, 350}}},
        {"CSPAT orders and a quote", {"CSPAT00600", "CSPAT00700", "t1101"},
         {{0, 0}, {2, 150}, {1, 350}}},
        {"balance twice: one a second", {"CSPAQ12300", "CSPAQ12300"}, {{0, 0}, {1, 1000}}},
        {"t1301 pages: two a second", {"t1301", "t1301", "t1101"}, {{0, 0}, {2, 150}, {1, 500}}},
        {"t0425 family shares one clock", {"t0425", "t0425f", "t0425p"},
         {{0, 0}, {1, 1100}, {2, 2200}}},
        {"t8407 board and ban prices", {"t8407b", "t8407sb"}, {{0, 0}, {1, 250}}},
        {"distinct light keys only the global gap", {"t1101", "t1102", "t0167"},
         {{0, 0}, {1, 150}, {2, 300}}},
        {"tag shorter than a key", {"t84", "t84"}, {{0, 0}, {1, 250}}},
        {"case matters for keys", {"t8412", "T8412"}, {{0, 0}, {1, 150}}},
        // Background items ("~"): they go only when nothing else can, and
        // never take a key's spacing from a foreground item of that key.
        {"chart bars before the signal list's bars", {"~t8412v", "t8412"}, {{1, 0}, {0, 1100}}},
        {"background waits for the global gap only", {"~t8407", "t1101"}, {{1, 0}, {0, 150}}},
        {"background items keep their own pacing", {"~t8412v", "~t8412v", "t1101"},
         {{2, 0}, {0, 150}, {1, 1250}}},
        {"a waiting chart page keeps the key from the background", {"t8412", "~t8412v", "t8412"},
         {{0, 0}, {2, 1100}, {1, 2200}}},
    };
    for (const TPaceCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTestClock clock;
        TReqQueue q(clock, nullptr);
        std::vector<TSent> sent;
        qint64 at = 0;
        for (size_t i = 0; i < c.Tags.size(); ++i) {
            const QString tag = QString::fromLatin1(c.Tags[i]);
            TReqProc rec = [&sent, &at, i] { sent.push_back({QString::number(i), at}); };
            if (tag.startsWith(QLatin1Char('~')))
                q.AddLow(tag.mid(1), std::move(rec));
            else
                q.Add(tag, std::move(rec));
        }
        std::vector<TSent> expected;
        for (const auto& [idx, ms] : c.Expected)
            expected.push_back({QString::number(idx), ms});
        const qint64 end = expected.back().AtMs + 2000;
        for (; at <= end; at += TReqQueue::KTickMs) {
            q.Tick();
            clock.Advance(TReqQueue::KTickMs);
        }
        EXPECT_EQ(sent, expected);
        EXPECT_EQ(q.Count(), 0);
    }
}

// The login's account check goes out without the queue; the balance queued
// right after it must still wait the key's second, other keys the global gap.
TEST_F(ReqQueueTest, SendNotedOutsideTheQueueKeepsItsSpacing)
{
    Q.NoteSent(u"CSPAQ12300"_qs);
    AddRec(u"CSPAQ12300"_qs, u"balance"_qs);
    AddRec(u"t1101"_qs, u"quote"_qs);
    RunUntil(1500);
    const std::vector<TSent> expected = {{u"quote"_qs, 150}, {u"balance"_qs, 1000}};
    EXPECT_EQ(Sent, expected);
}

TEST_F(ReqQueueTest, ClearTrMatchesWholeTagExactly)
{
    AddRec(u"t0425"_qs, u"miche1"_qs);
    AddRec(u"t0425f"_qs, u"fills"_qs);
    AddRec(u"t0425"_qs, u"miche2"_qs);
    AddRec(u"t0425p"_qs, u"pnl"_qs);
    AddRec(u"T0425"_qs, u"upper"_qs);
    AddRec(u"t042"_qs, u"short"_qs);
    AddRec(u"t8412v"_qs, u"vol"_qs);

    Q.ClearTr(u"t0425"_qs);
    Q.ClearTr(u"t8412"_qs);  // no such tag pending; t8412v stays
    EXPECT_EQ(Q.CountTr(u"t0425"_qs), 0);
    EXPECT_EQ(Q.Count(), 5);

    RunUntil(3000);
    // Remaining items keep their order; the withdrawn ones never ran.
    const std::vector<TSent> expected = {
        {u"fills"_qs, 0}, {u"upper"_qs, 150}, {u"short"_qs, 300}, {u"vol"_qs, 450}, {u"pnl"_qs, 1100}};
    EXPECT_EQ(Sent, expected);
}

TEST_F(ReqQueueTest, ThrowingClosureKeepsQueueAndItsSpacing)
{
    Q.Add(u"t8412"_qs, [this] {
        Sent.push_back({u"throws"_qs, ElapsedMs});
        throw std::runtime_error("request failed");
    });
    AddRec(u"t8412"_qs, u"next8412"_qs);
    Q.Add(u"t1101"_qs, [this] {
        Sent.push_back({u"throwsInt"_qs, ElapsedMs});
        throw 42;
    });
    Q.Add(u"t1102"_qs, TReqProc{});  // an empty closure is skipped, still paced
    AddRec(u"t1102"_qs, u"after"_qs);

    RunUntil(2000);
    const std::vector<TSent> expected = {
        {u"throws"_qs, 0}, {u"throwsInt"_qs, 150}, {u"after"_qs, 550}, {u"next8412"_qs, 1100}};
    EXPECT_EQ(Sent, expected);
    EXPECT_EQ(Q.Count(), 0);
}

TEST_F(ReqQueueTest, WallClockSetBackReleasesWaitingItems)
{
    AddRec(u"t8412"_qs, u"a"_qs);
    AddRec(u"t8412"_qs, u"b"_qs);
    AddRec(u"t8412"_qs, u"c"_qs);
    RunUntil(300);
    ASSERT_EQ(Sent.size(), 1u);

    // The PC clock goes back an hour: both stamps are now an hour "away".
    Clock.SetWall(Clock.Now().addSecs(-3600));
    Q.Tick();
    ASSERT_EQ(Sent.size(), 2u);
    EXPECT_EQ(Sent[1].Label, u"b"_qs);

    // Pacing resumes from the new wall time.
    Clock.Advance(1050);
    Q.Tick();
    EXPECT_EQ(Sent.size(), 2u);
    Clock.Advance(50);
    Q.Tick();
    ASSERT_EQ(Sent.size(), 3u);
    EXPECT_EQ(Sent[2].Label, u"c"_qs);
}

TEST_F(ReqQueueTest, ClosureMayUseTheQueueWhileRunning)
{
    int countDuring = -1;
    int ownTagDuring = -1;
    Q.Add(u"t8412"_qs, [this, &countDuring, &ownTagDuring] {
        Sent.push_back({u"page1"_qs, ElapsedMs});
        ownTagDuring = Q.CountTr(u"t8412"_qs);  // itself already taken out
        countDuring = Q.Count();
        Q.Add(u"t8412"_qs, Rec(u"page2"_qs));   // next page
        Q.ClearTr(u"t1101"_qs);                // withdraw a stale quote
        Q.Tick();                               // nested tick sends nothing
    });
    AddRec(u"t1101"_qs, u"stale"_qs);
    AddRec(u"t1102"_qs, u"other"_qs);

    RunUntil(2500);
    EXPECT_EQ(ownTagDuring, 0);
    EXPECT_EQ(countDuring, 2);
    const std::vector<TSent> expected = {{u"page1"_qs, 0}, {u"other"_qs, 150}, {u"page2"_qs, 1100}};
    EXPECT_EQ(Sent, expected);
    EXPECT_EQ(Q.Count(), 0);
}

TEST(ReqQueueLifetime, DestructionDropsPendingClosuresUnrun)
{
    TTestClock clock;
    auto token = std::make_shared<int>(0);
    int ran = 0;
    auto owner = std::make_unique<QObject>();
    auto* q = new TReqQueue(clock, owner.get());
    for (const char* tr : {"t8412", "t8412", "t1101"})
        q->Add(QString::fromLatin1(tr), [token, &ran] { ++ran; });
    q->Tick();
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(token.use_count(), 3);

    owner.reset();  // the owner takes the queue with it
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(token.use_count(), 1);  // closures released, not run
    QTest::qWait(150);                // no timer left to fire into freed memory
    EXPECT_EQ(ran, 1);
}

TEST(ReqQueueLifetime, OwnTimerDrivesTheQueue)
{
    // The first request goes on the first real tick; the test clock never
    // moves, so the second stays held by the global spacing.
    TTestClock clock;
    TReqQueue q(clock, nullptr);
    int first = 0;
    int second = 0;
    q.Add(u"t1101"_qs, [&first] { ++first; });
    q.Add(u"t1102"_qs, [&second] { ++second; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return first == 1; }, 5000));
    QTest::qWait(200);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(q.Count(), 1);
}

}  // namespace
