#pragma once
// Ties the vertical price scroll bar beside the ladder to the ladder's centre:
// the bar covers every price of the day's range (upper limit first); moving
// the bar centres the ladder, and a ladder that scrolled by itself (wheel,
// re-centring, a new stock) moves the bar. A lock keeps the two from
// feeding each other.
#include <QObject>
#include <QPointer>
#include <QVector>

class QScrollBar;
class TLadderView;

class TLadderScroll : public QObject {
public:
    // Sets the bar's steps (1 / 10), connects its moves and installs itself
    // as the ladder's FOnScrolled handler.
    TLadderScroll(TLadderView* ladder, QScrollBar* sbLadder, QObject* parent = nullptr);

    // Rebuilds the price list from the ladder's current snapshot limits; call
    // after every applied quote snapshot. Disables the bar with fewer than
    // two prices, else sets the range 0 .. count - 1 and syncs.
    void BuildLadderTicks();
    // The bar moved to position pos.
    void OnLadderBar(int pos);
    // The ladder's centre changed: move the bar to the first price <= centre.
    void SyncLadderScroll();

    const QVector<int>& LadTicks() const { return FLadTicks; }

private:
    QPointer<TLadderView> FLadder;
    QPointer<QScrollBar> FBar;
    QVector<int> FLadTicks;
    bool FSbLock = false;
};
