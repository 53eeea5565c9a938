#pragma once
// The one queue every broker request goes through. The broker rejects
// transactions asked for too often, so callers never call Request directly:
// they wrap the whole request (layout, input block, Request, failure log) in
// a closure that captures everything it needs, and Add it here under a tag.
//
// Rules:
// - A tag is a TR code, optionally followed by a consumer suffix ("t0425f",
//   "t8412v", "t8407sb"). Its first five characters are the pacing key; all
//   tags with the same key share one spacing clock ("t8412", "t8412v" and
//   "t8412p" are paced together, as are "CSPAT00600" and "CSPAT00800").
// - A 50 ms timer calls Tick(), which sends at most one request per tick:
//   * nothing while fewer than 120 ms have passed since the last request of
//     any kind (the very first request goes out on the first tick);
//   * otherwise the oldest item whose key is free goes: a key is free when it
//     has never been used or its spacing has passed since its last request
//     (SpacingFor: 1100 ms for t8410, t8412, t8430, t1637, t0425; 250 ms for
//     every other key; never less than the broker's documented interval of
//     the key's transactions, 1 / calls per second: 1000 ms for CSPAQ12300,
//     500 ms for t0424, t0150 and t1301, 334 ms for the orders' "CSPAT"
//     whose modify and cancel allow 3 a second). An item held back by its
//     own key does not block items of other keys queued behind it.
// - A request sent outside the queue (the login's account check) is noted
//   with NoteSent, so queued requests of its key and any other request keep
//   their spacing from it.
// - The chosen item is removed from the queue and both time stamps are set
//   before its closure runs, so the closure may Add (next page) or ClearTr
//   on this queue. Anything thrown by the closure is swallowed; the stamps
//   stay, so the key's spacing still applies.
// - Elapsed times are whole milliseconds of the absolute difference of two
//   wall-clock readings (TClock::Now): when the PC clock is set back, waiting
//   requests become eligible at once instead of stalling.
// - No de-duplication: a caller wanting at most one pending request of its
//   kind calls ClearTr first. ClearTr removes exact, case-sensitive whole-tag
//   matches only (ClearTr("t0425") keeps "t0425f" and "t0425p" items).
// - Destruction stops the timer and drops pending closures without running
//   them. Only the UI thread uses the queue.
#include "core/Clock.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QTimer;

using TReqProc = std::function<void()>;

struct TReqItem {
    QString Tr;     // queue tag
    TReqProc Proc;  // the whole request
    bool Low = false;   // background work: yields to every other item
};

class TReqQueue : public QObject {
    Q_OBJECT
public:
    static constexpr int KTickMs = 50;
    static constexpr int KGlobalSpacingMs = 120;
    static constexpr int KHeavySpacingMs = 1100;
    static constexpr int KDefaultSpacingMs = 250;
    static constexpr int KKeyLen = 5;

    // The timer starts at once; `owner` becomes the queue's QObject parent.
    TReqQueue(TClock& clock, QObject* owner);
    ~TReqQueue() override;

    TReqQueue(const TReqQueue&) = delete;
    TReqQueue& operator=(const TReqQueue&) = delete;

    // Appends at the end of the queue.
    void Add(const QString& tr, TReqProc proc);
    // Appends background work (the signal list's quotes and bars): it goes
    // only on a tick when no other item can go and no other item of its key
    // waits, so the current stock's requests never wait behind it longer
    // than the pacing of one request already sent.
    void AddLow(const QString& tr, TReqProc proc);
    // Removes every pending item whose tag equals `tr` exactly.
    void ClearTr(const QString& tr);
    // Removes every pending item.
    void Clear() { FList.clear(); }
    // One timer step: sends at most one request (see the rules above).
    void Tick();
    // Notes a request of tag `tr` sent now without the queue: it counts as
    // the last request of its key and of any kind.
    void NoteSent(const QString& tr);

    int Count() const { return int(FList.size()); }
    // Pending items whose tag equals `tr` exactly.
    int CountTr(const QString& tr) const;

    // Minimum spacing in ms between two requests under pacing key `key`.
    static int SpacingFor(const QString& key);
    // The broker's documented interval of key `key` (1000 / calls per second
    // of its strictest transaction, rounded up); 0 when none is published.
    static int DocumentedIntervalMs(const QString& key);
    // The pacing key of a tag: its first five characters.
    static QString KeyOf(const QString& tr) { return tr.left(KKeyLen); }

private:
    TClock& FClock;
    QList<TReqItem> FList;            // oldest first
    QHash<QString, qint64> FLast;     // pacing key -> last dispatch (ms since epoch)
    std::optional<qint64> FAny;       // last dispatch of any request; none yet
    QTimer* FTimer = nullptr;
};
