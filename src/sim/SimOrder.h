#pragma once
// One order of the simulated account, as the order list (t0425) shows it.
//
// A new order rests with its remaining quantity Qty - Filled - Moved. A
// modify takes the remaining quantity (or part of it) off the original order
// (its Moved grows) and places it again as a new order of kind Modify with a
// new number, so it queues behind everything already at its price. A cancel
// takes it off the same way and is listed as an order of kind Cancel that
// never rests (its Qty is the quantity cancelled). Order numbers only grow,
// which makes them the time priority as well.
#include <QString>
#include <QtGlobal>

enum class TSimOrdKind : quint8 { New, Modify, Cancel };

// The largest order the exchange takes; the account file loads no less.
inline constexpr qint64 kSimMaxOrderQty = 100000000;   // shares
inline constexpr int kSimMaxOrderPrice = 2000000000;   // won

struct TSimOrder {
    qint64 OrdNo = 0;
    qint64 OrgOrdNo = 0;       // Modify/Cancel: the order acted on; 0 for New
    TSimOrdKind Kind = TSimOrdKind::New;
    QString Code;              // 6-character short code
    char Side = '2';           // '1' sell, '2' buy
    int Price = 0;             // limit price, won
    qint64 Qty = 0;            // ordered (Cancel: cancelled)
    qint64 Filled = 0;         // filled so far
    qint64 FillAmt = 0;        // sum of price x quantity of the fills
    qint64 Moved = 0;          // taken off by modify or cancel
    int TimeMs = 0;            // market time of acceptance, ms of the day
    qint64 Fee = 0, Tax = 0;   // costs of the fills, won
    qint64 Realized = 0;       // sells: proceeds less costs less the holding's average cost
    qint64 SeenVol = 0;        // the day's cumulative volume at the last market trade that filled it

    bool IsBuy() const { return Side == '2'; }
    qint64 Rem() const { return Kind == TSimOrdKind::Cancel ? 0 : Qty - Filled - Moved; }
    // Average fill price, 0 when nothing was filled.
    int AvgFillPrice() const { return Filled > 0 ? int(qRound64(double(FillAmt) / Filled)) : 0; }
    // Status text of the order list.
    QString Status() const;
    // Kind text of the order list: "보통", "정정", "취소".
    QString KindText() const;
};
