#pragma once
// The simulated exchange behind one backend: the market, the demo user's
// account, the session state, query answers and real-time delivery. Session,
// query and feed objects (SimSession.h, SimQuery.h, SimReal.h) are thin
// adapters of the broker contract on top of it.
//
// Every event reaches the objects through the event loop: answers wait
// AnswerDelayMs on the exchange's clock (a test clock moves them exactly;
// DeliverDue hands over what has fallen due), the login result is sent by a
// single-shot timer, real-time
// records are queued by the market and delivered by the pump timer (or by
// Pump()/Flush()), one ReceiveRealData per record and subscriber.
//
// Orders (SimTrading.h) are answered like queries; the order events they
// cause (SC0/SC1/SC3, delivered to every subscriber of the feed, whatever
// its key) follow the answer. Fills of resting orders are found whenever the
// market is brought up to the clock and are delivered with the market's
// records.
//
// A history answer that needs past days not played yet is held while they
// are played on worker threads (SimPastPlayer.h) and answered when the last
// of them is back, later than its delay; other answers go out meanwhile.
// SetPastInBackground(false) plays them in the answer instead (tests on a
// test clock that expect every answer at its due time).
//
// News. The exchange runs the day's news wire (SimNews.h) on the PC's
// calendar: every headline whose time has come is sent (NWS, every
// subscriber whatever its key) and kept in the day's log, which another
// thread may read (NewsLog) for the archive. When the exchange starts, or
// catches up after a pause, the headlines of the last 10 seconds are sent and
// the earlier ones only logged.
//
// Signals. The exchange runs the signal service (SimSignals.h) on the PC's
// clock: Pump hands it the time, and it works on a thread of its own; what it
// publishes is read by the service host (Signals).
//
// Limits. Every request spends one call of its transaction's budget
// (SimLimits.h); one beyond it is refused with kSimRateRefused and counted
// (RateRefusals). A continuation request ("next") whose key is missing is
// answered with a broker message instead of data (SimAnswers.h).
//
// Faults for tests. Each one-shot fault applies to the next request of the
// named transaction code (an empty code matches any): the request is refused
// with a negative number; or a broker message is sent instead of (or before)
// the answer; or the answer never comes. The answer delay, a refused connect
// and a login that is never answered are settings.
#include "core/Clock.h"
#include "sim/MarketEngine.h"
#include "sim/SimAccount.h"
#include "sim/SimConfig.h"
#include "sim/SimHistory.h"
#include "sim/SimRealRecord.h"
#include "sim/SimReply.h"
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>

class TSimQuery;
class TSimReal;
class TSimAnswers;
class TSimTrading;
class TSimPastPlayer;
class TSimNews;
class TSimNewsLog;
class TSimSignals;
struct TSimNewsItem;

// Input values of a query: key InputKey(block, field, idx).
using TSimInputs = QHash<QString, QString>;

class TSimExchange : public QObject, private TMarketSink {
    Q_OBJECT
public:
    TSimExchange(const TSimConfig& cfg, TClock& clock, QObject* parent = nullptr);
    ~TSimExchange() override;

    static QString InputKey(const QString& block, const QString& field, int idx);

    const TSimConfig& Config() const { return FCfg; }
    TClock& Clock() const { return FClock; }
    TMarketEngine& Engine() { return *FEngine; }
    TSimAccount& Account() { return *FAccount; }
    TSimTrading& Trading() { return *FTrading; }
    // What went wrong at start (universe file, account state), for the log.
    const QStringList& StartupProblems() const { return FProblems; }

    // ---- session
    bool Connect();
    void Disconnect();
    bool IsConnected() const { return FConnected; }
    bool IsLoggedIn() const { return FLoggedIn; }
    // The broker's verdict on a login: code "0000" logs the user in.
    void Login(const QString& id, const QString& pw, QString* code, QString* msg);
    // The user's accounts as the broker writes them ("555-01-234501").
    QStringList AccountList() const;

    // ---- queries
    // Validates and schedules the answer; negative when not sent.
    // `next`: a continuation request (the key of the previous answer set in `in`).
    int Submit(TSimQuery* q, const QString& tr, const TResLayout& layout, const TSimInputs& in, bool next = false);
    // The answer as of now (no faults, no events, no budget spent).
    TSimReply Answer(const QString& tr, const TResLayout& layout, const TSimInputs& in, bool next = false);

    // ---- limits
    // Requests refused for going beyond their budget since the start.
    int RateRefusals() const { return FRateRefusals; }
    // Turns the per-second budgets on or off (SimConfig::RateLimits).
    void SetRateLimits(bool on) { FCfg.RateLimits = on; }
    // Chart requests allowed per 10 minutes and transaction; 0: no cap.
    void SetChartCap(int per10Min) { FCfg.ChartCap10Min = qMax(0, per10Min); }

    // ---- real-time feeds
    // false when the feed is not known to the exchange.
    bool Advise(TSimReal* r, const QString& tr, const QString& key);
    void Unadvise(TSimReal* r, const QString& tr, const QString& key);
    // Brings the market to the clock and delivers what happened.
    void Pump();
    void Enqueue(TSimRealRecord rec) { FQueue.push_back(std::move(rec)); }
    // Delivers the queued records; returns the deliveries made.
    int Flush();
    int Pending() const { return int(FQueue.size()); }

    // ---- news
    // The wire (immutable, any thread) and today's log (locked, any thread).
    std::shared_ptr<const TSimNews> News() const { return FNews; }
    std::shared_ptr<TSimNewsLog> NewsLog() const { return FNewsLog; }

    // ---- signals
    // The signal service (its snapshot may be read on any thread).
    std::shared_ptr<const TSimSignals> Signals() const { return FSignals; }

    // ---- past days
    void SetPastInBackground(bool on) { FPastInBackground = on; }
    bool PastInBackground() const { return FPastInBackground; }
    // Answers held for past days being played.
    int Held() const { return int(FHeldAnswers.size()); }
    // Past days being played on the workers now.
    int PastPlaying() const;

    // ---- faults
    void FailNextRequest(const QString& tr = {}, int result = -1);
    void MessageOnNextRequest(const QString& tr, const QString& code, const QString& text,
                              bool thenData = false, bool systemError = false);
    void DropNextAnswer(const QString& tr = {});
    void SetAnswerDelayMs(int ms) { FCfg.AnswerDelayMs = qMax(0, ms); }
    // Delivers the answers whose delay has passed on the clock; returns how many.
    int DeliverDue();
    void SetConnectFails(bool on) { FConnectFails = on; }
    void SetLoginSilent(bool on) { FLoginSilent = on; }
    bool LoginSilent() const { return FLoginSilent; }

private:
    enum class TFaultKind { Reject, Message, Drop };
    struct TFault {
        TFaultKind Kind = TFaultKind::Reject;
        QString Tr;
        int Result = -1;
        TSimMessage Msg;
        bool ThenData = false;
    };

    void OnTrade(const QString& code, const TSimTrade& trade) override;
    void OnBook(const QString& code, const TSimBook& book) override;
    void OnWatchedTrade(const QString& code, const TSimTrade& trade) override;
    // The answer, with the order events it caused in `events` (not queued).
    TSimReply AnswerHeld(const QString& tr, const TResLayout& layout, const TSimInputs& in, bool next,
                         std::deque<TSimRealRecord>* events);
    // Whether a request of `tr` may go now; when it may, it is counted.
    bool SpendBudget(const QString& tr);
    // A query's answer as it waits to go out.
    struct TPendingAnswer {
        QPointer<TSimQuery> Query;
        int Id = 0;
        QString Tr;
        TResLayout Layout;
        TSimInputs In;
        bool Next = false;
        bool Faulty = false;
        TFault Fault;
    };
    // Sends the answer, or holds it while past days it needs are played.
    void RunAnswer(const std::shared_ptr<TPendingAnswer>& p);
    void PastPlayed(const QString& key, const TSimPastDay& day);
    const TSimDayInfo& DayInfoOf(const QString& code);
    void CheckDate();
    int TakeFault(const QString& tr, TFault* out);
    void ScheduleDue();
    void ScheduleFlush();
    // Sends and logs the headlines whose time has come.
    void PumpNews();

    TSimConfig FCfg;
    TClock& FClock;
    std::unique_ptr<TMarketEngine> FEngine;
    std::unique_ptr<TSimAccount> FAccount;
    std::unique_ptr<TSimTrading> FTrading;
    std::unique_ptr<TSimAnswers> FAnswers;
    std::deque<TSimRealRecord>* FHeld = nullptr;   // where order events go while answering
    QStringList FProblems;
    QTimer FPump;
    struct TDueAnswer {
        qint64 Due;                // clock tick when it goes out
        std::function<void()> Run;
    };
    std::deque<TDueAnswer> FDue;   // ordered by Due
    QTimer FDueTimer;
    bool FPastInBackground = true;
    std::unique_ptr<TSimPastPlayer> FPastPlayer;
    struct THeldAnswer {
        std::shared_ptr<TPendingAnswer> Answer;
        QSet<QString> Waiting;     // keys of the past days it waits for
    };
    std::vector<THeldAnswer> FHeldAnswers;   // in the order they fell due

    bool FConnected = false, FLoggedIn = false;
    bool FConnectFails = false, FLoginSilent = false;
    int FNextId = 1;
    QVector<TFault> FFaults;
    QHash<QString, std::deque<qint64>> FSent;   // transaction -> send ticks, oldest first
    int FRateRefusals = 0;

    // Subscribers by feed code + stock code.
    QHash<QString, QVector<QPointer<TSimReal>>> FFeedSubs;
    std::deque<TSimRealRecord> FQueue;
    bool FFlushing = false, FFlushQueued = false;
    QHash<QString, TSimDayInfo> FDayInfo;
    QHash<QString, qint64> FLastVolume;
    QDate FDate;

    std::shared_ptr<const TSimNews> FNews;
    std::shared_ptr<TSimNewsLog> FNewsLog;
    QDate FNewsDay;
    std::shared_ptr<const QVector<TSimNewsItem>> FNewsItems;   // the wire of FNewsDay
    int FNewsNext = 0;

    std::shared_ptr<TSimSignals> FSignals;
};
