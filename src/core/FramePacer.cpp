#include "core/FramePacer.h"
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <cmath>
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
            FTimer->setObjectName(QStringLiteral("frameClock"));
            FTimer->setSingleShot(true);
            FTimer->setTimerType(Qt::PreciseTimer);
            QObject::connect(FTimer, &QTimer::timeout, FTimer, [this] { Tick(); });
        }
        if (!FTimer->isActive()) {
            const qint64 since = FLast.isValid() ? FLast.elapsed() : FIntervalMs;
            FTimer->start(int(std::max<qint64>(0, FIntervalMs - since)));
        }
    }

    void SetWorkShare(double share)
    {
        FShare = share;
        FIntervalMs = TFrameTask::KFrameMs;
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
        // How long this frame's work takes, tasks and composing: the next
        // frame comes late enough to keep frames within their share of the
        // thread.
        struct TMeasure {
            TFrameClock& C;
            ~TMeasure() { C.Measured(C.FLast.nsecsElapsed()); }
        } measure{*this};
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
        // The views asked for their paints: compose the window now, before
        // the next records change what they would show.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    }

    void Measured(qint64 ns)
    {
        if (FShare <= 0)
            return;
        FWorkMs = FWorkMs * 0.8 + ns / 1e6 * 0.2;   // a few frames' average
        const double ms = FWorkMs / FShare;
        FIntervalMs = int(std::clamp(std::ceil(ms), double(TFrameTask::KFrameMs), double(TFrameTask::KLongestFrameMs)));
    }

    QPointer<QTimer> FTimer;
    double FShare = TFrameTask::KWorkShare;
    double FWorkMs = 0;                     // average work of a frame
    int FIntervalMs = TFrameTask::KFrameMs; // from one frame to the next
    QElapsedTimer FLast;               // since the last tick
    std::vector<TFrameTask*> FNext;    // asked for the next frame
    std::vector<TFrameTask*> FNow;     // the frame running
};

TFrameTask::TFrameTask(std::function<void()> fn) : FFn(std::move(fn)) {}

void TFrameTask::SetWorkShare(double share) { TFrameClock::Get().SetWorkShare(share); }

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
