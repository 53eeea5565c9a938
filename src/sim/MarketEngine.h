#pragma once
// The simulated exchange's market: every listed stock's trading day, the
// session calendar, quotes, and real-time events for subscribed codes.
//
// Time. The engine reads time only from the TClock it is given. The market
// date is today when today is a trading day (Monday to Friday), else the
// last trading day before it; the continuous session runs 09:00:00 to
// 15:30:00, where the closing print is made. Outside the session nothing
// trades: before 09:00 a quote shows the previous close, no volume and the
// opening orders; after 15:30, and on days off, it shows the market date's
// final state. With "always open" the market trades around the clock: the
// market date is always today and the session runs 00:00:00 to 23:59:59.
//
// Stocks are simulated lazily. A stock's day (TStockSim, replaying the plan
// of TDailyModel) is created the first time it is quoted or subscribed and
// is then brought up to the clock whenever it is asked for; only subscribed
// stocks are advanced by Pump. Because a day is a pure function of (seed,
// code, date, trade rate, session), a stock first asked for at 14:00 shows
// exactly the state it would have had if it had been followed since 09:00,
// and restarting the program replays the same day. The day records itself
// as it is played (TStockDay: today's minute bars, program trading, tick
// tape), so today's history is known without playing the session again.
//
// Events. For subscribed codes (Subscribe counts, so several feeds may share
// a code) every trade is sent as OnTrade followed by OnBook, every change of
// the book alone as OnBook, in time order, with the stock's state already
// updated. Only events of the last 10 seconds of clock time are sent when a
// stock catches up (after a pause of the caller, or when subscribing: the
// day so far is replayed silently). Quote() brings the stock up to the clock
// first (sending its pending events when it is subscribed), so a quote always
// agrees with the last event sent. Events are delivered synchronously from
// Pump/Quote/Subscribe; a sink may call back into the engine (a stock that is
// being advanced is then quoted as it stands).
//
// Watching. A watched code (Watch counts, like Subscribe) is advanced by
// Pump as well, and every one of its trades - also those of a silent
// catch-up - is passed to OnWatchedTrade, after OnTrade/OnBook when those
// are sent. Watch brings the stock up to the clock at once: a stock not yet
// simulated then replays its whole day so far to OnWatchedTrade. The simulated exchange watches the stocks its resting orders are
// on, so an order never misses the trade that fills it.
//
// Changing the trade rate applies to running days from their next event;
// switching "always open" or the universe starts every day afresh. When the
// market date changes (a new trading day) every day is started afresh.
#include "core/Clock.h"
#include "sim/DailyModel.h"
#include "sim/StockDay.h"
#include "sim/StockSim.h"
#include "sim/Universe.h"
#include <QHash>
#include <QStringList>
#include <memory>

struct TMarketConfig {
    quint64 Seed = 0x4B45535452454Cull;
    double TradesPerSec = 1.0;   // per stock, ordinary times
    bool AlwaysOpen = false;
};

enum class TSessionPhase { PreOpen, Open, Closed };

class TMarketSink {
public:
    virtual ~TMarketSink() = default;
    virtual void OnTrade(const QString& code, const TSimTrade& trade) = 0;
    virtual void OnBook(const QString& code, const TSimBook& book) = 0;
    virtual void OnWatchedTrade(const QString& code, const TSimTrade& trade)
    {
        Q_UNUSED(code);
        Q_UNUSED(trade);
    }
};

// The broker's sign codes: 1 upper limit, 2 up, 3 unchanged, 4 lower limit,
// 5 down.
char PriceSign(int price, int prevClose, int upLimit, int dnLimit);

// A stock's quote at one instant: everything the quote query answers.
struct TSimQuote {
    QString Code, Name;
    TSimMarket Market = TSimMarket::Kospi;
    bool Etf = false;
    QDate Date;               // market date
    int TimeMs = 0;           // ms of the day the state is at
    TSessionPhase Phase = TSessionPhase::PreOpen;
    int Price = 0;            // last price; the previous close before the open
    int PrevClose = 0;
    char Sign = '3';
    int Change = 0;           // Price - PrevClose
    double Diff = 0;          // Change / PrevClose in %, 2 decimals
    int Open = 0, High = 0, Low = 0;    // 0 before the open
    int UpLimit = 0, DnLimit = 0;
    qint64 Volume = 0;        // shares
    qint64 Amount = 0;        // won
    TSimTrade LastTrade;      // all 0 before the open
    TSimBook Book;
};

// The day's reference figures, available without simulating the day.
struct TSimDayInfo {
    QDate Date;
    int PrevClose = 0, UpLimit = 0, DnLimit = 0;
};

class TMarketEngine {
public:
    TMarketEngine(TUniverse universe, TClock& clock, const TMarketConfig& cfg = {});

    const TUniverse& Universe() const { return FUniverse; }
    void SetUniverse(TUniverse universe);
    const TMarketConfig& Config() const { return FCfg; }
    const TDailyModel& Daily() const { return FDaily; }
    void SetSink(TMarketSink* sink) { FSink = sink; }
    void SetTradesPerSec(double perSec);
    void SetAlwaysOpen(bool on);

    QDate MarketDate() const;
    TSessionPhase Phase() const;
    int SessionStartMs() const;
    int SessionEndMs() const;

    void Subscribe(const QString& code);
    void Unsubscribe(const QString& code);
    bool IsSubscribed(const QString& code) const { return FSubs.value(code) > 0; }
    QStringList Subscriptions() const { return FSubs.keys(); }
    void Watch(const QString& code);
    void Unwatch(const QString& code);
    bool IsWatched(const QString& code) const { return FWatch.value(code) > 0; }

    // Brings every subscribed stock up to the clock, sending its events.
    void Pump();

    // false when the code is not listed.
    bool Quote(const QString& code, TSimQuote* out);
    TSimDayInfo DayInfo(const QString& code) const;
    // The stock's day brought up to the clock; nullptr when not listed. The
    // pointer holds until the next call into the engine.
    const TStockSim* Sim(const QString& code);
    // The same day with what it has recorded; nullptr when not listed. The
    // pointer holds until the next call into the engine.
    const TStockDay* StockDay(const QString& code);
    // Stocks whose day is being simulated.
    int ActiveCount() const { return FDays.size(); }

private:
    struct TDay {
        std::shared_ptr<TStockDay> Day;
        bool Busy = false;
    };
    void CheckDay();
    std::shared_ptr<TDay> DayOf(const QString& code);
    std::shared_ptr<TDay> Current(const QString& code);
    void Sync(const QString& code, const std::shared_ptr<TDay>& day);
    int TargetMs() const;

    TUniverse FUniverse;
    TClock& FClock;
    TMarketConfig FCfg;
    TDailyModel FDaily;
    TMarketSink* FSink = nullptr;
    QHash<QString, int> FSubs;
    QHash<QString, int> FWatch;
    QHash<QString, std::shared_ptr<TDay>> FDays;
    QDate FDate;
};
