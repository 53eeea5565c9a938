#include "sim/SimPastPlayer.h"
#include <QThread>
#include <algorithm>
#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {
// Workers yield to the window: on Linux the nice value is a thread's own.
void LowerThisThread()
{
#ifdef Q_OS_LINUX
    thread_local bool lowered = false;
    if (!lowered) {
        lowered = true;
        setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), 10);
    }
#endif
}
}

TSimPastPlayer::TSimPastPlayer(QObject* parent) : QObject(parent)
{
    FPool.setMaxThreadCount(std::clamp(QThread::idealThreadCount(), 1, 4));
    FPool.setExpiryTimeout(10000);
}

TSimPastPlayer::~TSimPastPlayer()
{
    FStop->store(true);
    FPool.clear();
    FPool.waitForDone();
}

void TSimPastPlayer::Start(const QVector<TSimPastJob>& jobs)
{
    for (const TSimPastJob& job : jobs) {
        if (FPlaying.contains(job.Key))
            continue;
        FPlaying.insert(job.Key);
        std::shared_ptr<std::atomic_bool> stop = FStop;
        FPool.start(
            [this, job, stop] {
                LowerThisThread();
                TSimPastDay day = TSimHistory::Play(job, stop.get());
                if (stop->load())
                    return;
                QMetaObject::invokeMethod(
                    this, [this, key = job.Key, day = std::move(day)] { Played(key, day); }, Qt::QueuedConnection);
            },
            int(std::clamp<qint64>(job.Date.toJulianDay() - 2400000, 0, 1 << 30)));
    }
}

void TSimPastPlayer::Played(const QString& key, const TSimPastDay& day)
{
    FPlaying.remove(key);
    if (OnPlayed)
        OnPlayed(key, day);
}
