#include "core/FramePacer.h"
#include <QTimer>

TFramePacer::TFramePacer(QObject* owner, std::function<void()> update)
    : FTimer(new QTimer(owner)), FUpdate(std::move(update))
{
    FTimer->setSingleShot(true);
    FTimer->setTimerType(Qt::PreciseTimer);
    QObject::connect(FTimer, &QTimer::timeout, FTimer, [this] { FUpdate(); });
}

void TFramePacer::Ask()
{
    if (FAsked)
        return;
    FAsked = true;
    const qint64 since = FLast.isValid() ? FLast.elapsed() : KFrameMs;
    if (since >= KFrameMs)
        FUpdate();
    else
        FTimer->start(int(KFrameMs - since));
}

void TFramePacer::Painted()
{
    FAsked = false;
    FTimer->stop();
    FLast.restart();
}
