#pragma once
// Selling without picking prices by hand: the price a percentage above a
// base on the ladder's price grid, the plan of a split sell, and the count of
// what can still be sold while orders are on their way.
#include <QHash>
#include <QSet>
#include <QString>
#include <QVector>
#include <functional>

// A percentage as typed ("1.5", "1.5%", " 2 "), read exactly to a millionth
// of a percent: 1.5 is 1,500,000. Ok only for a number above 0.
struct TSellPct {
    bool Ok = false;
    qint64 Micro = 0;
};
TSellPct ParseSellPct(const QString& text);
// "0.##": 1.5 → "1.5", 2 → "2", 0.125 → "0.13".
QString SellPctText(qint64 micro);

// The smallest price on the grid of its band not below base × (1 + p%):
// e = Ceil(base × (100 + p) / 100) computed in whole numbers, rounded up to
// its tick, and again when that crossed into a higher band. 0 when base <= 0
// or the result does not fit.
int SellTarget(int base, qint64 microPct);

// The automatic sell after a buy filled at `fill`: the target, at least one
// tick above the fill, capped at the day's upper limit when it is known
// (upLimit > 0). Price 0 when nothing is to be sent, with the reason.
struct TAutoSellPrice {
    int Price = 0;
    bool Capped = false;
    QString Why;   // set when Price is 0
};
TAutoSellPrice AutoSellPrice(int fill, qint64 microPct, int upLimit);

// One part of a split sell.
struct TSplitPart {
    qint64 Qty = 0;
    int Px = 0;
    int DelayMs = 0;   // after the part before (0 for the first)
};
// The random draws a plan needs: Uniform01 in [0, 1), Pick(lo, hi) a whole
// number in [lo, hi].
struct TSplitRandom {
    std::function<double()> Uniform01;
    std::function<int(int, int)> Pick;
};
// Up to three unequal parts of `sellable` at rising prices from `start`
// (each one or two ticks above the one before), the second 2–5 s after the
// first, the third 3–6 s after the second.
QVector<TSplitPart> PlanSplit(qint64 sellable, int start, const TSplitRandom& rnd);

// What of a stock can be sold at a moment, while orders and fills are on
// their way: the last balance, corrected by the fills since it was asked
// for; less the sells shown as unfilled, the sells of ours not yet shown
// there, and the parts of ours not yet sent.
//
// Balance and unfilled-order answers are told apart by the number of their
// request: an answer reflects a fill or an order only when its request left
// after it.
class TSellableBook {
public:
    // A fill of the account (any order, ours or the trader's).
    void Fill(const QString& code, bool buy, qint64 qty, const QString& ordNo, quint64 balSent);
    // A balance answer of request number `seq` was applied.
    void BalanceApplied(quint64 seq);
    // An unfilled-orders answer of request number `seq` was applied.
    void MicheApplied(quint64 seq);

    // A sell of ours queued; returns its id.
    int SellQueued(const QString& code, qint64 qty);
    // Its request was answered (micheSent: unfilled-order requests sent so
    // far; the first answer counts, a later one only adds the order number) /
    // could not be sent.
    void SellAnswered(int id, const QString& ordNo, quint64 micheSent);
    void SellFailed(int id);

    // Fills since the balance: buys add, sells take away.
    qint64 FillsSinceBalance(const QString& code) const;
    // Our sells not (yet) in the unfilled orders shown.
    qint64 SellsNotShown(const QString& code) const;
    // Everything dropped (the session ended).
    void Clear();

private:
    struct TFillRec {
        QString Code;
        qint64 Signed = 0;
        quint64 BalSent = 0;
    };
    struct TSellRec {
        int Id = 0;
        QString Code, OrdNo;
        qint64 Rem = 0;
        bool Answered = false;
        quint64 MicheSent = 0;
    };
    QVector<TFillRec> FFills;
    QVector<TSellRec> FSells;
    int FNextId = 1;
};

// Sellable quantity of a stock (never below 0).
qint64 SellableNow(qint64 balanceQty, qint64 fillsSince, qint64 shownSells, qint64 notShownSells,
                   qint64 pendingParts);
