#pragma once
// The market lists the service host publishes, made from the simulated
// market's daily model:
//   /lumen/shortban       stocks under a short-sale ban: those whose close
//                         fell hard (a day of -3 % or worse) on one of the
//                         last ten trading days before the day shown. A
//                         ban runs five trading days from its designation
//                         (the day after the fall); a new fall inside the
//                         run extends it. Bans that ran out in the window
//                         are listed as "해제" (the program leaves them out).
//   /lumen/pub?n=buyback  treasury-stock orders filed for the day: a dozen
//                         or so listed ordinary stocks picked by the day's
//                         seed, each order sized against the stock's usual
//                         volume and the recent days' activity.
// Both are pure functions of (stocks, master seed, trading day): the same
// day gives the same bytes, whatever the time or the thread. A day that is
// not a trading day shows the last trading day before it.
#include "sim/SimStock.h"

#include <QByteArray>
#include <QDate>
#include <QVector>
#include <memory>
#include <mutex>

class TMarketEngine;

struct TSimListsSetup {
    QVector<TSimStock> Stocks;
    quint64 Seed = 0;   // the market's master seed (TDailyModel)

    static TSimListsSetup Of(const TMarketEngine& engine);
};

class TSimLists {
public:
    static constexpr double kBanFallPct = -3.0;   // a close this far down designates a ban
    static constexpr int kBanWindow = 10;         // trading days looked back
    static constexpr int kBanRun = 5;             // trading days a designation lasts
    static constexpr int kMaxBans = 40;

    explicit TSimLists(TSimListsSetup setup);

    // The bodies for `day` (any thread). The last day's bodies are kept.
    QByteArray ShortBan(const QDate& day) const;
    QByteArray Buyback(const QDate& day) const;

    // The same without the cache (tests, benchmarks).
    static QByteArray MakeShortBan(const TSimListsSetup& setup, const QDate& day);
    static QByteArray MakeBuyback(const TSimListsSetup& setup, const QDate& day);

private:
    const TSimListsSetup FSetup;
    mutable std::mutex FLock;
    mutable QDate FShortDay, FBuyDay;
    mutable QByteArray FShortBody, FBuyBody;
};
