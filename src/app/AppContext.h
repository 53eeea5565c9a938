#pragma once
// What every facet of the window reaches: the clock, the request queue, the
// configuration, the broker objects, the log, stock names, the current stock
// and the login state, the server clock and the service host. The window
// owns one context and hands it to each facet by reference; a test builds
// one around the simulated exchange without any window.
//
// Every answer belongs to the request that asked for it: a facet sends its
// requests through Send with a TReqBind saying what the request was for, and
// asks Bound when the answer (or a broker message about it) arrives. An
// answer whose stock, period or run has changed since is dropped by its
// owner with no state change; late answers are normal on a network.
#include "core/Config.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>

class TBrokerBackend;
class TClock;
class TReqQueue;
class TServerClock;
class TServiceHost;
class TSimServiceServer;
class TXAQuery;
class TXAReal;
class TXASession;

// The broker session, query and real-time objects, under the names the rest
// of the program knows them by. Created once and kept for the life of the
// context.
struct TBrokerObjects {
    TXASession* FSess = nullptr;
    TXAQuery *qMaster = nullptr, *qPrice = nullptr, *qDay = nullptr, *qDayW = nullptr, *qMin = nullptr,
             *qProg = nullptr, *qProgPg = nullptr, *qTick = nullptr, *qBal = nullptr, *qChk = nullptr,
             *qOrd = nullptr, *qMod = nullptr, *qCxl = nullptr, *qMiche = nullptr, *qFill = nullptr,
             *qTime = nullptr, *qNews = nullptr;
    TXAReal *rS3 = nullptr, *rK3 = nullptr, *rH1 = nullptr, *rHA = nullptr, *rSC1 = nullptr, *rSC0 = nullptr,
            *rNws = nullptr, *rSC3 = nullptr;

    QVector<TXAQuery*> Queries() const;
    QVector<TXAReal*> Reals() const;
};

// What a request was for. Owners compare it with their state when the answer
// arrives; the fields mean what the owner makes them mean.
struct TReqBind {
    QString Code;      // the stock asked about (empty: not stock-bound)
    int Per = 0;       // chart period
    quint64 Run = 0;   // the owner's run or generation number
    int Kind = 0;      // the owner's own distinction (page or more, first or next page...)
};

class TAppContext : public QObject {
public:
    // `exeDir` holds hts.ini, draws.json and news/.
    TAppContext(TClock& clock, const QString& exeDir, QObject* parent = nullptr);
    ~TAppContext() override;

    TAppContext(const TAppContext&) = delete;
    TAppContext& operator=(const TAppContext&) = delete;

    // Creates the broker backend chosen by the configuration and its objects
    // (parented to the context). Problems of the backend go to FBackendProblems.
    // With the simulated exchange and no [SERVICE] BASE, the exchange's own
    // service content is served on loopback and the service host points there.
    void CreateBrokerObjects();

    TClock& Clock() const { return FClock; }
    TServerClock& ServerClock() const { return *FServerClock; }
    TServiceHost& ServiceHost() const { return *FSvc; }

    void Log(const QString& text) const;
    QString NameOf(const QString& code) const;
    QString Today() const;  // yyyymmdd on the clock

    // Points a query at a transaction's layout file; logs and returns false
    // when the file is missing.
    bool SetQueryRes(TXAQuery* q, const QString& tr) const;
    void SetRealRes(TXAReal* r, const QString& code) const;

    // Sends q's request and remembers what it was for. Returns Request's result.
    int Send(TXAQuery* q, bool next, const TReqBind& bind);
    // What the request behind the answer or message being delivered on q was
    // for; none when no request of ours asked for it.
    std::optional<TReqBind> Bound(TXAQuery* q) const;
    // Whether a broker message is worth the log: system errors and every code
    // but the broker's normal ones (00xxx: done, empty, more pages, order
    // accepted). Refusals such as 01478 or 03181 start with '0' too.
    static bool IsSignificant(bool sysErr, const QString& code);

    // ---- state shared by every facet ----
    QString FExeDir;   // ends with '/'
    QString FIniPath;
    TConfig FCfg;
    bool FCfgOk = false;
    QString FCfgErr;
    std::unique_ptr<TBrokerBackend> FBackend;
    QStringList FBackendProblems;
    bool FBackendApi = false;   // the backend is the broker's open API (else the simulated exchange)
    TBrokerObjects B;
    TReqQueue* FQ = nullptr;
    QString FCode;         // the current stock; changed only by SelectStock
    bool FLogged = false;  // set only once login has completed

    // Where log lines go and where names come from (the log and the stock
    // master); until set, lines are dropped and a code is its own name.
    std::function<void(const QString&)> LogSink;
    std::function<QString(const QString&)> NameSource;

private:
    struct TSent {
        int Id;
        TReqBind Bind;
    };
    TClock& FClock;
    std::unique_ptr<TServerClock> FServerClock;
    std::unique_ptr<TServiceHost> FSvc;
    std::unique_ptr<TSimServiceServer> FSimSvc;   // the loopback service host, when we run one
    QHash<const TXAQuery*, QVector<TSent>> FSent;  // newest last, a few per query
};
