#pragma once
// The broker's open network API as a backend: the session issues an access
// token with the app key and secret, queries travel as HTTPS POSTs of JSON,
// and the real-time feeds share one WebSocket. Everything the program sees is
// what the simulated exchange gives: the blocks of the .res layouts read with
// GetFieldData, answer codes as ReceiveMessage, records as ReceiveRealData.
//
// Orders are sent once. When their answer does not come (time-out, a dropped
// connection, a gateway failure) the program is told that the outcome is
// unknown and asks for the unfilled orders, which settle it; an order is never
// sent again by this backend. Reads refused for a dead token are sent again
// once after a new token came.
#include "broker/BackendHost.h"
#include "broker/ResLayout.h"
#include "broker/RestTr.h"
#include "broker/WsFrame.h"
#include "broker/XingApi.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QSslCertificate>
#include <QTimer>
#include <deque>
#include <memory>

class TClock;
class TRestAuth;
class TRestClient;
struct TRestReply;
class TRestQuery;
class TRestReal;
class TWsFeed;

struct TRestSettings {
    TBackendHost Host;
    QList<QSslCertificate> Trusted;   // besides the system's (a local test server's own)
    int TimeoutMs = 15000;            // longest wait for an answer
    int FirstReconnectPauseMs = 500;  // the feed's first pause after a drop
    int QuietWarnMs = 120000;         // a subscribed feed silent this long is reported once
};

// The state one backend's objects share: the connection, the token, the
// feed, the pacing of every transaction and the fills already seen.
class TRestLink : public QObject {
    Q_OBJECT
public:
    TRestLink(const TRestSettings& settings, TClock& clock, QObject* parent = nullptr);
    ~TRestLink() override;

    const TRestSettings& Settings() const { return FSet; }
    bool Paper() const { return FSet.Host.Kind != TBackendKind::Live; }
    TClock& Clock() { return FClock; }
    TRestClient& Client() { return *FClient; }
    TRestAuth& Auth() { return *FAuth; }
    TWsFeed& Feed() { return *FFeed; }
    bool LoggedIn() const { return FLoggedIn; }

    // ---- session ----
    void Login(const QString& appKey, const QString& secret);
    void Logout();

    // ---- queries ----
    int NextId() { return ++FLastId; }
    // Runs `send` when `tr` may go without passing its rate: at once, or
    // after the calls of the last second have aged.
    void WhenFree(const QString& tr, std::function<void()> send);
    // An answer said `tr` was over its rate: nothing of it goes for a while.
    void Penalise(const QString& tr);
    // Runs `resend` once a new token came, or `fail` with the reason when
    // none comes.
    void AfterRenewal(QObject* owner, std::function<void()> resend, std::function<void(const QString&)> fail);
    // A layout file read once (by path); nullptr when unreadable, with `err`.
    const TResLayout* Layout(const QString& path, QString* err);
    // The layout as the API knows the transaction: its blocks named after
    // `apiCode` (CSPAT00601InBlock1 for CSPAT00600InBlock1) and without the
    // account fields it never takes.
    const TResLayout* ApiLayout(const QString& path, const QString& apiCode, QString* err);

    // ---- real-time ----
    void Advise(TRestReal* r, const QString& tr, const QString& key);
    void Unadvise(TRestReal* r, const QString& tr, const QString& key);
    void Forget(TRestReal* r);
    int FramesSeen() const { return FFramesSeen; }   // data frames received
    int FramesHandled() const { return FFramesHandled; }   // ... and handed on (not repeats)
    int FillsDropped() const { return FFillsDropped; }

    // Handles one frame as it came off the socket (benchmarks and tests).
    void OnRecord(const TWsFrame& f);

signals:
    void LoginResult(const QString& code, const QString& msg);
    void FeedDown(const QString& why);
    void FeedUp(bool again);
    void Notice(const QString& line);

private:
    void PumpHeld();

    TRestSettings FSet;
    TClock& FClock;
    TRestClient* FClient;
    TRestAuth* FAuth;
    TWsFeed* FFeed;
    bool FLoggedIn = false, FLoggingIn = false;
    int FLastId = 0;

    // Sends of the last second per transaction (clock ms), and the time
    // before which a transaction refused for its rate waits.
    QHash<QString, std::deque<qint64>> FSent;
    QHash<QString, qint64> FPenalty;
    struct THeld {
        QString Tr;
        std::function<void()> Send;
    };
    std::deque<THeld> FHeld;
    QTimer FHeldTimer;

    struct TWaiter {
        QPointer<QObject> Owner;
        std::function<void()> Resend;
        std::function<void(const QString&)> Fail;
    };
    QList<TWaiter> FWaiters;

    QHash<QString, std::shared_ptr<TResLayout>> FLayouts;

    // Real-time: who listens to which (feed, key); an account feed has key "".
    QHash<QPair<QString, QString>, QList<QPointer<TRestReal>>> FListeners;
    QSet<QString> FFillsSeen;   // order number / fill number of every fill handled
    QString FFillsDay;
    int FFramesSeen = 0, FFramesHandled = 0, FFillsDropped = 0;
    qint64 FLastFrameAt = 0;
    bool FQuietSaid = false;
    bool FWsTokenRefused = false;   // feeds refused for the token: asked for again with the next one
    QTimer FQuietTimer;
};

class TRestSession final : public TXASession {
    Q_OBJECT
public:
    TRestSession(TRestLink* link, QObject* parent = nullptr);

    bool ConnectServer(const QString& host, int port) override;
    bool IsConnected() const override { return FConnected; }
    // `id` is the app key, `pw` the app secret; the rest is not used.
    bool Login(const QString& id, const QString& pw, const QString& certPw, int svrType, bool showCertErr) override;
    void DisconnectServer() override;
    // The API has no account list: a key is bound to one account, which the
    // account check's answer names.
    int GetAccountListCount() const override { return 0; }
    QString GetAccountList(int) const override { return {}; }

private:
    QPointer<TRestLink> FLink;
    bool FConnected = false;
};

class TRestQuery final : public TXAQuery {
    Q_OBJECT
public:
    TRestQuery(TRestLink* link, QObject* parent = nullptr);

    void SetResFileName(const QString& path) override;
    QString ResFileName() const override { return FRes; }
    void SetFieldData(const QString& block, const QString& field, int idx, const QString& value) override;
    QString GetFieldData(const QString& block, const QString& field, int idx) const override;
    int GetBlockCount(const QString& block) const override;
    int Decompress(const QString& block) override;
    QString GetBlockData(const QString& block) const override;
    int Request(bool next) override;
    int AnswerId() const override { return FAnswerId; }
    int GetTRCountBaseSec(const QString& tr) const override;
    int GetTRCountPerSec(const QString& tr) const override;
    int GetTRCountLimit(const QString& tr) const override;

    // Why the last Request was refused; empty otherwise.
    const QString& LastError() const { return FError; }

    // Hands an answer body to the program as if it had come for request
    // `id` of transaction `tr` (benchmarks and tests).
    void DeliverBody(const QString& tr, int id, const QByteArray& body);

private:
    struct TSent {
        int Id = 0;
        QString Tr;          // as the program knows it (CSPAT00600)
        QString Path, Code;  // as the API knows it (/stock/order, CSPAT00601)
        QByteArray Body;
        TRestCont Cont;
        const TResLayout* Layout = nullptr;   // the API's form (ApiLayout)
        QString Acno;        // the account the program asked about, digits
        bool Resent = false;
    };
    void Send(const TSent& s);
    void Answered(const TSent& s, const TRestReply& r);
    void Message(int id, bool sysErr, const QString& code, const QString& msg);

    QPointer<TRestLink> FLink;
    QString FRes;
    TRestInputs FIn;
    TRestAnswer FData;
    QString FContKey;
    int FAnswerId = 0;
    QString FError;
};

class TRestReal final : public TXAReal {
    Q_OBJECT
public:
    TRestReal(TRestLink* link, QObject* parent = nullptr);
    ~TRestReal() override;

    void SetResFileName(const QString& path) override;
    QString ResFileName() const override { return FRes; }
    void SetFieldData(const QString& block, const QString& field, const QString& value) override;
    void AdviseRealData() override;
    void UnadviseRealData() override;
    void UnadviseRealDataWithKey(const QString& key) override;
    QString GetFieldData(const QString& block, const QString& field) const override;

    const QString& FeedCode() const { return FTr; }
    // Sends one record (called by the link).
    void Deliver(const TWsFrame& f);

private:
    QPointer<TRestLink> FLink;
    QString FRes, FTr, FKey;
    QSet<QString> FKeys;
    const TWsFrame* FCur = nullptr;
};

class TRestBackend final : public TBrokerBackend {
public:
    TRestBackend(const TRestSettings& settings, TClock& clock);
    ~TRestBackend() override;

    TXASession* CreateSession(QObject* parent) override;
    TXAQuery* CreateQuery(QObject* parent) override;
    TXAReal* CreateReal(QObject* parent) override;

    TRestLink& Link() { return *FLink; }

private:
    std::unique_ptr<TRestLink> FLink;
};

// Order transactions: sent once, never again by the backend.
bool IsOrderTr(const QString& tr);
// Input fields the API never takes: the account is the key's, and the
// account password is not asked for (letter case ignored).
bool IsAccountInputField(const QString& field);
