// The frame clock: the work of a frame runs together, at most once a frame.
#include "core/FramePacer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>
#include <limits>
#include <memory>

namespace {

// Turns the event loop until `done` or `ms` pass.
template <class F>
void Until(F done, int ms = 500)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

TEST(FrameClock, TasksOfAFrameRunTogetherOnceAndLaterAsksWaitForTheFrameEnd)
{
    QVector<QString> ran;
    QVector<qint64> at;   // when each ran
    QElapsedTimer clock;
    clock.start();
    TFrameTask a([&] { ran << "a"; at << clock.elapsed(); });
    TFrameTask b([&] { ran << "b"; at << clock.elapsed(); });
    for (int i = 0; i < 50; ++i) {   // a busy feed asks many times
        a.Request();
        b.Request();
    }
    Until([&] { return ran.size() >= 2; });
    ASSERT_EQ(ran, (QVector<QString>{"a", "b"}));
    a.Request();   // within the frame just run
    Until([&] { return ran.size() >= 3; });
    ASSERT_EQ(ran.size(), 3);
    // A frame from the tick that ran the first two (however late this test
    // got to ask again).
    EXPECT_GE(at[2] - at[0], TFrameTask::KFrameMs - 2);
    EXPECT_FALSE(a.Pending());
}

TEST(FrameClock, CancelledFlushedAndDestroyedTasksDoNotRunAtTheTick)
{
    int ranA = 0, ranB = 0, ranC = 0;
    TFrameTask a([&] { ++ranA; });
    TFrameTask b([&] { ++ranB; });
    auto c = std::make_unique<TFrameTask>([&] { ++ranC; });
    a.Request();
    b.Request();
    c->Request();
    a.Cancel();
    b.Flush();
    EXPECT_EQ(ranB, 1);
    c.reset();
    int later = 0;
    TFrameTask probe([&] { ++later; });
    probe.Request();
    Until([&] { return later > 0; });
    EXPECT_EQ(later, 1);
    EXPECT_EQ(ranA, 0);
    EXPECT_EQ(ranB, 1);
    EXPECT_EQ(ranC, 0);
}

TEST(FrameClock, ATaskMayDestroyAnotherOfTheSameFrame)
{
    int ranB = 0;
    auto b = std::make_unique<TFrameTask>([&] { ++ranB; });
    TFrameTask a([&] { b.reset(); });
    a.Request();
    b->Request();
    int later = 0;
    TFrameTask probe([&] { ++later; });
    probe.Request();
    Until([&] { return later > 0; });
    EXPECT_EQ(ranB, 0);
    EXPECT_FALSE(b);
}

} // namespace

// Frames that cost more than their share of the thread come further apart
// (never past the longest frame); cheap ones come back to every frame; with
// no share set, every frame comes whatever it costs.
TEST(FrameClock, CostlyFramesComeLessOftenAndCheapOnesComeBack)
{
    int cost = 4;   // ms of work a frame
    QVector<qint64> at;
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<TFrameTask> task;
    task = std::make_unique<TFrameTask>([&] {
        at << clock.elapsed();
        QElapsedTimer busy;
        busy.start();
        while (busy.elapsed() < cost) {
        }
        task->Request();   // a feed that never rests
    });
    // The shortest gap between the last `n` frames.
    auto shortestGap = [&](int n) {
        qint64 g = std::numeric_limits<qint64>::max();
        for (int i = int(at.size()) - n; i < at.size(); ++i)
            g = std::min(g, at[i] - at[i - 1]);
        return g;
    };
    auto run = [&](int frames) {
        at.clear();
        task->Request();
        Until([&] { return at.size() >= frames; }, 5000);
        task->Cancel();
        EXPECT_GE(at.size(), frames);
    };
    run(14);   // the average settles on 4 ms a frame: 4 / 0.05 = 80 ms, held to the longest frame
    EXPECT_GE(shortestGap(4), TFrameTask::KLongestFrameMs - 2);
    cost = 0;
    run(30);
    EXPECT_LT(shortestGap(4), TFrameTask::KLongestFrameMs - 10) << "cheap frames did not come back";
    TFrameTask::SetWorkShare(0);
    cost = 4;
    run(10);
    EXPECT_LT(shortestGap(4), TFrameTask::KLongestFrameMs - 10) << "with no share every frame should come";
    TFrameTask::SetWorkShare(TFrameTask::KWorkShare);
}
