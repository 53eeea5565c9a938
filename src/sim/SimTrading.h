#pragma once
#include <optional>
// Order matching of the simulated exchange for the demo account: cash limit
// orders (new, modify, cancel), their fills against the simulated market,
// and the account's cash and holdings after them.
//
// Entry. An order is checked against the stock list, the session (no new
// order or modify once the day's session has closed; before the open orders
// are taken and wait for the opening print), the price grid (TickSize), the
// day's limits, and the account: a sell may not exceed the sellable quantity
// (held minus what open sell orders already offer), a buy needs orderable
// cash for price x quantity plus the fee (cash minus what open buy orders
// hold back the same way).
//
// Fills. Our orders never change the simulated market; they only watch it.
//  - On entry, while the session is open, a buy at or above the best ask
//    takes the shown ask levels from the lowest up to its price (a sell the
//    bid levels from the highest down), each at the level's price and up to
//    the level's shown quantity; what is left rests at the limit price.
//  - A resting order fills at its own limit price on the market's later
//    trades: a trade beyond the limit (below a buy's, above a sell's) fills
//    the whole remainder; a trade exactly at the limit fills at most the
//    trade's quantity, shared among our orders at that price by order number
//    (a modified order has a new, higher number and so queues last).
//    Trades at or before the order's acceptance time never fill it.
// Every fill is one SC1 event; a fill of several levels gives several.
//
// Costs, per fill, cut to whole won: fee 0.015 % of the amount on both
// sides, sell tax 0.18 % of the amount on sells. A buy adds to the holding
// at the fill price (average price = bought amount / quantity, costs
// excluded) and takes amount + fee from cash; a sell takes from the holding
// (the average stays) and adds amount - fee - tax to cash; its realized
// profit is amount - fee - tax - average x quantity.
//
// Modify and cancel act on the remaining quantity of an open order; a larger
// quantity than remains is cut to what remains. A modify is answered with a
// new order number: the moved quantity rests at the new price behind every
// order already there. Orders live for their market day: when a new day
// starts the open ones expire and the list starts empty.
//
// Real-time events: SC0 when an order, a modify or a cancel is accepted
// (ordchegb 01/02/03), SC1 per fill (ordxctptncode 11), SC3 when a modify
// or cancel is confirmed (ordxctptncode 12/13).
#include "sim/MarketEngine.h"
#include "sim/SimAccount.h"
#include "sim/SimRealRecord.h"
#include "sim/SimReply.h"
#include <QSet>
#include <functional>

struct TSimOrderAnswer {
    bool Ok = false;
    TSimMessage Msg;     // the broker's reply message
    TSimOrder Order;     // Ok: the order made (as it stands after any fill on entry)
    TSimOrder Original;  // Ok for modify/cancel: the order acted on, afterwards
};

class TSimTrading {
public:
    static constexpr double kFeeRate = 0.00015;
    static constexpr double kSellTaxRate = 0.0018;
    static constexpr qint64 kMaxOrderQty = kSimMaxOrderQty;   // shares in one order
    static qint64 Fee(qint64 amount);
    static qint64 SellTax(qint64 amount);
    // What an open buy of `qty` at `price` holds back from the orderable cash.
    static qint64 BuyReserve(qint64 qty, int price) { return qty * price + Fee(qty * price); }

    using TEmit = std::function<void(TSimRealRecord)>;

    // `accountNo`: the 11 digits events carry.
    TSimTrading(TMarketEngine& engine, TSimAccount& account, const QString& accountNo);
    ~TSimTrading();

    void SetEmit(TEmit fn) { FEmit = std::move(fn); }

    // Starts the market day `date`: orders of another day are dropped (open
    // ones expire) and the stocks of open orders are watched.
    void BeginDay(const QDate& date);
    const QDate& Day() const { return FDate; }

    // `code`: 6 characters. Price in won, quantity in shares.
    TSimOrderAnswer Place(const QString& code, char side, qint64 qty, int price);
    // `code` may be empty (not checked); else it must be the order's.
    TSimOrderAnswer Modify(qint64 orgOrdNo, const QString& code, qint64 qty, int price);
    TSimOrderAnswer Cancel(qint64 orgOrdNo, const QString& code, qint64 qty);

    // A market trade of a watched stock.
    void OnMarketTrade(const QString& code, const TSimTrade& trade);

    qint64 OrderableCash() const;
    qint64 OpenSellQty(const QString& code) const;
    qint64 Sellable(const QString& code) const;
    const QVector<TSimOrder>& Orders() const { return FAccount.Orders(); }
    // nullptr when there is no such order.
    const TSimOrder* Order(qint64 ordNo) const;
    // The last failure to save a fill; empty when the last save went well.
    const QString& SaveProblem() const { return FSaveProblem; }

private:
    TSimOrderAnswer Reject(const QString& code, const QString& text) const;
    // The refusal for a price off the grid or outside the day's limits, if any.
    std::optional<TSimOrderAnswer> PriceReject(const QString& code, int price, const QString& badPriceText) const;
    QString CheckPrice(const QString& code, int price) const;
    int IndexOf(qint64 ordNo) const;
    // Takes the shown book levels a marketable order reaches.
    void MatchOnEntry(qint64 ordNo, const TSimBook& book);
    // Fills `qty` of order `ordNo` at `price`; false when nothing was filled.
    // seenVol >= 0 records the market trade (by the day's cumulative volume) that gave the fill.
    bool Fill(qint64 ordNo, qint64 qty, int price, int timeMs, qint64 seenVol = -1);
    void Rewatch();
    void EmitOrderEvent(const QString& feed, const TSimOrder& o, const QString& chegb);
    void AddCommon(TSimRealRecord& rec, const TSimOrder& o) const;

    TMarketEngine& FEngine;
    TSimAccount& FAccount;
    QString FAccountNo;
    TEmit FEmit;
    QDate FDate;
    QSet<QString> FWatched;
    QString FSaveProblem;
    qint64 FExecNo = 0;
};
