#include "broker/ReqQueue.h"
#include "broker/TrLimits.h"

#include <QStringView>
#include <QTimer>
#include <QVarLengthArray>

#include <cstdlib>
#include <utility>

namespace {

qint64 ElapsedMs(qint64 from, qint64 to) { return std::llabs(to - from); }

}  // namespace

TReqQueue::TReqQueue(TClock& clock, QObject* owner)
    : QObject(owner), FClock(clock), FTimer(new QTimer(this))
{
    FTimer->setInterval(KTickMs);
    connect(FTimer, &QTimer::timeout, this, &TReqQueue::Tick);
    FTimer->start();
}

TReqQueue::~TReqQueue()
{
    FTimer->stop();
    FTimer->disconnect(this);
    // Move the closures out first: whatever their captures do when released
    // then sees an empty queue.
    QList<TReqItem> pending = std::exchange(FList, {});
    pending.clear();
}

int TReqQueue::DocumentedIntervalMs(const QString& key)
{
    // The strictest transaction under the key ("CSPAT": the orders, whose
    // modify and cancel allow 3 a second).
    int n = 0, ms = 0;
    const TTrBudget* budgets = TrBudgets(&n);
    for (int i = 0; i < n; ++i)
        if (KeyOf(QLatin1String(budgets[i].Tr)) == key)
            ms = qMax(ms, TrIntervalMs(QLatin1String(budgets[i].Tr)));
    return ms;
}

int TReqQueue::SpacingFor(const QString& key)
{
    static const QString heavy[] = {u"t8410"_qs, u"t8412"_qs, u"t8430"_qs, u"t1637"_qs, u"t0425"_qs};
    int spacing = KDefaultSpacingMs;
    for (const QString& h : heavy) {
        if (key == h)
            spacing = KHeavySpacingMs;
    }
    return qMax(spacing, DocumentedIntervalMs(key));
}

void TReqQueue::NoteSent(const QString& tr)
{
    const qint64 now = FClock.Now().toMSecsSinceEpoch();
    FLast.insert(KeyOf(tr), now);
    FAny = now;
}

void TReqQueue::Add(const QString& tr, TReqProc proc)
{
    FList.append(TReqItem{tr, std::move(proc), false});
}

void TReqQueue::AddLow(const QString& tr, TReqProc proc)
{
    FList.append(TReqItem{tr, std::move(proc), true});
}

void TReqQueue::ClearTr(const QString& tr)
{
    // Released closures are destroyed after the list is consistent again.
    QList<TReqProc> dropped;
    for (qsizetype i = FList.size() - 1; i >= 0; --i) {
        if (FList[i].Tr == tr)
            dropped.append(FList.takeAt(i).Proc);
    }
}

int TReqQueue::CountTr(const QString& tr) const
{
    int n = 0;
    for (const TReqItem& it : FList) {
        if (it.Tr == tr)
            ++n;
    }
    return n;
}

void TReqQueue::Tick()
{
    if (FList.isEmpty())
        return;
    const qint64 now = FClock.Now().toMSecsSinceEpoch();
    if (FAny && ElapsedMs(*FAny, now) < KGlobalSpacingMs)
        return;

    // Pending items share few keys; decide each key once per scan.
    struct TKeyState {
        QStringView Key;
        bool Free;
    };
    QVarLengthArray<TKeyState, 16> seen;

    // The oldest free item goes; a background item only when no other item
    // can go now and no other item of its key waits (it would take the
    // key's spacing from it).
    qsizetype chosen = -1, chosenLow = -1;
    QVarLengthArray<QStringView, 16> waiting;   // keys with a foreground item pending
    for (qsizetype i = 0; i < FList.size() && chosen < 0; ++i) {
        const QStringView key = QStringView(FList[i].Tr).left(KKeyLen);
        if (!FList[i].Low && !waiting.contains(key))
            waiting.append(key);
        if (FList[i].Low && chosenLow >= 0)
            continue;
        const TKeyState* known = nullptr;
        for (const TKeyState& s : seen) {
            if (s.Key == key) {
                known = &s;
                break;
            }
        }
        bool free;
        if (known) {
            free = known->Free;
        } else {
            const QString k = key.toString();
            const auto last = FLast.constFind(k);
            free = last == FLast.constEnd() || ElapsedMs(*last, now) >= SpacingFor(k);
            seen.append({key, free});
        }
        if (!free)
            continue;
        if (FList[i].Low)
            chosenLow = i;
        else
            chosen = i;
    }
    if (chosen < 0 && chosenLow >= 0) {
        const QStringView key = QStringView(FList[chosenLow].Tr).left(KKeyLen);
        bool blocked = waiting.contains(key);
        for (qsizetype i = chosenLow + 1; i < FList.size() && !blocked; ++i)
            blocked = !FList[i].Low && QStringView(FList[i].Tr).left(KKeyLen) == key;
        if (!blocked)
            chosen = chosenLow;
    }
    if (chosen < 0)
        return;

    // Take the item out and stamp before running: the closure may Add or
    // ClearTr on this queue, or even end up destroying it, so nothing below
    // the call touches a member.
    TReqItem item = FList.takeAt(chosen);
    FLast.insert(KeyOf(item.Tr), now);
    FAny = now;
    try {
        if (item.Proc)
            item.Proc();
    } catch (...) {
        // The closure logs its own failures; the queue carries on.
    }
}
