#include "core/FramePacer.h"
#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <vector>

// The clock of the GUI thread: the tasks asked for the next frame and the
// tick that runs them.
class TFrameClock {
public:
    static TFrameClock& Get()
    {
        static TFrameClock clock;
        return clock;
    }

    void Add(TFrameTask* t)
    {
        FNext.push_back(t);
        if (!FTimer) {
            FTimer = new QTimer(QCoreApplication::instance());
            FTimer->setSingleShot(true);
            FTimer->setTimerType(Qt::PreciseTimer);
            QObject::connect(FTimer, &QTimer::timeout, FTimer, [this] { Tick(); });
        }
        if (!FTimer->isActive()) {
            const qint64 since = FLast.isValid() ? FLast.elapsed() : TFrameTask::KFrameMs;
            FTimer->start(int(std::max<qint64>(0, TFrameTask::KFrameMs - since)));
        }
    }

    void Remove(TFrameTask* t)
    {
        FNext.erase(std::remove(FNext.begin(), FNext.end(), t), FNext.end());
        std::replace(FNow.begin(), FNow.end(), t, static_cast<TFrameTask*>(nullptr));
    }

private:
    void Tick()
    {
        FLast.start();
        FNow.swap(FNext);
        // A task may cancel or destroy another, or ask again (next frame).
        for (size_t i = 0; i < FNow.size(); ++i) {
            TFrameTask* t = FNow[i];
            if (!t || !t->FPending)
                continue;
            t->FPending = false;
            t->FFn();
        }
        FNow.clear();
    }

    QPointer<QTimer> FTimer;
    QElapsedTimer FLast;               // since the last tick
    std::vector<TFrameTask*> FNext;    // asked for the next frame
    std::vector<TFrameTask*> FNow;     // the frame running
};

TFrameTask::TFrameTask(std::function<void()> fn) : FFn(std::move(fn)) {}

TFrameTask::~TFrameTask()
{
    if (FPending)
        TFrameClock::Get().Remove(this);
}

void TFrameTask::Request()
{
    if (FPending)
        return;
    FPending = true;
    TFrameClock::Get().Add(this);
}

void TFrameTask::Cancel()
{
    if (!FPending)
        return;
    FPending = false;
    TFrameClock::Get().Remove(this);
}

void TFrameTask::Flush()
{
    if (!FPending)
        return;
    Cancel();
    FFn();
}

TFramePacer::TFramePacer(QObject*, std::function<void()> update) : FTask(std::move(update)) {}
